#pragma once
// Device-independent bitmaps: a picture as a header, a colour table and rows
// of pixels, bottom row first unless the height is negative, each row padded
// to a multiple of 4 bytes. Packing turns an image into that form; unpacking
// reads one back, with every size checked against the bytes there are, so
// that a damaged or hostile header is an error and never an overrun.
//
// Headers: the 40-byte info header (longer ones are read as one) and the
// 12-byte core header with its 3-byte colour entries. Depths: 1, 4, 8 and 24
// bits, and 32 bits with the info header, which is also read at 16 bits (5
// each of red, green and blue); uncompressed rows only (no colour masks).

#include "platform/errors/Exception.h"

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class TCanvas;

// Bytes that are not a bitmap this unit can read, or a request it cannot
// meet (an image that does not fit the header, a buffer too small).
class EInvalidGraphic : public Exception {
    using Exception::Exception;
};

namespace dib {

inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kCoreHeaderSize = 12;
inline constexpr std::uint32_t kRgb = 0;  // uncompressed rows

struct BitmapInfoHeader {
    std::uint32_t biSize = kInfoHeaderSize;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // positive: bottom row first
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 24;
    std::uint32_t biCompression = kRgb;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

// The header as the 40 little-endian bytes at the front of the block, and
// back. Both raise EInvalidGraphic when the block is shorter than that.
void WriteHeader(std::span<std::uint8_t> block, const BitmapInfoHeader& header);
BitmapInfoHeader ReadHeader(std::span<const std::uint8_t> block);

// Bytes of one stored row: width x bits rounded up to whole 32-bit words.
// Raises EInvalidGraphic for a negative width or an unknown depth.
std::uint64_t RowBytes(std::int64_t width, int bitCount);

// Works as the system's GetDIBits on an image. The info header at the
// front of `info` says the picture wanted: the image's width, its height
// (negative for top row first) and a depth. With an empty `bits` it
// completes the header (biSizeImage: padded rows x height) and, for 8 bits
// or fewer, writes the colour table behind it and sets biClrUsed; with
// `bits` it also writes the rows, padding bytes zero. Up to 8 bits the
// image must be indexed or grey and its colours must fit the depth.
// Raises EInvalidGraphic when the header does not fit the image or a
// buffer is too small.
void GetDIBits(const QImage& image, std::span<std::uint8_t> info, std::span<std::uint8_t> bits = {});

// A packed picture: the info block (header and colour table) and the rows.
struct Packed {
    std::vector<std::uint8_t> info;
    std::vector<std::uint8_t> bits;
};
Packed Pack(const QImage& image, int bitCount);
// The same as one block, rows right behind the colour table, as a
// scanner's native transfer carries it.
std::vector<std::uint8_t> PackBlock(const QImage& image, int bitCount);

// The picture of a packed block, or of an info block and its rows. Up to 8
// bits the result is an indexed image with the colour table (indexes the
// table does not hold show black), otherwise 32-bit true colour. The
// header's resolution, when given, is kept. Raises EInvalidGraphic for any
// header that does not describe rows present in the bytes given, and
// EOutOfResources when the picture is too large to hold.
QImage Unpack(std::span<const std::uint8_t> block);
QImage Unpack(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits);

// Works as the system's StretchDIBits: the source rectangle (sx, sy, sw,
// sh; rows counted from the bottom for bottom-up rows) of the packed rows,
// read straight from `bits`, scaled into the rectangle (x, y, w, h) of the
// canvas, with the canvas's stretch mode. Returns false and draws nothing
// when the header or the rows are not valid.
bool StretchDIBits(TCanvas& canvas, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                   std::span<const std::uint8_t> bits, std::span<const std::uint8_t> info);

}  // namespace dib
