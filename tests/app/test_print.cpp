#include "app/forms/FormKeys.h"
#include "app/forms/TFrame5.h"
#include "app/mainwindow/PrintList.h"
#include "components/Printdib/Printdib.h"
#include "platform/dialogs/PrinterSetupDialog.h"
#include "platform/printer/printer.h"
#include "tests/app/Windows.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <cstring>

using namespace testsupport;

namespace {

MovieRecord Film(int i) {
    AnsiString n = ansi::IntToStr(i);
    return {"Film number " + n, n, "Drama", "English", "DVD", "1", "Owned", "Yes", "8", "", "Description " + n};
}

std::vector<MovieRecord> Films(int count) {
    std::vector<MovieRecord> films;
    for (int i = 1; i <= count; ++i) films.push_back(Film(i));
    return films;
}

// The line of a film as the printed list shows it, spelled out here.
AnsiString ExpectedLine(int i) {
    AnsiString mid = ansi::IntToStr(i);
    AnsiString title = "Film number " + mid;
    return AnsiString(4 - mid.size(), ' ') + mid + " " + title + AnsiString(29 - title.size(), ' ') +
           " Drama          English   DVD      1     Owned     Yes  ";
}

struct Text {
    const char* font;
    int points;
    bool bold;
};
constexpr Text kRowFont{"Courier New", 10, false};
constexpr Text kDateFont{"Verdana", 8, false};

// Does the page show this text, and nothing else, in the band of its line
// at (x, y)? The text is drawn by the test on a white page for comparison.
bool ShowsLine(const QImage& page, int x, int y, const AnsiString& text, Text font) {
    TBitmap expected(page.width(), page.height());
    TCanvas& c = expected.Canvas();
    c.Font.Name = font.font;
    c.Font.SetSize(font.points);
    c.Font.Bold = font.bold;
    c.TextOut(x, y, text);
    const int h = c.TextHeight(text);
    for (int py = y; py < y + h; ++py)
        for (int px = x; px < page.width(); ++px)
            if ((page.pixel(px, py) & 0xFFFFFF) != (expected.Image().pixel(px, py) & 0xFFFFFF)) return false;
    return true;
}

// The rows of the page that carry any ink, from y on.
QList<int> InkedRows(const QImage& page, int from) {
    QList<int> rows;
    for (int y = from; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                rows << y;
                break;
            }
    return rows;
}

QRect InkBounds(const QImage& page) {
    QRect r;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) r |= QRect(x, y, 1, 1);
    return r;
}

AnsiString DateLine(int k, int pages) {
    return "   Date : " + ansi::FromQString(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)) +
           "                    Page : " + ansi::IntToStr(k) + " of " + ansi::IntToStr(pages);
}

// A printer whose pages are the page bitmaps pixel for pixel.
TImagePrinter* UsePagePrinter(QSize page = QSize(800, 1200)) {
    auto* p = new TImagePrinter(page);
    p->Canvas().StretchMode = smColorOnColor;
    printer::SetPrinter(std::unique_ptr<TPrinter>(p));
    return p;
}

// A printer that jams when it should start a second page.
class JammingPrinter : public TImagePrinter {
public:
    JammingPrinter() : TImagePrinter(QSize(800, 1200)) {}

protected:
    bool NextPage(QPainter&) override { throw EPrinter("Paper jam"); }
};

// Counts the progress dialogs that appear.
class ProgressWatch : public QObject {
public:
    int shown = 0;
    ProgressWatch() { qApp->installEventFilter(this); }
    ~ProgressWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && qobject_cast<QProgressDialog*>(o)) ++shown;
        return false;
    }
};

}  // namespace

class TestPrint : public QObject {
    Q_OBJECT

    Windows w;

