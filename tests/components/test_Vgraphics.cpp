#include "components/Vgraphics/Vgraphics.h"
#include "platform/errors/Exception.h"
#include "platform/numformat/numformat.h"
#include "tests/support/TestSupport.h"

#include <QTimer>
#include <algorithm>
#include <limits>
#include <memory>

using namespace testsupport;

namespace {

using Points = QList<QPoint>;

Points PixelsOf(const TBitmap& b, TColor color, QRect area = {}) {
    if (area.isNull()) area = QRect(0, 0, b.Width(), b.Height());
    Points found;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (b.Canvas().Pixel(x, y) == color) found << QPoint(x, y);
    return found;
}

Points Sorted(Points p) {
    std::sort(p.begin(), p.end(), [](QPoint a, QPoint b) { return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y(); });
    return p;
}

TStrings List(const QStringList& items) {
    TStrings list;
    for (const QString& s : items) list.push_back(s.toStdString());
    return list;
}

// A plotter of one curve in red at the defaults.
std::unique_ptr<TVGraphics> Plotter(const QString& expression, const QString& step = "1") {
    auto g = std::make_unique<TVGraphics>();
    g->SetExpressions(List({expression}));
    g->SetColors(List({"255"}));
    g->SetSteps(List({step}));
    return g;
}

}  // namespace

class TestVgraphics : public QObject {
    Q_OBJECT

private slots:
    void init() {
        FreshSandbox();
        numformat::test::SetDecimalSeparator('.');
    }
    void cleanupTestCase() { numformat::test::Reset(); }

    void defaults() {
        TVGraphics g;
        QCOMPARE(g.Background(), clWhite);
        QVERIFY(g.PointsOnly());
        QVERIFY(g.Cross());
        QCOMPARE(g.CrossColor(), clBlack);
        QVERIFY(!g.Grid());
        QCOMPARE(g.GridColor(), clSilver);
        QCOMPARE(g.GridSpace(), 1.0L);
        QCOMPARE(g.X_From(), -10.0L);
        QCOMPARE(g.X_To(), 10.0L);
        QCOMPARE(g.Y_From(), -10.0L);
        QCOMPARE(g.Y_To(), 10.0L);
        QCOMPARE(g.DestinationWidth(), 640);
        QCOMPARE(g.DestinationHeight(), 480);
        QCOMPARE(g.Y_MaxDifference(), 0.0L);
        QVERIFY(g.ClearCanvas());
        QVERIFY(g.Expressions().empty() && g.Colors().empty() && g.Steps().empty());
        // Published by name, as in a designer.
        QCOMPARE(g.property("X_From").value<long double>(), -10.0L);
        QVERIFY(g.setProperty("X_To", QVariant::fromValue(20.0L)));
        QCOMPARE(g.X_To(), 20.0L);
    }

    // "x" at the defaults: the axes cross at (320, 240); the curve is a dot
    // every 32 pixels on the diagonal from the lower left to the upper right.
    void diagonalDots() {
        auto g = Plotter("x");
        TBitmap b(640, 480);
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        Points dots;
        for (int k = 0; k < 20; ++k) dots << QPoint(32 * k, 478 - 24 * k);
        QCOMPARE(Sorted(PixelsOf(b, clRed)), dots);
        // The axes, each from pixel 1 to the last before the edge; the dot at
        // (320, 238) lies on the y axis.
        Points axes;
        for (int y = 1; y < 480; ++y)
            if (y != 238) axes << QPoint(320, y);
        for (int x = 1; x < 640; ++x)
            if (x != 320) axes << QPoint(x, 240);
        QCOMPARE(Sorted(PixelsOf(b, clBlack)), Sorted(axes));
        // Everything else has the background colour.
        QCOMPARE(PixelsOf(b, clWhite).size(), qsizetype{640} * 480 - dots.size() - axes.size());
    }

