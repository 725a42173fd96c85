#pragma once
// Device contexts and bitmaps: a bitmap of true-colour pixels and the canvas
// that draws on it, or on a printer page, with a pen, a brush and a font.
// Colours are the system's colour values: 0x00BBGGRR, red in the low byte.
// Coordinates are device pixels, x to the right and y downwards; rectangles
// include their left and top edges and exclude their right and bottom ones.

#include "platform/ansi/ansi.h"
#include "platform/errors/Exception.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>

class QPainter;
class TBitmap;

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
// What reading a pixel gives where there is none: outside the bitmap, or on
// a device whose pixels cannot be read back (a printer).
inline constexpr TColor clInvalid = 0xFFFFFFFF;

namespace graphics {

constexpr TColor Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return TColor(red) | TColor(green) << 8 | TColor(blue) << 16;
}
constexpr std::uint8_t RedOf(TColor c) { return std::uint8_t(c & 0xFF); }
constexpr std::uint8_t GreenOf(TColor c) { return std::uint8_t(c >> 8 & 0xFF); }
constexpr std::uint8_t BlueOf(TColor c) { return std::uint8_t(c >> 16 & 0xFF); }

// Conversions to and from Qt's colours; the top byte of a colour value is
// ignored, alpha is dropped.
QColor ToQColor(TColor c);
QRgb ToQRgb(TColor c);
TColor FromQColor(const QColor& c);
TColor FromQRgb(QRgb c);

}  // namespace graphics

// A bitmap that cannot be made (a size beyond memory).
class EOutOfResources : public Exception {
    using Exception::Exception;
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
};
inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum TFillStyle {
    fsBorder,  // fill up to pixels of the given colour
    fsSurface  // fill the pixels of the given colour
};
// How a picture is scaled onto a canvas: nearest pixel, or averaged.
enum TStretchMode { smColorOnColor, smHalftone };

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
};

// A solid brush also gives the background of text and of the gaps of
// styled lines; any other brush leaves them transparent.
struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

struct TFont {
    AnsiString Name = "MS Sans Serif";
    int Height = 11;  // character height in pixels
    TColor Color = clBlack;
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    // The size in points at the screen's 96 pixels per inch; 12, 10 and 8
    // points are 16, 13 and 11 pixels.
    int Size() const { return (Height * 72 + 48) / 96; }
    void SetSize(int points) { Height = (points * 96 + 36) / 72; }
};

// Draws on a bitmap's pixels, or on a painter that another object keeps
// open (a printer page). The pen position moves with MoveTo and LineTo only.
class TCanvas {
public:
    explicit TCanvas(QImage* pixels) : pixels_(pixels) {}
    explicit TCanvas(QPainter* painter) : painter_(painter) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TPen Pen;
    TBrush Brush;
    TFont Font;
    QPoint PenPos;
    TStretchMode StretchMode = smColorOnColor;

    // The size of what the canvas draws on, in device pixels.
    int Width() const;
    int Height() const;

    void MoveTo(int x, int y);
    // A line from the pen position up to, not including, (x, y), which then
    // becomes the pen position.
    void LineTo(int x, int y);
    // Fills the rectangle with the brush.
    void FillRect(const TRect& r);
    // The outline with the pen and the inside with the brush.
    void Rectangle(int left, int top, int right, int bottom);
    // Text with the top left corner of its first character cell at (x, y),
    // on the brush colour when the brush is solid.
    void TextOut(int x, int y, const AnsiString& text);
    int TextWidth(const AnsiString& text) const;
    int TextHeight(const AnsiString& text) const;
    // Fills, with the brush, the area 4-connected to (x, y) that is bounded
    // by pixels of `color` (fsBorder) or made of pixels of `color`
    // (fsSurface). False when nothing could be filled: the start is outside,
    // on the border (or off the surface), or the canvas has no pixels.
    bool FloodFill(int x, int y, TColor color, TFillStyle style);
    // Copies a rectangle of another canvas's pixels, scaled, into `dest`.
    void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect);
    void Draw(int x, int y, const TBitmap& bitmap);
    void StretchDraw(const TRect& dest, const TBitmap& bitmap);
    // Draws the part `source` of the image scaled into the rectangle at
    // (x, y) of width w and height h; a negative w or h mirrors the picture,
    // a zero one draws nothing. With `bottomUp` the image's rows are stored
    // bottom row first and `source` counts rows from the bottom.
    void StretchImage(int x, int y, int w, int h, const QImage& image, const QRect& source, bool bottomUp = false);

    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

private:
    friend class TBitmap;
    template <class F>
    void Paint(F&& steps);
    bool HasPixels() const;
    void Segment(QPoint from, QPoint to);
    void StyledSegment(QPainter& p, QPoint from, QPoint to);

    QImage* pixels_ = nullptr;
    QPainter* painter_ = nullptr;
};

// A bitmap of 32-bit true-colour pixels (the top byte unused) with its own
// canvas. A copy takes the pixels, not the canvas's pen, brush or font;
// each copy draws on pixels of its own.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int width, int height) { Clear(width, height); }
    explicit TBitmap(const QImage& image) { Assign(image); }
    TBitmap(const TBitmap& other) : image_(other.image_) {}
    TBitmap& operator=(const TBitmap& other) {
        image_ = other.image_;
        return *this;
    }

    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    bool Empty() const { return image_.isNull(); }

    // A fresh white bitmap of the size.
    void Clear(int width, int height);
    // A new size; what the old pixels and the new size share is kept, the
    // rest is white.
    void SetSize(int width, int height);
    void Assign(const QImage& image);

    TCanvas& Canvas() { return canvas_; }
    const TCanvas& Canvas() const { return canvas_; }
    const QImage& Image() const { return image_; }

    // Takes the pixels out of the bitmap, which is empty until they are
    // given back.
    QImage ReleaseHandle();
    void SetHandle(QImage image);

private:
    QImage image_;
    TCanvas canvas_{&image_};
};
