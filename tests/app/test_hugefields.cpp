// Huge fields: however long a line of the catalogue or of the genre list,
// every control is handed its first characters only, while the record keeps
// the whole text and writes it back unchanged unless the user edits it.

#include "app/mainwindow/PrintList.h"
#include "platform/edits/edits.h"
#include "tests/app/Windows.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QToolButton>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

// A text of n characters beginning with a word that tells it apart, and
// the beginning of a text that a control is handed.
AnsiString Long(const char* word, size_t n) {
    AnsiString text(word);
    text.resize(n, word[0]);
    return text;
}
AnsiString Shown(const AnsiString& text) { return AnsiString(ansi::ShownPart(text)); }

// This process's resident memory in kB: now (VmRSS), or at its peak since
// the last ResetPeakMemory (VmHWM).
long long MemoryKb(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(key)) return std::atoll(line.c_str() + std::strlen(key));
    return -1;
}
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The processor time this process has used, in ms: unlike the time on the
// clock, it does not grow with what else the machine runs.
long long CpuMs() {
    timespec t;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

class TestHugeFields : public QObject {
    Q_OBJECT

    Windows w;

private slots:
    void init() { FreshSandbox(); }
    void cleanup() { w.Destroy(); }

    // A catalogue of one huge line (a title) opens at once: the window is up
    // and painted within seconds, the list and the print list are handed the
    // title's beginning, memory stays below one and a half times the file,
    // and closing asks nothing and rewrites nothing.
    void oneHugeLine_data() {
        QTest::addColumn<qint64>("megabytes");
        QTest::newRow("64 MB") << qint64(64);
        QTest::newRow("2 GB, sparse") << qint64(2048);
    }
    void oneHugeLine() {
        QFETCH(qint64, megabytes);
        const AnsiString path = InProgramDir("data.vrx");
        const off_t bytes = off_t(megabytes) << 20;
        if (megabytes < 1024) {
            WriteFile(path, Long("Huge title ", size_t(bytes)) + "\r\n");
        } else {
            if (kSanitized)
                QSKIP(
                    "Under the address sanitizer a 2 GB line needs 4 GB more memory and ten seconds of "
                    "processor time; the release build runs this case");
            // Only the first bytes are written: the rest reads as NUL bytes.
            WriteFile(path, "Huge title ");
            QCOMPARE(::truncate(path.c_str(), bytes), 0);
        }
        struct stat before, after;
        QCOMPARE(::stat(path.c_str(), &before), 0);
        if (before.st_blocks * 512 > bytes / 2 && megabytes >= 1024)
            QSKIP("The temporary folder's file system keeps no sparse files");

        ResetPeakMemory();
        const long long rssBefore = MemoryKb("VmRSS:");
        QElapsedTimer clock;
        clock.start();
        const long long cpuBefore = CpuMs();
        TForm1* f = w.Create(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->ListView1->viewport()->grab();  // paints the rows
        const long long cpu = CpuMs() - cpuBefore, peakGrowth = MemoryKb("VmHWM:") - rssBefore;
        qInfo(
            "%lld MB line: window up and painted after %lld ms (%lld ms of processor time), memory grew by %lld MB "
            "at most",
            megabytes, qint64(clock.elapsed()), cpu, peakGrowth / 1024);
        QVERIFY2(cpu < 10000, std::to_string(cpu).c_str());
        if (!kSanitized) QVERIFY(peakGrowth * 1024 < bytes * 3 / 2);

        const RecordStore& films = f->Catalogue->Records();
        QCOMPARE(films.Field(0, FieldTitle).size(), size_t(bytes));
        const QString listed = f->ListView1->model()->index(0, 0).data().toString();
        QCOMPARE(listed.size(), qsizetype(ansi::kShownLength));
        QVERIFY(listed.startsWith("Huge title "));
        PrintListModel& print = PrintRows(f->PrintListView);
        print.Fill(films);
        QCOMPARE(print.Rows().Field(0, FieldTitle).size(), ansi::kShownLength);
        QCOMPARE(PrintedLine(print.Rows(), 0), PrintedLine(films, 0));

        QVERIFY(f->close());
        QVERIFY(Boxes().empty());
        QCOMPARE(::stat(path.c_str(), &after), 0);
        QCOMPARE(std::tie(after.st_ino, after.st_size, after.st_mtim.tv_sec, after.st_mtim.tv_nsec),
                 std::tie(before.st_ino, before.st_size, before.st_mtim.tv_sec, before.st_mtim.tv_nsec));
    }

    // Changing a film with huge texts: each control shows the beginning of
    // its text, and Save and Close keeps every text the user left alone
    // whole; what the user edited is stored as edited.
    void modifyKeepsWhatWasNotEdited_data() {
        QTest::addColumn<QString>("edit");
        for (const char* edit : {"nothing", "title", "status", "rating", "description", "picture cleared"})
            QTest::newRow(edit) << edit;
    }
    void modifyKeepsWhatWasNotEdited() {
        QFETCH(QString, edit);
        const size_t n = ansi::kShownLength * 3 + 7;
        const MovieRecord film{Long("Title", n),
                               "5",
                               Long("Genre", n),
                               "English",
                               "DVD",
                               "1",
                               Long("Status", n),
                               "Yes",
                               Long("Rating", n),
                               Long("Picture", n),
                               Long("Description", n)};
        PutGenres("Drama\r\n" + film.Genre + "\r\nWestern\r\n");
        w.Create({film});
        TForm2* f2 = w.form2;
        if (edit == "picture cleared") dialogs::test::QueueAnswer(dialogs::IDYES);
        w.ModifyEntry(0, [&] {
            for (QString shown : {f2->Edit1->text(), f2->ComboBox4->currentText(), f2->Edit2->text(), f2->Edit4->text(),
                                  QString::fromStdString(f2->Memo2->Text()), f2->ListBox1->item(1)->text()})
                QCOMPARE(shown.size(), qsizetype(ansi::kShownLength));
            QCOMPARE(f2->ListBox1->currentRow(), 1);
            if (edit == "title") f2->Edit1->setText("New title");
            if (edit == "status") f2->ComboBox4->setCurrentIndex(0);
            if (edit == "rating") f2->Edit2->setText(f2->Edit2->text() + "!");
            if (edit == "description") f2->Memo2->SetText("Short");
            if (edit == "picture cleared") f2->SpeedButton4->click();
            f2->SpeedButton3->click();
        });
        MovieRecord expected = film;
        if (edit == "title") expected.Title = "New title";
        if (edit == "status") expected.Status = "Owned";
        if (edit == "rating") expected.Rating = Shown(film.Rating) + "!";
        if (edit == "description") expected.Description = "Short";
        if (edit == "picture cleared") expected.Picture.clear();
        QVERIFY(w.Row(0) == expected);
        dialogs::test::QueueAnswer(dialogs::IDYES);
        QVERIFY(w.form1->close());
        QCOMPARE(ReadFile(InProgramDir("data.vrx")), CatalogueText({expected}));
    }

    // The genre editor shows each line's beginning; "&Ok" writes the lines
    // the user left alone whole, and an edited line as edited.
    void genreEditorKeepsWholeLines_data() {
        QTest::addColumn<QString>("edit");
        for (const char* edit : {"nothing", "line added", "huge line edited"}) QTest::newRow(edit) << edit;
    }
    void genreEditorKeepsWholeLines() {
        QFETCH(QString, edit);
        const AnsiString huge = Long("Huge genre", ansi::kShownLength + 100),
                         other = Long("Other", ansi::kShownLength * 2);
        PutGenres("Drama\r\n" + huge + "\n" + other + "\rWestern");
        w.Create(std::vector<MovieRecord>{});
        TForm4* f4 = w.form4;
        auto open = WhileOpen(f4, [&] {
            QCOMPARE(f4->Memo1->Text(), "Drama\r\n" + Shown(huge) + "\r\n" + Shown(other) + "\r\nWestern");
            f4->Memo1->moveCursor(edit == "line added" ? QTextCursor::End : QTextCursor::Start);
            if (edit == "line added") QTest::keyClick(f4->Memo1, Qt::Key_Return);
            if (edit == "huge line edited") {
                f4->Memo1->moveCursor(QTextCursor::Down);
                f4->Memo1->moveCursor(QTextCursor::EndOfLine);
            }
            TypeText(f4->Memo1, edit == "line added" ? "Crime" : edit == "nothing" ? "" : "!");
            f4->BitBtn1->click();
        });
        w.form1->EditGenres1->trigger();
        const AnsiString hugeLine = edit == "huge line edited" ? Shown(huge) + "!" : huge;
        QCOMPARE(ReadFile(InProgramDir("genres.vrx")),
                 "Drama\r\n" + hugeLine + "\r\n" + other + "\r\nWestern" + (edit == "line added" ? "\r\nCrime" : ""));
    }
};

FLICKSTOW_TEST_MAIN(TestHugeFields)
#include "test_hugefields.moc"
