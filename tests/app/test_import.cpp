// Reading films from Tellico collections and spreadsheets, and the records
// they become.

#include "app/formats/Export.h"
#include "app/formats/Import.h"
#include "app/mainwindow/ImportDialog.h"
#include "components/Vreg/Vreg.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/jpeg/jpeg.h"
#include "tests/app/Windows.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QToolButton>
#include <zip.h>

using namespace testsupport;

namespace {

const MovieRecord kDefaults{"", "", "Comedy", "French", "VHS", "3", "To Be Bought", "No", "", "", ""};

AnsiString DataFile(const char* name) { return ReadFile(AnsiString(TEST_DATA_DIR "/") + name); }

// Rows as "cell|cell;cell|cell".
QByteArray Cells(const ImportTable& t) {
    QByteArray out;
    for (size_t r = 0; r < t.Rows(); ++r) {
        if (r) out += ';';
        for (size_t c = 0; c < t.Columns(); ++c)
            out += (c ? "|" : "") + QByteArray::fromStdString(AnsiString(t.Cell(r, c)));
    }
    return out;
}

// A zip of the named entries, deflated at the level, or stored (level 0).
AnsiString Zip(const std::vector<std::pair<const char*, AnsiString>>& entries, zip_uint32_t level = 9) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* z = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* s = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        zip_int64_t i = zip_file_add(z, name, s, 0);
        zip_set_file_compression(z, zip_uint64_t(i), level ? ZIP_CM_DEFLATE : ZIP_CM_STORE, level);
    }
    zip_close(z);
    zip_source_open(out);
    zip_stat_t st;
    zip_source_stat(out, &st);
    AnsiString bytes(st.size, '\0');
    zip_source_read(out, bytes.data(), st.size);
    zip_source_close(out);
    zip_source_free(out);
    return bytes;
}

AnsiString Collection(const char* type, const char* entries) {
    return AnsiString(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tellico xmlns=\"http://periapsis.org/tellico/\" "
               "syntaxVersion=\"11\">\n<collection title=\"V\" type=\"") +
           type + "\">\n" + entries + "\n</collection></tellico>\n";
}

// Steps for the import preview the next action opens, with the dialog;
// the test fails when it never opened.
class WhilePreview {
public:
    explicit WhilePreview(std::function<void(TImportDialog*)> steps) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this, steps] {
            TImportDialog* d = nullptr;
            if (!QTest::qWaitFor(
                    [&d] { return (d = qobject_cast<TImportDialog*>(QApplication::activeModalWidget())); }))
                return;
            if (!QTest::qWaitFor([d] { return QApplication::activeWindow() == d; }, 200)) d->activateWindow();
            opened_ = true;
            steps(d);
            if (d->isVisible()) d->reject();
        });
        timer_.start(0);
    }
    ~WhilePreview() {
        if (!opened_) QTest::qFail("the import preview never opened", __FILE__, __LINE__);
    }

private:
    QTimer timer_;
    bool opened_ = false;
};

// A collection of n films, each with the same embedded cover.
AnsiString CoveredCollection(int n) {
    const AnsiString cover =
        QByteArray::fromStdString(jpeg::Encode(QImage(60, 90, QImage::Format_RGB32), 80)).toBase64().toStdString();
    AnsiString entries;
    for (int i = 0; i < n; ++i)
        entries += "<entry><title>Film " + ansi::IntToStr(i) + "</title><cover>c.jpeg</cover></entry>";
    return Collection(
        "3", (entries + "<images><image id=\"c.jpeg\" format=\"JPEG\">" + cover + "</image></images>").c_str());
}

MovieRecord OnlyFilm(const ImportTable& table, const RecordStore& catalogue = {}) {
    ImportedFilms films = BuildImport(table, GuessColumns(table), kDefaults, catalogue, false);
    return films.films.size() == 1 ? films.films.Get(0)
                                   : MovieRecord{"(not one film)", "", "", "", "", "", "", "", "", "", ""};
}

}  // namespace

class TestImport : public QObject {
    Q_OBJECT

    Windows w;
    const std::vector<MovieRecord> kCatalogue = {
        {"Stalker", "1", "Drama", "German", "VHS", "2", "Lend To", "No", "", "", ""},
        {"Solaris", "2", "Drama", "English", "DVD", "1", "Owned", "Yes", "", "", ""}};