    // The drawing area is cleared to silver, then the area round (10, 10)
    // that is not of the background colour takes it (a border fill).
    void background_data() {
        QTest::addColumn<QSize>("canvas");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<uint>("background");
        QTest::addColumn<QList<QPoint>>("backgroundAt");
        QTest::addColumn<QList<QPoint>>("untouched");
        const QList<QPoint> corners{{0, 0}, {639, 0}, {0, 479}, {639, 479}, {10, 10}};
        QTest::newRow("the canvas") << QSize(640, 480) << true << uint(clWhite) << corners << QList<QPoint>{};
        QTest::newRow("coloured") << QSize(640, 480) << true << uint(clYellow) << corners << QList<QPoint>{};
        QTest::newRow("silver") << QSize(640, 480) << true << uint(clSilver) << corners << QList<QPoint>{};
        // A larger canvas: the red mark touching the area is filled through,
        // the blue one apart from it is not.
        QTest::newRow("larger canvas") << QSize(700, 500) << true << uint(clWhite)
                                       << (corners + QList<QPoint>{{640, 100}, {641, 101}})
                                       << QList<QPoint>{{680, 300}};
        QTest::newRow("larger canvas, coloured")
            << QSize(700, 500) << true << uint(clYellow) << (corners + QList<QPoint>{{690, 490}, {640, 100}})
            << QList<QPoint>{};
        // Not cleared: the yellow ring bounds the fill.
        QTest::newRow("not cleared") << QSize(640, 480) << false << uint(clYellow) << QList<QPoint>{{10, 10}, {49, 49}}
                                     << QList<QPoint>{{0, 0}, {51, 51}, {639, 479}, {680, 300}};
    }
    void background() {
        QFETCH(QSize, canvas);
        QFETCH(bool, clear);
        QFETCH(uint, background);
        QFETCH(QList<QPoint>, backgroundAt);
        QFETCH(QList<QPoint>, untouched);
        TBitmap b(canvas.width(), canvas.height());
        TCanvas& c = b.Canvas();
        c.Brush = {clRed, bsSolid};
        c.FillRect(Rect(640, 100, 642, 102));
        c.Brush.Color = clBlue;
        c.FillRect(Rect(680, 300, 682, 302));
        c.Brush = {clYellow, bsClear};
        c.Pen.Color = clYellow;
        c.Rectangle(5, 5, 51, 51);
        const QImage before = b.Image();
        TVGraphics g;
        g.SetClearCanvas(clear);
        g.SetBackground(background);
        g.SetCross(false);
        QCOMPARE(g.DrawToCanvas(c), 0);
        for (QPoint p : backgroundAt) QCOMPARE(c.Pixel(p.x(), p.y()), TColor(background));
        for (QPoint p : untouched)
            if (p.x() < b.Width()) QCOMPARE(b.Image().pixel(p), before.pixel(p));
    }

