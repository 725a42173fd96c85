#include "platform/dialogs/PrinterSetupDialog.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/printer/printer.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QPageLayout>
#include <cstring>

using namespace testsupport;

namespace {

QPageLayout A4(QPageLayout::Orientation orientation) {
    return QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(0, 0, 0, 0));
}

// A text as a PDF string holds it: UTF-16, high byte first.
QByteArray PdfText(const QString& text) {
    QByteArray bytes;
    for (QChar c : text) bytes.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    return bytes;
}

QStringList FilesIn(const AnsiString& dir) { return QDir(QString::fromStdString(dir)).entryList(QDir::Files); }

}  // namespace

class TestPrinter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { NoCupsServer(); }
    void init() { FreshSandbox(); }

    // A job's pages come out in order, each drawn through the canvas while
    // it is the current page; a dropped job leaves nothing.
    void jobs_data() {
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("abort");
        QTest::newRow("one page") << 1 << false;
        QTest::newRow("three pages") << 3 << false;
        QTest::newRow("dropped after two pages") << 2 << true;
    }
    void jobs() {
        QFETCH(int, pages);
        QFETCH(bool, abort);
        TImagePrinter p(QSize(300, 400));
        QCOMPARE(p.PageWidth(), 300);
        QCOMPARE(p.PageHeight(), 400);
        QVERIFY(!p.Printing());
        p.Title = "Varnholt Flickstow 1.5";
        p.BeginDoc();
        QVERIFY(p.Printing());
        QVERIFY_THROWS_EXCEPTION(EPrinter, p.BeginDoc());
        for (int k = 1; k <= pages; ++k) {
            if (k > 1) p.NewPage();
            QCOMPARE(p.PageNumber(), k);
            QCOMPARE(p.Canvas().Width(), 300);
            p.Canvas().Brush.Color = clRed;
            p.Canvas().FillRect(Rect(0, 0, 10 * k, 10));
        }
        if (abort) p.Abort();
        else
            p.EndDoc();
        QVERIFY(!p.Printing());
        QCOMPARE(p.Aborted(), abort);
        QCOMPARE(int(p.Pages().size()), abort ? 0 : pages);
        QCOMPARE(p.JobsEnded(), abort ? 0 : 1);
        for (int k = 1; k <= int(p.Pages().size()); ++k) {
            const QImage& page = p.Pages()[size_t(k - 1)];
            QCOMPARE(page.size(), QSize(300, 400));
            QCOMPARE(page.pixelColor(10 * k - 1, 0), QColor(Qt::red));
            QCOMPARE(page.pixelColor(10 * k, 0), QColor(Qt::white));
        }
        // Outside a job the canvas draws nowhere and the job calls refuse.
        p.Canvas().FillRect(Rect(0, 0, 300, 400));
        QVERIFY_THROWS_EXCEPTION(EPrinter, p.NewPage());
        QVERIFY_THROWS_EXCEPTION(EPrinter, p.EndDoc());
    }

    // The PDF printer: its page in device pixels, a file holding every
    // page, written only when the job ends, and left alone by a dropped job.
    void pdfFile_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("abort");
        QTest::addColumn<QSize>("page");  // A4 is 595 x 842 points
        QTest::newRow("A4 portrait, 2 pages") << int(QPageLayout::Portrait) << 2 << false << QSize(2479, 3508);
        QTest::newRow("A4 landscape, 3 pages") << int(QPageLayout::Landscape) << 3 << false << QSize(3508, 2479);
        QTest::newRow("dropped") << int(QPageLayout::Portrait) << 2 << true << QSize(2479, 3508);
    }
    void pdfFile() {
        QFETCH(int, orientation);
        QFETCH(int, pages);
        QFETCH(bool, abort);
        QFETCH(QSize, page);
        const AnsiString path = InProgramDir("list.pdf");
        WriteFile(path, "previous");
        auto p = TSystemPrinter::ToPdfFile(path, A4(QPageLayout::Orientation(orientation)), 300);
        QCOMPARE(QSize(p->PageWidth(), p->PageHeight()), page);
        p->Title = "Varnholt Flickstow 1.5";
        p->BeginDoc();
        QCOMPARE(QSize(p->PageWidth(), p->PageHeight()), page);
        for (int k = 1; k <= pages; ++k) {
            if (k > 1) p->NewPage();
            TBitmap picture(80, 120);
            picture.Canvas().Brush.Color = clBlue;
            picture.Canvas().FillRect(Rect(0, 0, 40, 60));
            p->Canvas().StretchDraw(Rect(0, 0, 800, 1200), picture);
        }
        QCOMPARE(ReadFile(path), AnsiString("previous"));
        if (abort) {
            p->Abort();
            QCOMPARE(ReadFile(path), AnsiString("previous"));
        } else {
            p->EndDoc();
            QCOMPARE(PdfPageCount(path), pages);
            QVERIFY(QByteArray::fromStdString(ReadFile(path)).contains(PdfText("Varnholt Flickstow 1.5")));
        }
        QCOMPARE(FilesIn(ProgramDir()), QStringList{"list.pdf"});
    }

    // A PDF file that cannot be made is reported, at the start when its
    // folder is missing, at the end when a folder stands in its place.
    void pdfFileFails() {
        auto missing = TSystemPrinter::ToPdfFile(InProgramDir("no/such/folder/list.pdf"), A4(QPageLayout::Portrait),
                                                 300);
        QVERIFY_THROWS_EXCEPTION(EFCreateError, missing->BeginDoc());
        QVERIFY(!missing->Printing());
        const AnsiString folder = InProgramDir("list.pdf");
        QVERIFY(QDir().mkdir(QString::fromStdString(folder)));
        auto blocked = TSystemPrinter::ToPdfFile(folder, A4(QPageLayout::Portrait), 300);
        blocked->BeginDoc();
        blocked->Canvas().TextOut(10, 10, "x");
        try {
            blocked->EndDoc();
            QFAIL("no error");
        } catch (const EFCreateError& e) {
            QCOMPARE(QString::fromStdString(e.Message), QString::fromStdString("Cannot create file " + folder + ".\n") +
                                                            QString::fromLocal8Bit(std::strerror(EISDIR)));
        }
        QVERIFY(!blocked->Printing());
        QVERIFY(FilesIn(ProgramDir()).isEmpty());
    }

    // With no CUPS destination and nothing chosen there is no printer.
    void noDefaultPrinter() {
        TPrinter& p = printer::Printer();
        QVERIFY(dynamic_cast<TSystemPrinter*>(&p));
        try {
            p.BeginDoc();
            QFAIL("no error");
        } catch (const EPrinter& e) {
            QCOMPARE(e.Message, AnsiString("There is no default printer currently selected"));
        }
        QVERIFY(!p.Printing());
        // Another printer put in its place is the current printer.
        auto* images = new TImagePrinter(QSize(10, 10));
        printer::SetPrinter(std::unique_ptr<TPrinter>(images));
        QCOMPARE(&printer::Printer(), images);
    }
};

FLICKSTOW_TEST_MAIN(TestPrinter)
#include "test_printer.moc"
