#include "platform/dib/dib.h"
#include "platform/graphics/graphics.h"
#include "tests/support/TestSupport.h"

#include <climits>

using namespace testsupport;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, size_t at, std::uint32_t v, int size) {
    if (b.size() < at + size_t(size)) b.resize(at + size_t(size));
    for (int i = 0; i < size; ++i) b[at + size_t(i)] = std::uint8_t(v >> (8 * i));
}

// A 40-byte header followed by the given bytes (colour table and rows).
Bytes Info(std::int32_t width, std::int32_t height, int bits, std::uint32_t clrUsed, const Bytes& rest) {
    Bytes b(40, 0);
    Put(b, 0, 40, 4);
    Put(b, 4, std::uint32_t(width), 4);
    Put(b, 8, std::uint32_t(height), 4);
    Put(b, 12, 1, 2);
    Put(b, 14, std::uint32_t(bits), 2);
    Put(b, 32, clrUsed, 4);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

Bytes Core(int width, int height, int bits, const Bytes& rest) {
    Bytes b(12, 0);
    Put(b, 0, 12, 4);
    Put(b, 4, std::uint32_t(width), 2);
    Put(b, 6, std::uint32_t(height), 2);
    Put(b, 8, 1, 2);
    Put(b, 10, std::uint32_t(bits), 2);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

// Pixels as text, row by row: each pixel "rrggbb", rows separated by "/".
QString Describe(const QImage& img) {
    QStringList rows;
    for (int y = 0; y < img.height(); ++y) {
        QString row;
        for (int x = 0; x < img.width(); ++x) row += QString("%1").arg(img.pixel(x, y) & 0xFFFFFF, 6, 16, QChar('0'));
        rows << row;
    }
    return rows.join('/');
}

// A picture whose every pixel differs from its neighbours.
QImage Colourful(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 40 + 7) & 255, (y * 70 + 3) & 255, (x * y * 13 + 100) & 255));
    return img;
}

QImage Indexed(int w, int h, int colours) {
    QImage img(w, h, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i) table << qRgb(i * 37 & 255, 255 - i, i * 11 & 255);
    img.setColorTable(table);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, uint((x + 3 * y) % colours));
    return img;
}

}  // namespace

