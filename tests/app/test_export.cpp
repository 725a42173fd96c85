#include "app/formats/CatalogueFile.h"
#include "app/formats/Export.h"
#include "app/mainwindow/TForm1.h"
#include "components/Vreg/Vreg.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/files/files.h"
#include "tests/app/Windows.h"
#include "tests/support/SampleFilms.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTableView>
#include <cstring>
#include <memory>
#include <random>
#include <sys/stat.h>

using namespace testsupport;
using dialogs::test::FileDialogLog;
using dialogs::test::QueueFileDialogAnswer;

class TestExport : public QObject {
    Q_OBJECT

    Windows w;
    TForm1* form = nullptr;

    TForm1* Show(const std::vector<MovieRecord>& films) { return form = w.Create(films); }
    AnsiString ExportDir() { return InProgramDir("exports"); }

private slots:
    void init() {
        FreshSandbox();
        QDir().mkpath(QString::fromStdString(ExportDir()));
    }
    void cleanup() { w.Destroy(); }

    void csvAndTextForms() {
        RecordStore rows;
        rows.Append(kExportedSolaris);
        rows.Append(kExportedStalker);
        QCOMPARE(
            BuildExport(rows, ExportKind::Csv),
            AnsiString("Solaris,3,Drama,English,DVD,1,Owned,Yes,\r\nStalker,4,Drama,German,VHS,2,Lend To,No,\r\n"));
        QCOMPARE(BuildExport(rows, ExportKind::Text),
                 AnsiString("Solaris\r\n3\r\nDrama\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n\r\n"
                            "Stalker\r\n4\r\nDrama\r\nGerman\r\nVHS\r\n2\r\nLend To\r\nNo\r\n\r\n"));
        QCOMPARE(BuildExport(RecordStore(), ExportKind::Csv), AnsiString());
        QCOMPARE(BuildExport(RecordStore(), ExportKind::Text), AnsiString());
    }

    // A comma or a double quote inside a field cannot shift later columns:
    // such a field goes in quotes, its quotes doubled; others as they are.
    void csvQuoting_data() {
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("commas") << QByteArray("Good, Bad, Ugly") << QByteArray("\"Good, Bad, Ugly\"");
        QTest::newRow("quotes, no comma") << QByteArray("The \"Noir\" one") << QByteArray("\"The \"\"Noir\"\" one\"");
        QTest::newRow("a lone quote") << QByteArray("\"") << QByteArray("\"\"\"\"");
        QTest::newRow("quote at the end") << QByteArray("12\"") << QByteArray("\"12\"\"\"");
        QTest::newRow("plain") << QByteArray("Solaris; 1972") << QByteArray("Solaris; 1972");
        QTest::newRow("empty") << QByteArray("") << QByteArray("");
    }
    void csvQuoting() {
        QFETCH(QByteArray, title);
        QFETCH(QByteArray, written);
        RecordStore rows;
        MovieRecord r = kExportedSolaris;
        r.Title = title.toStdString();
        rows.Append(r);
        QCOMPARE(QByteArray::fromStdString(BuildExport(rows, ExportKind::Csv)),
                 written + ",3,Drama,English,DVD,1,Owned,Yes,\r\n");
        // The text form is written as held.
        QVERIFY(BuildExport(rows, ExportKind::Text).starts_with(r.Title + "\r\n3\r\n"));
    }

    // The export takes a fast path for lines that need no quotes; over many
    // random fields it writes what the plain rule (quote a field holding a
    // comma or a quote, double its quotes, a comma after every field) gives.
    void csvMatchesThePlainRule() {
        std::mt19937 random(1972);
        const char alphabet[] = "ab ,\"\xe9\t;'";
        RecordStore rows;
        AnsiString expected;
        for (int i = 0; i < 3000; ++i) {
            MovieRecord r;
            for (int f = 0; f < FieldCount; ++f) {
                AnsiString text;
                for (size_t n = random() % 9; n > 0; --n) text += alphabet[random() % (sizeof alphabet - 1)];
                r.Field(f) = text;
            }
            rows.Append(r);
            for (int f = 0; f <= FieldViewed; ++f) {
                const AnsiString& text = r.Field(f);
                if (text.find_first_of(",\"") == AnsiString::npos) {
                    expected += text;
                } else {
                    expected += '"';
                    for (char c : text) expected += c == '"' ? AnsiString("\"\"") : AnsiString(1, c);
                    expected += '"';
                }
                expected += ',';
            }
            expected += "\r\n";
        }
        QCOMPARE(BuildExport(rows, ExportKind::Csv), expected);
    }

