#pragma once
// TVMidi: music functions (note number to octave and frequency, note-length
// codes to seconds, the names of the first 80 General MIDI programs) and a
// note list written as a Standard MIDI File.
//
// The note list is one for the whole program: every TVMidi adds to, reads
// and clears the same list. Each entry is one note event: the notes (one
// MIDI note number in decimal, or several separated by commas that sound
// together), a length code ("4" a quarter, "T8" a triplet eighth, "P2" a
// dotted half, "D16" a double-dotted sixteenth ...) and a velocity. The
// events follow each other without rests.

#include "platform/ansi/ansi.h"
#include "platform/errors/Exception.h"

#include <QObject>
#include <string>
#include <vector>

// A note number, velocity or note event that MIDI cannot carry.
class EMidiError : public Exception {
    using Exception::Exception;
};
class TVMidi : public QObject {
    Q_OBJECT
public:
    explicit TVMidi(QObject* owner = nullptr);

    // How the length of a note event is written. False: as a coarse delta
    // whose last byte is zero (exact for every length that is a multiple of
    // 128 ticks); true: as the exact tick count. Lengths that the coarse
    // form cannot carry are always written exactly.
    bool ExactDeltas = false;

    // The octave (note / 12) of a note 0 to 127. Raises EMidiError for
    // other numbers.
    static int GetOctave(int note);
    // The frequency of a note 0 to 127 in hertz, with three decimals after a
    // comma: "261,625" for note 60. Raises EMidiError for other numbers.
    static AnsiString GetHz(int note);
    // The seconds a note of the length code lasts when a whole note lasts
    // wholeNote seconds; an unknown code counts as a whole note.
    static long double GetSekundenOfLength(const AnsiString& length, long double wholeNote);
    // The value truncated to three decimals, with a point: "1.500", "-0.250".
    static AnsiString LongToStr(long double value);

    // Appends the 80 program names, in program order.
    static void FillInstrumentList(std::vector<AnsiString>& list);
    // The program with exactly this name, 0 when there is none.
    static int GetHexInstrument(const AnsiString& name);
    // The program's name; empty for a program outside 0 to 79.
    static AnsiString GetStringInstrument(int program);

    // The note list.
    void AddNote(const AnsiString& notes, const AnsiString& length, const AnsiString& velocity);
    // Raises EListError for an index outside the list.
    void DeleteNote(int index);
    void ClearNotes();
    int NoteCount() const;

    // Clears the list and fills it with the comma-separated pieces of the
    // text; a piece after the last comma only when it is not empty.
    static void ExtractNotes(const AnsiString& text, std::vector<AnsiString>& list);

    // The length in bytes of the note track's events, end of track included,
    // exactly as WriteMidiFile writes them. Raises as WriteMidiFile does for a
    // list that cannot be written.
    size_t CountBytes() const;
    // Appends the events of one note event to the track bytes. Raises
    // EConvertError for a note or velocity that is not a decimal number and
    // EMidiError for one outside 0 to 127 or for an event without notes;
    // nothing is appended then.
    void NoteOnEvent(AnsiString& track, const AnsiString& length, const AnsiString& velocity,
                     const AnsiString& notes) const;
    // Writes the note list as a MIDI file of three tracks (tempo and time
    // signature, the notes, the channel), atomically: a list that cannot be
    // written raises before anything is written and leaves any earlier file
    // as it was. Raises EFCreateError when the file cannot be written.
    void WriteMidiFile(const AnsiString& fileName) const;

private:
    // Appends the note track's events, end of track included.
    void AppendNoteTrack(AnsiString& out) const;
};
