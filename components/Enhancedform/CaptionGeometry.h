#pragma once
// The arithmetic of a painted caption bar, apart from any window: where the
// caption lies in a frame of a given border style, which caption buttons a
// window shows and where, the colour bands of the gradient, and which texts
// fit beside each other. Rectangles are the system's: right and bottom are
// exclusive.

#include "components/Enhancedform/EFTypes.h"
#include "platform/metrics/metrics.h"

#include <QRect>
#include <QRgb>
#include <array>
#include <limits>
#include <vector>

namespace ef {

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(QPoint p) const { return p.x() >= Left && p.x() < Right && p.y() >= Top && p.y() < Bottom; }
    QRect ToQRect() const { return QRect(Left, Top, Width(), Height()); }
    friend bool operator==(const TRect&, const TRect&) = default;
};

// What the caption arithmetic needs to know of a window.
struct FrameState {
    TFormBorderStyle borderStyle = bsSizeable;
    TBorderIcons borderIcons = TBorderIcons(biSystemMenu | biMinimize | biMaximize);
    bool minimized = false;
    bool maximized = false;
    QSize windowSize;
};

bool IsToolWindow(TFormBorderStyle style);
bool IsSizeable(TFormBorderStyle style);

// Width of the frame on the left and right, height on the top and bottom.
QSize FrameSize(const FrameState& frame);
// The caption bar in window coordinates; empty for bsNone.
TRect CaptionRect(const FrameState& frame);
// Frame and caption around the client area: left, top, right, bottom.
QMargins FrameInsets(TFormBorderStyle style);
// The button cell width w.
int ButtonCellWidth(TFormBorderStyle style);
TCaptionButtons VisibleButtons(const FrameState& frame);
// The width d that the caption buttons take from the gradient.
int ButtonsWidth(const FrameState& frame);

// One caption button as drawn: which, where, and whether it is greyed out
// (shown but not offered by the window).
enum class Glyph { Close, Minimize, Maximize, Restore, Help };
struct ButtonPlace {
    TCaptionButton button;
    Glyph glyph;
    TRect rect;
    bool inactive;
};
// The visible buttons from right to left.
std::vector<ButtonPlace> ButtonPlaces(const FrameState& frame);

// One colour band of the gradient, from Left to Right (exclusive).
struct Band {
    int Left, Right;
    QRgb color;
};
// The band count for a gradient width W and the NbOfColors setting.
int BandCount(int nbOfColors, int gradientWidth);
// The bands that cover R0 from its left edge to R0.right - d, then the strip
// under the buttons, in drawing order. `captionColor` is the active or
// inactive caption colour, `color` the gradient's own colour.
std::vector<Band> GradientBands(TGradientType type, int nbOfColors, const TRect& r0, int d, QRgb captionColor,
                                QRgb color);

// The texts of a caption bar from left to right: company, application, the
// window's caption. A text's width is its measured width + 2, its advance
// that width + 3 when it counts and 0 when it does not. The result gives the
// left edge of each text that is drawn, or kNotDrawn for one that is not.
// Each text is drawn from its left edge, which may lie left of the caption
// (even left of the window) when the texts are wider than the room, to the
// text rectangle's right edge, cut there with an ellipsis.
struct TextPlaces {
    static constexpr int kNotDrawn = std::numeric_limits<int>::min();
    std::array<int, 3> left{kNotDrawn, kNotDrawn, kNotDrawn};
};
enum TextIndex { txCompany = 0, txApplication = 1, txCaption = 2 };
TextPlaces LayOutTexts(const std::array<int, 3>& advance, const std::array<bool, 3>& counts, int r1Left, int r1Right,
                       TAlignment alignment, bool titleBarOn);

// Where a point of the window lies, for the mouse.
enum class Hit {
    Client,
    Caption,
    Icon,
    CloseButton,
    MinButton,
    MaxButton,
    HelpButton,
    Left,
    Right,
    Top,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
    Border,
};
// `hasIcon`: the caption shows the small icon.
Hit HitTest(const FrameState& frame, bool hasIcon, QPoint p);

}  // namespace ef
