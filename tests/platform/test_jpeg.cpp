#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"
#include "tests/support/JpegSamples.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <cmath>
#include <tuple>

using namespace testsupport;

Q_DECLARE_METATYPE(testsupport::JpegKind)

namespace {

const QColor kRed(200, 30, 40), kBlue(20, 60, 190);

// The colour at the middle of the left and of the right quarter.
QRgb LeftColour(const QImage& image) { return image.pixel(image.width() / 4, image.height() / 2); }
QRgb RightColour(const QImage& image) { return image.pixel(image.width() * 3 / 4, image.height() / 2); }

// A valid file whose frame header claims another size.
AnsiString WithClaimedSize(AnsiString bytes, int width, int height) {
    for (size_t i = 0; i + 9 < bytes.size(); ++i) {
        unsigned char marker = static_cast<unsigned char>(bytes[i + 1]);
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            bytes[i + 5] = static_cast<char>(height >> 8);
            bytes[i + 6] = static_cast<char>(height & 0xFF);
            bytes[i + 7] = static_cast<char>(width >> 8);
            bytes[i + 8] = static_cast<char>(width & 0xFF);
            return bytes;
        }
    }
    qFatal("no frame header");
}

}  // namespace

class TestJpeg : public QObject {
    Q_OBJECT

private slots:
    void init() { FreshSandbox(); }

    // Every kind of file a user is likely to have decodes to the colours
    // that were stored, at its own size.
    void decodesEveryKind_data() {
        QTest::addColumn<JpegKind>("kind");
        QTest::addColumn<QSize>("size");
        const std::pair<const char*, JpegKind> kinds[] = {{"baseline", JpegKind::Baseline},
                                                          {"progressive", JpegKind::Progressive},
                                                          {"greyscale", JpegKind::Greyscale},
                                                          {"cmyk", JpegKind::Cmyk},
                                                          {"adobe cmyk", JpegKind::AdobeCmyk},
                                                          {"ycck", JpegKind::Ycck},
                                                          {"exif", JpegKind::Exif},
                                                          {"restart markers", JpegKind::Restarts},
                                                          {"arithmetic coding", JpegKind::Arithmetic}};
        for (auto [name, kind] : kinds) {
            QTest::addRow("%s 64x48", name) << kind << QSize(64, 48);
            QTest::addRow("%s 37x91", name) << kind << QSize(37, 91);
        }
    }
    void decodesEveryKind() {
        QFETCH(JpegKind, kind);
        QFETCH(QSize, size);
        jpeg::Picture p = jpeg::Decode(MakeJpeg(kind, size.width(), size.height(), kRed, kBlue));
        QCOMPARE(p.natural, size);
        QCOMPARE(p.image.size(), size);
        QCOMPARE(p.image.format(), QImage::Format_RGB32);
        QRgb left = kRed.rgb(), right = kBlue.rgb();
        if (kind == JpegKind::Greyscale) {
            left = qRgb(qGray(left), qGray(left), qGray(left));
            right = qRgb(qGray(right), qGray(right), qGray(right));
        }
        QVERIFY2(ColourDistance(LeftColour(p.image), left) <= 12,
                 qPrintable(QColor(LeftColour(p.image)).name() + " for " + QColor(left).name()));
        QVERIFY2(ColourDistance(RightColour(p.image), right) <= 12,
                 qPrintable(QColor(RightColour(p.image)).name() + " for " + QColor(right).name()));
    }

