#pragma once
// The JPEG codec (libjpeg-turbo, called directly). Decoding takes every
// colour space a photo or a scan is likely to use (colour, greyscale, CMYK
// as Adobe programs write it and as others do) and gives an RGB32 image;
// encoding writes 24-bit colour at a quality, baseline or progressive.
//
// The library never ends the program: every error it reports becomes an
// EJPEG carrying the library's own message. Input that ends before its
// picture does is an error too, and so are pictures too large to be worth
// decoding and files with an absurd number of progressive scans.

#include "platform/ansi/ansi.h"
#include "platform/errors/Exception.h"

#include <QImage>
#include <QSize>
#include <functional>
#include <string_view>

namespace jpeg {

class EJPEG : public Exception {
    using Exception::Exception;
};

// Pictures beyond these are refused before anything is decoded.
constexpr long long kMaxPixels = 1LL << 28;  // 268 million, a 20000 x 13400 panorama
constexpr int kMaxScans = 500;               // real files have a dozen at most

struct Picture {
    QImage image;   // Format_RGB32
    QSize natural;  // the picture's own size, before any scaling
};

// Given the picture's own size, the size the caller will show it at: the
// decoder then works at the smallest scale (1/8, 1/4, 1/2 or 1) whose result
// still covers that size, which is much faster and smaller for large
// pictures shown small. Without it the picture is decoded at full size.
using ShownSize = std::function<QSize(QSize natural)>;

Picture Decode(std::string_view bytes, const ShownSize& shown = {});
// The same for a file; raises EFOpenError when the file cannot be read.
Picture DecodeFile(const AnsiString& path, const ShownSize& shown = {});

// The image as a JPEG file's bytes: 24-bit colour, quality 1 to 100 (values
// outside are taken as the nearest), baseline unless progressive is asked.
AnsiString Encode(const QImage& image, int quality, bool progressive = false);

}  // namespace jpeg