    void Select(TForm1* f, const QList<int>& rows) {
        for (int r : rows)
            f->ListView1->selectionModel()->select(f->Catalogue->index(r, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void initTestCase() { NoCupsServer(); }
    void init() { FreshSandbox(); }
    void cleanup() { w.Destroy(); }

    void fitText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<bool>("right");
        QTest::addColumn<QString>("fitted");
        QTest::newRow("30 characters") << "Once Upon a Time in the West!!" << 29 << false
                                       << "Once Upon a Time in the Wes..";
        QTest::newRow("longer still") << "The Good, the Bad and the Ugly (1966)" << 29 << false
                                      << "The Good, the Bad and the U..";
        QTest::newRow("exactly 29") << "Twenty-nine characters long.." << 29 << false
                                    << "Twenty-nine characters long..";
        QTest::newRow("status of exactly 9") << "Lend To X" << 9 << false << "Lend To X";
        QTest::newRow("shorter, padded right") << "DVD" << 8 << false << "DVD     ";
        QTest::newRow("MID 7") << "7" << 4 << true << "   7";
        QTest::newRow("MID 12345") << "12345" << 4 << true << "12..";
        QTest::newRow("empty") << "" << 5 << false << "     ";
    }
    void fitText() {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(bool, right);
        QFETCH(QString, fitted);
        QCOMPARE(QString::fromStdString(FitText(text.toStdString(), n, right)), fitted);
    }

    // Pages of 50 rows under a header that counts them; the selected films
    // in display order, or all after Yes; nothing at all after No.
    void pages_data() {
        QTest::addColumn<int>("films");
        QTest::addColumn<QList<int>>("selected");  // rows, 0-based
        QTest::addColumn<int>("answer");           // to the print-all question; 0: none asked
        QTest::addColumn<int>("pages");
        QTest::addColumn<QList<int>>("lines");  // the film of every printed line, in order
        QList<int> rows120, films120, films50;
        for (int i = 0; i < 120; ++i) rows120 << i;
        for (int i = 1; i <= 120; ++i) films120 << i;
        for (int i = 1; i <= 50; ++i) films50 << i;
        QTest::addColumn<QString>("found");  // the find field's text
        QTest::newRow("120 selected: 3 pages") << 120 << rows120 << 0 << 3 << films120 << "";
        QTest::newRow("50, all after Yes: 1 page") << 50 << QList<int>{} << int(dialogs::IDYES) << 1 << films50 << "";
        QTest::newRow("empty catalogue after Yes: header only")
            << 0 << QList<int>{} << int(dialogs::IDYES) << 1 << QList<int>{} << "";
        QTest::newRow("two selected, in display order") << 9 << QList<int>{6, 2} << 0 << 1 << QList<int>{3, 7} << "";
        QTest::newRow("No prints nothing") << 5 << QList<int>{} << int(dialogs::IDNO) << 0 << QList<int>{} << "";
        QTest::newRow("all the films shown after Yes")
            << 120 << QList<int>{} << int(dialogs::IDYES) << 1
            << QList<int>{11, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119} << "11";
        QTest::newRow("two of the films shown selected")
            << 120 << QList<int>{3, 1} << 0 << 1 << QList<int>{110, 112} << "11";
    }
    void pages() {
        QFETCH(int, films);
        QFETCH(QList<int>, selected);
        QFETCH(int, answer);
        QFETCH(int, pages);
        QFETCH(QList<int>, lines);
        QFETCH(QString, found);
        TImagePrinter* p = UsePagePrinter();
        TForm1* f = w.Create(Films(films));
        f->FindEdit1->setText(found);
        Select(f, selected);
        if (answer) dialogs::test::QueueAnswer(answer);
        if (answer != dialogs::IDNO) dialogs::test::QueueAnswer(dialogs::IDOK);
        f->ToolButton6->click();
        QCOMPARE(dialogs::test::PendingAnswers(), 0);

        QStringList boxes;
        for (const auto& b : Boxes()) boxes << QString::fromStdString(b.caption + ": " + b.text);
        QStringList expected;
        if (answer)
            expected << "Confirm printing: You do not have selected any filmes.\nDo you want to print out all filmes?";
        if (answer != dialogs::IDNO) expected << "Varnholt Flickstow: Filmlist successfully printed.";
        QCOMPARE(boxes, expected);
        if (answer) QCOMPARE(Boxes().front().buttons, dialogs::Buttons::YesNo);
        QVERIFY(f->Keys().SkipNextKeyUp);
        QCOMPARE(p->JobsEnded(), pages ? 1 : 0);
        QCOMPARE(int(p->Pages().size()), pages);
        if (!pages) return;
        // The rows of the job wait in the print list.
        QCOMPARE(f->PrintListView->model()->rowCount(), int(lines.size()));

        for (int k = 1; k <= pages; ++k) {
            const QImage& page = p->Pages()[size_t(k - 1)];
            QVERIFY2(ShowsLine(page, 500, 40, DateLine(k, pages), kDateFont), qPrintable(QString("page %1").arg(k)));
            const QList<int> onPage = lines.mid(qsizetype{50} * (k - 1), 50);
            const QList<int> ink = InkedRows(page, 116);
            if (onPage.isEmpty()) {
                QVERIFY(ink.isEmpty());
                continue;
            }
            // The first row's ink lies in the line at y = 130, the last
            // row's in the line 20 pixels per row further down.
            QVERIFY(ink.front() >= 130 && ink.front() < 130 + 5);
            const int lastTop = 110 + 20 * int(onPage.size());
            QVERIFY(ink.back() >= lastTop + 5 && ink.back() < lastTop + 20);
            for (int l = 1; l <= onPage.size(); ++l)
                QVERIFY2(ShowsLine(page, 70, 110 + 20 * l, ExpectedLine(onPage[l - 1]), kRowFont),
                         qPrintable(QString("page %1 line %2").arg(k).arg(l)));
        }
        // A full page's fiftieth row stands at y = 1110.
        if (lines.size() >= 50) QVERIFY(ShowsLine(p->Pages().front(), 70, 1110, ExpectedLine(lines[49]), kRowFont));
    }

    // A job of more than a few pages shows its progress; Cancel drops it
    // and no success box follows. A short job shows none.
    void progressAndCancel_data() {
        QTest::addColumn<int>("films");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("3 pages: no progress") << 150 << false << 0;
        QTest::newRow("4 pages, printed") << 200 << false << 1;
        QTest::newRow("4 pages, cancelled") << 200 << true << 1;
    }
    void progressAndCancel() {
        QFETCH(int, films);
        QFETCH(bool, cancel);
        QFETCH(int, dialogs);
        TImagePrinter* p = UsePagePrinter();
        TForm1* f = w.Create(Films(films));
        ProgressWatch watch;
        QString label;
        bool stepsRan = false;
        if (cancel)
            QTimer::singleShot(0, f, [&] {
                auto* progress = f->findChild<QProgressDialog*>("PrintProgress");
                if (!progress) return;
                label = progress->labelText();
                QPushButton* button = progress->findChild<QPushButton*>();
                if (!button) return;
                button->click();
                stepsRan = true;
            });
        dialogs::test::QueueAnswer(dialogs::IDYES);
        if (!cancel) dialogs::test::QueueAnswer(dialogs::IDOK);
        f->Print1->trigger();
        QCOMPARE(dialogs::test::PendingAnswers(), 0);
        QCOMPARE(watch.shown, dialogs);
        QCOMPARE(stepsRan, cancel);
        QCOMPARE(Boxes().size(), size_t(cancel ? 1 : 2));
        QCOMPARE(p->Aborted(), cancel);
        if (cancel) {
            QCOMPARE(label, QString("Printing page 1 of 4"));
            QVERIFY(p->Pages().empty());
        } else {
            QCOMPARE(int(p->Pages().size()), (films + 49) / 50);
        }
        QVERIFY(!f->findChild<QProgressDialog*>("PrintProgress"));
    }

    // The page goes as high as the printer page and centred across it, or
    // as wide and centred down it on a page turned sideways, whole-number
    // divisions throughout; nothing on a square page.
    void placement_data() {
        QTest::addColumn<QSize>("paper");
        QTest::addColumn<QSize>("bitmap");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("A4 portrait, 300 dpi") << QSize(2480, 3508) << QSize(800, 1200) << QRect(71, 0, 2338, 3508);
        QTest::newRow("A4 landscape, 300 dpi") << QSize(3508, 2480) << QSize(800, 1200) << QRect(927, 0, 1653, 2480);
        QTest::newRow("wide picture on A4 portrait")
            << QSize(2480, 3508) << QSize(1200, 800) << QRect(0, 927, 2480, 1653);
        QTest::newRow("square page") << QSize(2000, 2000) << QSize(800, 1200) << QRect(1000, 1000, 0, 0);
    }
    void placement() {
        QFETCH(QSize, paper);
        QFETCH(QSize, bitmap);
        QFETCH(QRect, placed);
        PagePlacement at = PlacePage(paper.width(), paper.height(), bitmap.width(), bitmap.height());
        QCOMPARE(QRect(at.x, at.y, at.width, at.height), placed);
        // On the printer: a black picture covers exactly that rectangle.
        TImagePrinter p(paper);
        TBitmap page(bitmap.width(), bitmap.height());
        page.Canvas().Brush.Color = clBlack;
        page.Canvas().FillRect(Rect(0, 0, bitmap.width(), bitmap.height()));
        TPrintDIB printDIB;
        p.BeginDoc();
        PrintPageImage(p, printDIB, page);
        p.EndDoc();
        QRect ink = InkBounds(p.Pages().front());
        QCOMPARE(ink, placed.width() ? placed : QRect());
    }

    // On a square page every page comes out blank, and the job ends as usual.
    void squarePagePrintsBlank() {
        TImagePrinter* p = UsePagePrinter(QSize(1500, 1500));
        TForm1* f = w.Create(Films(60));
        dialogs::test::QueueAnswer(dialogs::IDYES);
        dialogs::test::QueueAnswer(dialogs::IDOK);
        f->ToolButton6->click();
        QCOMPARE(int(p->Pages().size()), 2);
        for (const QImage& page : p->Pages()) QCOMPARE(InkBounds(page), QRect());
        QCOMPARE(Boxes().back().text, AnsiString("Filmlist successfully printed."));
        QCOMPARE(Boxes().back().icon, dialogs::Icon::Information);
    }

    // End to end: the PDF printer writes a file of P pages.
    void pdfFile() {
        const AnsiString path = InProgramDir("films.pdf");
        printer::SetPrinter(TSystemPrinter::ToPdfFile(
            path, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()), 300));
        TForm1* f = w.Create(Films(120));
        dialogs::test::QueueAnswer(dialogs::IDYES);
        dialogs::test::QueueAnswer(dialogs::IDOK);
        f->ToolButton6->click();
        QCOMPARE(PdfPageCount(path), 3);
        QCOMPARE(Boxes().back().text, AnsiString("Filmlist successfully printed."));
    }

    // A printer that cannot print is reported in the error box, and no
    // success box follows; nothing is left half written.
    void failures_data() {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("error");
        // clang-format off
        QTest::newRow("no CUPS destination, nothing chosen") << "system" << "There is no default printer currently selected.";
        // The system's reason follows on a line of its own.
        auto cannotCreate = [](int reason) { return "Cannot create file %1.\n" + QString::fromLocal8Bit(std::strerror(reason)) + "."; };
        QTest::newRow("PDF file that cannot be written") << "pdf in place of a folder" << cannotCreate(EISDIR);
        QTest::newRow("PDF file in a missing folder") << "pdf in a missing folder" << cannotCreate(ENOENT);
        QTest::newRow("printer failing between pages") << "jamming" << "Paper jam.";
        // clang-format on
    }
    void failures() {
        QFETCH(QString, printer);
        QFETCH(QString, error);
        AnsiString path;
        if (printer == "jamming") {
            printer::SetPrinter(std::make_unique<JammingPrinter>());
        } else if (printer != "system") {
            path = InProgramDir(printer.contains("missing") ? "gone/films.pdf" : "films.pdf");
            if (!printer.contains("missing")) QVERIFY(QDir().mkdir(QString::fromStdString(path)));
            printer::SetPrinter(TSystemPrinter::ToPdfFile(
                path, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()), 300));
        }
        TForm1* f = w.Create(Films(60));
        QList<int> all;
        for (int r = 0; r < 60; ++r) all << r;
        Select(f, all);
        dialogs::test::QueueAnswer(dialogs::IDOK);
        f->ToolButton6->click();
        QCOMPARE(Boxes().size(), size_t(1));
        if (error.contains("%1")) error = error.arg(QString::fromStdString(path));
        QCOMPARE(QString::fromStdString(Boxes()[0].text), error);
        QCOMPARE(Boxes()[0].caption, AnsiString("Varnholt Flickstow"));
        QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
        // The job was dropped: nothing of it comes out.
        QVERIFY(!printer::Printer().Printing());
        if (printer == "jamming") QVERIFY(printer::Printer().Aborted());
        if (!path.empty())
            QCOMPARE(QDir(QString::fromStdString(ProgramDir())).entryList(QDir::Files), QStringList{"data.vrx"});
    }