    // A picture that will be shown small is decoded at the smallest of the
    // library's scales that still covers the size it is shown at.
    void scalesToTheShownSize_data() {
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QSize>("shown");  // invalid: no size given
        QTest::addColumn<QSize>("decoded");
        QTest::addColumn<bool>("progressive");
        QTest::newRow("full size without a shown size") << QSize(1600, 1200) << QSize() << QSize(1600, 1200) << false;
        QTest::newRow("preview of a wide one: 1/8") << QSize(1600, 1200) << QSize(155, 116) << QSize(200, 150) << false;
        QTest::newRow("exactly 1/8") << QSize(1600, 1200) << QSize(200, 150) << QSize(200, 150) << false;
        QTest::newRow("a pixel more: 1/4") << QSize(1600, 1200) << QSize(201, 150) << QSize(400, 300) << false;
        QTest::newRow("1/2") << QSize(1600, 1200) << QSize(700, 500) << QSize(800, 600) << false;
        QTest::newRow("larger than the picture: full")
            << QSize(1600, 1200) << QSize(2000, 1500) << QSize(1600, 1200) << false;
        QTest::newRow("odd size rounds up") << QSize(1601, 1203) << QSize(150, 150) << QSize(201, 151) << false;
        QTest::newRow("tall progressive: 1/8") << QSize(1000, 1500) << QSize(100, 151) << QSize(125, 188) << true;
        // The entry editor's preview (155 wide or 151 high) at the edges of
        // each scale: the smallest that still fills it, never one short.
        const std::tuple<const char*, QSize, QSize, QSize> preview[] = {
            {"1/8 exactly fills", {1240, 930}, {155, 116}, {155, 117}},
            {"1/8 rounded up fills", {1233, 925}, {155, 116}, {155, 116}},
            {"1/8 a pixel short: 1/4", {1232, 924}, {155, 116}, {308, 231}},
            {"1/4 rounded up fills", {617, 463}, {155, 116}, {155, 116}},
            {"1/4 a pixel short: 1/2", {616, 462}, {155, 116}, {308, 231}},
            {"1/2 rounded up fills", {309, 232}, {155, 116}, {155, 116}},
            {"1/2 a pixel short: full", {308, 231}, {155, 116}, {308, 231}},
            {"tall, 1/8 exactly fills", {944, 1208}, {118, 151}, {118, 151}},
            {"tall, 1/8 a pixel short: 1/4", {944, 1200}, {118, 151}, {236, 300}},
        };
        for (const auto& [name, natural, shown, decoded] : preview)
            QTest::addRow("preview, %s", name) << natural << shown << decoded << false;
    }
    void scalesToTheShownSize() {
        QFETCH(QSize, natural);
        QFETCH(QSize, shown);
        QFETCH(QSize, decoded);
        QFETCH(bool, progressive);
        AnsiString file = MakeJpeg(progressive ? JpegKind::Progressive : JpegKind::Baseline, natural.width(),
                                   natural.height(), kRed, kBlue, 75);
        QSize asked;
        jpeg::ShownSize wanted;
        if (shown.isValid())
            wanted = [&](QSize n) {
                asked = n;
                return shown;
            };
        jpeg::Picture p = jpeg::Decode(file, wanted);
        if (shown.isValid()) QCOMPARE(asked, natural);
        QCOMPARE(p.natural, natural);
        QCOMPARE(p.image.size(), decoded);
        QVERIFY(ColourDistance(LeftColour(p.image), kRed.rgb()) <= 12);
        QVERIFY(ColourDistance(RightColour(p.image), kBlue.rgb()) <= 12);
    }

