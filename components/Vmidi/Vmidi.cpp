#include "components/Vmidi/Vmidi.h"

#include "platform/files/files.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string_view>

namespace {

// A whole note lasts 4 quarters of this many ticks.
constexpr int kTicksPerQuarter = 768;
constexpr int kTicksPerWhole = 4 * kTicksPerQuarter;

struct LengthCode {
    std::string_view code;
    int ticks;
};
// Plain, triplet (T), dotted (P) and double-dotted (D) note values, each
// group in the order 1, 2, 4, 8, 16, 32.
constexpr LengthCode kLengths[] = {
    {"1", 3072},  {"2", 1536},  {"4", 768},   {"8", 384},   {"16", 192},  {"32", 96},   {"T1", 2048}, {"T2", 1024},
    {"T4", 512},  {"T8", 256},  {"T16", 128}, {"T32", 64},  {"P1", 4608}, {"P2", 2304}, {"P4", 1152}, {"P8", 576},
    {"P16", 288}, {"P32", 144}, {"D1", 5376}, {"D2", 2688}, {"D4", 1344}, {"D8", 672},  {"D16", 336}, {"D32", 168},
};

// The entry of a length code; an unknown code has none. The table holds six
// note values (1 to 32) per group: plain, then T, P and D.
const LengthCode* FindLength(std::string_view code) {
    size_t group = 0;
    if (!code.empty() && (code[0] == 'T' || code[0] == 'P' || code[0] == 'D')) {
        group = code[0] == 'T' ? 1 : code[0] == 'P' ? 2 : 3;
        code.remove_prefix(1);
    }
    size_t value;
    if (code == "1") value = 0;
    else if (code == "2")
        value = 1;
    else if (code == "4")
        value = 2;
    else if (code == "8")
        value = 3;
    else if (code == "16")
        value = 4;
    else if (code == "32")
        value = 5;
    else
        return nullptr;
    return &kLengths[6 * group + value];
}

constexpr std::string_view kInstruments[80] = {
    "Acoustic Grand Piano",
    "Bright Acoustic Piano",
    "Electric Grand Piano",
    "Honky-Tonk Piano",
    "Electric Piano 1",
    "Electric Piano 2",
    "Harpsichord",
    "Clavichord",
    "Celesta",
    "Chime",
    "Music Box",
    "Vibraphon",
    "Marimba",
    "Xylophon",
    "Tubular Bells",
    "Dulcimer",
    "Drawbar Organ",
    "Percussive Organ",
    "Rock Organ",
    "Church Organ",
    "Reed Organ",
    "Akkordion",
    "Harmonica",
    "Tango Akkordion",
    "Acoustic Guitar (nylon)",
    "Acoustic Guitar (steel)",
    "Acoustic Guitar (Jazz)",
    "Acoustic Guitar (clean)",
    "Acoustic Guitar (muted)",
    "Overdriven Guitar",
    "Distortion",
    "Guitar Harmonics",
    "Acoustic Bass",
    "Electric Bass (finger)",
    "Electric Bass (pick)",
    "Fretless Bass",
    "Slap Bass 1",
    "Slap Bass 2",
    "Synth Bass 1",
    "Synth Bass 2",
    "Violin",
    "Viola",
    "Cello",
    "Contrabass",
    "Strings (tremolo)",
    "Strings (pizzicato)",
    "Orchestral Harp",
    "Timpani",
    "String Ensemble 1",
    "String Ensemble 2",
    "Synth Strings 1",
    "Synth Strings 2",
    "Choirs Aahs",
    "Voice Oohs",
    "Synth Voice",
    "Orchestra Hit",
    "Trumpet",
    "Trombone",
    "Tuba",
    "Trumpet (muted)",
    "French Horn",
    "Brass Section",
    "Synth Brass 1",
    "Synth Brass 2",
    "Soprano Sax",
    "Alto Sax",
    "Tenor Sax",
    "Baritone Sax",
    "Oboe",
    "English Horn",
    "Bassoon",
    "Clarinet",
    "Piccolo",
    "Flute",
    "Recorder",
    "Pan Flute",
    "Blown Bottle",
    "Shakuhachi",
    "Whistle",
    "Ocarina",
};

// Hertz of semitones 0 and 1 of each octave.
constexpr long double kOctaveHz[11][2] = {
    {8.1758L, 8.662L},        {16.3516L, 17.3239L},     {32.7032L, 34.6478L},     {65.4064L, 69.2957L},
    {130.8128L, 138.5913L},   {261.6256L, 277.1827L},   {523.2512L, 554.3654L},   {1046.5025L, 1108.7307L},
    {2093.0049L, 2217.4614L}, {4186.0098L, 4434.9229L}, {8372.0196L, 8869.8457L},
};

// The note list of the program, shared by every TVMidi.
struct NoteList {
    std::vector<AnsiString> notes, lengths, velocities;
};
NoteList& Notes() {
    static NoteList list;
    return list;
}

void CheckNote(int note) {
    if (note < 0 || note > 127)
        throw EMidiError(ansi::Format("%s is not a MIDI note number (0 to 127)", ansi::IntToStr(note)));
}

// A data byte from its decimal text: EConvertError for no number,
// EMidiError (naming what) for one outside 0 to 127.
char DataByte(std::string_view text, const char* what) {
    // One to three digits, as nearly every note and velocity is written,
    // read the same as through the runtime's conversion.
    if (!text.empty() && text.size() <= 3) {
        int value = 0;
        for (char c : text) value = c >= '0' && c <= '9' && value >= 0 ? value * 10 + (c - '0') : -1;
        if (value >= 0 && value <= 127) return static_cast<char>(value);
    }
    const int value = ansi::StrToInt(text);
    if (value < 0 || value > 127)
        throw EMidiError(ansi::Format(AnsiString("%s is not a MIDI ") + what + " (0 to 127)", ansi::IntToStr(value)));
    return static_cast<char>(value);
}

// Calls piece(text) for each comma-separated piece: a comma ends a piece,
// even an empty one; what follows the last comma only when it is not empty.
template <class F>
void ForEachPiece(std::string_view text, F&& piece) {
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string_view::npos; start = comma + 1)
        piece(text.substr(start, comma - start));
    if (start < text.size()) piece(text.substr(start));
}

