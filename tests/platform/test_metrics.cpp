#include "platform/metrics/metrics.h"
#include "tests/support/TestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <climits>

using namespace metrics;

class TestMetrics : public QObject {
    Q_OBJECT
private slots:
    // The caption gradient's widths and colours depend on this rounding.
    void mulDiv_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("numerator");
        QTest::addColumn<int>("denominator");
        QTest::addColumn<int>("result");
        QTest::newRow("exact") << 6 << 4 << 3 << 8;
        QTest::newRow("below half") << 7 << 1 << 3 << 2;
        QTest::newRow("above half") << 8 << 1 << 3 << 3;
        QTest::newRow("half up") << 5 << 1 << 2 << 3;
        QTest::newRow("negative half away from zero") << 5 << -1 << 2 << -3;
        QTest::newRow("negative denominator") << 5 << 1 << -2 << -3;
        QTest::newRow("two negatives") << -5 << -1 << 2 << 3;
        QTest::newRow("band edge") << 255 << 1000 << 256 << 996;
        QTest::newRow("wide product") << 100000 << 100000 << 100000 << 100000;
        QTest::newRow("zero denominator") << 1 << 1 << 0 << -1;
        QTest::newRow("overflow") << INT_MAX << 2 << 1 << -1;
    }
    void mulDiv() {
        QFETCH(int, number);
        QFETCH(int, numerator);
        QFETCH(int, denominator);
        QFETCH(int, result);
        QCOMPARE(MulDiv(number, numerator, denominator), result);
    }

    void colorToRGB_data() {
        QTest::addColumn<int>("color");
        QTest::addColumn<uint>("rgb");
        QTest::newRow("black") << clBlack << uint(qRgb(0, 0, 0));
        QTest::newRow("red is the low byte") << clRed << uint(qRgb(255, 0, 0));
        QTest::newRow("blue green red") << 0x00FF8040 << uint(qRgb(0x40, 0x80, 0xFF));
        QTest::newRow("active caption") << clActiveCaption << uint(qRgb(10, 36, 106));
        QTest::newRow("inactive caption") << clInactiveCaption << uint(qRgb(128, 128, 128));
        QTest::newRow("caption text") << clCaptionText << uint(qRgb(255, 255, 255));
        QTest::newRow("inactive caption text") << clInactiveCaptionText << uint(qRgb(212, 208, 200));
        QTest::newRow("unknown system colour") << (SysColorBase | 200) << uint(qRgb(0, 0, 0));
    }
    void colorToRGB() {
        QFETCH(int, color);
        QFETCH(uint, rgb);
        QCOMPARE(uint(ColorToRGB(color)), rgb);
        if (color >= 0) QCOMPARE(RGBToColor(rgb), color);
    }

    void screenSize() {
        test::SetScreenSize(QSize(1024, 768));
        QCOMPARE(GetSystemMetrics(SM_CXSCREEN), 1024);
        QCOMPARE(GetSystemMetrics(SM_CYSCREEN), 768);
        test::SetScreenSize({});
        QCOMPARE(GetSystemMetrics(SM_CXSCREEN), QGuiApplication::primaryScreen()->geometry().width());
    }

    void captionFont() {
        LogFont font;
        QVERIFY(GetCaptionFont(font));
        QCOMPARE(font.faceName, std::string("Tahoma"));
        QVERIFY(font.weight >= 700);
        test::FailNonClientMetrics(true);
        LogFont unread;
        QVERIFY(!GetCaptionFont(unread));
        test::FailNonClientMetrics(false);
    }
};

FLICKSTOW_TEST_MAIN(TestMetrics)
#include "test_metrics.moc"
