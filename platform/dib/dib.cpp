#include "platform/dib/dib.h"

#include "platform/graphics/graphics.h"

#include <algorithm>
#include <climits>
#include <string>

namespace dib {
namespace {

[[noreturn]] void Invalid(const char* why) { throw EInvalidGraphic(std::string("Bitmap image is not valid: ") + why); }

std::uint16_t Get16(std::span<const std::uint8_t> b, size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t Get32(std::span<const std::uint8_t> b, size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
void Put16(std::span<std::uint8_t> b, size_t at, std::uint16_t v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void Put32(std::span<std::uint8_t> b, size_t at, std::uint32_t v) {
    for (size_t i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

bool KnownDepth(int bitCount, bool core) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 ||
           (!core && (bitCount == 16 || bitCount == 32));
}

// A 5-bit level of a 16-bit pixel as an 8-bit one: 0 stays 0, 31 becomes 255.
int Level5(unsigned v) { return static_cast<int>((v & 31) << 3 | (v & 31) >> 2); }

// What a header describes, once every size in it has been checked against
// the bytes of the header block.
struct Layout {
    int width = 0, height = 0;  // height: number of rows, always positive
    bool bottomUp = true;
    int bitCount = 0;
    size_t rowBytes = 0;
    size_t infoBytes = 0;  // header and colour table
    QList<QRgb> table;     // up to 8 bits: one entry per possible index
    int xPelsPerMeter = 0, yPelsPerMeter = 0;
};

// Long by design, see docs/COMPLEXITY.md: every header field checked.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
Layout ReadLayout(std::span<const std::uint8_t> info) {
    if (info.size() < 4) Invalid("no header");
    const std::uint32_t headerSize = Get32(info, 0);
    if (headerSize > info.size()) Invalid("header larger than the block");
    Layout l;
    std::int64_t width = 0, height = 0;
    std::uint64_t entries = 0;
    size_t entryBytes = 4;
    int planes = 0;
    if (headerSize == kCoreHeaderSize) {
        width = Get16(info, 4);
        height = Get16(info, 6);
        planes = Get16(info, 8);
        l.bitCount = Get16(info, 10);
        if (!KnownDepth(l.bitCount, true)) Invalid("unknown depth");
        entries = l.bitCount <= 8 ? 1u << l.bitCount : 0;
        entryBytes = 3;
    } else if (headerSize >= kInfoHeaderSize) {
        const BitmapInfoHeader h = ReadHeader(info);
        width = h.biWidth;
        height = h.biHeight;
        if (height == INT32_MIN) Invalid("height out of range");
        planes = h.biPlanes;
        l.bitCount = h.biBitCount;
        if (!KnownDepth(l.bitCount, false)) Invalid("unknown depth");
        if (h.biCompression != kRgb) Invalid("compressed rows");
        entries = h.biClrUsed ? h.biClrUsed : l.bitCount <= 8 ? 1u << l.bitCount : 0;
        l.xPelsPerMeter = std::max(0, h.biXPelsPerMeter);
        l.yPelsPerMeter = std::max(0, h.biYPelsPerMeter);
    } else {
        Invalid("unknown header size");
    }
    if (planes != 1) Invalid("planes");
    if (width <= 0) Invalid("width");
    if (height == 0) Invalid("height");
    l.bottomUp = height > 0;
    l.width = static_cast<int>(width);
    l.height = static_cast<int>(height > 0 ? height : -height);
    l.rowBytes = static_cast<size_t>(RowBytes(width, l.bitCount));
    // At most 2^32 entries of 4 bytes: no overflow in 64 bits.
    const std::uint64_t tableBytes = entries * entryBytes;
    if (tableBytes > info.size() - headerSize) Invalid("colour table beyond the block");
    l.infoBytes = headerSize + static_cast<size_t>(tableBytes);
    if (l.bitCount <= 8) {
        const size_t possible = size_t(1) << l.bitCount;
        l.table.fill(qRgb(0, 0, 0), static_cast<qsizetype>(possible));
        const size_t given = static_cast<size_t>(std::min<std::uint64_t>(entries, possible));
        for (size_t i = 0; i < given; ++i) {
            const size_t at = headerSize + i * entryBytes;  // blue, green, red
            l.table[static_cast<qsizetype>(i)] = qRgb(info[at + 2], info[at + 1], info[at]);
        }
    }
    return l;
}

// The rows must all be there; divisions keep the products from overflowing.
void CheckRows(const Layout& l, size_t available) {
    if (l.rowBytes > available || size_t(l.height) > available / l.rowBytes) Invalid("rows beyond the block");
}

// One stored row into a row of the image: indexes up to 8 bits, colours
// above. The depth is chosen once per row, not per pixel.
void DecodeRow(int bitCount, const std::uint8_t* s, std::uint8_t* indexes, QRgb* rgb, size_t width) {
    switch (bitCount) {
    case 1:
        for (size_t x = 0; x < width; ++x) indexes[x] = std::uint8_t(s[x >> 3] >> (7 - (x & 7)) & 1);
        break;
    case 4:
        for (size_t x = 0; x < width; ++x) indexes[x] = std::uint8_t(s[x >> 1] >> ((x & 1) ? 0 : 4) & 0xF);
        break;
    case 8: std::copy(s, s + width, indexes); break;
    case 16:
        // Without masks: 5 bits each of red, green and blue, the top bit unused.
        for (size_t x = 0; x < width; ++x, s += 2) {
            const unsigned v = unsigned(s[0]) | unsigned(s[1]) << 8;
            rgb[x] = qRgb(Level5(v >> 10), Level5(v >> 5), Level5(v));
        }
        break;
    case 24:
        for (size_t x = 0; x < width; ++x, s += 3) rgb[x] = qRgb(s[2], s[1], s[0]);
        break;
    default:
        for (size_t x = 0; x < width; ++x, s += 4) rgb[x] = qRgb(s[2], s[1], s[0]);
        break;
    }
}

// The stored rows as a new image, top row first.
QImage Decode(const Layout& l, std::span<const std::uint8_t> bits) {
    QImage img(l.width, l.height, l.bitCount <= 8 ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (img.isNull()) throw EOutOfResources("Out of system resources");
    if (l.bitCount <= 8) img.setColorTable(l.table);
    for (int y = 0; y < l.height; ++y) {
        const size_t stored = size_t(l.bottomUp ? l.height - 1 - y : y);
        std::uint8_t* line = img.scanLine(y);
        DecodeRow(l.bitCount, bits.data() + stored * l.rowBytes, line, reinterpret_cast<QRgb*>(line), size_t(l.width));
    }
    if (l.xPelsPerMeter > 0) img.setDotsPerMeterX(l.xPelsPerMeter);
    if (l.yPelsPerMeter > 0) img.setDotsPerMeterY(l.yPelsPerMeter);
    return img;
}

// The colour table and the index of every pixel, for depths up to 8 bits.
QImage IndexedForm(const QImage& image, int bitCount) {
    QImage indexed;
    if (image.format() == QImage::Format_Grayscale8) {
        indexed = image.convertToFormat(QImage::Format_Indexed8, [] {
            QList<QRgb> greys;
            for (int i = 0; i < 256; ++i) greys << qRgb(i, i, i);
            return greys;
        }());
    } else if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB ||
               image.format() == QImage::Format_Indexed8) {
        indexed = image.convertToFormat(QImage::Format_Indexed8);
    } else {
        Invalid("a true-colour image needs more than 8 bits per pixel");
    }
    if (indexed.isNull()) throw EOutOfResources("Out of system resources");
    if (indexed.colorCount() > (1 << bitCount)) Invalid("more colours than the depth holds");
    return indexed;
}

}  // namespace

void WriteHeader(std::span<std::uint8_t> block, const BitmapInfoHeader& h) {
    if (block.size() < kInfoHeaderSize) Invalid("header block too small");
    Put32(block, 0, h.biSize);
    Put32(block, 4, std::uint32_t(h.biWidth));
    Put32(block, 8, std::uint32_t(h.biHeight));
    Put16(block, 12, h.biPlanes);
    Put16(block, 14, h.biBitCount);
    Put32(block, 16, h.biCompression);
    Put32(block, 20, h.biSizeImage);
    Put32(block, 24, std::uint32_t(h.biXPelsPerMeter));
    Put32(block, 28, std::uint32_t(h.biYPelsPerMeter));
    Put32(block, 32, h.biClrUsed);
    Put32(block, 36, h.biClrImportant);
}

BitmapInfoHeader ReadHeader(std::span<const std::uint8_t> block) {
    if (block.size() < kInfoHeaderSize) Invalid("header block too small");
    BitmapInfoHeader h;
    h.biSize = Get32(block, 0);
    h.biWidth = std::int32_t(Get32(block, 4));
    h.biHeight = std::int32_t(Get32(block, 8));
    h.biPlanes = Get16(block, 12);
    h.biBitCount = Get16(block, 14);
    h.biCompression = Get32(block, 16);
    h.biSizeImage = Get32(block, 20);
    h.biXPelsPerMeter = std::int32_t(Get32(block, 24));
    h.biYPelsPerMeter = std::int32_t(Get32(block, 28));
    h.biClrUsed = Get32(block, 32);
    h.biClrImportant = Get32(block, 36);
    return h;
}

std::uint64_t RowBytes(std::int64_t width, int bitCount) {
    if (width < 0 || width > INT32_MAX) Invalid("width");
    if (!KnownDepth(bitCount, false)) Invalid("unknown depth");
    return (std::uint64_t(width) * std::uint64_t(bitCount) + 31) / 32 * 4;
}

namespace {

// A row of the image into a stored row whose padding is already zero.
void EncodeRow(int bitCount, const std::uint8_t* line, std::uint8_t* d, size_t width) {
    const QRgb* rgb = reinterpret_cast<const QRgb*>(line);
    switch (bitCount) {
    case 1:
        for (size_t x = 0; x < width; ++x) d[x >> 3] = std::uint8_t(d[x >> 3] | (line[x] & 1) << (7 - (x & 7)));
        break;
    case 4:
        for (size_t x = 0; x < width; ++x) d[x >> 1] = std::uint8_t(d[x >> 1] | (line[x] & 0xF) << ((x & 1) ? 0 : 4));
        break;
    case 8: std::copy(line, line + width, d); break;
    case 24:
        for (size_t x = 0; x < width; ++x, d += 3) {
            d[0] = std::uint8_t(qBlue(rgb[x]));
            d[1] = std::uint8_t(qGreen(rgb[x]));
            d[2] = std::uint8_t(qRed(rgb[x]));
        }
        break;
    default:
        for (size_t x = 0; x < width; ++x, d += 4) {
            d[0] = std::uint8_t(qBlue(rgb[x]));
            d[1] = std::uint8_t(qGreen(rgb[x]));
            d[2] = std::uint8_t(qRed(rgb[x]));
        }
        break;
    }
}

}  // namespace

// Long by design, see docs/COMPLEXITY.md: every bit depth's rows.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void GetDIBits(const QImage& image, std::span<std::uint8_t> info, std::span<std::uint8_t> bits) {
    BitmapInfoHeader h = ReadHeader(info);
    if (h.biSize != kInfoHeaderSize) Invalid("unknown header size");
    if (h.biHeight == INT32_MIN) Invalid("height out of range");
    const int height = std::abs(h.biHeight);
    if (image.isNull() || h.biWidth != image.width() || height != image.height())
        Invalid("header does not fit the image");
    if (h.biPlanes != 1 || h.biCompression != kRgb) Invalid("only uncompressed single planes");
    const int depth = h.biBitCount;
    if (depth == 16) Invalid("16-bit rows are read, never written");
    const size_t rowBytes = static_cast<size_t>(RowBytes(h.biWidth, depth));
    const std::uint64_t total = std::uint64_t(rowBytes) * std::uint64_t(height);
    if (total > UINT32_MAX) Invalid("image too large");
    h.biSizeImage = std::uint32_t(total);

    QImage source;
    if (depth <= 8) {
        source = IndexedForm(image, depth);
        const QList<QRgb> table = source.colorTable();
        if (info.size() < kInfoHeaderSize + 4 * size_t(table.size())) Invalid("no room for the colour table");
        for (qsizetype i = 0; i < table.size(); ++i) {
            const size_t at = kInfoHeaderSize + 4 * size_t(i);
            info[at] = std::uint8_t(qBlue(table[i]));
            info[at + 1] = std::uint8_t(qGreen(table[i]));
            info[at + 2] = std::uint8_t(qRed(table[i]));
            info[at + 3] = 0;
        }
        h.biClrUsed = std::uint32_t(table.size());
    } else {
        // 3-byte rows (a scanner's) are packed straight from the image, so a
        // large picture is not converted to 32 bits first.
        source = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32 ||
                         (depth == 24 && image.format() == QImage::Format_RGB888)
                     ? image
                     : image.convertToFormat(QImage::Format_RGB32);
        if (source.isNull()) throw EOutOfResources("Out of system resources");
    }
    WriteHeader(info, h);
    if (bits.empty()) return;
    if (bits.size() < total) Invalid("pixel buffer too small");

    for (int y = 0; y < height; ++y) {
        const size_t stored = size_t(h.biHeight > 0 ? height - 1 - y : y);
        std::uint8_t* d = bits.data() + stored * rowBytes;
        std::fill(d, d + rowBytes, std::uint8_t(0));
        if (source.format() == QImage::Format_RGB888) {
            const std::uint8_t* rgb = source.constScanLine(y);
            for (size_t x = 0; x < size_t(h.biWidth); ++x, rgb += 3, d += 3) {
                d[0] = rgb[2];
                d[1] = rgb[1];
                d[2] = rgb[0];
            }
        } else {
            EncodeRow(depth, source.constScanLine(y), d, size_t(h.biWidth));
        }
    }
}

Packed Pack(const QImage& image, int bitCount) {
    if (!KnownDepth(bitCount, false)) Invalid("unknown depth");
    Packed p;
    p.info.assign(kInfoHeaderSize + (bitCount <= 8 ? 4 * (size_t(1) << bitCount) : 0), 0);
    BitmapInfoHeader h;
    h.biWidth = image.width();
    h.biHeight = image.height();
    h.biBitCount = std::uint16_t(bitCount);
    h.biXPelsPerMeter = image.dotsPerMeterX();
    h.biYPelsPerMeter = image.dotsPerMeterY();
    WriteHeader(p.info, h);
    GetDIBits(image, p.info);
    const BitmapInfoHeader done = ReadHeader(p.info);
    p.info.resize(kInfoHeaderSize + 4 * size_t(done.biClrUsed));
    p.bits.resize(done.biSizeImage);
    GetDIBits(image, p.info, p.bits);
    return p;
}

std::vector<std::uint8_t> PackBlock(const QImage& image, int bitCount) {
    Packed p = Pack(image, bitCount);
    p.info.insert(p.info.end(), p.bits.begin(), p.bits.end());
    return std::move(p.info);
}

QImage Unpack(std::span<const std::uint8_t> block) {
    const Layout l = ReadLayout(block);
    const std::span<const std::uint8_t> bits = block.subspan(l.infoBytes);
    CheckRows(l, bits.size());
    return Decode(l, bits);
}

QImage Unpack(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits) {
    const Layout l = ReadLayout(info);
    CheckRows(l, bits.size());
    return Decode(l, bits);
}

bool StretchDIBits(TCanvas& canvas, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                   std::span<const std::uint8_t> bits, std::span<const std::uint8_t> info) {
    Layout l;
    try {
        l = ReadLayout(info);
        CheckRows(l, bits.size());
    } catch (const EInvalidGraphic&) {
        return false;
    }
    // The stored rows are drawn where they lie, through an image made over
    // them. Rows Qt has no format for (4 bits), rows not on a 32-bit boundary,
    // and 24-bit rows are decoded into 32-bit colours first: Qt's paint
    // engines would widen 24-bit rows themselves, the PDF writer through a
    // general conversion and a scan for transparency several times slower
    // than this one pass.
    const bool aligned = reinterpret_cast<std::uintptr_t>(bits.data()) % 4 == 0;
    QImage::Format format = l.bitCount == 1    ? QImage::Format_Mono
                            : l.bitCount == 8  ? QImage::Format_Indexed8
                            : l.bitCount == 32 ? QImage::Format_RGB32
                                               : QImage::Format_Invalid;
    if (format == QImage::Format_Invalid || !aligned) {
        const QImage decoded = Decode(l, bits);  // top row first
        const int top = l.bottomUp ? l.height - sy - sh : sy;
        canvas.StretchImage(x, y, w, h, decoded, QRect(sx, top, sw, sh));
        return true;
    }
    QImage view(bits.data(), l.width, l.height, static_cast<qsizetype>(l.rowBytes), format);
    if (l.bitCount <= 8) view.setColorTable(l.table);
    canvas.StretchImage(x, y, w, h, view, QRect(sx, sy, sw, sh), l.bottomUp);
    return true;
}

}  // namespace dib