class TestDib : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshSandbox(); }

    // The header, the row padding and the bottom-up order of packed pictures.
    void packLayout_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("stride");
        QTest::addColumn<int>("tableEntries");
        QTest::newRow("3 wide, 24 bits: rows 12 bytes apart") << 3 << 2 << 24 << 12 << 0;
        QTest::newRow("1 wide, 24 bits") << 1 << 3 << 24 << 4 << 0;
        QTest::newRow("4 wide, 24 bits") << 4 << 1 << 24 << 12 << 0;
        QTest::newRow("3 wide, 32 bits") << 3 << 2 << 32 << 12 << 0;
        QTest::newRow("5 wide, 8 bits") << 5 << 3 << 8 << 8 << 7;
        QTest::newRow("9 wide, 4 bits") << 9 << 2 << 4 << 8 << 7;
        QTest::newRow("33 wide, 1 bit") << 33 << 2 << 1 << 8 << 2;
    }
    void packLayout() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, bits);
        QFETCH(int, stride);
        QFETCH(int, tableEntries);
        QImage img = bits > 8 ? Colourful(width, height) : Indexed(width, height, tableEntries);
        dib::Packed p = dib::Pack(img, bits);
        dib::BitmapInfoHeader h = dib::ReadHeader(p.info);
        QCOMPARE(h.biSize, 40u);
        QCOMPARE(h.biWidth, width);
        QCOMPARE(h.biHeight, height);
        QCOMPARE(h.biPlanes, 1);
        QCOMPARE(h.biBitCount, bits);
        QCOMPARE(h.biCompression, 0u);
        QCOMPARE(h.biSizeImage, uint(stride * height));
        QCOMPARE(h.biClrUsed, uint(tableEntries));
        QCOMPARE(p.info.size(), size_t(40 + 4 * tableEntries));
        QCOMPARE(p.bits.size(), size_t(stride * height));
        QCOMPARE(dib::RowBytes(width, bits), std::uint64_t(stride));
        // The first stored row is the picture's bottom row, padded with zeros.
        if (bits == 24) {
            QRgb first = img.pixel(0, height - 1);
            QCOMPARE(p.bits[0], std::uint8_t(qBlue(first)));
            QCOMPARE(p.bits[1], std::uint8_t(qGreen(first)));
            QCOMPARE(p.bits[2], std::uint8_t(qRed(first)));
            QRgb top = img.pixel(0, 0);
            QCOMPARE(p.bits[size_t(stride * (height - 1)) + 2], std::uint8_t(qRed(top)));
        }
        for (int y = 0; y < height; ++y)
            for (size_t i = (size_t(width) * size_t(bits) + 7) / 8; i < size_t(stride); ++i)
                QCOMPARE(p.bits[size_t(y * stride) + i], std::uint8_t(0));
    }

    // Whatever is packed unpacks to the same colours, as one block or as
    // header and rows apart.
    void roundTrip_data() {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("bits");
        QTest::newRow("24 bits") << Colourful(7, 5) << 24;
        QTest::newRow("3-byte rows at 24 bits") << Colourful(7, 5).convertToFormat(QImage::Format_RGB888) << 24;
        QTest::newRow("3-byte rows at 32 bits") << Colourful(3, 2).convertToFormat(QImage::Format_RGB888) << 32;
        QTest::newRow("32 bits") << Colourful(3, 4) << 32;
        QTest::newRow("8 bits") << Indexed(13, 3, 200) << 8;
        QTest::newRow("4 bits") << Indexed(5, 6, 16) << 4;
        QTest::newRow("1 bit") << Indexed(17, 4, 2) << 1;
        QImage grey(6, 2, QImage::Format_Grayscale8);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 6; ++x) grey.scanLine(y)[x] = std::uint8_t(x * 50 + y);
        QTest::newRow("grey at 8 bits") << grey << 8;
        QImage mono(10, 3, QImage::Format_Mono);
        mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        mono.fill(0);
        mono.setPixel(3, 1, 1);
        QTest::newRow("mono at 1 bit") << mono << 1;
        QTest::newRow("mono at 24 bits") << mono << 24;
    }
    void roundTrip() {
        QFETCH(QImage, image);
        QFETCH(int, bits);
        QImage img = image;
        img.setDotsPerMeterX(11811);  // 300 dpi
        img.setDotsPerMeterY(3937);
        Bytes block = dib::PackBlock(img, bits);
        QImage back = dib::Unpack(block);
        QCOMPARE(Describe(back), Describe(img));
        QCOMPARE(back.format(), bits <= 8 ? QImage::Format_Indexed8 : QImage::Format_RGB32);
        QCOMPARE(back.dotsPerMeterX(), 11811);
        QCOMPARE(back.dotsPerMeterY(), 3937);
        dib::Packed p = dib::Pack(img, bits);
        QCOMPARE(Describe(dib::Unpack(p.info, p.bits)), Describe(img));
    }

    // Pictures made by others: bottom-up and top-down rows, the core header
    // with 3-byte colours, short colour tables and tables before true colour.
    void knownBytes_data() {
        QTest::addColumn<Bytes>("block");
        QTest::addColumn<QString>("pixels");
        // 2 x 2, 24 bits: stored bottom row first, rows padded to 8 bytes.
        QTest::newRow("bottom up") << Info(2, 2, 24, 0, {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 1, 2, 3, 0, 0})
                                   << "0000ff030201/ff000000ff00";
        QTest::newRow("top down") << Info(2, -2, 24, 0, {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 1, 2, 3, 0, 0})
                                  << "ff000000ff00/0000ff030201";
        QTest::newRow("table before true colour")
            << Info(1, 1, 24, 2, {9, 9, 9, 0, 8, 8, 8, 0, 10, 20, 30, 0}) << "1e140a";
        QTest::newRow("8 bits, short table, index beyond it is black")
            << Info(3, 1, 8, 2, {0, 0, 255, 0, 255, 0, 0, 0, 1, 0, 7, 0}) << "0000ffff0000000000";
        QTest::newRow("4 bits") << Info(3, 1, 4, 2, {0, 0, 0, 0, 255, 255, 255, 0, 0x10, 0x10, 0, 0})
                                << "ffffff000000ffffff";
        QTest::newRow("1 bit") << Info(10, 1, 1, 0, {0, 0, 0, 0, 0, 0, 255, 0, 0x80, 0x40, 0, 0})
                               << "ff0000000000000000000000000000000000000000000000000000ff0000";
        QTest::newRow("core header, 8 bits") << Core(2, 1, 8, [] {
            Bytes b(size_t{3} * 256, 0);
            b[3] = 255;  // entry 1: blue 255
            b.insert(b.end(), {1, 0, 0, 0});
            return b;
        }()) << "0000ff000000";
        // 16 bits: 5 each of red, green and blue, the top bit unused.
        QTest::newRow("16 bits") << Info(2, 2, 16, 0, {0x1F, 0x80, 0x10, 0x42, 0x00, 0x7C, 0xE0, 0x03})
                                 << "ff000000ff00/0000ff848484";
        QTest::newRow("core header, 24 bits") << Core(1, 2, 24, {1, 2, 3, 0, 4, 5, 6, 0}) << "060504/030201";
        QTest::newRow("longer header") << [] {
            Bytes b = Info(1, 1, 32, 0, {});
            Put(b, 0, 124, 4);
            b.resize(124);
            b.insert(b.end(), {30, 20, 10, 0});
            return b;
        }() << "0a141e";
    }
    void knownBytes() {
        QFETCH(Bytes, block);
        QFETCH(QString, pixels);
        QCOMPARE(Describe(dib::Unpack(block)), pixels);
    }

    // A header that does not describe rows present in the block is an
    // error, never a read beyond it nor an attempt at a giant allocation.
    void hostileHeaders_data() {
        QTest::addColumn<Bytes>("block");
        Bytes rows(16, 0);
        QTest::newRow("empty") << Bytes{};
        QTest::newRow("3 bytes") << Bytes{40, 0, 0};
        QTest::newRow("header size 0") << [&] {
            Bytes b = Info(2, 2, 24, 0, rows);
            Put(b, 0, 0, 4);
            return b;
        }();
        QTest::newRow("header size 39") << [&] {
            Bytes b = Info(2, 2, 24, 0, rows);
            Put(b, 0, 39, 4);
            return b;
        }();
        QTest::newRow("header larger than the block") << [&] {
            Bytes b = Info(2, 2, 24, 0, rows);
            Put(b, 0, 4000, 4);
            return b;
        }();
        QTest::newRow("header size 0xffffffff") << [&] {
            Bytes b = Info(2, 2, 24, 0, rows);
            Put(b, 0, 0xFFFFFFFF, 4);
            return b;
        }();
        QTest::newRow("info header cut short") << [] {
            Bytes b = Info(2, 2, 24, 0, {});
            b.resize(30);
            return b;
        }();
        QTest::newRow("width 0") << Info(0, 2, 24, 0, rows);
        QTest::newRow("negative width") << Info(-2, 2, 24, 0, rows);
        QTest::newRow("height 0") << Info(2, 0, 24, 0, rows);
        QTest::newRow("most negative height") << Info(2, INT32_MIN, 24, 0, rows);
        QTest::newRow("one byte of rows missing") << Info(2, 2, 24, 0, Bytes(15, 0));
        QTest::newRow("one row missing, top down") << Info(2, -3, 24, 0, rows);
        QTest::newRow("absurd width and height") << Info(INT32_MAX, INT32_MAX, 32, 0, rows);
        QTest::newRow("absurd height") << Info(1, INT32_MAX, 24, 0, rows);
        QTest::newRow("absurd height, top down") << Info(1, -INT32_MAX, 1, 0, Bytes(8 + 16, 0));
        QTest::newRow("colour count 0xffffffff") << Info(2, 2, 8, 0xFFFFFFFF, rows);
        QTest::newRow("colour table beyond the block") << Info(2, 2, 8, 0, Bytes(100, 0));
        QTest::newRow("15 bits") << Info(2, 2, 15, 0, rows);
        QTest::newRow("16 bits with colour masks") << [&] {
            Bytes b = Info(2, 2, 16, 0, rows);
            Put(b, 16, 3, 4);
            return b;
        }();
        QTest::newRow("0 bits") << Info(2, 2, 0, 0, rows);
        QTest::newRow("compressed") << [&] {
            Bytes b = Info(2, 2, 8, 2, Bytes(8 + 16, 0));
            Put(b, 16, 1, 4);
            return b;
        }();
        QTest::newRow("two planes") << [&] {
            Bytes b = Info(2, 2, 24, 0, rows);
            Put(b, 12, 2, 2);
            return b;
        }();
        QTest::newRow("core, 32 bits") << Core(1, 1, 32, Bytes(4, 0));
        QTest::newRow("core, width 0") << Core(0, 1, 24, Bytes(4, 0));
        QTest::newRow("core, table beyond the block") << Core(1, 1, 8, Bytes(100, 0));
        QTest::newRow("core, rows missing") << Core(65535, 65535, 24, Bytes(64, 0));
    }
    void hostileHeaders() {
        QFETCH(Bytes, block);
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::Unpack(block));
        // Apart, the rows must be all there too.
        if (block.size() >= 40) {
            std::span<const std::uint8_t> all(block);
            QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::Unpack(all.first(40), all.subspan(40)));
        }
        // Drawing such a block draws nothing.
        TBitmap b(4, 4);
        std::span<const std::uint8_t> all(block);
        QVERIFY(
            !dib::StretchDIBits(b.Canvas(), 0, 0, 4, 4, 0, 0, 2, 2, block.size() > 40 ? all.subspan(40) : all, all));
        QCOMPARE(b.Canvas().Pixel(0, 0), clWhite);
    }

    // The query without a buffer completes the header as the system does;
    // requests the picture cannot meet are errors.
    void getDIBits() {
        QImage img = Colourful(3, 5);
        Bytes info(44, 0);
        dib::BitmapInfoHeader h;
        h.biWidth = 3;
        h.biHeight = 5;
        h.biBitCount = 24;
        h.biSizeImage = 9 * 5;  // the row length without padding
        dib::WriteHeader(info, h);
        dib::GetDIBits(img, info);
        QCOMPARE(dib::ReadHeader(info).biSizeImage, 12u * 5u);
        Bytes bits(size_t{12} * 5 - 1);
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::GetDIBits(img, info, bits));
        bits.resize(size_t{12} * 5);
        dib::GetDIBits(img, info, bits);
        QCOMPARE(Describe(dib::Unpack(info, bits)), Describe(img));
        // A header for another size, another layout, or no room for it.
        h.biWidth = 4;
        dib::WriteHeader(info, h);
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::GetDIBits(img, info, bits));
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::GetDIBits(img, std::span(info).first(39)));
        // Eight bits or fewer need an indexed picture whose colours fit.
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::Pack(img, 8));
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::Pack(Indexed(4, 4, 17), 4));
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::Pack(img, 16));
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::Pack(QImage(), 24));
        Bytes palette(40 + 4 * 16, 0);
        h = {};
        h.biWidth = 4;
        h.biHeight = 4;
        h.biBitCount = 8;
        dib::WriteHeader(palette, h);
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, dib::GetDIBits(Indexed(4, 4, 17), palette));
    }

    // The packed rows drawn straight onto a canvas, scaled: upright, each
    // pixel a block, at every depth.
    void stretchDIBits_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("topDown");
        QTest::addColumn<bool>("split");
        QTest::newRow("24 bits") << 24 << false << true;
        QTest::newRow("24 bits, top down") << 24 << true << true;
        QTest::newRow("24 bits, one block") << 24 << false << false;
        QTest::newRow("32 bits") << 32 << false << true;
        QTest::newRow("8 bits") << 8 << false << true;
        QTest::newRow("4 bits") << 4 << false << true;
        QTest::newRow("1 bit") << 1 << false << true;
        QTest::newRow("1 bit, one block") << 1 << false << false;
    }
    void stretchDIBits() {
        QFETCH(int, bits);
        QFETCH(bool, topDown);
        QFETCH(bool, split);
        QImage img = bits > 8 ? Colourful(3, 2) : Indexed(3, 2, bits == 1 ? 2 : 6);
        dib::Packed p = dib::Pack(img, bits);
        if (topDown) {
            dib::BitmapInfoHeader h = dib::ReadHeader(p.info);
            h.biHeight = -h.biHeight;
            dib::WriteHeader(p.info, h);
            dib::GetDIBits(img, p.info, p.bits);
        }
        TBitmap target(40, 30);
        bool drawn;
        if (split) {
            drawn = dib::StretchDIBits(target.Canvas(), 5, 4, 30, 20, 0, 0, 3, 2, p.bits, p.info);
        } else {
            Bytes block = dib::PackBlock(img, bits);
            std::span<const std::uint8_t> all(block);
            drawn = dib::StretchDIBits(target.Canvas(), 5, 4, 30, 20, 0, 0, 3, 2, all.subspan(p.info.size()), all);
        }
        QVERIFY(drawn);
        QImage rgb = img.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x)
                QCOMPARE(target.Canvas().Pixel(5 + x, 4 + y), graphics::FromQRgb(rgb.pixel(x / 10, y / 10)));
        QCOMPARE(target.Canvas().Pixel(4, 4), clWhite);
        QCOMPARE(target.Canvas().Pixel(35, 24), clWhite);
        // Part of the rows: source rows count from the bottom for bottom-up rows.
        TBitmap part(3, 1);
        QVERIFY(dib::StretchDIBits(part.Canvas(), 0, 0, 3, 1, 0, 0, 3, 1, p.bits, p.info));
        QCOMPARE(part.Canvas().Pixel(1, 0), graphics::FromQRgb(rgb.pixel(1, topDown ? 0 : 1)));
    }
};

FLICKSTOW_TEST_MAIN(TestDib)
#include "test_dib.moc"
