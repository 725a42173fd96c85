#include "platform/graphics/graphics.h"
#include "tests/support/TestSupport.h"

#include <QPainter>
#include <chrono>

using namespace testsupport;

namespace {

using Points = QList<QPoint>;

// Every pixel of the colour, row by row.
Points PixelsOf(const TBitmap& b, TColor color) {
    Points found;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Canvas().Pixel(x, y) == color) found << QPoint(x, y);
    return found;
}

// The smallest rectangle holding every pixel that is not white.
QRect InkBounds(const TBitmap& b) {
    QRect r;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Canvas().Pixel(x, y) != clWhite) r |= QRect(x, y, 1, 1);
    return r;
}

Points Row(int y, int from, int to) {
    Points p;
    for (int x = from; x <= to; ++x) p << QPoint(x, y);
    return p;
}

}  // namespace

class TestGraphics : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshSandbox(); }

    void colourValues_data() {
        QTest::addColumn<uint>("value");
        QTest::addColumn<QColor>("color");
        QTest::newRow("red in the low byte") << uint(clRed) << QColor(255, 0, 0);
        QTest::newRow("blue in the third byte") << uint(clBlue) << QColor(0, 0, 255);
        QTest::newRow("navy") << uint(clNavy) << QColor(0, 0, 128);
        QTest::newRow("mixed") << uint(graphics::Rgb(1, 2, 3)) << QColor(1, 2, 3);
        QTest::newRow("silver") << uint(clSilver) << QColor(192, 192, 192);
    }
    void colourValues() {
        QFETCH(uint, value);
        QFETCH(QColor, color);
        QCOMPARE(graphics::ToQColor(value), color);
        QCOMPARE(graphics::FromQColor(color), TColor(value));
        QCOMPARE(graphics::FromQRgb(graphics::ToQRgb(value)), TColor(value));
        // The top byte of a value is not part of the colour.
        QCOMPARE(graphics::ToQColor(value | 0x02000000), color);
        TBitmap b(1, 1);
        b.Canvas().SetPixel(0, 0, value);
        QCOMPARE(b.Image().pixelColor(0, 0), color);
        QCOMPARE(b.Canvas().Pixel(0, 0), TColor(value));
    }

    // A line covers the pixels from its start up to, not including, its end.
    void lines_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<Points>("ink");
        QTest::newRow("right") << QPoint(1, 2) << QPoint(5, 2) << Row(2, 1, 4);
        QTest::newRow("left") << QPoint(5, 2) << QPoint(1, 2) << Row(2, 2, 5);
        QTest::newRow("down") << QPoint(3, 0) << QPoint(3, 3) << Points{{3, 0}, {3, 1}, {3, 2}};
        QTest::newRow("diagonal") << QPoint(0, 0) << QPoint(4, 4) << Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}};
        QTest::newRow("shallow") << QPoint(0, 0) << QPoint(6, 2)
                                 << Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}};
        QTest::newRow("one step") << QPoint(6, 6) << QPoint(7, 7) << Points{{6, 6}};
        QTest::newRow("no length") << QPoint(4, 4) << QPoint(4, 4) << Points{};
        QTest::newRow("far ends, row") << QPoint(-2000000000, 3) << QPoint(2000000000, 3) << Row(3, 0, 9);
        QTest::newRow("far ends, steep") << QPoint(8, 2000000000) << QPoint(8, -2000000000)
                                         << Points{{8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 6}, {8, 7}};
        QTest::newRow("outside") << QPoint(-5, -1) << QPoint(20, -1) << Points{};
    }
    void lines() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(Points, ink);
        TBitmap b(10, 8);
        TCanvas& c = b.Canvas();
        c.Pen.Color = clRed;
        c.MoveTo(from.x(), from.y());
        auto t0 = std::chrono::steady_clock::now();
        c.LineTo(to.x(), to.y());
        QVERIFY(std::chrono::steady_clock::now() - t0 < std::chrono::milliseconds(200));
        QCOMPARE(c.PenPos, to);
        std::sort(ink.begin(), ink.end(),
                  [](QPoint p, QPoint q) { return std::pair(p.y(), p.x()) < std::pair(q.y(), q.x()); });
        QCOMPARE(PixelsOf(b, clRed), ink);
        QCOMPARE(PixelsOf(b, clWhite).size(), 80 - ink.size());
    }

    // Styled one-pixel pens: the gaps take the brush colour when the brush is
    // solid and stay as they were otherwise; a clear pen draws nothing.
    void penStyles_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("brush");
        QTest::addColumn<QString>("row");  // x = ink, o = brush colour, . = untouched
        QTest::newRow("solid") << int(psSolid) << int(bsSolid) << "xxxxxxxxxxxxxxxxxxxxxxxxxxxxx.";
        QTest::newRow("dot on solid brush") << int(psDot) << int(bsSolid) << "xxxoooxxxoooxxxoooxxxoooxxxoo.";
        QTest::newRow("dot on clear brush") << int(psDot) << int(bsClear) << "xxx...xxx...xxx...xxx...xxx...";
        QTest::newRow("dash") << int(psDash) << int(bsClear) << "xxxxxxxxxxxxxxxxxx......xxxxx.";
        QTest::newRow("dash dot") << int(psDashDot) << int(bsClear) << "xxxxxxxxx......xxx......xxxxx.";
        QTest::newRow("dash dot dot") << int(psDashDotDot) << int(bsClear) << "xxxxxxxxx...xxx...xxx...xxxxx.";
        QTest::newRow("clear") << int(psClear) << int(bsSolid) << "..............................";
    }
    void penStyles() {
        QFETCH(int, style);
        QFETCH(int, brush);
        QFETCH(QString, row);
        TBitmap b(30, 3);
        TCanvas& c = b.Canvas();
        c.Pen.Style = TPenStyle(style);
        c.Pen.Color = clBlack;
        c.Brush.Style = TBrushStyle(brush);
        c.Brush.Color = clRed;
        c.MoveTo(0, 1);
        c.LineTo(29, 1);
        QString seen;
        for (int x = 0; x < 30; ++x) {
            TColor p = c.Pixel(x, 1);
            seen += p == clBlack ? 'x' : p == clRed ? 'o' : p == clWhite ? '.' : '?';
        }
        QCOMPARE(seen, row);
        QCOMPARE(PixelsOf(b, clWhite).size(), 60 + row.count('.'));
    }

    // A wide pen is solid and round, centred on the line, whatever its style.
    void widePen() {
        for (TPenStyle style : {psSolid, psDash}) {
            TBitmap b(40, 20);
            b.Canvas().Pen.Width = 5;
            b.Canvas().Pen.Style = style;
            b.Canvas().MoveTo(10, 10);
            b.Canvas().LineTo(30, 10);
            QCOMPARE(InkBounds(b).top(), 8);
            QCOMPARE(InkBounds(b).bottom(), 12);
            for (int x = 10; x <= 30; ++x) QCOMPARE(b.Canvas().Pixel(x, 10), clBlack);
        }
    }

    void fillAndRectangle_data() {
        QTest::addColumn<int>("brush");
        QTest::addColumn<bool>("outline");
        QTest::addColumn<int>("filled");  // pixels of the brush colour
        QTest::addColumn<int>("border");  // pixels of the pen colour
        QTest::newRow("fill solid") << int(bsSolid) << false << 6 * 4 << 0;
        QTest::newRow("fill clear") << int(bsClear) << false << 0 << 0;
        QTest::newRow("rectangle solid") << int(bsSolid) << true << 4 * 2 << 6 * 2 + 2 * 2;
        QTest::newRow("rectangle clear") << int(bsClear) << true << 0 << 6 * 2 + 2 * 2;
    }
    void fillAndRectangle() {
        QFETCH(int, brush);
        QFETCH(bool, outline);
        QFETCH(int, filled);
        QFETCH(int, border);
        TBitmap b(12, 10);
        TCanvas& c = b.Canvas();
        c.Brush.Style = TBrushStyle(brush);
        c.Brush.Color = clLime;
        c.Pen.Color = clNavy;
        // Left and top edges are inside, right and bottom ones outside.
        if (outline) c.Rectangle(2, 3, 8, 7);
        else
            c.FillRect(Rect(2, 3, 8, 7));
        QCOMPARE(PixelsOf(b, clLime).size(), filled);
        QCOMPARE(PixelsOf(b, clNavy).size(), border);
        if (filled || border) QCOMPARE(InkBounds(b), QRect(QPoint(2, 3), QPoint(7, 6)));
    }

    // Hatched brushes leave the pixels between their lines as they were.
    void hatchedBrushes_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<QPoint>("next");  // the neighbour along the hatch line
        QTest::newRow("horizontal") << int(bsHorizontal) << QPoint(1, 0);
        QTest::newRow("vertical") << int(bsVertical) << QPoint(0, 1);
        QTest::newRow("forward diagonal \\") << int(bsFDiagonal) << QPoint(1, 1);
        QTest::newRow("backward diagonal /") << int(bsBDiagonal) << QPoint(1, -1);
    }
    void hatchedBrushes() {
        QFETCH(int, style);
        QFETCH(QPoint, next);
        TBitmap b(16, 16);
        b.Canvas().Brush.Style = TBrushStyle(style);
        b.Canvas().Brush.Color = clRed;
        b.Canvas().FillRect(Rect(0, 0, 16, 16));
        Points ink = PixelsOf(b, clRed);
        QVERIFY(ink.size() >= 16);
        QVERIFY(ink.size() <= qsizetype{2} * 16);
        // Every inked pixel inside continues along the hatch direction.
        for (QPoint p : ink) {
            QPoint n = p + next;
            if (QRect(0, 0, 16, 16).contains(n))
                QVERIFY2(b.Canvas().Pixel(n.x(), n.y()) == clRed, qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
        }
    }

    void fontSizes_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("pixels");
        QTest::newRow("12") << 12 << 16;
        QTest::newRow("10") << 10 << 13;
        QTest::newRow("8") << 8 << 11;
    }
    void fontSizes() {
        QFETCH(int, points);
        QFETCH(int, pixels);
        TFont f;
        f.SetSize(points);
        QCOMPARE(f.Height, pixels);
        QCOMPARE(f.Size(), points);
    }

    // Text stands with the top left of its first cell at the point, in the
    // font colour, on the brush colour when the brush is solid.
    void textOut_data() {
        QTest::addColumn<QString>("font");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("brush");
        QTest::newRow("mono on clear") << "Courier New" << false << int(bsClear);
        QTest::newRow("mono bold on clear") << "Courier New" << true << int(bsClear);
        QTest::newRow("sans on solid") << "Verdana" << false << int(bsSolid);
    }
    void textOut() {
        QFETCH(QString, font);
        QFETCH(bool, bold);
        QFETCH(int, brush);
        TBitmap b(300, 60);
        TCanvas& c = b.Canvas();
        c.Font.Name = font.toStdString();
        c.Font.SetSize(10);
        c.Font.Bold = bold;
        c.Font.Color = clBlue;
        c.Brush.Style = TBrushStyle(brush);
        c.Brush.Color = clYellow;
        c.TextOut(20, 10, "Hdpq MID");
        const int w = c.TextWidth("Hdpq MID"), h = c.TextHeight("Hdpq MID");
        QVERIFY(h >= 13 && h <= 20);
        QRect ink;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                if (c.Pixel(x, y) != clWhite && c.Pixel(x, y) != clYellow) ink |= QRect(x, y, 1, 1);
        QVERIFY(QRect(20, 10, w, h).contains(ink));
        // The cap of the H reaches to within a few pixels of the top, the
        // descenders to the lower part of the cell.
        QVERIFY(ink.top() <= 10 + 4);
        QVERIFY(ink.bottom() >= 10 + h / 2 + 3);
        QVERIFY(ink.left() <= 22);
        QVERIFY(!PixelsOf(b, clBlue).isEmpty());
        QCOMPARE(PixelsOf(b, clYellow).isEmpty(), brush == bsClear);
        if (brush == bsSolid) QCOMPARE(InkBounds(b), QRect(20, 10, w, h));
        // Bold strokes put more ink on the page than regular ones.
        auto inkOf = [&](bool withBold) {
            TBitmap other(300, 60);
            other.Canvas().Font = c.Font;
            other.Canvas().Font.Bold = withBold;
            other.Canvas().TextOut(0, 0, "MMMMMMMMMM");
            return PixelsOf(other, clWhite).size();
        };
        QVERIFY(inkOf(true) < inkOf(false));
    }

    // Flood fill is iterative: an area shaped as a long serpentine over a
    // large bitmap fills completely, bounded as asked.
    void floodFill_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<QPoint>("start");
        QTest::addColumn<bool>("filled");
        QTest::newRow("border, inside the outline") << int(fsBorder) << QPoint(5, 5) << true;
        QTest::newRow("border, starting on the border") << int(fsBorder) << QPoint(1, 1) << false;
        QTest::newRow("surface, inside") << int(fsSurface) << QPoint(5, 5) << true;
        QTest::newRow("surface, starting elsewhere") << int(fsSurface) << QPoint(1, 1) << false;
        QTest::newRow("outside the bitmap") << int(fsBorder) << QPoint(-1, 5) << false;
    }
    void floodFill() {
        QFETCH(int, style);
        QFETCH(QPoint, start);
        QFETCH(bool, filled);
        const int size = 1500;
        TBitmap b(size, size);
        TCanvas& c = b.Canvas();
        c.Pen.Color = clBlack;
        c.Brush.Style = bsClear;
        c.Rectangle(1, 1, size - 1, size - 1);
        // Walls from alternating sides: one corridor snakes through them.
        for (int x = 4; x < size - 4; x += 3) {
            bool fromTop = (x / 3) % 2 == 0;
            c.MoveTo(x, fromTop ? 1 : size - 2);
            c.LineTo(x, fromTop ? size - 4 : 2);
        }
        const auto whiteBefore = PixelsOf(b, clWhite).size();
        const qsizetype outside = 4 * size - 4;  // the frame round the outline
        c.Brush.Style = bsSolid;
        c.Brush.Color = clRed;
        bool done = c.FloodFill(start.x(), start.y(), style == fsBorder ? clBlack : clWhite, TFillStyle(style));
        QCOMPARE(done, filled);
        const auto red = PixelsOf(b, clRed).size();
        QCOMPARE(red, filled ? whiteBefore - outside : 0);
        QCOMPARE(c.Pixel(0, 0), clWhite);
        QCOMPARE(c.Pixel(1, 1), clBlack);
    }

    void hatchedFloodFill() {
        TBitmap b(16, 16);
        b.Canvas().Brush.Style = bsVertical;
        b.Canvas().Brush.Color = clRed;
        QVERIFY(b.Canvas().FloodFill(3, 3, clBlack, fsBorder));
        const auto red = PixelsOf(b, clRed).size();
        QVERIFY(red >= 16 && red <= 32);
        QCOMPARE(PixelsOf(b, clWhite).size(), 256 - red);
    }

    // Pictures drawn at a point, stretched, and copied from canvases.
    void pictures_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QRect>("covered");
        QTest::newRow("draw") << "draw" << QRect(5, 4, 3, 2);
        QTest::newRow("stretch") << "stretch" << QRect(2, 2, 9, 4);
        QTest::newRow("copy") << "copy" << QRect(0, 0, 6, 4);
        QTest::newRow("copy mirrored") << "mirror" << QRect(0, 0, 6, 4);
        QTest::newRow("copy onto itself") << "self" << QRect(4, 4, 3, 2);
    }
    void pictures() {
        QFETCH(QString, how);
        QFETCH(QRect, covered);
        // 3 x 2 pixels: a red and a blue column, then lime; the bottom row dark.
        TBitmap pic(3, 2);
        const TColor top[3] = {clRed, clBlue, clLime}, bottom[3] = {clMaroon, clNavy, clGreen};
        for (int x = 0; x < 3; ++x) {
            pic.Canvas().SetPixel(x, 0, top[x]);
            pic.Canvas().SetPixel(x, 1, bottom[x]);
        }
        TBitmap b(14, 10);
        TCanvas& c = b.Canvas();
        bool mirrored = false;
        if (how == "draw") c.Draw(5, 4, pic);
        else if (how == "stretch")
            c.StretchDraw(Rect(2, 2, 11, 6), pic);
        else if (how == "copy")
            c.CopyRect(Rect(0, 0, 6, 4), pic.Canvas(), Rect(0, 0, 3, 2));
        else if (how == "mirror") {
            c.CopyRect(Rect(6, 0, 0, 4), pic.Canvas(), Rect(0, 0, 3, 2));
            mirrored = true;
        } else {
            c.Draw(0, 0, pic);
            c.CopyRect(Rect(4, 4, 7, 6), c, Rect(0, 0, 3, 2));
            c.FillRect(Rect(0, 0, 3, 2));
        }
        QCOMPARE(InkBounds(b), covered);
        // Each picture pixel becomes a block of equal size.
        const int bw = covered.width() / 3, bh = covered.height() / 2;
        for (int y = 0; y < covered.height(); ++y)
            for (int x = 0; x < covered.width(); ++x) {
                int col = mirrored ? 2 - x / bw : x / bw;
                TColor want = y / bh == 0 ? top[col] : bottom[col];
                QCOMPARE(c.Pixel(covered.x() + x, covered.y() + y), want);
            }
        // The source is unchanged.
        QCOMPARE(pic.Canvas().Pixel(2, 1), clGreen);
    }

    // Images whose rows are stored bottom row first come out upright; a
    // zero size draws nothing; halftone scaling mixes neighbours.
    void stretchImage_data() {
        QTest::addColumn<bool>("bottomUp");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("rows");  // the target's 2 rows, r = red, b = blue, . = white
        QTest::newRow("top down") << false << 2 << 2 << int(smColorOnColor) << "rr/bb";
        QTest::newRow("bottom up") << true << 2 << 2 << int(smColorOnColor) << "bb/rr";
        QTest::newRow("mirrored across") << false << -2 << 2 << int(smColorOnColor) << "rr/bb";
        QTest::newRow("upside down") << false << 2 << -2 << int(smColorOnColor) << "bb/rr";
        QTest::newRow("zero width") << false << 0 << 2 << int(smColorOnColor) << "../..";
        QTest::newRow("zero height") << false << 2 << 0 << int(smColorOnColor) << "../..";
        // Halftone mixes the two colours where the pixels meet.
        QTest::newRow("halftone") << false << 2 << 2 << int(smHalftone) << "mixed";
    }
    void stretchImage() {
        QFETCH(bool, bottomUp);
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, mode);
        QFETCH(QString, rows);
        QImage img(1, 2, QImage::Format_RGB32);
        img.setPixel(0, 0, qRgb(255, 0, 0));
        img.setPixel(0, 1, qRgb(0, 0, 255));
        TBitmap b(2, 2);
        b.Canvas().StretchMode = TStretchMode(mode);
        int x = w < 0 ? 2 : 0, y = h < 0 ? 2 : 0;
        b.Canvas().StretchImage(x, y, w, h, img, img.rect(), bottomUp);
        QString seen;
        for (int py = 0; py < 2; ++py) {
            if (py) seen += '/';
            for (int px = 0; px < 2; ++px) {
                TColor p = b.Canvas().Pixel(px, py);
                seen += p == clRed ? 'r' : p == clBlue ? 'b' : p == clWhite ? '.' : '?';
            }
        }
        if (rows == "mixed") QVERIFY2(seen.contains('?'), qPrintable(seen));
        else
            QCOMPARE(seen, rows);
    }

    void pixelsOutside() {
        TBitmap b(4, 3);
        QCOMPARE(b.Canvas().Pixel(4, 0), clInvalid);
        QCOMPARE(b.Canvas().Pixel(0, -1), clInvalid);
        b.Canvas().SetPixel(-1, 0, clBlack);
        b.Canvas().SetPixel(0, 3, clBlack);
        QCOMPARE(PixelsOf(b, clWhite).size(), 12);
        TBitmap empty;
        QCOMPARE(empty.Canvas().Pixel(0, 0), clInvalid);
        empty.Canvas().FillRect(Rect(0, 0, 5, 5));  // nothing to draw on, and no harm
        QVERIFY(empty.Empty());
    }

    // Clearing gives a fresh white bitmap of the size; a new size keeps
    // what fits; copies and handles keep the pixels apart.
    void bitmapLifecycle() {
        TBitmap b(5, 4);
        QCOMPARE(PixelsOf(b, clWhite).size(), 20);
        b.Canvas().Brush.Color = clRed;
        b.Canvas().FillRect(Rect(0, 0, 5, 4));
        b.SetSize(7, 2);
        QCOMPARE(PixelsOf(b, clRed).size(), 10);
        QCOMPARE(PixelsOf(b, clWhite).size(), 4);
        TBitmap copy = b;
        copy.Canvas().FillRect(Rect(0, 0, 7, 2));
        copy.Canvas().SetPixel(0, 0, clBlue);
        QCOMPARE(b.Canvas().Pixel(0, 0), clRed);
        b.Clear(800, 1200);
        QCOMPARE(b.Width(), 800);
        QCOMPARE(b.Height(), 1200);
        QCOMPARE(InkBounds(b), QRect());
        QImage held = b.ReleaseHandle();
        QVERIFY(b.Empty());
        QCOMPARE(held.size(), QSize(800, 1200));
        b.SetHandle(held);
        QCOMPARE(b.Width(), 800);
        b.Clear(0, 10);
        QVERIFY(b.Empty());
        QVERIFY_THROWS_EXCEPTION(EOutOfResources, b.Clear(1 << 30, 1 << 30));
        // Any picture becomes true colour.
        QImage mono(3, 1, QImage::Format_Mono);
        mono.fill(1);
        b.Assign(mono);
        QCOMPARE(b.Image().format(), QImage::Format_RGB32);
    }

    // A canvas over a painter that someone else keeps open (as a printer's):
    // drawing reaches the device, pixels cannot be read back.
    void painterCanvas() {
        QImage page(40, 30, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        TCanvas c(&p);
        QCOMPARE(c.Width(), 40);
        QCOMPARE(c.Height(), 30);
        c.Brush.Color = clRed;
        c.FillRect(Rect(0, 0, 10, 10));
        c.Font.Color = clBlue;
        c.Brush.Style = bsClear;
        c.TextOut(12, 2, "Ab");
        c.MoveTo(0, 20);
        c.LineTo(40, 20);
        QCOMPARE(c.Pixel(1, 1), clInvalid);
        QVERIFY(!c.FloodFill(30, 5, clBlack, fsBorder));
        QVERIFY(c.TextWidth("Ab") > 0);
        p.end();
        QCOMPARE(page.pixelColor(9, 9), QColor(255, 0, 0));
        QCOMPARE(page.pixelColor(10, 10), QColor(255, 255, 255));
        QCOMPARE(page.pixelColor(20, 20), QColor(0, 0, 0));
        bool blue = false;
        for (int y = 0; y < 18; ++y)
            for (int x = 12; x < 40; ++x) blue = blue || page.pixelColor(x, y) == QColor(0, 0, 255);
        QVERIFY(blue);
        // Once the painter has ended, nothing is drawn and nothing breaks.
        c.FillRect(Rect(0, 0, 40, 30));
        QCOMPARE(c.Width(), 0);
        QCOMPARE(page.pixelColor(35, 25), QColor(255, 255, 255));
    }
};

FLICKSTOW_TEST_MAIN(TestGraphics)
#include "test_graphics.moc"