void AppendVariableLength(AnsiString& out, unsigned value) {
    char bytes[5];
    size_t n = 0;
    do {
        bytes[n++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n > 1) out += static_cast<char>(bytes[--n] | 0x80);
    out += bytes[0];
}

void AppendBigEndian(AnsiString& out, uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// The text of a value truncated to thousandths, with the separator before
// the last three digits.
AnsiString Thousandths(long double value, char separator) {
    const long double scaled = std::trunc(value * 1000);
    if (std::isnan(scaled)) return "NAN";
    if (std::isinf(scaled)) return scaled < 0 ? "-INF" : "INF";
    // Every digit of the whole number, up to the 4933 of the largest value.
    const long double magnitude = std::fabs(scaled);
    std::string all(static_cast<size_t>(std::snprintf(nullptr, 0, "%04.0Lf", magnitude)), '0');
    std::snprintf(all.data(), all.size() + 1, "%04.0Lf", magnitude);
    AnsiString text = scaled < 0 ? "-" : "";
    text.append(all.substr(0, all.size() - 3));
    text += separator;
    text.append(all.substr(all.size() - 3));
    return text;
}

// The time-signature event of a meter.
AnsiString TimeSignature(std::string_view meter) {
    struct Meter {
        std::string_view text;
        char numerator, denominatorPower;
    };
    static constexpr Meter kMeters[] = {{"4/4", 4, 2}, {"6/8", 6, 3}, {"3/4", 3, 2}};
    for (const Meter& m : kMeters)
        if (m.text == meter)
            // 24 MIDI clocks per metronome click, 8 thirty-seconds per quarter.
            return AnsiString("\x00\xFF\x58\x04", 4) + m.numerator + m.denominatorPower + "\x18\x08";
    throw EMidiError(ansi::Format("Unknown time signature %s", meter));
}

const AnsiString kEndOfTrack("\x00\xFF\x2F\x00", 4);

void AppendTrack(AnsiString& out, const AnsiString& events) {
    out += "MTrk";
    AppendBigEndian(out, static_cast<uint32_t>(events.size()), 4);
    out += events;
}

}  // namespace

TVMidi::TVMidi(QObject* owner) : QObject(owner) {}

int TVMidi::GetOctave(int note) {
    CheckNote(note);
    return note / 12;
}

AnsiString TVMidi::GetHz(int note) {
    const int octave = GetOctave(note);
    const long double* hz = kOctaveHz[octave];
    const long double ratio = hz[1] / hz[0];
    long double f = hz[0];
    for (int semitone = note % 12; semitone > 0; --semitone) f *= ratio;
    return Thousandths(f, ',');
}

long double TVMidi::GetSekundenOfLength(const AnsiString& length, long double wholeNote) {
    const LengthCode* l = FindLength(length);
    return l ? wholeNote * l->ticks / kTicksPerWhole : wholeNote;
}

AnsiString TVMidi::LongToStr(long double value) { return Thousandths(value, '.'); }

void TVMidi::FillInstrumentList(std::vector<AnsiString>& list) {
    list.insert(list.end(), std::begin(kInstruments), std::end(kInstruments));
}

int TVMidi::GetHexInstrument(const AnsiString& name) {
    for (size_t i = 0; i < std::size(kInstruments); ++i)
        if (kInstruments[i] == name) return static_cast<int>(i);
    return 0;
}

AnsiString TVMidi::GetStringInstrument(int program) {
    if (program < 0 || program >= static_cast<int>(std::size(kInstruments))) return {};
    return AnsiString(kInstruments[program]);
}

void TVMidi::AddNote(const AnsiString& notes, const AnsiString& length, const AnsiString& velocity) {
    NoteList& list = Notes();
    list.notes.push_back(notes);
    list.lengths.push_back(length);
    list.velocities.push_back(velocity);
}

void TVMidi::DeleteNote(int index) {
    NoteList& list = Notes();
    if (index < 0 || index >= NoteCount()) throw EListError::Index(index);
    const auto at = static_cast<std::ptrdiff_t>(index);
    list.notes.erase(list.notes.begin() + at);
    list.lengths.erase(list.lengths.begin() + at);
    list.velocities.erase(list.velocities.begin() + at);
}

void TVMidi::ClearNotes() {
    NoteList& list = Notes();
    list.notes.clear();
    list.lengths.clear();
    list.velocities.clear();
}

int TVMidi::NoteCount() const { return static_cast<int>(Notes().notes.size()); }

void TVMidi::ExtractNotes(const AnsiString& text, std::vector<AnsiString>& list) {
    list.clear();
    ForEachPiece(text, [&](std::string_view piece) { list.emplace_back(piece); });
}

void TVMidi::NoteOnEvent(AnsiString& track, const AnsiString& length, const AnsiString& velocity,
                         const AnsiString& notes) const {
    const char loudness = DataByte(velocity, "velocity");
    // Every note starts at once. A note that cannot be written takes back
    // what this event has written so far.
    const size_t start = track.size();
    try {
        ForEachPiece(notes, [&](std::string_view piece) {
            const char key = DataByte(piece, "note number");
            track.append({'\0', '\x90', key, loudness});
        });
    } catch (...) {
        track.resize(start);
        throw;
    }
    const size_t keys = (track.size() - start) / 4;
    if (keys == 0) throw EMidiError(ansi::Format("'%s' names no note", notes));

    // The first note ends after the event's length, the others with it. The
    // coarse form writes a two-byte length with a zero last byte; a length of
    // one byte has no coarse form and is written as it is.
    const LengthCode* l = FindLength(length);
    const size_t deltaAt = track.size();
    AppendVariableLength(track, l ? static_cast<unsigned>(l->ticks) : 0u);
    if (!ExactDeltas && track.size() - deltaAt == 2) track.back() = '\0';
    for (size_t i = 0; i < keys; ++i) {
        if (i > 0) track += '\0';
        track.append({'\x80', track[start + 4 * i + 2], loudness});
    }
}

void TVMidi::AppendNoteTrack(AnsiString& out) const {
    const NoteList& list = Notes();
    out.reserve(out.size() + list.notes.size() * 13 + kEndOfTrack.size());
    for (size_t i = 0; i < list.notes.size(); ++i) NoteOnEvent(out, list.lengths[i], list.velocities[i], list.notes[i]);
    out += kEndOfTrack;
}

size_t TVMidi::CountBytes() const {
    AnsiString track;
    AppendNoteTrack(track);
    return track.size();
}

void TVMidi::WriteMidiFile(const AnsiString& fileName) const {
    AnsiString file;
    // Header: format 1, three tracks, ticks per quarter note.
    file.append("MThd\x00\x00\x00\x06\x00\x01\x00\x03", 12);
    AppendBigEndian(file, kTicksPerQuarter, 2);
    // Track 1: meter and tempo (a quarter note lasts 500,000 microseconds).
    AppendTrack(file, TimeSignature("4/4") + AnsiString("\x00\xFF\x51\x03\x07\xA1\x20", 7) + kEndOfTrack);
    // Track 2: the notes, its length filled in once they are written.
    file += "MTrk";
    const size_t lengthAt = file.size();
    file.append(4, '\0');
    AppendNoteTrack(file);
    const size_t length = file.size() - lengthAt - 4;
    if (length > 0xFFFFFFFFu) throw EMidiError("The note list is too long for a MIDI file");
    AnsiString field;
    AppendBigEndian(field, static_cast<uint32_t>(length), 4);
    file.replace(lengthAt, 4, field);
    // Track 3: the MIDI channel prefix.
    AppendTrack(file, AnsiString("\x00\xFF\x20\x01\x01", 5) + kEndOfTrack);

    files::ReplaceWholeFile(fileName, file);
}
