// The MIDI writer takes any note texts: each note event either raises and
// leaves the track as it was, or appends events that a strict reader walks
// to the end: a length, then a note on or off with two data bytes. The note
// list's CountBytes agrees with the events written.
//
// Input: a first byte whose low bit sets ExactDeltas, then note events one a
// line, each "notes;length;velocity".

#include "components/Vmidi/Vmidi.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Walks the events: variable-length delta of at most four bytes, then a
// note on (0x90) or off (0x80) of the first channel with two data bytes.
// Every note on is matched by a note off of the same note.
void Walk(std::string_view events) {
    size_t at = 0;
    int open[128] = {};
    while (at < events.size()) {
        int lengthBytes = 0;
        while (static_cast<unsigned char>(events.at(at)) & 0x80) {
            ++at;
            Check(++lengthBytes < 4);
        }
        ++at;
        Check(at + 3 <= events.size());
        const auto status = static_cast<unsigned char>(events[at]);
        const auto note = static_cast<unsigned char>(events[at + 1]);
        const auto velocity = static_cast<unsigned char>(events[at + 2]);
        Check((status == 0x90 || status == 0x80) && note < 0x80 && velocity < 0x80);
        open[note] += status == 0x90 ? 1 : -1;
        Check(open[note] >= 0);
        at += 3;
    }
    for (int n : open) Check(n == 0);
}

std::string_view Field(std::string_view& line) {
    const size_t semicolon = line.find(';');
    std::string_view field = line.substr(0, semicolon);
    line = semicolon == std::string_view::npos ? std::string_view() : line.substr(semicolon + 1);
    return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    TVMidi midi;
    midi.ClearNotes();
    midi.ExactDeltas = data[0] & 1;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    AnsiString track;
    bool refused = false;
    while (!input.empty()) {
        const size_t lf = input.find('\n');
        std::string_view line = input.substr(0, lf);
        input = lf == std::string_view::npos ? std::string_view() : input.substr(lf + 1);
        const AnsiString notes(Field(line)), length(Field(line)), velocity(line);
        midi.AddNote(notes, length, velocity);
        const AnsiString before = track;
        try {
            midi.NoteOnEvent(track, length, velocity, notes);
        } catch (const Exception&) {
            Check(track == before);
            refused = true;
        }
    }
    Walk(track);
    // The whole list counts exactly the events written (and the end of the
    // track), or raises as one of its events did.
    try {
        const size_t counted = midi.CountBytes();
        Check(!refused && counted == track.size() + 4);
    } catch (const Exception&) {
        Check(refused);
    }
    midi.ClearNotes();
    return 0;
}