    // File > Import ... of the file, answered in the file dialog.
    void Import(const AnsiString& path) {
        dialogs::test::QueueFileDialogAnswer({path, 1});
        w.form1->Import1->trigger();
    }

private slots:
    void init() { FreshSandbox(); }
    void cleanup() { w.Destroy(); }

    // The file dialog, the preview, Enter: the films are appended in the
    // file's order, a film already there skipped, the new ones selected,
    // the catalogue modified, the folder remembered.
    void importAppendsAndSelects() {
        TForm1* f = w.Create(kCatalogue);
        const AnsiString file = InProgramDir("films.csv");
        WriteFile(file, "Titel;Medium;Genre\r\nsolaris;dvd;Drama\r\nMirror;VHS;\r\nIvan;DVD;War\r\n");
        QString summary, caption;
        {
            WhilePreview preview([&](TImportDialog* d) {
                caption = d->windowTitle();
                summary = d->Summary->text();
                QCOMPARE(d->Preview->model()->rowCount(), 2);
                UserKey(Qt::Key_Return);
            });
            Import(file);
        }
        QCOMPARE(caption, "Import Films from films.csv");
        QVERIFY2(summary.contains("3 films found in the file; 2 will be imported, 1 skipped"), qPrintable(summary));
        const dialogs::test::ShownFileDialog& shown = dialogs::test::FileDialogLog().front();
        QCOMPARE(shown.title, "Import Films");
        QCOMPARE(shown.filter,
                 "All supported (*.tc *.xml *.csv *.txt)|*.tc;*.xml;*.csv;*.txt|Tellico collection (*.tc "
                 "*.xml)|*.tc;*.xml|Comma or semicolon separated (*.csv *.txt)|*.csv;*.txt");
        QCOMPARE(f->Catalogue->rowCount(), 4);
        QCOMPARE(w.Row(2).Title, "Mirror");
        QCOMPARE(w.Row(2).MID, "3");
        QCOMPARE(w.Row(3).Genre, "War");
        QCOMPARE(f->ListView1->selectionModel()->selectedRows().size(), 2);
        QVERIFY(f->ListView1->selectionModel()->isRowSelected(3));
        QVERIFY(f->DataModified);
        QCOMPARE(f->VReg1->Pop("LastImportDir"), ProgramDir().substr(0, ProgramDir().size() - 1));
    }

    // While a find text hides every film, the films imported join those
    // shown, selected.
    void importWhileFiltered() {
        TForm1* f = w.Create(kCatalogue);
        f->FindEdit1->setText("zzz");
        QCOMPARE(f->Catalogue->rowCount(), 0);
        const AnsiString file = InProgramDir("films.csv");
        WriteFile(file, "Title\r\nMirror\r\nIvan\r\n");
        {
            WhilePreview preview([](TImportDialog*) { UserKey(Qt::Key_Return); });
            Import(file);
        }
        QCOMPARE(f->Catalogue->rowCount(), 2);
        QCOMPARE(f->Catalogue->index(1, 0).data().toString(), "Ivan");
        QCOMPARE(f->ListView1->selectionModel()->selectedRows().size(), 2);
        QCOMPARE(f->StatusPanelText(1), QString("  2 Filmes listed"));
        QCOMPARE(f->Catalogue->Records().size(), size_t(4));
    }