    // Plain and quoted lines mixed, over many pieces: the file written piece
    // by piece is the text built whole, and that is each line in order.
    void largeExportMatchesLineByLine() {
        RecordStore rows;
        AnsiString expected;
        for (int i = 0; i < 20000; ++i) {
            MovieRecord r = kExportedSolaris;
            r.Title = i % 7 == 0 ? "Film, " + ansi::IntToStr(i) : "Film " + ansi::IntToStr(i);
            rows.Append(r);
            expected += (i % 7 == 0 ? "\"" + r.Title + "\"" : r.Title) + ",3,Drama,English,DVD,1,Owned,Yes,\r\n";
        }
        QCOMPARE(BuildExport(rows, ExportKind::Csv), expected);
        WriteExportFile(ExportDir() + "/big.csv", rows, ExportKind::Csv);
        QCOMPARE(ReadFile(ExportDir() + "/big.csv"), expected);
        WriteExportFile(ExportDir() + "/big.txt", rows, ExportKind::Text);
        QCOMPARE(ReadFile(ExportDir() + "/big.txt"), BuildExport(rows, ExportKind::Text));
        QVERIFY(ReadFile(ExportDir() + "/big.txt")
                    .ends_with("Yes\r\n\r\nFilm, 19999\r\n3\r\nDrama\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n\r\n"));
    }

