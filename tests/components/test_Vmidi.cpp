#include "components/Vmidi/Vmidi.h"
#include "platform/files/files.h"
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <cmath>
#include <limits>

using namespace testsupport;

namespace {

struct Length {
    const char* code;
    const char* exactDelta;   // bytes of the length, hex
    const char* coarseDelta;  // the same with ExactDeltas off
    int exactTicks, coarseTicks;
    double ofWhole;  // fraction of a whole note
};
// Every length code, and one that is none.
const Length kLengths[] = {
    {"1", "9800", "9800", 3072, 3072, 1},
    {"2", "8C00", "8C00", 1536, 1536, 1.0 / 2},
    {"4", "8600", "8600", 768, 768, 1.0 / 4},
    {"8", "8300", "8300", 384, 384, 1.0 / 8},
    {"16", "8140", "8100", 192, 128, 1.0 / 16},
    {"32", "60", "60", 96, 96, 1.0 / 32},
    {"T1", "9000", "9000", 2048, 2048, 2.0 / 3},
    {"T2", "8800", "8800", 1024, 1024, 1.0 / 3},
    {"T4", "8400", "8400", 512, 512, 1.0 / 6},
    {"T8", "8200", "8200", 256, 256, 1.0 / 12},
    {"T16", "8100", "8100", 128, 128, 1.0 / 24},
    {"T32", "40", "40", 64, 64, 1.0 / 48},
    {"P1", "A400", "A400", 4608, 4608, 3.0 / 2},
    {"P2", "9200", "9200", 2304, 2304, 3.0 / 4},
    {"P4", "8900", "8900", 1152, 1152, 3.0 / 8},
    {"P8", "8440", "8400", 576, 512, 3.0 / 16},
    {"P16", "8220", "8200", 288, 256, 3.0 / 32},
    {"P32", "8110", "8100", 144, 128, 3.0 / 64},
    {"D1", "AA00", "AA00", 5376, 5376, 7.0 / 4},
    {"D2", "9500", "9500", 2688, 2688, 7.0 / 8},
    {"D4", "8A40", "8A00", 1344, 1280, 7.0 / 16},
    {"D8", "8520", "8500", 672, 640, 7.0 / 32},
    {"D16", "8250", "8200", 336, 256, 7.0 / 64},
    {"D32", "8128", "8100", 168, 128, 7.0 / 128},
    {"X", "00", "00", 0, 0, 1},
};

const QByteArray kHeader = QByteArray::fromHex("4D546864 00000006 0001 0003 0300");
const QByteArray kMeterTrack = QByteArray::fromHex("4D54726B 00000013 00FF5804 04021808 00FF5103 07A120 00FF2F00");
const QByteArray kChannelTrack = QByteArray::fromHex("4D54726B 00000009 00FF2001 01 00FF2F00");
const QByteArray kEndOfTrack = QByteArray::fromHex("00FF2F00");

QByteArray Bytes(const AnsiString& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

// The note track's events from a written file, after checking the tracks
// around it.
QByteArray NoteTrack(const QByteArray& file) {
    const qsizetype at = kHeader.size() + kMeterTrack.size();
    if (!file.startsWith(kHeader + kMeterTrack) || file.mid(at, 4) != "MTrk") return "<bad head>";
    const auto* p = reinterpret_cast<const unsigned char*>(file.constData()) + at + 4;
    const qsizetype length = qsizetype(p[0]) << 24 | qsizetype(p[1]) << 16 | qsizetype(p[2]) << 8 | p[3];
    if (file.size() != at + 8 + length + kChannelTrack.size() || !file.endsWith(kChannelTrack)) return "<bad length>";
    return file.mid(at + 8, length);
}

// A python3 that has the mido module, if this machine has one.
QString PythonWithMido() {
    for (const QString& candidate : {QStandardPaths::findExecutable("python3"), QString("/usr/bin/python3")}) {
        if (candidate.isEmpty()) continue;
        QProcess p;
        p.start(candidate, {"-c", "import mido"});
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0) return candidate;
    }
    return {};
}

// What mido reads from a MIDI file: one line per message with its track, its
// absolute time in ticks and its fields.
const char* kMidoDump = R"(
import sys, mido
m = mido.MidiFile(sys.argv[1])
print("type", m.type, "tracks", len(m.tracks), "ticks", m.ticks_per_beat, "seconds", "%.6f" % m.length)
for i, track in enumerate(m.tracks):
    now = 0
    for msg in track:
        now += msg.time
        if msg.type in ("note_on", "note_off"):
            print(i, now, msg.type, msg.channel, msg.note, msg.velocity)
        elif msg.type == "set_tempo":
            print(i, now, "tempo", msg.tempo)
        elif msg.type == "time_signature":
            print(i, now, "meter", msg.numerator, msg.denominator, msg.clocks_per_click, msg.notated_32nd_notes_per_beat)
        elif msg.type == "channel_prefix":
            print(i, now, "channel_prefix", msg.channel)
        else:
            print(i, now, msg.type)
)";

}  // namespace

