// The MIDI writer: a three-track file of 100,000 notes of every length and
// velocity, against replacing a file with the same bytes from a prepared
// buffer (both atomic and flushed to disk).

#include "bench/Bench.h"
#include "components/Vmidi/Vmidi.h"
#include "platform/files/files.h"

#include <iterator>

namespace {

void Midi(const AnsiString& dir) {
    static const char* kCodes[] = {"1",  "2",  "4",  "8",  "16",  "32",  "T1", "T2", "T4", "T8", "T16", "T32",
                                   "P1", "P2", "P4", "P8", "P16", "P32", "D1", "D2", "D4", "D8", "D16", "D32"};
    constexpr size_t n = 100000;
    TVMidi midi;
    midi.ClearNotes();
    for (size_t i = 0; i < n; ++i)
        midi.AddNote(ansi::IntToStr(static_cast<long long>(24 + i % 84)), kCodes[i % std::size(kCodes)],
                     ansi::IntToStr(static_cast<long long>(1 + i % 127)));
    const AnsiString song = dir + "/song.mid", plain = dir + "/plain.mid";
    for (bool exact : {false, true}) {
        midi.ExactDeltas = exact;
        const double write = bench::Median([&] { midi.WriteMidiFile(song); });
        const AnsiString bytes = files::ReadWholeFile(song);
        const double base = bench::Median([&] { files::ReplaceWholeFile(plain, bytes); });
        bench::Report(n, exact ? "write_exact" : "write_coarse", write, base, 3);
    }
    midi.ClearNotes();
}
FLICKSTOW_BENCH_SUITE("midi", Midi);

}  // namespace
