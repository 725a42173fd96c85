#include "app/formats/CatalogueFile.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "tests/support/OneBufferCatalogue.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <csignal>
#include <random>
#include <unistd.h>

namespace {

using testsupport::CatalogueBlock;

MovieRecord Film(const char* title, const char* mid) {
    return {title, mid, "Drama", "English", "DVD", "1", "Owned", "Yes", "8", "t_solaris417.jpg", "Ocean planet"};
}

RecordStore Parse(std::string_view text) {
    RecordStore rows;
    ParseCatalogue(text, rows);
    return rows;
}

std::vector<AnsiString> Lines(const AnsiString& text) {
    std::vector<AnsiString> lines;
    size_t pos = 0, crlf;
    while ((crlf = text.find("\r\n", pos)) != AnsiString::npos) {
        lines.push_back(text.substr(pos, crlf - pos));
        pos = crlf + 2;
    }
    return lines;
}

}  // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void twoFilmsRoundTrip() {
        RecordStore rows;
        rows.Append(Film("Solaris", "3"));
        rows.Append(Film("Stalker", "3"));  // duplicate MIDs are kept
        AnsiString text = SerializeCatalogue(rows);
        std::vector<AnsiString> lines = Lines(text);
        QCOMPARE(lines.size(), size_t(26));
        QVERIFY(text.ends_with("\r\n"));
        QCOMPARE(lines[0], AnsiString("Solaris"));
        QCOMPARE(lines[1], AnsiString("Drama"));
        QCOMPARE(lines[7], AnsiString("3"));
        QCOMPARE(lines[20], AnsiString("3"));
        QCOMPARE(lines[10], AnsiString("Ocean planet"));
        QCOMPARE(lines[11], AnsiString());
        QCOMPARE(lines[24], AnsiString());
        QCOMPARE(lines[12], AnsiString("***"));
        QCOMPARE(lines[25], AnsiString("***"));
        RecordStore back = Parse(text);
        QCOMPARE(back.size(), size_t(2));
        QVERIFY(back.Get(0) == Film("Solaris", "3"));
        QVERIFY(back.Get(1) == Film("Stalker", "3"));
        QCOMPARE(SerializeCatalogue(back), text);
    }

    // Every field goes out exactly as held, whatever its length, each in
    // its line of the record.
    void fieldsOfEveryLength() {
        RecordStore rows;
        AnsiString expected;
        for (size_t length = 0; length <= 70; ++length) {
            MovieRecord r;
            for (int f = 0; f < FieldCount; ++f)
                for (size_t k = 0; k < length + static_cast<size_t>(f); ++k)
                    r.Field(f) += static_cast<char>('a' + (k * 7 + static_cast<size_t>(f)) % 26);
            rows.Append(r);
            for (const AnsiString& line : {r.Title, r.Genre, r.Language, r.Media, r.Disks, r.Status, r.Viewed, r.MID,
                                           r.Rating, r.Picture, r.Description})
                expected += line + "\r\n";
            expected += "\r\n***\r\n";
        }
        QCOMPARE(SerializeCatalogue(rows), expected);
    }

    // A file written piece by piece holds the same bytes as the text built
    // whole; an interrupted write keeps the previous file.
    void writtenInPieces() {
        testsupport::FreshSandbox();
        RecordStore rows;
        for (int i = 0; i < 20000; ++i)
            rows.Append(Film(("Film " + ansi::IntToStr(i)).c_str(), ansi::IntToStr(i % 9999 + 1).c_str()));
        AnsiString path = testsupport::InProgramDir("data.vrx");
        WriteCatalogueFile(path, rows);
        AnsiString text = testsupport::ReadFile(path);
        QCOMPARE(text, SerializeCatalogue(rows));
        QCOMPARE(Lines(text).size(), size_t(20000 * 13));
        files::test::FailNextWriteAfter(text.size() / 2);
        rows.Append(Film("One more", "1"));
        QVERIFY_THROWS_EXCEPTION(EFCreateError, WriteCatalogueFile(path, rows));
        QCOMPARE(testsupport::ReadFile(path), text);
    }

    void emptyCatalogue() {
        QCOMPARE(SerializeCatalogue(RecordStore()), AnsiString());
        QCOMPARE(Parse("").size(), size_t(0));
    }

    void lineEnds_data() {
        QTest::addColumn<QByteArray>("text");
        QByteArray crlf = QByteArray::fromStdString(CatalogueBlock("Solaris", "3") + CatalogueBlock("Stalker", "4"));
        QTest::newRow("CR LF") << crlf;
        QTest::newRow("LF") << QByteArray(crlf).replace("\r\n", "\n");
        QTest::newRow("CR") << QByteArray(crlf).replace("\r\n", "\r");
        QTest::newRow("no final line end") << crlf.left(crlf.size() - 2);
    }
    void lineEnds() {
        QFETCH(QByteArray, text);
        RecordStore rows = Parse(text.toStdString());
        QCOMPARE(rows.size(), size_t(2));
        QCOMPARE(rows.Field(1, FieldTitle), std::string_view("Stalker"));
        QCOMPARE(rows.Field(1, FieldMID), std::string_view("4"));
        QCOMPARE(rows.Field(1, FieldDescription), std::string_view("Desc"));
    }

    // LF CR ends two lines, the second empty: every later field shifts.
    void lfCrIsTwoLineEnds() {
        RecordStore rows = Parse("A\n\rDrama\n");
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(rows.Field(0, FieldGenre), std::string_view());
        QCOMPARE(rows.Field(0, FieldLanguage), std::string_view("Drama"));
    }

    void strayLineMakesShortBlock() {
        RecordStore rows = Parse(CatalogueBlock("Solaris", "1") + "Stray\r\n");
        QCOMPARE(rows.size(), size_t(2));
        MovieRecord r = rows.Get(1);
        QCOMPARE(r.Title, AnsiString("Stray"));
        QCOMPARE(r.MID, AnsiString("2"));
        QCOMPARE(r.Genre, AnsiString());
        QCOMPARE(r.Description, AnsiString());
    }

    void blankMids_data() {
        QTest::addColumn<QByteArray>("mid");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("empty") << QByteArray("") << QByteArray("2");
        QTest::newRow("spaces") << QByteArray("   ") << QByteArray("2");
        QTest::newRow("tab and control") << QByteArray("\t\x01") << QByteArray("2");
        QTest::newRow("space seven") << QByteArray(" 7") << QByteArray(" 7");
        QTest::newRow("seven space") << QByteArray("7 ") << QByteArray("7 ");
    }
    void blankMids() {
        QFETCH(QByteArray, mid);
        QFETCH(QByteArray, stored);
        RecordStore rows = Parse(CatalogueBlock("A", "1") + CatalogueBlock("B", mid.constData()));
        QCOMPARE(QByteArray(rows.Field(1, FieldMID).data(), qsizetype(rows.Field(1, FieldMID).size())), stored);
    }

    void blankMidsTakeNumbersInTurn() {
        RecordStore rows = Parse(CatalogueBlock("A", "") + CatalogueBlock("B", "2") + CatalogueBlock("C", " ") +
                                 CatalogueBlock("D", "") + CatalogueBlock("E", "1"));
        QCOMPARE(rows.Field(0, FieldMID), std::string_view("1"));
        QCOMPARE(rows.Field(2, FieldMID), std::string_view("3"));
        QCOMPARE(rows.Field(3, FieldMID), std::string_view("4"));
        QCOMPARE(rows.Field(4, FieldMID), std::string_view("1"));  // kept, though a duplicate
    }

    void nextFreeMid_data() {
        QTest::addColumn<QStringList>("mids");
        QTest::addColumn<QString>("next");
        QTest::newRow("gap") << QStringList{"1", "2", "4"} << "3";
        QTest::newRow("abc counts as 1") << QStringList{"abc", "2"} << "3";
        QTest::newRow("space seven is 7") << QStringList{" 7", "1"} << "2";
        QTest::newRow("empty catalogue") << QStringList{} << "1";
        QTest::newRow("out of range ignored") << QStringList{"0", "-1", "10000", "1"} << "2";
        QTest::newRow("signed") << QStringList{"+1", "-2"} << "2";
    }
    void nextFreeMid() {
        QFETCH(QStringList, mids);
        QFETCH(QString, next);
        RecordStore rows;
        for (const QString& m : mids) rows.Append(Film("X", m.toLatin1().constData()));
        QCOMPARE(QString::fromStdString(NextFreeMID(rows)), next);
    }

    // 9999 is the last number handed out; with it taken too, "0".
    void allMidsTaken() {
        RecordStore rows;
        for (int i = 9998; i >= 1; --i) rows.Append(Film("X", ansi::IntToStr(i).c_str()));
        QCOMPARE(NextFreeMID(rows), AnsiString("9999"));
        ParseCatalogue(CatalogueBlock("Last", ""), rows);
        QCOMPARE(rows.Field(rows.size() - 1, FieldMID), std::string_view("9999"));
        QCOMPARE(NextFreeMID(rows), AnsiString("0"));
        ParseCatalogue(CatalogueBlock("New", ""), rows);
        QCOMPARE(rows.Field(rows.size() - 1, FieldMID), std::string_view("0"));
    }

    // However long a line, it is read whole and written back whole.
    void longLinesAreKeptWhole() {
        const AnsiString title(5000, 't'), description(70000, 'd');
        const AnsiString text = title + "\r\nDrama\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n3\r\n8\r\n\r\n" +
                                description + "\r\n\r\n***\r\n";
        RecordStore rows = Parse(text);
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(rows.Field(0, FieldTitle), std::string_view(title));
        QCOMPARE(rows.Field(0, FieldDescription), std::string_view(description));
        QCOMPARE(SerializeCatalogue(rows), text);
    }

    // A save killed at any moment (the program crashes, the power fails)
    // leaves the whole old or the whole new catalogue, and a backup that is
    // whole too; the temporary files killed saves leave are cleared away at
    // the next start, and nothing else is left.
    void killedSavesLeaveWholeFiles() {
        using namespace testsupport;
        FreshSandbox();
        const AnsiString folder = ProgramDir().substr(0, ProgramDir().size() - 1);
        std::mt19937 random(20261208);
        AnsiString expected[2];
        int wholeNew = 0;
        for (int round = 0; round < 30; ++round) {
            QProcess saver;
            saver.start(SAVE_FOREVER, {QString::fromStdString(folder), "8000"});
            QVERIFY(saver.waitForStarted());
            // Let at least one save finish and the next begin, then kill the
            // saver somewhere inside a save: the moment is random.
            const int saves = 2 + static_cast<int>(random() % 2);
            for (int begun = 0; begun < saves && saver.state() == QProcess::Running;) {
                saver.waitForReadyRead(5000);
                begun += static_cast<int>(saver.readAllStandardOutput().count('\n'));
            }
            ::usleep(static_cast<useconds_t>(random() % 60000));
            QVERIFY2(saver.state() == QProcess::Running, saver.readAllStandardError().constData());
            ::kill(static_cast<pid_t>(saver.processId()), SIGKILL);
            QVERIFY(saver.waitForFinished());
            if (round == 0)
                for (int v = 0; v < 2; ++v) expected[v] = ReadFile(folder + (v ? "/b.expected" : "/a.expected"));
            const AnsiString now = ReadFile(folder + "/data.vrx"), bak = ReadFile(folder + "/data.vrx.bak");
            QVERIFY2(now == expected[0] || now == expected[1], ("round " + std::to_string(round)).c_str());
            QVERIFY(bak.empty() || bak == expected[0] || bak == expected[1]);
            wholeNew += now == expected[1];
        }
        QVERIFY(wholeNew > 0);
        // What the next start clears away.
        for (const char* name : {"/data.vrx", "/data.vrx.bak"}) files::RemoveStaleTemporaries(folder + name);
        QStringList left = QDir(QString::fromStdString(folder)).entryList(QDir::Files);
        left.sort();
        QCOMPARE(left, (QStringList{"a.expected", "b.expected", "data.vrx", "data.vrx.bak"}));
    }

    // No field can carry a line break into the file.
    void lineBreaksNeverReachTheFile() {
        RecordStore rows;
        MovieRecord r = Film("Two\r\nLines", "5");
        r.Description = "a\nb\rc";
        rows.Append(r);
        rows.Set(0, r);
        AnsiString text = SerializeCatalogue(rows);
        QCOMPARE(Lines(text).size(), size_t(13));
        QCOMPARE(rows.Get(0).Title, AnsiString("TwoLines"));
        QCOMPARE(rows.Get(0).Description, AnsiString("abc"));
    }

    void reorderAndRemove() {
        RecordStore rows;
        for (const char* t : {"a", "b", "c", "d"}) rows.Append(Film(t, "1"));
        rows.Reorder({3, 1, 0, 2});
        rows.RemoveFlagged({false, true, false, false});
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows.Field(0, FieldTitle), std::string_view("d"));
        QCOMPARE(rows.Field(1, FieldTitle), std::string_view("a"));
        QCOMPARE(rows.Field(2, FieldTitle), std::string_view("c"));
    }

    // Read in blocks as the file arrives, the catalogue gives exactly the
    // rows of its whole text read in one piece, whatever the size of the
    // blocks: every size from one byte up to the whole text (any larger
    // block, 64 KB included, reads the text in one piece too), with empty
    // blocks between. So every place in the text ends a block once: inside
    // CR LF, inside a run of Windows-1252 characters, inside a blank MID, at
    // a record's last line.
    void blocksOfEverySize_data() {
        QTest::addColumn<QByteArray>("text");
        const QByteArray films = QByteArray::fromStdString(
            CatalogueBlock("Solaris", "3") + CatalogueBlock("M\xE4rchen \x80\x9F\xFF", "") +
            CatalogueBlock("Stalker", "  ") + CatalogueBlock("Mirror", " 7"));
        QTest::newRow("CR LF") << films;
        QTest::newRow("LF") << QByteArray(films).replace("\r\n", "\n");
        QTest::newRow("CR") << QByteArray(films).replace("\r\n", "\r");
        QTest::newRow("LF CR, mixed, no final line end") << QByteArray("A\n\rB\r\rC\n\nD\r\n\r\n\r\n***\r\nE\rF");
        QTest::newRow("cut short inside the fields") << films + "Stray\r\nDrama\r";
        QTest::newRow("cut short after the fields")
            << films + QByteArray::fromStdString(CatalogueBlock("Last", "")).chopped(6);
        QTest::newRow("line ends only") << QByteArray("\r\n\r\n\n\r\r");
        QTest::newRow("long lines") << QByteArray::fromStdString(
            AnsiString(5000, 't') + "\r\nDrama\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n\r\n8\r\n\r\n" +
            AnsiString(6000, 'd') + "\r\n\r\n***\r\n" + CatalogueBlock("After", "4"));
        QTest::newRow("empty") << QByteArray();
    }
    void blocksOfEverySize() {
        QFETCH(QByteArray, text);
        const std::string_view whole(text.constData(), static_cast<size_t>(text.size()));
        RecordStore expected;
        literal::ParseWholeCatalogue(whole, expected);
        for (size_t size = 1; size <= std::max<size_t>(whole.size(), 1); ++size)
            QVERIFY2(literal::SameRows(literal::ParseInBlocks(whole, [size] { return size; }), expected),
                     ("blocks of " + std::to_string(size) + " bytes").c_str());
    }

    // A record larger than the blocks that bring it, and larger than the
    // store's shared chunks, arrives whole; every byte of the file passes
    // into the file's identity. Changed and removed, it leaves the others.
    void fileReadInBlocks() {
        testsupport::FreshSandbox();
        const AnsiString text = CatalogueBlock("Before", "1") +
                                "Big\r\nDrama\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n\r\n8\r\n\r\n" +
                                AnsiString(3 << 20, 'd') + "\r\n\r\n***\r\n" + CatalogueBlock("After", "");
        testsupport::PutCatalogue(text);
        RecordStore rows, expected;
        files::FileIdentity read, whole;
        ReadCatalogueFile(testsupport::InProgramDir("data.vrx"), rows, &read);
        files::ReadWholeFile(testsupport::InProgramDir("data.vrx"), &whole);
        QVERIFY(read.hash == whole.hash);
        QVERIFY(read.hash != files::FileIdentity{}.hash);
        literal::ParseWholeCatalogue(text, expected);
        QVERIFY(literal::SameRows(rows, expected));
        rows.Set(1, MovieRecord{"Small", "2", "", "", "", "1", "", "", "", "", ""});
        rows.RemoveFlagged({false, true, false});
        QCOMPARE(rows.Get(1).Title, AnsiString("After"));
    }

    // Any bytes load, and what loads writes back and reloads unchanged.
    void anyBytesLoad() {
        std::mt19937 rng(12345);
        for (int round = 0; round < 200; ++round) {
            AnsiString text(rng() % 3000, '\0');
            for (char& c : text) {
                unsigned v = rng() % 8;
                c = v == 0 ? '\r' : v == 1 ? '\n' : static_cast<char>(rng());
            }
            RecordStore rows = Parse(text);
            AnsiString saved = SerializeCatalogue(rows);
            RecordStore again = Parse(saved);
            QCOMPARE(again.size(), rows.size());
            QCOMPARE(SerializeCatalogue(again), saved);
        }
    }
};

FLICKSTOW_TEST_MAIN(TestCatalogue)
#include "test_catalogue.moc"