    void extension_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("text");
        QTest::addColumn<QString>("written");
        QTest::newRow("films.CSV kept") << "films.CSV" << false << "films.CSV";
        QTest::newRow("films.txt as CSV") << "films.txt" << false << "films.txt.csv";
        QTest::newRow("films as text") << "films" << true << "films.txt";
        QTest::newRow("films.Txt as text") << "films.Txt" << true << "films.Txt";
        QTest::newRow("films.csv as text") << "films.csv" << true << "films.csv.txt";
        QTest::newRow("short name") << "a" << false << "a.csv";
    }
    void extension() {
        QFETCH(QString, chosen);
        QFETCH(bool, text);
        QFETCH(QString, written);
        TForm1* f = Show({kExportedSolaris});
        QueueFileDialogAnswer({ExportDir() + "/" + chosen.toStdString(), text ? 2 : 1});
        f->Exort1->trigger();
        QVERIFY(Boxes().empty());
        QCOMPARE(QDir(QString::fromStdString(ExportDir())).entryList(QDir::Files), QStringList{written});
        AnsiString bytes = ReadFile(ExportDir() + "/" + written.toStdString());
        QCOMPARE(bytes, text ? AnsiString("Solaris\r\n3\r\nDrama\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n\r\n")
                             : AnsiString("Solaris,3,Drama,English,DVD,1,Owned,Yes,\r\n"));
    }

    void dialogSetUpAndFolderRemembered() {
        TForm1* f = Show({kExportedSolaris, kExportedStalker});
        // All films in display order; the selection plays no part.
        f->ListView1->selectionModel()->select(f->Catalogue->index(1, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f->ListView1ColumnClick(FieldMID);
        f->ListView1ColumnClick(FieldMID);
        QueueFileDialogAnswer({ExportDir() + "/list.csv", 1});
        f->Exort1Click();
        QCOMPARE(FileDialogLog().size(), size_t(1));
        const auto& shown = FileDialogLog()[0];
        QCOMPARE(shown.title, AnsiString("Export to CSV File"));
        QCOMPARE(shown.filter, AnsiString("Comma Seperated (*.csv)|*.csv|Textfile (*.txt)|*.txt|"
                                          "All fields, UTF-8 (*.csv)|*.csv"));
        QCOMPARE(shown.defaultExt, AnsiString("csv"));
        QCOMPARE(shown.filterIndex, 1);
        QCOMPARE(shown.initialDir, AnsiString());
        QCOMPARE(f->VReg1->Pop("LastExportDir"), ExportDir());
        QCOMPARE(
            ReadFile(ExportDir() + "/list.csv"),
            AnsiString("Stalker,4,Drama,German,VHS,2,Lend To,No,\r\nSolaris,3,Drama,English,DVD,1,Owned,Yes,\r\n"));
        QVERIFY(!f->DataModified);
        // The next dialog opens there, with an empty name.
        QueueFileDialogAnswer({});
        f->Exort1Click();
        QCOMPARE(FileDialogLog()[1].initialDir, ExportDir());
        QCOMPARE(FileDialogLog()[1].fileName, AnsiString());
    }

    void cancelWritesNothing() {
        TForm1* f = Show({kExportedSolaris});
        QueueFileDialogAnswer({});
        f->Exort1Click();
        QCOMPARE(f->VReg1->Pop("LastExportDir"), AnsiString());
        QVERIFY(QDir(QString::fromStdString(ExportDir())).entryList(QDir::Files).isEmpty());
    }

    void emptyCatalogueGivesEmptyFile() {
        TForm1* f = Show({});
        QueueFileDialogAnswer({ExportDir() + "/none.txt", 2});
        f->Exort1Click();
        QVERIFY(files::FileExists(ExportDir() + "/none.txt"));
        QCOMPARE(ReadFile(ExportDir() + "/none.txt"), AnsiString());
    }

    void cannotCreateFile() {
        TForm1* f = Show({kExportedSolaris});
        QVERIFY(QDir().mkpath(QString::fromStdString(ExportDir() + "/taken.csv")));
        QueueFileDialogAnswer({ExportDir() + "/taken.csv", 1});
        dialogs::test::QueueAnswer(dialogs::IDOK);
        f->Exort1->trigger();
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(QString::fromStdString(Boxes()[0].text),
                 QString::fromStdString("Cannot create file " + ExportDir() + "/taken.csv.\n") +
                     QString::fromLocal8Bit(std::strerror(EISDIR)) + ".");
        QCOMPARE(Boxes()[0].caption, AnsiString("Varnholt Flickstow"));
        QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
        QCOMPARE(f->VReg1->Pop("LastExportDir"), ExportDir());
    }

    // The dialog refuses a path whose folder does not exist, says so, and
    // the user chooses again; nothing is written there.
    void missingFolderIsRefused() {
        TForm1* f = Show({kExportedSolaris});
        const AnsiString missing = ExportDir() + "/no such folder/list.csv";
        QueueFileDialogAnswer({missing, 1});
        QueueFileDialogAnswer({ExportDir() + "/list.csv", 1});
        dialogs::test::QueueAnswer(dialogs::IDOK);
        f->Exort1->trigger();
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].text, missing + "\nThe folder does not exist.\nCheck the path and try again.");
        QCOMPARE(Boxes()[0].caption, AnsiString("Export to CSV File"));
        QCOMPARE(f->VReg1->Pop("LastExportDir"), ExportDir());
        QCOMPARE(QDir(QString::fromStdString(ExportDir())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"list.csv"});
    }

    // An export is a new file like any program's: 0666 less the umask.
    void exportHasUsualPermissions() {
        TForm1* f = Show({kExportedSolaris});
        mode_t old = ::umask(027);
        QueueFileDialogAnswer({ExportDir() + "/list.csv", 1});
        f->Exort1Click();
        ::umask(old);
        QCOMPARE(QFile(QString::fromStdString(ExportDir() + "/list.csv")).permissions(),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser |
                     QFileDevice::ReadGroup);
    }

    // The third file type carries every field: UTF-8 with a byte-order
    // mark, a header row, RFC 4180 quoting, CR LF. Python's CSV reader gets
    // back every field as the catalogue holds it.
    void fullExportReadsBack_data() {
        QTest::addColumn<bool>("films");
        QTest::newRow("films") << true;
        QTest::newRow("no films") << false;
    }
    void fullExportReadsBack() {
        QFETCH(bool, films);
        AnsiString everyByte;
        for (int b = 0x20; b <= 0xFF; ++b) everyByte += static_cast<char>(b);
        std::vector<MovieRecord> catalogue{
            kExportedSolaris,
            {"Good, Bad, \"Ugly\"", "12", "Western", "Italian", "DVD", "2", "Lend To", "No", "\"", "", " a, b "},
            {"Am\xE9lie \x80\x8C\x9F\xFF", "5",
             "Com\xE9"
             "die",
             "French", "VHS", "1", "", "", "\x93", "", everyByte},
            {"", "", "", "", "", "", "", "", "", "", ""}};
        if (!films) catalogue.clear();
        TForm1* f = Show(catalogue);
        QueueFileDialogAnswer({ExportDir() + "/all", 3});
        f->Exort1->trigger();
        const AnsiString bytes = ReadFile(ExportDir() + "/all.csv");
        const AnsiString header =
            "\xEF\xBB\xBFTitle,MID,Genre,Language,Media,Disks,Status,Viewed,Rating,Picture,"
            "Description\r\n";
        const AnsiString opening = header +
                                   (films ? "Solaris,3,Drama,English,DVD,1,Owned,Yes,9,t_s1.jpg,Ocean\r\n" : "");
        QCOMPARE(bytes.substr(0, films ? opening.size() : AnsiString::npos), opening);
        const int rows = f->Catalogue->rowCount();
        QCOMPARE(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'));
        QVERIFY(bytes.find("\r\n", bytes.size() - 2) != AnsiString::npos);

        QProcess python;
        python.start(PYTHON3, {"-c",
                               "import csv, json, sys\n"
                               "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                               "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                               QString::fromStdString(ExportDir() + "/all.csv")});
        QVERIFY(python.waitForFinished(30000) && python.exitCode() == 0);
        const QJsonArray read = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        QCOMPARE(read.size(), qsizetype(catalogue.size() + 1));
        QCOMPARE(read[0].toVariant().toStringList().join(","),
                 QString::fromStdString(header.substr(3, header.size() - 5)));
        for (int i = 0; i < rows; ++i) {
            QStringList expected;
            for (int field = 0; field < FieldCount; ++field)
                expected << ansi::ToQString(f->Catalogue->Record(i).Field(field));
            QCOMPARE(read[i + 1].toVariant().toStringList(), expected);
        }
    }

    void folderOf_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        // clang-format off
        QTest::newRow("folder") << "/films/a.csv" << "/films";
        QTest::newRow("root") << "/a.csv" << "/";
        QTest::newRow("deeper") << "/home/ann/lists/x" << "/home/ann/lists";
        QTest::newRow("no folder") << "a.csv" << "";
        // clang-format on
    }
    void folderOf() {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QCOMPARE(QString::fromStdString(ExportFolderOf(path.toStdString())), folder);
    }
};

FLICKSTOW_TEST_MAIN(TestExport)
#include "test_export.moc"
