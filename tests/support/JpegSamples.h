#pragma once
// JPEG files of every kind a user may have, made with the library directly
// (not with the program's own encoder), and what a JPEG file's header says.

#include "platform/ansi/ansi.h"

#include <QColor>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace testsupport {

enum class JpegKind {
    Baseline,     // colour, 4:2:0, with a JFIF header
    Progressive,  // colour, progressive scans
    Greyscale,    // one component
    Cmyk,         // four plain components (0 = no ink), no Adobe marker
    AdobeCmyk,    // four inverted components (255 = no ink), Adobe marker
    Ycck,         // CMYK stored as YCCK, Adobe marker
    Exif,         // colour with an EXIF block and no JFIF header, as cameras write
    Restarts,     // colour with a restart marker after every block row
    Arithmetic,   // colour, arithmetic coding instead of Huffman coding
    ManyScans,    // colour, progressive in more than two thousand scans
};

// A picture of the kind whose left half has one colour and right half
// another; greyscale pictures take the colours' grey values.
AnsiString MakeJpeg(JpegKind kind, int width, int height, QColor left, QColor right, int quality = 95);
// The same with each pixel's colour given (CMYK kinds take its inks as
// they are).
AnsiString MakeJpeg(JpegKind kind, int width, int height, const std::function<QColor(int x, int y)>& colour,
                    int quality = 95);

// The four samples of every pixel of a CMYK or YCCK file as the file holds
// them (inverted where an Adobe marker says so), row by row.
std::vector<uint8_t> StoredInks(const AnsiString& bytes);

// What a JPEG file's header says (the file must be valid).
struct JpegFacts {
    int width = 0, height = 0, components = 0;
    bool progressive = false, arithmetic = false;
    // The quantisation tables in use, 64 values each in natural order.
    std::vector<std::array<uint16_t, 64>> tables;
};
JpegFacts ReadJpegFacts(const AnsiString& bytes);

// The tables the library writes for a colour picture at the quality.
std::vector<std::array<uint16_t, 64>> TablesAtQuality(int quality);

// The largest difference of red, green or blue between two colours.
int ColourDistance(QRgb a, QRgb b);

}  // namespace testsupport