    // Cancel anywhere, or a file that cannot be imported, leaves the list
    // byte for byte as it was and the program folder as it was.
    void cancelOrErrorChangesNothing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("file dialog cancelled") << "no file";
        QTest::newRow("preview: Escape") << "escape";
        QTest::newRow("preview: Cancel") << "cancel";
        QTest::newRow("bad file") << "bad";
        QTest::newRow("progress cancelled") << "progress";
    }
    void cancelOrErrorChangesNothing() {
        QFETCH(QString, how);
        WriteFile(InProgramDir("genres.vrx"), "Drama\r\nWar\r\n");
        TForm1* f = w.Create(kCatalogue);
        const AnsiString file = InProgramDir(how == "bad" ? "films.tc" : "films.xml");
        WriteFile(file, how == "bad" ? AnsiString("PK\x03\x04 not really") : CoveredCollection(30));
        const std::map<AnsiString, AnsiString> before = ProgramFolderFiles();
        const AnsiString rows = SerializeCatalogue(f->Catalogue->Records());
        if (how == "no file") {
            dialogs::test::QueueFileDialogAnswer({});
            f->Import1->trigger();
        } else if (how == "bad") {
            dialogs::test::QueueAnswer(dialogs::IDOK);
            Import(file);
            QCOMPARE(Boxes().size(), size_t(1));
            QVERIFY2(QString::fromStdString(Boxes().front().text).contains("no zip archive"),
                     Boxes().front().text.c_str());
        } else {
            bool cancelled = false;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, [&] {
                auto* progress = f->findChild<QProgressDialog*>("ImportProgress");
                if (progress && progress->value() >= 3 && !cancelled) progress->cancel(), cancelled = true;
            });
            WhilePreview preview([&](TImportDialog* d) {
                if (how == "escape") UserKey(Qt::Key_Escape);
                else if (how == "cancel")
                    QTest::mouseClick(d->CancelButton, Qt::LeftButton);
                else
                    watch.start(1), UserKey(Qt::Key_Return);
            });
            Import(file);
            QCOMPARE(cancelled, how == "progress");
        }
        QCOMPARE(SerializeCatalogue(f->Catalogue->Records()), rows);
        QVERIFY(!f->DataModified);
        QCOMPARE(ProgramFolderFiles(), before);
    }

    // Cancel while a large file is still read or parsed: no preview, no
    // message, the list and the program folder as they were.
    void cancelWhileReading_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("cancelAt");  // of 1000: past reading the file's bytes
        QTest::newRow("csv, while parsed") << "films.csv" << 500;
        QTest::newRow("xml, while parsed") << "films.xml" << 500;
        QTest::newRow("tc, while unpacked") << "films.tc" << 200;
    }
    void cancelWhileReading() {
        QFETCH(QString, name);
        QFETCH(int, cancelAt);
        TForm1* f = w.Create(kCatalogue);
        f->TwainInitTimer->stop();  // the scanner's start-up is no part of this
        const bool csv = name.endsWith(".csv");
        AnsiString text = csv ? "Title,Genre\r\n" : "";
        for (int i = 0; text.size() < (9u << 20); ++i)
            text += csv ? "Film " + ansi::IntToStr(i) + ",Drama\r\n"
                        : "<entry><title>Film " + ansi::IntToStr(i) + "</title></entry>\n";
        if (!csv) text = Collection("3", text.c_str());
        const AnsiString file = InProgramDir(name.toStdString());
        WriteFile(file, name.endsWith(".tc") ? Zip({{"tellico.xml", text}}, 0) : text);
        const std::map<AnsiString, AnsiString> before = ProgramFolderFiles();
        const AnsiString rows = SerializeCatalogue(f->Catalogue->Records());
        QString label;
        bool previewed = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<TImportDialog*>(QApplication::activeModalWidget()))
                previewed = true, d->reject();
            auto* progress = f->findChild<QProgressDialog*>("ImportProgress");
            if (progress && progress->value() >= cancelAt && label.isEmpty())
                label = progress->labelText(), progress->cancel();
        });
        watch.start(0);
        Import(file);
        QCOMPARE(label, "Reading " + name + " ...");
        QVERIFY(!previewed);
        QVERIFY(Boxes().empty());
        QCOMPARE(SerializeCatalogue(f->Catalogue->Records()), rows);
        QVERIFY(!f->DataModified);
        QCOMPARE(ProgramFolderFiles(), before);
    }

    // The preview makes records of the films it shows only, yet counts them
    // all; the import follows the columns as last chosen.
    void previewCountsAllAndImportFollowsChoice() {
        TForm1* f = w.Create(kCatalogue);
        const AnsiString file = InProgramDir("films.csv");
        AnsiString text = "Title;Genre;Media\r\n";
        for (int i = 0; i < 150; ++i) text += "Film " + ansi::IntToStr(i) + ";G" + ansi::IntToStr(i) + ";DVD\r\n";
        WriteFile(file, text + "Solaris;x;dvd\r\n");
        QStringList summaries;
        int shown = 0;
        {
            WhilePreview preview([&](TImportDialog* d) {
                summaries << d->Summary->text();
                shown = d->Preview->model()->rowCount();
                // Title from the "Genre" column: nothing is a duplicate now.
                d->ColumnBoxes[FieldTitle]->setFocus();
                UserKey(Qt::Key_Down);
                summaries << d->Summary->text();
                d->ImportButton->setFocus();
                UserKey(Qt::Key_Return);
            });
            Import(file);
        }
        QCOMPARE(shown, TImportDialog::kPreviewRows);
        QVERIFY2(summaries.value(0).contains("151 films found in the file; 150 will be imported, 1 skipped"),
                 qPrintable(summaries.value(0)));
        QVERIFY2(summaries.value(1).contains("151 films found in the file; 151 will be imported, 0 skipped"),
                 qPrintable(summaries.value(1)));
        QCOMPARE(f->Catalogue->rowCount(), 2 + 151);
        QCOMPARE(w.Row(2).Title, "G0");
        QCOMPARE(w.Row(2 + 150).Title, "x");
    }

    // A cover becomes a thumbnail of the program's own, as "&browse ..."
    // makes one; a film without a cover gets none.
    void coverBecomesThumbnail() {
        TForm1* f = w.Create(std::vector<MovieRecord>{});
        const AnsiString file = InProgramDir("films.tc");
        WriteFile(file, DataFile("tellico_films.tc"));
        {
            WhilePreview preview([](TImportDialog*) { UserKey(Qt::Key_Return); });
            Import(file);
        }
        QCOMPARE(f->Catalogue->rowCount(), 3);
        const AnsiString picture = w.Row(0).Picture;
        QVERIFY2(QString::fromStdString(picture).contains(
                     QRegularExpression("^t_28266c67696850bcb679bb4fdd4c4bb2\\d{1,3}\\.jpg$")),
                 picture.c_str());
        QCOMPARE(w.Row(1).Picture, "");
        // The same bytes as "&browse ..." makes of the cover.
        const AnsiString cover = InProgramDir("cover.jpg");
        WriteFile(cover, ZipEntries(DataFile("tellico_films.tc")).Read("images/28266c67696850bcb679bb4fdd4c4bb2.jpeg"));
        AnsiString browsed;
        w.NewEntry([&] {
            w.form2->MakeThumbnail(cover, 1);
            browsed = ReadFile(InProgramDir(w.form2->Edit4->text().toStdString()));
        });
        QCOMPARE(jpeg::Decode(browsed).natural, QSize(161, 157));
        QVERIFY(ReadFile(InProgramDir(picture)) == browsed);
    }

    // What a spreadsheet's file holds, cell by cell, in Windows-1252.
    void csvCells_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("cells");
        QTest::addColumn<int>("replaced");
        QTest::newRow("commas, export's trailing comma")
            << QByteArray("a,1,b,\r\nc,2,d,\r\n") << QByteArray("a|1|b;c|2|d") << 0;
        QTest::newRow("semicolons") << QByteArray("a;b,c;d\ne;f;g") << QByteArray("a|b,c|d;e|f|g") << 0;
        QTest::newRow("quotes doubled") << QByteArray("\"say \"\"hi\"\"\",x") << QByteArray("say \"hi\"|x") << 0;
        QTest::newRow("separator inside quotes") << QByteArray("\"a,b\",c") << QByteArray("a,b|c") << 0;
        QTest::newRow("line breaks inside quotes, runs as one blank")
            << QByteArray("\"one\r\n\r\ntwo\nthree\",x\r\nnext,y") << QByteArray("one two three|x;next|y") << 0;
        QTest::newRow("blank lines skipped") << QByteArray("\r\na,b\r\n\r\n\nc,d\r\n") << QByteArray("a|b;c|d") << 0;
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBFK\xC3\xA9nig,\xE2\x82\xAC")
                                        << QByteArray("K\xE9nig|\x80") << 0;
        QTest::newRow("UTF-8 without BOM") << QByteArray("\xC3\x9C") << QByteArray("\xDC") << 0;
        QTest::newRow("Windows-1252 (not UTF-8)") << QByteArray("K\xE9nig,\x80") << QByteArray("K\xE9nig|\x80") << 0;
        QTest::newRow("characters 1252 lacks become ?")
            << QByteArray("\xE4\xB8\x83\xE4\xBA\xBA,\xF0\x9F\x8E\xAC") << QByteArray("??|?") << 3;
        QTest::newRow("header row recognised") << QByteArray("Titel;Sprache\nM;German") << QByteArray("M|German") << 0;
        QTest::newRow("no header: a film named Genre") << QByteArray("Genre,1\nx,2") << QByteArray("Genre|1;x|2") << 0;
        QTest::newRow("header naming one field")
            << QByteArray("Title,Year,Director\nSolaris,1972,T") << QByteArray("Solaris|1972|T") << 0;
        QTest::newRow("semicolons in a title of a file of commas")
            << QByteArray("a;b;c;d,1,x\r\ne,2,y\r\n") << QByteArray("a;b;c;d|1|x;e|2|y") << 0;
        QTest::newRow("tabs") << QByteArray("a, b\t1\nc\t2\n") << QByteArray("a, b|1;c|2") << 0;
        QTest::newRow("UTF-16 with its mark") << QByteArray(
                                                     "\xFF\xFE"
                                                     "a\0\t\0\xE9\0\n\0",
                                                     10)
                                              << QByteArray("a|\xE9") << 0;
        QTest::newRow("commas in a text of a file of semicolons")
            << QByteArray("a, b, c;1\nd;2\n") << QByteArray("a, b, c|1;d|2") << 0;
    }
    void csvCells() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, cells);
        QFETCH(int, replaced);
        ImportTable table = ReadCsvImport(file.toStdString());
        QCOMPARE(Cells(table), cells);
        QCOMPARE(table.Replaced, size_t(replaced));
    }

    // The characters stored as "?" are those of the columns taken, not of
    // the header or of a column no field takes.
    void replacedOnlyInColumnsTaken() {
        const ImportTable table = ReadCsvImport(
            "Title,Notes,\xE4\xB8\x83\n\xE4\xB8\x83"
            "A,\xE4\xB8\x83\xE4\xBA\xBA\nB,x\n");
        ColumnMap columns = GuessColumns(table);
        QCOMPARE(table.ReplacedIn(columns), size_t(1));
        columns[FieldDescription] = 1;
        columns[FieldRating] = 1;
        columns[FieldGenre] = 2;
        QCOMPARE(table.ReplacedIn(columns), size_t(3));
    }

    // Each mapping rule, from a file to the record it makes.
    void mapping_data() {
        QTest::addColumn<bool>("tellico");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("record");  // the eleven fields joined by "|"
        QTest::newRow("csv: defaults where the file is silent")
            << false << QByteArray("Title,Rating\nSolaris,9")
            << QByteArray("Solaris|2|Comedy|French|VHS|3|To Be Bought|No|9||");
        QTest::newRow("csv: the file's fields where present")
            << false
            << QByteArray(
                   "Title;MID;Genre;Language;Media;Disks;Status;Viewed;Rating;Plot\nS;7;Drama;German;DVD;2;Owned;Yes;8;"
                   "P")
            << QByteArray("S|7|Drama|German|DVD|2|Owned|Yes|8||P");
        QTest::newRow("csv: Tellico's seen and plot summary")
            << false << QByteArray("Title,Seen,Plot Summary,Comments\nS, True ,P,C")
            << QByteArray("S|2|Comedy|French|VHS|3|To Be Bought|Yes|||P");
        QTest::newRow("csv: a MID in use gets the next free one")
            << false << QByteArray("Title,#\nS,1") << QByteArray("S|2|Comedy|French|VHS|3|To Be Bought|No|||");
        QTest::newRow("csv: MID 10000 is no MID")
            << false << QByteArray("Title,#\nS,10000") << QByteArray("S|2|Comedy|French|VHS|3|To Be Bought|No|||");
        QTest::newRow("csv: MID not a number")
            << false << QByteArray("Title,#\nS,x") << QByteArray("S|2|Comedy|French|VHS|3|To Be Bought|No|||");
        QTest::newRow("csv: a picture column names no file here")
            << false << QByteArray("Title,Picture\nS,t_a1.jpg")
            << QByteArray("S|2|Comedy|French|VHS|3|To Be Bought|No|||");
        QTest::newRow("tellico: first genre and language, medium, loaned, rating, plot")
            << true
            << QByteArray(
                   "<entry><title>S</title><genres><genre>Drama</genre><genre>War</genre></genres><languages>"
                   "<language>Russian</language><language>German</language></languages><medium>DVD</medium>"
                   "<loaned>true</loaned><rating>4</rating><plot>P\n\nQ</plot><comments>C</comments></entry>")
            << QByteArray("S|2|Drama|Russian|DVD|3|Lend To|No|8/10||P Q");
        QTest::newRow("tellico: comments without plot, rating 1, not loaned, unknown ignored")
            << true
            << QByteArray(
                   "<entry><title>S</title><year>1999</year><loaned>false</loaned><rating>1</rating>"
                   "<cast><castes><column>x</column></castes></cast><comments>C</comments></entry>")
            << QByteArray("S|2|Comedy|French|VHS|3|To Be Bought|No|2/10||C");
        QTest::newRow("tellico: rating 5; 6 is none")
            << true << QByteArray("<entry><title>A</title><rating>5</rating></entry>")
            << QByteArray("A|2|Comedy|French|VHS|3|To Be Bought|No|10/10||");
        QTest::newRow("tellico: rating out of range")
            << true << QByteArray("<entry><title>A</title><rating>6</rating></entry>")
            << QByteArray("A|2|Comedy|French|VHS|3|To Be Bought|No|||");
    }
    void mapping() {
        QFETCH(bool, tellico);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, record);
        RecordStore catalogue;
        catalogue.Append(MovieRecord{"Old", "1", "", "", "", "", "", "", "", "", ""});
        ImportTable table = tellico ? ReadTellicoXml(Collection("3", file.constData()), {})
                                    : ReadCsvImport(file.toStdString());
        MovieRecord r = OnlyFilm(table, catalogue);
        QByteArray got;
        for (int f = 0; f < FieldCount; ++f) got += (f ? "|" : "") + QByteArray::fromStdString(r.Field(f));
        QCOMPARE(got, record);
    }

    // Every film whose own MID is free keeps it, also after an earlier film
    // of the file that needed a new one; the preview's first films are
    // numbered as the import numbers them.
    void midsKeptWhereFree() {
        RecordStore catalogue;
        catalogue.Append(MovieRecord{"Old", "1", "", "", "", "", "", "", "", "", ""});
        const ImportTable table = ReadCsvImport("Title,#\nA,5\nB,5\nC,2\nD,3\nE,1\n");
        for (size_t keep : {size_t(2), SIZE_MAX}) {
            ImportedFilms films = BuildImport(table, GuessColumns(table), kDefaults, catalogue, false, {}, keep);
            QStringList got;
            for (size_t i = 0; i < films.films.size(); ++i) got << ansi::ToQString(films.films.Field(i, FieldMID));
            const QStringList all{"5", "4", "2", "3", "6"};
            QCOMPARE(got, all.mid(0, int(std::min(keep, size_t(5)))));
        }
    }

    // What E&xport writes, in each of its three kinds, comes back as it
    // went out: the eight fields it carries (all eleven but the picture for
    // the full form).
    void exportRoundTrip_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("csv") << int(ExportKind::Csv);
        QTest::newRow("text") << int(ExportKind::Text);
        QTest::newRow("full") << int(ExportKind::FullCsv);
    }
    void exportRoundTrip() {
        QFETCH(int, kind);
        RecordStore films;
        films.Append(MovieRecord{"Good, Bad \"Ugly\"", "12", "Western", "Espaniol", "DIVX (CDROM)", "2", "Lend To",
                                 "Yes", "9/10", "t_g1.jpg", "Tuco; \xE9l"});
        films.Append(MovieRecord{"K\xF6nig", "4", "Drama", "German", "VHS", "1", "Owned", "No", "", "", ""});
        AnsiString file = BuildExport(films, ExportKind(kind));
        ImportTable table = ReadCsvImport(file, ExportKind(kind) == ExportKind::Text);
        ImportedFilms back = BuildImport(table, GuessColumns(table), kDefaults, {}, false);
        QCOMPARE(back.films.size(), films.size());
        const int compared = ExportKind(kind) == ExportKind::FullCsv ? FieldCount : FieldViewed + 1;
        for (size_t i = 0; i < films.size(); ++i)
            for (int f = 0; f < compared; ++f)
                if (f != FieldPicture) QCOMPARE(back.films.Field(i, f), films.Field(i, f));
    }

    // A collection Tellico itself saved: the zip with its cover, and the
    // bare XML, whose cover is not in it.
    void tellicoFile() {
        for (const char* name : {"tellico_films.tc", "tellico_films.xml", "tellico_embedded_cover.xml"}) {
            ImportTable table = ReadTellicoImport(DataFile(name));
            ImportedFilms films = BuildImport(table, GuessColumns(table), kDefaults, {}, false);
            QCOMPARE(films.films.size(), size_t(3));
            QCOMPARE(films.films.Get(0),
                     (MovieRecord{"Solaris", "1", "Science Fiction", "Russian", "DVD", "3", "Lend To", "No", "8/10", "",
                                  "A psychologist is sent to a station."}));
            QCOMPARE(films.films.Field(1, FieldTitle),
                     "Der Himmel \xFC"
                     "ber Berlin");
            QCOMPARE(films.films.Field(1, FieldDescription), "Kept in the blue box \x96 signed.");
            QCOMPARE(films.films.Field(2, FieldTitle), "????");
            QCOMPARE(table.Replaced, size_t(4));
            QCOMPARE(table.Covers.size(), size_t(3));
            const bool withCover = QByteArray(name) != "tellico_films.xml";
            QCOMPARE(table.BadCovers, size_t(withCover ? 0 : 1));
            QCOMPARE(table.Covers[0].bytes.starts_with("\xFF\xD8"), withCover);
            QVERIFY(table.Covers[1].bytes.empty());
        }
    }

    // A large collection is read in two halves at once: the same rows,
    // covers and replaced characters as read whole, whatever stands where
    // it is cut.
    void tellicoHalves_data() {
        QTest::addColumn<QString>("middle");  // what stands amid the entries
        QTest::addColumn<bool>("secondCollection");
        QTest::newRow("entries only") << "" << false;
        QTest::newRow("a comment holding </entry> across the middle") << "comment" << false;
        QTest::newRow("a second collection past the middle") << "" << true;
    }
    void tellicoHalves() {
        QFETCH(QString, middle);
        QFETCH(bool, secondCollection);
        const int n = 70000, firstCollection = secondCollection ? 100 : n;
        const AnsiString cover = jpeg::Encode(QImage(8, 8, QImage::Format_RGB32), 80);
        AnsiString entries;
        for (int i = 0; i < n; ++i) {
            if (i == n / 2 && middle == "comment") {
                entries += "<!-- ";
                for (int k = 0; k < 200000; ++k) entries += "</entry>";
                entries += " -->";
            }
            if (i == firstCollection) entries += "</collection><collection type=\"3\">";
            entries += "<entry><title>Film " + ansi::IntToStr(i) + (i % 20000 == 1 ? "\xCE\xA9" : "") +
                       "</title><plot>A plot\nof two lines</plot>" + (i == n - 1 ? "<cover>c.jpeg</cover>" : "") +
                       "</entry>\n";
        }
        entries += "<images><image id=\"c.jpeg\">" + QByteArray::fromStdString(cover).toBase64().toStdString() +
                   "</image></images>";
        const AnsiString xml = Collection("3", entries.c_str());
        QVERIFY(xml.size() > kTellicoHalvesBytes);
        const ImportTable table = ReadTellicoXml(xml, {});
        QCOMPARE(table.Rows(), size_t(firstCollection));
        for (int i = 0; i < firstCollection; ++i)
            if (table.Cell(size_t(i), 0) != "Film " + ansi::IntToStr(i) + (i % 20000 == 1 ? "?" : "") ||
                table.Cell(size_t(i), 7) != "A plot of two lines")
                QFAIL(qPrintable(QString("row %1: %2").arg(i).arg(AnsiString(table.Cell(size_t(i), 0)).c_str())));
        QCOMPARE(table.Replaced, size_t((firstCollection + 19998) / 20000));
        QCOMPARE(table.Covers.size(), secondCollection ? size_t(0) : size_t(n));
        if (!secondCollection) QVERIFY(table.Covers.back().bytes == cover);
    }

    // Bad input is refused with a message saying what is wrong.
    void badInput_data() {
        QTest::addColumn<bool>("tellico");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty csv") << false << QByteArray("") << "no films found";
        QTest::newRow("blank csv") << false << QByteArray("\r\n\r\n") << "no films found";
        QTest::newRow("header only") << false << QByteArray("Title,Genre\r\n") << "no films found";
        QTest::newRow("unclosed quote") << false << QByteArray("a,b\r\nc,\"d\r\ne\r\n")
                                        << "begins in line 2 is never closed";
        QTest::newRow("empty tellico") << true << QByteArray("") << "neither a Tellico collection";
        QTest::newRow("not xml") << true << QByteArray("Title,Genre\nx,y") << "neither a Tellico collection";
        QTest::newRow("malformed xml") << true << QByteArray(Collection("3", "<entry><title>x</entry>").c_str())
                                       << "not well-formed XML (line 4, column 23)";
        QTest::newRow("entities") << true
                                  << QByteArray(
                                         "<?xml version=\"1.0\"?><!DOCTYPE tellico [<!ENTITY a \"aaaa\">]>"
                                         "<tellico><collection type=\"3\"><entry><title>&a;</title></entry>"
                                         "</collection></tellico>")
                                  << "declares entities";
        QTest::newRow("books") << true << QByteArray(Collection("2", "<entry><title>x</title></entry>").c_str())
                               << "holds books (type 2)";
        QTest::newRow("no entries") << true << QByteArray(Collection("3", "").c_str()) << "no films found";
        QTest::newRow("other xml") << true << QByteArray("<html><body/></html>") << "no Tellico collection";
        QTest::newRow("zip without tellico.xml")
            << true << QByteArray::fromStdString(Zip({{"other.xml", "<a/>"}})) << "holds no tellico.xml";
        QTest::newRow("packed over 100 times")
            << true << QByteArray::fromStdString(Zip({{"tellico.xml", AnsiString(2 << 20, ' ')}}))
            << "packed more than 100 times";
        QTest::newRow("damaged zip") << true << QByteArray("PK\x03\x04garbage", 11) << "no zip archive";
    }
    void badInput() {
        QFETCH(bool, tellico);
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        try {
            if (tellico) ReadTellicoImport(file.toStdString());
            else
                ReadCsvImport(file.toStdString());
            QFAIL("no error");
        } catch (const EImportError& e) {
            QVERIFY2(QString::fromStdString(e.Message).contains(message), e.what());
        }
    }

    // Over 256 MB unpacked is refused before anything is unpacked, however
    // well it is packed.
    void hugeEntryRefused() {
        ZipEntries zip(Zip({{"tellico.xml", AnsiString(300u << 20, 'x')}}, 1));
        try {
            zip.Read("tellico.xml");
            QFAIL("no error");
        } catch (const EImportError& e) {
            QVERIFY2(e.Message.find("more than 256 MB") != AnsiString::npos, e.what());
        }
    }

    // A film of the same title and media (any case) is skipped when asked,
    // and only then; MIDs of the file already taken are not reused.
    void duplicates() {
        RecordStore catalogue;
        catalogue.Append(MovieRecord{"SOLARIS", "1", "", "", "dvd", "", "", "", "", "", ""});
        ImportTable table = ReadCsvImport(
            "Title,MID,Media\r\nSolaris,1,DVD\r\n,,\r\nSolaris,5,VHS\r\nStalker,5,DVD\r\n");
        ImportedFilms skipping = BuildImport(table, GuessColumns(table), kDefaults, catalogue, true);
        QCOMPARE(skipping.skipped, size_t(1));
        QCOMPARE(skipping.sourceRows, (std::vector<size_t>{2, 3}));
        QCOMPARE(skipping.blank, size_t(1));
        QCOMPARE(skipping.films.Field(0, FieldMID), "5");
        QCOMPARE(skipping.films.Field(1, FieldMID), "2");
        ImportedFilms all = BuildImport(table, GuessColumns(table), kDefaults, catalogue, false);
        QCOMPARE(all.skipped, size_t(0));
        QCOMPARE(all.films.size(), size_t(3));
        QCOMPARE(all.films.Field(0, FieldMID), "2");
    }
};

FLICKSTOW_TEST_MAIN(TestImport)
#include "test_import.moc"