    // "Printer Setup ..." opens the set-up dialog; when it cannot be shown
    // the error box says so, and the key that answers it is not used twice.
    void printerSetup_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("box");
        QTest::newRow("chosen") << int(dialogs::test::PrinterSetupAnswer::OK) << false;
        QTest::newRow("cancelled") << int(dialogs::test::PrinterSetupAnswer::Cancel) << false;
        QTest::newRow("cannot be shown") << int(dialogs::test::PrinterSetupAnswer::CannotShow) << true;
    }
    void printerSetup() {
        QFETCH(int, answer);
        QFETCH(bool, box);
        TForm1* f = w.Create(Films(1));
        QVERIFY(f->PrinterSetup1->isEnabled());
        dialogs::test::QueuePrinterSetupAnswer(dialogs::test::PrinterSetupAnswer(answer));
        if (box) dialogs::test::QueueAnswer(dialogs::IDOK);
        f->PrinterSetup1->trigger();
        QCOMPARE(dialogs::test::PrinterSetupShown(), 1);
        QCOMPARE(Boxes().size(), size_t(box ? 1 : 0));
        if (box) {
            QCOMPARE(Boxes()[0].text, AnsiString("There was no default printer found on your system."));
            QCOMPARE(Boxes()[0].caption, AnsiString("Error"));
            QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
            QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::OK);
        }
        QCOMPARE(f->Keys().SkipNextKeyUp, box);
    }

    // The page bitmap lives on the main window: a hidden frame's image of
    // 800 x 1200 pixels, left white after each page.
    void pageBitmapOnTheWindow() {
        UsePagePrinter();
        TForm1* f = w.Create(Films(2));
        QVERIFY(f->Panel1->isHidden());
        QCOMPARE(f->Frame51->Image1->size(), QSize(800, 1200));
        Select(f, {1});
        dialogs::test::QueueAnswer(dialogs::IDOK);
        f->ToolButton6->click();
        const TBitmap& page = f->Frame51->Image1->Picture();
        QCOMPARE(QSize(page.Width(), page.Height()), QSize(800, 1200));
        QCOMPARE(InkBounds(page.Image()), QRect());
        QStringList captions;
        for (int c = 0; c < f->PrintListView->model()->columnCount(); ++c)
            captions << f->PrintListView->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(captions,
                 (QStringList{"Titel", "#", "Genre", "Language", "Type", "Disks", "Status", "Viewed", "Rating"}));
        QCOMPARE(f->PrintListView->model()->index(0, 0).data().toString(), QString("Film number 2"));
        QCOMPARE(f->PrintListView->model()->index(0, 7).data().toString(), QString("Yes"));
        QCOMPARE(f->PrintListView->model()->index(0, 8).data().toString(), QString());
    }
};

FLICKSTOW_TEST_MAIN(TestPrint)
#include "test_print.moc"
