#include "tests/support/JpegSamples.h"

#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace testsupport {
namespace {

// Samples are made only from valid settings: any library error is a fault
// of the test itself.
[[noreturn]] void Abort(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    qFatal("libjpeg in a test sample: %s", text);
}

struct Writer {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    Writer() {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = Abort;
        jpeg_create_compress(&info);
        jpeg_mem_dest(&info, &bytes, &size);
    }
    ~Writer() {
        jpeg_destroy_compress(&info);
        std::free(bytes);
    }
};

// A decompressor that has read the file's header.
struct Reader {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    explicit Reader(const AnsiString& bytes) {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = Abort;
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&info, TRUE);
    }
    ~Reader() { jpeg_destroy_decompress(&info); }
};

// The scans of a progressive picture taken as far apart as the format
// allows: every coefficient of every component on its own, refined one bit
// at a time.
std::vector<jpeg_scan_info> ManyScans() {
    std::vector<jpeg_scan_info> scans;
    auto scan = [&](int component, int ss, int se, int ah, int al) {
        jpeg_scan_info s{};
        s.comps_in_scan = 1;
        s.component_index[0] = component;
        s.Ss = ss;
        s.Se = se;
        s.Ah = ah;
        s.Al = al;
        scans.push_back(s);
    };
    constexpr int bits = 10;
    for (int c = 0; c < 3; ++c) {
        scan(c, 0, 0, 0, bits);
        for (int al = bits - 1; al >= 0; --al) scan(c, 0, 0, al + 1, al);
        for (int k = 1; k < 64; ++k) {
            scan(c, k, k, 0, bits);
            for (int al = bits - 1; al >= 0; --al) scan(c, k, k, al + 1, al);
        }
    }
    return scans;
}

JSAMPLE Clamp(int v) { return static_cast<JSAMPLE>(std::clamp(v, 0, 255)); }

}  // namespace

AnsiString MakeJpeg(JpegKind kind, int width, int height, QColor left, QColor right, int quality) {
    return MakeJpeg(
        kind, width, height, [&](int x, int) { return x < width / 2 ? left : right; }, quality);
}

// Long by design, see docs/COMPLEXITY.md: libjpeg set up for every kind of sample file.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
AnsiString MakeJpeg(JpegKind kind, int width, int height, const std::function<QColor(int x, int y)>& colour,
                    int quality) {
    Writer w;
    jpeg_compress_struct& info = w.info;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    const bool cmyk = kind == JpegKind::Cmyk || kind == JpegKind::AdobeCmyk || kind == JpegKind::Ycck;
    const bool grey = kind == JpegKind::Greyscale;
    info.input_components = cmyk ? 4 : grey ? 1 : 3;
    info.in_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (kind == JpegKind::Ycck) jpeg_set_colorspace(&info, JCS_YCCK);
    if (kind == JpegKind::Cmyk) info.write_Adobe_marker = FALSE;
    if (kind == JpegKind::Exif) info.write_JFIF_header = FALSE;
    if (kind == JpegKind::Progressive) jpeg_simple_progression(&info);
    if (kind == JpegKind::Restarts) info.restart_in_rows = 1;
    if (kind == JpegKind::Arithmetic) info.arith_code = TRUE;
    std::vector<jpeg_scan_info> scans;
    if (kind == JpegKind::ManyScans) {
        scans = ManyScans();
        info.scan_info = scans.data();
        info.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&info, TRUE);
    if (kind == JpegKind::Exif) {
        // "Exif\0\0", then a little-endian TIFF header with one entry:
        // orientation 1 (the picture stands as stored).
        static const unsigned char exif[] = {'E',  'x',  'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                             0x12, 0x01, 3,   0,   1, 0, 0,   0,   1,  0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * static_cast<size_t>(info.input_components));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QColor c = colour(x, y);
            JSAMPLE* p = row.data() + static_cast<size_t>(x) * static_cast<size_t>(info.input_components);
            if (grey) {
                p[0] = Clamp(qGray(c.rgb()));
            } else if (cmyk) {
                const QColor k = c.toCmyk();
                const int inks[] = {k.cyan(), k.magenta(), k.yellow(), k.black()};
                for (int i = 0; i < 4; ++i) p[i] = Clamp(kind == JpegKind::Cmyk ? inks[i] : 255 - inks[i]);
            } else {
                p[0] = Clamp(c.red());
                p[1] = Clamp(c.green());
                p[2] = Clamp(c.blue());
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    return AnsiString(reinterpret_cast<const char*>(w.bytes), w.size);
}

JpegFacts ReadJpegFacts(const AnsiString& bytes) {
    Reader r(bytes);
    const jpeg_decompress_struct& info = r.info;
    JpegFacts facts;
    facts.width = static_cast<int>(info.image_width);
    facts.height = static_cast<int>(info.image_height);
    facts.components = info.num_components;
    facts.progressive = info.progressive_mode;
    facts.arithmetic = info.arith_code;
    for (const JQUANT_TBL* table : info.quant_tbl_ptrs) {
        if (!table) continue;
        std::array<uint16_t, 64> values{};
        // The library keeps the tables in natural order.
        std::copy(std::begin(table->quantval), std::end(table->quantval), values.begin());
        facts.tables.push_back(values);
    }
    return facts;
}

std::vector<uint8_t> StoredInks(const AnsiString& bytes) {
    Reader r(bytes);
    jpeg_decompress_struct& info = r.info;
    info.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&info);
    std::vector<uint8_t> inks(size_t{info.output_width} * info.output_height * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = inks.data() + size_t{info.output_scanline} * info.output_width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return inks;
}

std::vector<std::array<uint16_t, 64>> TablesAtQuality(int quality) {
    Writer w;
    w.info.in_color_space = JCS_RGB;
    w.info.input_components = 3;
    jpeg_set_defaults(&w.info);
    jpeg_set_quality(&w.info, quality, TRUE);
    std::vector<std::array<uint16_t, 64>> tables;
    for (const JQUANT_TBL* table : w.info.quant_tbl_ptrs) {
        if (!table) continue;
        std::array<uint16_t, 64> values{};
        std::copy(std::begin(table->quantval), std::end(table->quantval), values.begin());
        tables.push_back(values);
    }
    return tables;
}

int ColourDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

}  // namespace testsupport