    // CMYK pictures come out in exactly the colours their inks make: each of
    // red, green and blue is (255 - its ink) x (255 - black) / 255, rounded,
    // worked out here from the inks the file holds.
    void cmykColoursExact_data() {
        QTest::addColumn<JpegKind>("kind");
        QTest::newRow("plain") << JpegKind::Cmyk;
        QTest::newRow("adobe") << JpegKind::AdobeCmyk;
        QTest::newRow("ycck") << JpegKind::Ycck;
    }
    void cmykColoursExact() {
        QFETCH(JpegKind, kind);
        const int width = 256, height = 64;
        // Every level of cyan and yellow, against many levels of black.
        const AnsiString file = MakeJpeg(
            kind, width, height,
            [](int x, int y) { return QColor::fromCmyk(x, (x * 7 + y * 5) % 256, 255 - x, (y * 4 + x) % 256); }, 90);
        const QImage image = jpeg::Decode(file).image;
        const std::vector<uint8_t> inks = StoredInks(file);
        QCOMPARE(inks.size(), size_t(width * height * 4));
        const bool inverted = kind != JpegKind::Cmyk;
        int wrong = 0;
        QString example;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t* ink = inks.data() + (size_t(y) * width + size_t(x)) * 4;
                auto clear = [&](int i) { return inverted ? ink[i] : 255 - ink[i]; };  // 255: no ink
                auto level = [&](int i) { return int(std::lround(clear(i) * clear(3) / 255.0)); };
                const QRgb want = qRgb(level(0), level(1), level(2));
                if (image.pixel(x, y) == want) continue;
                if (!wrong++)
                    example = QString("at %1,%2: %3 for %4")
                                  .arg(x)
                                  .arg(y)
                                  .arg(QColor(image.pixel(x, y)).name(), QColor(want).name());
            }
        QVERIFY2(wrong == 0, qPrintable(QString::number(wrong) + " pixels, first " + example));
    }

    // Bytes that are no picture, or no complete one, raise EJPEG with the
    // library's message; a picture too large or too costly is refused.
    void refusesBadInput_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const AnsiString good = MakeJpeg(JpegKind::Baseline, 64, 64, kRed, kBlue);
        const AnsiString progressive = MakeJpeg(JpegKind::Progressive, 64, 64, kRed, kBlue);
        auto bytes = [](const AnsiString& s) { return QByteArray::fromStdString(s); };
        QTest::newRow("empty") << QByteArray() << "Empty input file";
        QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                             << "Not a JPEG file: starts with 0x89 0x50";
        QTest::newRow("text") << QByteArray("cover picture") << "Not a JPEG file: starts with 0x63 0x6f";
        QTest::newRow("only the start marker") << QByteArray("\xff\xd8", 2) << "Premature end of JPEG file";
        QTest::newRow("start and end, no picture")
            << QByteArray("\xff\xd8\xff\xd9", 4) << "JPEG datastream contains no image";
        QTest::newRow("truncated in the data")
            << bytes(good.substr(0, good.size() * 2 / 3)) << "Premature end of JPEG file";
        QTest::newRow("truncated progressive")
            << bytes(progressive.substr(0, progressive.size() / 2)) << "Premature end of JPEG file";
        QTest::newRow("truncated in the header") << bytes(good.substr(0, 100)) << "Premature end of JPEG file";
        QTest::newRow("claims 65500 x 65500")
            << bytes(WithClaimedSize(good, 65500, 65500)) << "JPEG image too large (65500 x 65500 pixels)";
        QTest::newRow("claims 20000 x 13422")
            << bytes(WithClaimedSize(good, 20000, 13422)) << "JPEG image too large (20000 x 13422 pixels)";
        QTest::newRow("claims more than its data holds")
            << bytes(WithClaimedSize(good, 64, 640)) << "Corrupt JPEG data: premature end of data segment";
        QTest::newRow("claims 0 wide") << bytes(WithClaimedSize(good, 0, 64)) << "Empty JPEG image (DNL not supported)";
        QTest::newRow("too many scans") << bytes(MakeJpeg(JpegKind::ManyScans, 16, 16, kRed, kBlue))
                                        << "JPEG file has too many scans";
    }
    void refusesBadInput() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        for (bool scaled : {false, true}) {
            try {
                jpeg::Decode(bytes.toStdString(),
                             scaled ? jpeg::ShownSize([](QSize) { return QSize(10, 10); }) : jpeg::ShownSize());
                QFAIL("decoded");
            } catch (const jpeg::EJPEG& e) {
                QCOMPARE(QString::fromStdString(e.Message), message);
            }
        }
    }

    // The largest picture allowed is decoded (here its data ends early, so
    // that the test stays quick: it is refused for that, not for its size).
    void decodesAtTheLimit() {
        AnsiString good = MakeJpeg(JpegKind::Baseline, 64, 64, kRed, kBlue);
        AnsiString claimed = WithClaimedSize(good, 16384, 16384);
        try {
            jpeg::Decode(claimed, [](QSize) { return QSize(1, 1); });
            QFAIL("a file of 64 x 64 pixels cannot fill 16384 x 16384");
        } catch (const jpeg::EJPEG& e) {
            QCOMPARE(e.Message, AnsiString("Corrupt JPEG data: premature end of data segment"));
        }
    }

    void decodeFileReadsTheFile() {
        const AnsiString path = InProgramDir("cover.jpg");
        WriteFile(path, MakeJpeg(JpegKind::Baseline, 40, 30, kRed, kBlue));
        QCOMPARE(jpeg::DecodeFile(path).natural, QSize(40, 30));
        QVERIFY_THROWS_EXCEPTION(EFOpenError, jpeg::DecodeFile(InProgramDir("missing.jpg")));
        QVERIFY(QDir().mkdir(QString::fromStdString(InProgramDir("folder.jpg"))));
        QVERIFY_THROWS_EXCEPTION(EFOpenError, jpeg::DecodeFile(InProgramDir("folder.jpg")));
    }

    // Encoding writes 24-bit colour at the quality asked, baseline unless
    // progressive is asked, and the picture comes back.
    void encodes_data() {
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("expectedQuality");
        QTest::addColumn<bool>("progressive");
        for (bool progressive : {false, true}) {
            const char* mode = progressive ? "progressive" : "baseline";
            for (int q : {1, 50, 80, 90, 100}) QTest::addRow("%s %d", mode, q) << q << q << progressive;
            QTest::addRow("%s 0 taken as 1", mode) << 0 << 1 << progressive;
            QTest::addRow("%s 150 taken as 100", mode) << 150 << 100 << progressive;
        }
    }
    void encodes() {
        QFETCH(int, quality);
        QFETCH(int, expectedQuality);
        QFETCH(bool, progressive);
        QImage image(161, 157, QImage::Format_ARGB32);
        image.fill(kRed);
        for (int y = 0; y < image.height(); ++y)
            for (int x = image.width() / 2; x < image.width(); ++x) image.setPixel(x, y, kBlue.rgb());
        const AnsiString bytes = jpeg::Encode(image, quality, progressive);
        JpegFacts facts = ReadJpegFacts(bytes);
        QCOMPARE(facts.width, 161);
        QCOMPARE(facts.height, 157);
        QCOMPARE(facts.components, 3);
        QCOMPARE(facts.progressive, progressive);
        QVERIFY(!facts.arithmetic);
        QVERIFY(facts.tables == TablesAtQuality(expectedQuality));
        // Start of frame: baseline (C0) or progressive (C2).
        const char sof[] = {'\xff', progressive ? '\xc2' : '\xc0', '\0'};
        QVERIFY(bytes.find(sof) != AnsiString::npos);
        if (expectedQuality >= 50) {
            jpeg::Picture back = jpeg::Decode(bytes);
            QCOMPARE(back.image.size(), image.size());
            QVERIFY(ColourDistance(LeftColour(back.image), kRed.rgb()) <= 12);
            QVERIFY(ColourDistance(RightColour(back.image), kBlue.rgb()) <= 12);
        }
    }

    void encodingNothingIsAnError() {
        QVERIFY_THROWS_EXCEPTION(jpeg::EJPEG, jpeg::Encode(QImage(), 80));
        // Wider than the format allows: the library's own error, not an exit.
        QImage wide(65536, 1, QImage::Format_RGB32);
        wide.fill(Qt::white);
        try {
            jpeg::Encode(wide, 80);
            QFAIL("encoded");
        } catch (const jpeg::EJPEG& e) {
            QCOMPARE(e.Message, AnsiString("Maximum supported image dimension is 65500 pixels"));
        }
    }
};

FLICKSTOW_TEST_MAIN(TestJpeg)
#include "test_jpeg.moc"
