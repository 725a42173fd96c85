#include "components/Printdib/Printdib.h"
#include "platform/printer/printer.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;

namespace {

// A picture whose neighbouring pixels all differ.
TBitmap Picture(int w, int h) {
    TBitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.Canvas().SetPixel(
                x, y, graphics::Rgb(std::uint8_t(x * 60 + 10), std::uint8_t(y * 40 + 5), std::uint8_t((x + y) * 25)));
    return b;
}

}  // namespace

class TestPrintdib : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshSandbox(); }

    // Every width, padded rows or not, comes out undistorted: each pixel of
    // the bitmap becomes a block of the same size, in place.
    void undistorted_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("scale");
        QTest::newRow("3 wide: rows 12 bytes apart, 9 used") << 3 << 4 << 7;
        QTest::newRow("1 wide") << 1 << 3 << 5;
        QTest::newRow("2 wide") << 2 << 2 << 4;
        QTest::newRow("4 wide: no padding") << 4 << 3 << 3;
        QTest::newRow("5 wide") << 5 << 1 << 2;
        QTest::newRow("same size") << 3 << 3 << 1;
    }
    void undistorted() {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, scale);
        TBitmap source = Picture(w, h);
        TBitmap target(w * scale + 20, h * scale + 20);
        TPrintDIB printDIB;
        printDIB.StretchDrawDIB(target.Canvas(), 10, 10, w * scale, h * scale, source);
        for (int y = 0; y < h * scale; ++y)
            for (int x = 0; x < w * scale; ++x)
                QCOMPARE(target.Canvas().Pixel(10 + x, 10 + y), source.Canvas().Pixel(x / scale, y / scale));
        QCOMPARE(target.Canvas().Pixel(9, 10), clWhite);
        QCOMPARE(target.Canvas().Pixel(10 + w * scale, 10 + h * scale - 1), clWhite);
        QCOMPARE(target.Canvas().Pixel(10, 10 + h * scale), clWhite);
    }

    // A zero width or height draws nothing, and the bitmap stays intact,
    // still a bitmap to draw on and draw with.
    void zeroSizeAndBitmapAfter_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("zero width") << 0 << 30 << false;
        QTest::newRow("zero height") << 30 << 0 << false;
        QTest::newRow("both zero") << 0 << 0 << false;
        QTest::newRow("drawn") << 30 << 30 << true;
    }
    void zeroSizeAndBitmapAfter() {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(bool, drawn);
        TBitmap source = Picture(3, 3);
        const QImage before = source.Image().copy();
        TBitmap target(40, 40);
        TPrintDIB printDIB;
        printDIB.StretchDrawDIB(target.Canvas(), 5, 5, w, h, source);
        QCOMPARE(target.Canvas().Pixel(5, 5) != clWhite, drawn);
        QCOMPARE(target.Canvas().Pixel(20, 20) != clWhite, drawn);
        QCOMPARE(source.Image(), before);
        source.Canvas().SetPixel(0, 0, clBlack);
        QCOMPARE(source.Canvas().Pixel(0, 0), clBlack);
        TBitmap again(3, 3);
        again.Canvas().Draw(0, 0, source);
        QCOMPARE(again.Canvas().Pixel(0, 0), clBlack);
        QCOMPARE(again.Canvas().Pixel(2, 2), graphics::FromQRgb(before.pixel(2, 2)));
    }

    // An empty bitmap draws nothing and raises nothing.
    void emptyBitmap() {
        TBitmap empty;
        TBitmap target(10, 10);
        TPrintDIB printDIB;
        printDIB.StretchDrawDIB(target.Canvas(), 0, 0, 10, 10, empty);
        QCOMPARE(target.Canvas().Pixel(5, 5), clWhite);
        QVERIFY(empty.Empty());
    }

    // On a printer page the picture fills the rectangle, in its colours.
    void ontoPrinterPage() {
        TImagePrinter printer(QSize(600, 900));
        TBitmap source = Picture(3, 2);
        TPrintDIB printDIB;
        printer.BeginDoc();
        printDIB.StretchDrawDIB(printer.Canvas(), 0, 0, 300, 200, source);
        printer.EndDoc();
        const QImage& page = printer.Pages().front();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(graphics::FromQRgb(page.pixel(x * 100 + 50, y * 100 + 50)), source.Canvas().Pixel(x, y));
        QCOMPARE(page.pixelColor(300, 50), QColor(Qt::white));
        QCOMPARE(page.pixelColor(50, 200), QColor(Qt::white));
    }
};

FLICKSTOW_TEST_MAIN(TestPrintdib)
#include "test_Printdib.moc"
