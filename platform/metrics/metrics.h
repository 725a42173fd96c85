#pragma once
// System metrics, system colours and the caption font, with the values of the
// Windows classic look ("Windows Standard" scheme, 96 dots per inch): the
// sizes of caption bars, frames, small icons and caption buttons and the
// colours of active and inactive captions, in one place. Colours follow the
// toolkit's convention: an RGB value 0x00BBGGRR, or a system colour, the top
// bit set and the system's colour index in the low bits.

#include <QRgb>
#include <QSize>
#include <cstdint>
#include <string>

namespace metrics {

// GetSystemMetrics indices.
enum Metric : int {
    SM_CXSCREEN = 0,
    SM_CYSCREEN = 1,
    SM_CYCAPTION = 4,
    SM_CXFIXEDFRAME = 7,
    SM_CYFIXEDFRAME = 8,
    SM_CXSIZE = 30,
    SM_CYSIZE = 31,
    SM_CXFRAME = 32,
    SM_CYFRAME = 33,
    SM_CXSMICON = 49,
    SM_CYSMICON = 50,
    SM_CYSMCAPTION = 51,
    SM_CXSMSIZE = 52,
    SM_CYSMSIZE = 53,
};
// The metric's value in pixels; the screen size is the primary screen's.
int GetSystemMetrics(Metric metric);

// System colour indices.
enum SysColor : int {
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_WINDOW = 5,
    COLOR_CAPTIONTEXT = 9,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
};
// The colour as RGB; black for an index the scheme does not know.
QRgb GetSysColor(int index);

// A colour of the toolkit: RGB as 0x00BBGGRR, or a system colour.
using TColor = std::int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor SysColorBase = static_cast<TColor>(0x80000000u);
inline constexpr TColor clActiveCaption = SysColorBase | COLOR_ACTIVECAPTION;
inline constexpr TColor clInactiveCaption = SysColorBase | COLOR_INACTIVECAPTION;
inline constexpr TColor clCaptionText = SysColorBase | COLOR_CAPTIONTEXT;
inline constexpr TColor clInactiveCaptionText = SysColorBase | COLOR_INACTIVECAPTIONTEXT;
inline constexpr TColor clBtnFace = SysColorBase | COLOR_BTNFACE;
// A toolkit colour turned into RGB (system colours looked up).
QRgb ColorToRGB(TColor color);
// An RGB value as a toolkit colour.
TColor RGBToColor(QRgb rgb);

// The description of a logical font as the system hands it out.
struct LogFont {
    std::string faceName;
    int height = 0;  // < 0: character height in pixels; > 0: size in points; 0: default
    int weight = 400;
    bool italic = false;
};
// The stock font SYSTEM_FONT.
LogFont SystemFont();
// The caption font of the non-client metrics; false when they cannot be read.
bool GetCaptionFont(LogFont& font);

// number * numerator / denominator, computed in 64 bits and rounded to the
// nearest integer, halves away from zero; -1 when the denominator is 0 or the
// result does not fit in 32 bits.
int MulDiv(int number, int numerator, int denominator);

namespace test {
// Replaces the screen size (an empty size goes back to the real screen).
void SetScreenSize(QSize size);
// Makes the non-client metrics unreadable, or readable again.
void FailNonClientMetrics(bool fail);
}  // namespace test

}  // namespace metrics