class TestVmidi : public QObject {
    Q_OBJECT

    TVMidi midi;
    AnsiString file;

    QByteArray Written() {
        midi.WriteMidiFile(file);
        return Bytes(ReadFile(file));
    }

private slots:
    void init() {
        FreshSandbox();
        midi.ClearNotes();
        midi.ExactDeltas = false;
        file = InProgramDir("song.mid");
    }

    // One note of each length, in both forms: the note on, the length, the
    // note off, the end of the track; CountBytes agrees with the file.
    void lengthCodes_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QByteArray>("delta");
        QTest::addColumn<double>("ofWhole");
        for (const Length& l : kLengths)
            for (bool exact : {true, false})
                QTest::addRow("%s %s", l.code, exact ? "exact" : "coarse")
                    << l.code << exact << QByteArray::fromHex(exact ? l.exactDelta : l.coarseDelta) << l.ofWhole;
    }
    void lengthCodes() {
        QFETCH(QString, code);
        QFETCH(bool, exact);
        QFETCH(QByteArray, delta);
        QFETCH(double, ofWhole);
        midi.ExactDeltas = exact;
        midi.AddNote("60", code.toStdString(), "100");
        const QByteArray track = QByteArray::fromHex("00903C64") + delta + QByteArray::fromHex("803C64") + kEndOfTrack;
        QCOMPARE(NoteTrack(Written()), track);
        QCOMPARE(midi.CountBytes(), size_t(track.size()));
        QCOMPARE(double(TVMidi::GetSekundenOfLength(code.toStdString(), 2)), 2 * ofWhole);
    }

    // Whole files and note tracks byte for byte.
    void files_data() {
        QTest::addColumn<QStringList>("entries");  // notes|length|velocity
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QByteArray>("track");
        QTest::newRow("one quarter") << QStringList{"60|4|100"} << true
                                     << QByteArray::fromHex("00903C64 8600 803C64 00FF2F00");
        QTest::newRow("chord of a whole note") << QStringList{"60,64,67|1|100"} << false
                                               << QByteArray::fromHex(
                                                      "00903C64 00904064 00904364 9800 803C64 00804064 00804364"
                                                      "00FF2F00");
        QTest::newRow("events one after the other")
            << QStringList{"60|16|90", "62,65|32|80", "0|T32|0", "127|P1|127"} << true
            << QByteArray::fromHex(
                   "00903C5A 8140 803C5A"
                   "00903E50 00904150 60 803E50 00804150"
                   "00900000 40 800000"
                   "00907F7F A400 807F7F 00FF2F00");
        QTest::newRow("numbers as the runtime reads them")
            << QStringList{" 60, 064,67,|8|0100"} << false
            << QByteArray::fromHex("00903C64 00904064 00904364 8300 803C64 00804064 00804364 00FF2F00");
        QTest::newRow("no notes at all") << QStringList() << false << kEndOfTrack;
    }
    void files() {
        QFETCH(QStringList, entries);
        QFETCH(bool, exact);
        QFETCH(QByteArray, track);
        midi.ExactDeltas = exact;
        for (const QString& e : entries) {
            const QStringList f = e.split('|');
            midi.AddNote(f[0].toStdString(), f[1].toStdString(), f[2].toStdString());
        }
        const QByteArray length = QByteArray::fromHex(QByteArray::number(track.size(), 16).rightJustified(8, '0'));
        QCOMPARE(Written(), kHeader + kMeterTrack + "MTrk" + length + track + kChannelTrack);
        QCOMPARE(midi.CountBytes(), size_t(track.size()));
    }

    // A list that MIDI cannot carry is refused before anything is written:
    // no new file, and an earlier file keeps its bytes.
    void refused_data() {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("velocity");
        QTest::addColumn<QString>("error");
        // clang-format off
        QTest::newRow("note above 127") << "60,128" << "100" << "128 is not a MIDI note number (0 to 127)";
        QTest::newRow("negative note") << "-1" << "100" << "-1 is not a MIDI note number (0 to 127)";
        QTest::newRow("note 256 would be note 0") << "256" << "100" << "256 is not a MIDI note number (0 to 127)";
        QTest::newRow("velocity above 127") << "60" << "128" << "128 is not a MIDI velocity (0 to 127)";
        QTest::newRow("negative velocity") << "60" << "-5" << "-5 is not a MIDI velocity (0 to 127)";
        QTest::newRow("velocity no number") << "60" << "loud" << "'loud' is not a valid integer value";
        QTest::newRow("note no number") << "C4" << "100" << "'C4' is not a valid integer value";
        QTest::newRow("empty piece") << "60,,64" << "100" << "'' is not a valid integer value";
        QTest::newRow("no notes") << "" << "100" << "'' names no note";
        // clang-format on
    }
    void refused() {
        QFETCH(QString, notes);
        QFETCH(QString, velocity);
        QFETCH(QString, error);
        midi.AddNote("60", "4", "100");
        midi.AddNote(notes.toStdString(), "4", velocity.toStdString());
        for (bool earlierFile : {false, true}) {
            if (earlierFile) WriteFile(file, "earlier");
            try {
                midi.WriteMidiFile(file);
                QFAIL("written");
            } catch (const Exception& e) {
                QCOMPARE(QString::fromStdString(e.Message), error);
            }
            QCOMPARE(files::FileExists(file), earlierFile);
            if (earlierFile) QCOMPARE(ReadFile(file), AnsiString("earlier"));
        }
        QVERIFY_THROWS_EXCEPTION(Exception, midi.CountBytes());
        // The entry before it alone writes.
        midi.DeleteNote(1);
        QCOMPARE(midi.CountBytes(), size_t(13));
    }

    void cannotCreateFile() {
        midi.AddNote("60", "4", "100");
        QVERIFY_THROWS_EXCEPTION(EFCreateError, midi.WriteMidiFile(InProgramDir("no such folder/song.mid")));
    }

    // The list belongs to the program, not to one TVMidi.
    void noteListIsShared() {
        TVMidi other;
        midi.AddNote("60", "4", "100");
        other.AddNote("62", "4", "100");
        midi.AddNote("64", "4", "100");
        QCOMPARE(other.NoteCount(), 3);
        other.DeleteNote(1);
        QCOMPARE(NoteTrack(Written()), QByteArray::fromHex("00903C64 8600 803C64 00904064 8600 804064") + kEndOfTrack);
        for (int index : {-1, 2, 1000}) {
            try {
                midi.DeleteNote(index);
                QFAIL("deleted");
            } catch (const EListError& e) {
                QCOMPARE(e.Message, ansi::Format("List index out of bounds (%s)", ansi::IntToStr(index)));
            }
        }
        QCOMPARE(midi.NoteCount(), 2);
        other.ClearNotes();
        QCOMPARE(midi.NoteCount(), 0);
    }

    void extractNotes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("chord") << "60,64,67" << QStringList{"60", "64", "67"};
        QTest::newRow("one") << "60" << QStringList{"60"};
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("empty piece inside") << "60,,64" << QStringList{"60", "", "64"};
        QTest::newRow("leading comma") << ",60" << QStringList{"", "60"};
        QTest::newRow("trailing comma") << "60," << QStringList{"60"};
        QTest::newRow("only a comma") << "," << QStringList{""};
    }
    void extractNotes() {
        QFETCH(QString, text);
        QFETCH(QStringList, pieces);
        std::vector<AnsiString> list{"left over"};
        TVMidi::ExtractNotes(text.toStdString(), list);
        QStringList got;
        for (const AnsiString& p : list) got << QString::fromStdString(p);
        QCOMPARE(got, pieces);
    }

    void frequencies_data() {
        QTest::addColumn<int>("note");
        QTest::addColumn<int>("octave");
        QTest::addColumn<QString>("hz");
        QTest::newRow("lowest") << 0 << 0 << "8,175";
        QTest::newRow("second semitone") << 1 << 0 << "8,662";
        QTest::newRow("top of octave 0") << 11 << 0 << "15,434";
        QTest::newRow("octave 1") << 12 << 1 << "16,351";
        QTest::newRow("middle C") << 60 << 5 << "261,625";
        QTest::newRow("concert A") << 69 << 5 << "440,000";
        QTest::newRow("highest") << 127 << 10 << "12543,855";
    }
    void frequencies() {
        QFETCH(int, note);
        QFETCH(int, octave);
        QFETCH(QString, hz);
        QCOMPARE(TVMidi::GetOctave(note), octave);
        QCOMPARE(QString::fromStdString(TVMidi::GetHz(note)), hz);
    }
    void notesOutsideMidi() {
        for (int note : {-1, -12, 128, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
            QVERIFY_THROWS_EXCEPTION(EMidiError, TVMidi::GetOctave(note));
            QVERIFY_THROWS_EXCEPTION(EMidiError, TVMidi::GetHz(note));
        }
    }

    void longToStr_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one and a half") << 1.5 << "1.500";
        QTest::newRow("quarter") << 0.25 << "0.250";
        QTest::newRow("below a tenth") << 0.05 << "0.050";
        QTest::newRow("below a hundredth") << 0.007 << "0.007";
        QTest::newRow("zero") << 0.0 << "0.000";
        QTest::newRow("negative below one") << -0.25 << "-0.250";
        QTest::newRow("negative") << -12.5 << "-12.500";
        QTest::newRow("negative rounding to zero") << -0.0004 << "0.000";
        QTest::newRow("truncated, not rounded") << 2.0 / 3 << "0.666";
        QTest::newRow("large") << 123456789.0 << "123456789.000";
        QTest::newRow("beyond 64-bit thousandths") << 1e20 << "100000000000000000000.000";
        QTest::newRow("not a number") << std::nan("") << "NAN";
        QTest::newRow("infinite") << -HUGE_VAL << "-INF";
    }
    void longToStr() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(TVMidi::LongToStr(value)), text);
    }

    // A value of any size is written whole: every digit of its integer part
    // (powers of two, exact in every floating type, against their decimal
    // digits worked out by doubling).
    void longToStrHuge() {
        for (int power : {200, 233, 1000, 13000}) {
            std::string digits = "1";
            for (int i = 0; i < power; ++i) {
                int carry = 0;
                for (auto d = digits.rbegin(); d != digits.rend(); ++d) {
                    const int twice = (*d - '0') * 2 + carry;
                    *d = static_cast<char>('0' + twice % 10);
                    carry = twice / 10;
                }
                if (carry) digits.insert(digits.begin(), '1');
            }
            const long double value = std::ldexp(power % 2 ? -1.0L : 1.0L, power);
            QCOMPARE(TVMidi::LongToStr(value), (power % 2 ? "-" : "") + digits + ".000");
        }
    }

    void seconds() {
        QCOMPARE(TVMidi::LongToStr(TVMidi::GetSekundenOfLength("P4", 2)), AnsiString("0.750"));
        QCOMPARE(double(TVMidi::GetSekundenOfLength("unknown", 2.5)), 2.5);
        QCOMPARE(double(TVMidi::GetSekundenOfLength("t4", 2)), 2.0);  // codes are case-sensitive
    }

    void instruments() {
        std::vector<AnsiString> list{"kept"};
        TVMidi::FillInstrumentList(list);
        QCOMPARE(list.size(), size_t(81));
        QCOMPARE(list[0], AnsiString("kept"));
        QCOMPARE(list[1], AnsiString("Acoustic Grand Piano"));
        QCOMPARE(list[80], AnsiString("Ocarina"));
        for (int i = 0; i < 80; ++i) {
            QCOMPARE(TVMidi::GetStringInstrument(i), list[size_t(i) + 1]);
            QCOMPARE(TVMidi::GetHexInstrument(list[size_t(i) + 1]), i);
        }
        QCOMPARE(TVMidi::GetStringInstrument(80), AnsiString());
        QCOMPARE(TVMidi::GetStringInstrument(-1), AnsiString());
        QCOMPARE(TVMidi::GetHexInstrument("Vibraphon"), 11);
        QCOMPARE(TVMidi::GetHexInstrument("Vibraphone"), 0);
        QCOMPARE(TVMidi::GetHexInstrument("vibraphon"), 0);
        QCOMPARE(TVMidi::GetStringInstrument(13), AnsiString("Xylophon"));
        QCOMPARE(TVMidi::GetStringInstrument(21), AnsiString("Akkordion"));
        QCOMPARE(TVMidi::GetStringInstrument(52), AnsiString("Choirs Aahs"));
    }

    // A real MIDI reader sees the tracks, the tempo, the meter and every note
    // at the time its lengths add up to, for every length in both forms.
    void realReader_data() {
        QTest::addColumn<bool>("exact");
        QTest::newRow("exact") << true;
        QTest::newRow("coarse") << false;
    }
    void realReader() {
        QFETCH(bool, exact);
        const QString python = PythonWithMido();
        if (python.isEmpty()) QSKIP("Python's mido module is not installed (Debian python3-mido)");
        midi.ExactDeltas = exact;
        QStringList expected;
        int now = 0, note = 30;
        auto play = [&](const QList<int>& keys, const Length& l, int velocity) {
            QStringList text;
            for (int k : keys) text << QString::number(k);
            midi.AddNote(text.join(',').toStdString(), l.code, ansi::IntToStr(velocity));
            for (int k : keys) expected << QString("1 %1 note_on 0 %2 %3").arg(now).arg(k).arg(velocity);
            now += exact ? l.exactTicks : l.coarseTicks;
            for (int k : keys) expected << QString("1 %1 note_off 0 %2 %3").arg(now).arg(k).arg(velocity);
        };
        for (const Length& l : kLengths) {
            play({note}, l, 64 + note % 64);
            ++note;
        }
        play({60, 64, 67}, kLengths[5], 100);  // a chord of "32"
        play({48, 55}, kLengths[15], 127);     // and of "P8"
        midi.WriteMidiFile(file);

        QProcess p;
        p.start(python, {"-c", kMidoDump, QString::fromStdString(file)});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        // 768 ticks a quarter at 120 quarters a minute: a tick is 1/1536 s.
        QCOMPARE(lines.takeFirst(), QString("type 1 tracks 3 ticks 768 seconds %1").arg(now / 1536.0, 0, 'f', 6));
        QStringList head{"0 0 meter 4 4 24 8", "0 0 tempo 500000", "0 0 end_of_track"};
        QStringList tail{QString("1 %1 end_of_track").arg(now), "2 0 channel_prefix 1", "2 0 end_of_track"};
        QCOMPARE(lines, head + expected + tail);
    }
};

FLICKSTOW_TEST_MAIN(TestVmidi)
#include "test_Vmidi.moc"