    // Colour texts are colour values with red in the low byte.
    void colours_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("color");
        QTest::newRow("255 is red") << "255" << QColor(255, 0, 0);
        QTest::newRow("65280 is green") << "65280" << QColor(0, 255, 0);
        QTest::newRow("16711680 is blue") << "16711680" << QColor(0, 0, 255);
        QTest::newRow("mixed") << QString::number(0x336699) << QColor(0x99, 0x66, 0x33);
    }
    void colours() {
        QFETCH(QString, text);
        QFETCH(QColor, color);
        auto g = Plotter("x");
        g->SetColors(List({text}));
        TBitmap b(640, 480);
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        QCOMPARE(b.Image().pixelColor(0, 478), color);
        QCOMPARE(b.Image().pixelColor(320, 238), color);
    }

    // 1/x sampled every pixel: no value at x = 0 (pixel 320), and the two
    // branches are not joined across it.
    void gapAtZero_data() {
        QTest::addColumn<bool>("pointsOnly");
        QTest::newRow("dots") << true;
        QTest::newRow("lines") << false;
    }
    void gapAtZero() {
        QFETCH(bool, pointsOnly);
        auto g = Plotter("1/x", "0.03125");
        g->SetPointsOnly(pointsOnly);
        g->SetMinusY(-40);
        g->SetPlusY(40);
        TBitmap b(640, 480);
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        // x = 1/32 (pixel 321, y = 32, row 48) starts the right branch afresh
        // with a dot at (320, 47), and nothing joins it to the left branch.
        QVERIFY(b.Canvas().Pixel(320, 47) == clRed);
        QCOMPARE(PixelsOf(b, clRed, QRect(320, 60, 1, 361)), Points());
        if (pointsOnly) {
            // The left branch ends at x = -1/32 (pixel 319, y = -32, row 432)
            // with its dot at (318, 431); no dot for pixel 320.
            QVERIFY(b.Canvas().Pixel(318, 431) == clRed);
            QCOMPARE(PixelsOf(b, clRed, QRect(319, 0, 1, 480)), Points());
        } else {
            // The left branch runs steeply down to (319, 432), its end.
            QVERIFY(!PixelsOf(b, clRed, QRect(319, 400, 1, 32)).isEmpty());
        }
    }

    // The return value names the last expression that does not prepare; the
    // others are drawn.
    void preparationFailures_data() {
        QTest::addColumn<QStringList>("expressions");
        QTest::addColumn<int>("result");
        QTest::addColumn<QList<bool>>("drawn");
        QTest::newRow("all prepare") << QStringList{"x", "x*2", "x/2"} << 0 << QList<bool>{true, true, true};
        QTest::newRow("index 2 of 3") << QStringList{"x", "x*2", "sin("} << 3 << QList<bool>{true, true, false};
        QTest::newRow("index 0") << QStringList{"2*-x", "x*2", "x/2"} << 1 << QList<bool>{false, true, true};
        QTest::newRow("the last failure") << QStringList{"((x))", "x*2", "y"} << 3 << QList<bool>{false, true, false};
    }
    void preparationFailures() {
        QFETCH(QStringList, expressions);
        QFETCH(int, result);
        QFETCH(QList<bool>, drawn);
        const TColor colours[] = {clRed, clLime, clBlue};
        TVGraphics g;
        g.SetExpressions(List(expressions));
        g.SetColors(List({QString::number(clRed), QString::number(clLime), QString::number(clBlue)}));
        g.SetSteps(List({"0.5", "0.5", "0.5"}));
        TBitmap b(640, 480);
        QCOMPARE(g.DrawToCanvas(b.Canvas()), result);
        for (int i = 0; i < 3; ++i) QCOMPARE(!PixelsOf(b, colours[i]).isEmpty(), drawn[i]);
    }

    // Cancel from a handler that runs during the drawing.
    void cancel_data() {
        QTest::addColumn<bool>("grid");
        QTest::newRow("while the grid is drawn") << true;
        QTest::newRow("before the curves") << false;
    }
    void cancel() {
        QFETCH(bool, grid);
        auto g = Plotter("x");
        g->SetGrid(grid);
        TBitmap b(640, 480);
        bool ran = false;
        QTimer::singleShot(0, g.get(), [&] {
            ran = true;
            g->Cancel();
        });
        QCOMPARE(g->DrawToCanvas(b.Canvas()), -1);
        QVERIFY(ran);
        QCOMPARE(PixelsOf(b, clRed), Points());
        // With a grid the drawing stopped before the axes.
        QCOMPARE(b.Canvas().Pixel(100, 240) == clBlack, !grid);
        // The next drawing starts afresh.
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        QCOMPARE(PixelsOf(b, clRed).size(), 20);
    }

    // A handler may change or delete the component while it draws.
    void changedWhileDrawing() {
        auto g = Plotter("x");
        TBitmap b(640, 480);
        bool ran = false;
        QTimer::singleShot(0, g.get(), [&] {
            ran = true;
            g->SetExpressions({});
            g->SetSteps({});
        });
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        QVERIFY(ran);
        QCOMPARE(PixelsOf(b, clRed).size(), 20);
    }
    void deletedWhileDrawing() {
        TVGraphics* g = Plotter("x").release();
        g->SetExpressions(List({"x", "x*2"}));
        g->SetColors(List({"255", "255"}));
        g->SetSteps(List({"1", "1"}));
        TBitmap b(640, 480);
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            delete g;
        });
        QCOMPARE(g->DrawToCanvas(b.Canvas()), -1);
        QVERIFY(ran);
        // It stopped at once: no curve was drawn.
        QCOMPARE(PixelsOf(b, clRed), Points());
    }

    // A range narrower than one unit still fills the drawing area: the curve
    // is sampled at every pixel and the axes cross where 0 lies.
    void narrowRanges_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QString>("fromProperty");
        QTest::addColumn<QString>("toProperty");
        // clang-format off
        QTest::newRow("x from -0.4 to 0.4") << "x*10" << -0.4 << 0.4 << "X_From" << "X_To";
        QTest::newRow("y from -0.4 to 0.4") << "x/50" << -0.4 << 0.4 << "Y_From" << "Y_To";
        // clang-format on
    }
    void narrowRanges() {
        QFETCH(QString, expression);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(QString, fromProperty);
        QFETCH(QString, toProperty);
        auto g = Plotter(expression, "0.0001");
        QVERIFY(g->setProperty(fromProperty.toLatin1(), QVariant::fromValue<long double>(from)));
        QVERIFY(g->setProperty(toProperty.toLatin1(), QVariant::fromValue<long double>(to)));
        TBitmap b(640, 480);
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        // A dot in (nearly) every column, rising from the lower left to the
        // upper right through the middle, where the axes cross.
        const Points dots = Sorted(PixelsOf(b, clRed));
        QVERIFY2(dots.size() >= 630, qPrintable(QString::number(dots.size())));
        QVERIFY(dots.first().y() > 300 && dots.last().y() < 180);
        QVERIFY(b.Canvas().Pixel(320, 100) == clBlack && b.Canvas().Pixel(100, 240) == clBlack);
    }

    // Degenerate settings draw nothing wrong and finish.
    void degenerate_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("axes");
        auto ld = [](long double v) { return QVariant::fromValue(v); };
        // clang-format off
        QTest::newRow("empty x span") << "x" << "X_To" << ld(-10) << false;
        QTest::newRow("empty y span") << "x" << "Y_To" << ld(-10) << false;
        QTest::newRow("endless span") << "x" << "X_To" << ld(std::numeric_limits<long double>::infinity()) << false;
        QTest::newRow("grid space 0") << "x" << "GridSpace" << ld(0) << true;
        QTest::newRow("tiny grid space") << "x" << "GridSpace" << ld(1e-300L) << true;
        QTest::newRow("huge grid space") << "x" << "GridSpace" << ld(1e300L) << true;
        QTest::newRow("not a number grid space") << "x" << "GridSpace" << ld(std::numeric_limits<long double>::quiet_NaN()) << true;
        QTest::newRow("huge values") << "x*1E300" << "GridSpace" << ld(1) << true;
        QTest::newRow("huge values, reversed range") << "x*1E300" << "Y_From" << ld(1e4000L) << true;
        QTest::newRow("very wide destination") << "x" << "DestinationWidth" << QVariant(2000000000) << true;
        QTest::newRow("very high destination") << "x" << "DestinationHeight" << QVariant(2000000000) << true;
        QTest::newRow("no destination") << "x" << "DestinationWidth" << QVariant(-5) << true;
        // clang-format on
    }
    void degenerate() {
        QFETCH(QString, expression);
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        QFETCH(bool, axes);
        auto g = Plotter(expression, "0.001");
        g->SetGrid(true);
        g->SetPointsOnly(false);
        QVERIFY(g->setProperty(property.toLatin1(), value));
        TBitmap b(640, 480);
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        QCOMPARE(!PixelsOf(b, clBlack).isEmpty(), axes);
    }

    void listAndColourErrors() {
        TBitmap b(640, 480);
        auto g = Plotter("x");
        g->SetExpressions(List({"x", "x*2"}));
        try {
            g->DrawToCanvas(b.Canvas());
            QFAIL("no error");
        } catch (const EListError& e) {
            QCOMPARE(e.Message, AnsiString("List index out of bounds (1)"));
        }
        // The first curve was drawn before.
        QCOMPARE(PixelsOf(b, clRed).size(), 20);
        g->SetColors(List({"255", "red"}));
        g->SetSteps(List({"1", "1"}));
        QVERIFY_THROWS_EXCEPTION(EConvertError, g->DrawToCanvas(b.Canvas()));
    }

    // The sampling step: at least one pixel; a text that is not a number
    // keeps the step before it (1 for the first).
    void steps_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("dots");
        QTest::newRow("one x unit") << QStringList{"1", "1"} << 20 + 20;
        QTest::newRow("below a pixel") << QStringList{"0.001", "1"} << 640 + 20;
        QTest::newRow("not a number keeps the step") << QStringList{"2", "two"} << 10 + 10;
        QTest::newRow("first not a number") << QStringList{"abc", "4"} << 20 + 5;
        QTest::newRow("comma under point") << QStringList{"0,5", "1"} << 20 + 20;
    }
    void steps() {
        QFETCH(QStringList, steps);
        QFETCH(int, dots);
        TVGraphics g;
        g.SetExpressions(List({"x", "x+500"}));  // 120 rows apart
        g.SetColors(List({"255", "255"}));
        g.SetSteps(List(steps));
        g.SetCross(false);
        g.SetMinusY(-1000);
        g.SetPlusY(1000);
        TBitmap b(640, 480);
        QCOMPARE(g.DrawToCanvas(b.Canvas()), 0);
        QCOMPARE(PixelsOf(b, clRed).size(), dots);
    }

    // With Y_MaxDifference the curve breaks at every sample that far from 0.
    void maxDifference_data() {
        QTest::addColumn<double>("limit");
        QTest::addColumn<bool>("joinedLeft");
        QTest::addColumn<bool>("joinedMiddle");
        QTest::newRow("off") << 0.0 << true << true;
        QTest::newRow("5") << 5.0 << false << true;
        QTest::newRow("below every value") << 0.01 << false << false;
    }
    void maxDifference() {
        QFETCH(double, limit);
        QFETCH(bool, joinedLeft);
        QFETCH(bool, joinedMiddle);
        auto g = Plotter("x");  // samples every 32 pixels
        g->SetPointsOnly(false);
        g->SetCross(false);
        g->SetAbstand(limit);
        TBitmap b(640, 480);
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        // Between the samples at x = -8.97 and -7.97 (columns 33 and 65), and
        // at x = 0.03 and 1.03 (columns 321 and 353).
        QCOMPARE(PixelsOf(b, clRed, QRect(40, 0, 20, 480)).size() == 20, joinedLeft);
        QCOMPARE(PixelsOf(b, clRed, QRect(330, 0, 20, 480)).size() == 20, joinedMiddle);
    }

    void gridLines() {
        auto g = Plotter("x");
        g->SetGrid(true);
        g->SetGridSpace(5);
        g->SetExpressions({});
        TBitmap b(640, 480);
        QCOMPARE(g->DrawToCanvas(b.Canvas()), 0);
        // Every 160 columns and 120 rows from the axes (at 320 and 240, drawn
        // over the grid); the lines at row 480 and column 640 lie off the
        // canvas.
        QList<int> rows, columns;
        for (int y = 0; y < 480; ++y)
            if (b.Canvas().Pixel(100, y) == clSilver) rows << y;
        for (int x = 0; x < 640; ++x)
            if (b.Canvas().Pixel(x, 100) == clSilver) columns << x;
        QCOMPARE(rows, (QList<int>{0, 120, 360}));
        QCOMPARE(columns, (QList<int>{0, 160, 480}));
        QVERIFY(b.Canvas().Pixel(100, 240) == clBlack);
    }

    void umrechnen_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("size");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::newRow("origin") << 0.0 << 640 << -10.0 << 10.0 << 320 << 320;
        QTest::newRow("left edge") << -10.0 << 640 << -10.0 << 10.0 << 0 << 640;
        QTest::newRow("truncated") << 0.01 << 640 << -10.0 << 10.0 << 320 << 319;
        QTest::newRow("toward zero") << -10.01 << 640 << -10.0 << 10.0 << 0 << 640;
        QTest::newRow("span truncated first") << 1.0 << 100 << 0.0 << 2.75 << 50 << 87;
        QTest::newRow("span below 1") << 0.125 << 100 << 0.0 << 0.5 << 25 << 75;
        QTest::newRow("reversed span below 1") << 0.125 << 100 << 0.5 << 0.0 << 75 << 25;
        QTest::newRow("far") << 1e300 << 640 << -10.0 << 10.0 << TVGraphics::kFar << -TVGraphics::kFar;
    }
    void umrechnen() {
        QFETCH(double, value);
        QFETCH(int, size);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, column);
        QFETCH(int, row);
        QCOMPARE(TVGraphics::UmrechnenX(value, size, from, to), column);
        QCOMPARE(TVGraphics::UmrechnenY(value, size, from, to), row);
    }
};

FLICKSTOW_TEST_MAIN(TestVgraphics)
#include "test_Vgraphics.moc"
