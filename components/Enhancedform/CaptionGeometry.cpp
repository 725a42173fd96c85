#include "components/Enhancedform/CaptionGeometry.h"

#include <algorithm>

using metrics::GetSystemMetrics;
using namespace metrics;

namespace ef {

bool IsToolWindow(TFormBorderStyle style) { return style == bsToolWindow || style == bsSizeToolWin; }
bool IsSizeable(TFormBorderStyle style) { return style == bsSizeable || style == bsSizeToolWin; }

namespace {
int CaptionHeight(TFormBorderStyle style) {
    return GetSystemMetrics(IsToolWindow(style) ? SM_CYSMCAPTION : SM_CYCAPTION);
}
QSize FrameOf(TFormBorderStyle style, bool minimized) {
    if (style == bsNone) return {0, 0};
    if (!minimized && IsSizeable(style)) return {GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME)};
    return {GetSystemMetrics(SM_CXFIXEDFRAME), GetSystemMetrics(SM_CYFIXEDFRAME)};
}
}  // namespace

QSize FrameSize(const FrameState& frame) { return FrameOf(frame.borderStyle, frame.minimized); }

TRect CaptionRect(const FrameState& frame) {
    if (frame.borderStyle == bsNone) return {};
    QSize f = FrameSize(frame);
    TRect r{f.width(), f.height(), frame.windowSize.width() - f.width(), 0};
    r.Bottom = r.Top + CaptionHeight(frame.borderStyle) - 1;
    return r;
}

QMargins FrameInsets(TFormBorderStyle style) {
    if (style == bsNone) return {};
    QSize f = FrameOf(style, false);
    return {f.width(), f.height() + CaptionHeight(style), f.width(), f.height()};
}

int ButtonCellWidth(TFormBorderStyle style) {
    return IsToolWindow(style) ? GetSystemMetrics(SM_CXSMSIZE) - 4 : GetSystemMetrics(SM_CXSMICON) - 2;
}

TCaptionButtons VisibleButtons(const FrameState& frame) {
    TCaptionButtons shown;
    const TBorderIcons icons = frame.borderIcons;
    switch (frame.borderStyle) {
    case bsNone: break;
    case bsSingle:
    case bsSizeable:
        if (icons & biSystemMenu) shown |= cbClose;
        if (icons & (biMinimize | biMaximize)) shown |= TCaptionButtons(cbMinimize | cbMaximize);
        else if (icons & biHelp)
            shown |= cbHelp;
        break;
    case bsDialog:
        if (icons & biSystemMenu) shown |= cbClose;
        if (icons & biHelp) shown |= cbHelp;
        break;
    case bsToolWindow:
    case bsSizeToolWin:
        if (icons & biSystemMenu) shown |= cbClose;
        break;
    }
    return shown;
}

int ButtonsWidth(const FrameState& frame) {
    if (frame.borderStyle == bsNone) return 2;
    const int w = ButtonCellWidth(frame.borderStyle);
    const TCaptionButtons shown = VisibleButtons(frame);
    int d = 2;
    if (shown & cbClose) d += w - 2;
    if (shown & (cbMinimize | cbMaximize)) d += 2 * w;
    if (shown & cbHelp) d += w - 2;
    return d;
}

std::vector<ButtonPlace> ButtonPlaces(const FrameState& frame) {
    std::vector<ButtonPlace> places;
    const TCaptionButtons shown = VisibleButtons(frame);
    if (!shown) return places;
    const int w = ButtonCellWidth(frame.borderStyle);
    const TRect r0 = CaptionRect(frame);
    TRect b{r0.Left + 2, r0.Top + 2, r0.Right - 2, r0.Bottom - 2};
    b.Left = b.Right - w - 2;
    auto moveLeft = [&b](int by) {
        b.Left -= by;
        b.Right -= by;
    };
    if (shown & cbClose) {
        places.push_back({cbClose, Glyph::Close, b, false});
        moveLeft(w + 4);
    }
    if (shown & cbMaximize) {
        places.push_back(
            {cbMaximize, frame.maximized ? Glyph::Restore : Glyph::Maximize, b, !(frame.borderIcons & biMaximize)});
        moveLeft(w + 2);
    }
    if (shown & cbMinimize) {
        places.push_back(
            {cbMinimize, frame.minimized ? Glyph::Restore : Glyph::Minimize, b, !(frame.borderIcons & biMinimize)});
        moveLeft(w + 2);
    }
    if (shown & cbHelp) places.push_back({cbHelp, Glyph::Help, b, false});
    return places;
}

int BandCount(int nbOfColors, int gradientWidth) {
    if (nbOfColors != 0) return nbOfColors;
    return std::max(2, std::min(gradientWidth, 256));
}

namespace {
// Per channel: from + sign * MulDiv(step, end - start, n - 1), kept to 8 bits.
QRgb Step(QRgb from, int sign, QRgb start, QRgb end, int step, int n) {
    auto channel = [&](int f, int s, int e) { return (f + sign * MulDiv(step, e - s, n - 1)) & 0xFF; };
    return qRgb(channel(qRed(from), qRed(start), qRed(end)), channel(qGreen(from), qGreen(start), qGreen(end)),
                channel(qBlue(from), qBlue(start), qBlue(end)));
}
}  // namespace

std::vector<Band> GradientBands(TGradientType type, int nbOfColors, const TRect& r0, int d, QRgb captionColor,
                                QRgb color) {
    QRgb start = captionColor, end = captionColor;
    if (type == gtLeftToRight) start = color;
    if (type == gtCenterToBorder) end = color;
    // A caption narrower than its buttons has no gradient, never one of
    // negative width.
    const int width = std::max(0, r0.Right - d - r0.Left);
    const int n = BandCount(nbOfColors, r0.Right - d - r0.Left);
    std::vector<Band> bands;
    bands.reserve(static_cast<size_t>(n) + 1);
    if (type == gtCenterToBorder) {
        const int h = n / 2;
        for (int i = 0; i < h; ++i)
            bands.push_back({r0.Left + MulDiv(i, width, n), r0.Left + MulDiv(i + 1, width, n),
                             Step(start, +1, start, end, 2 * i, n)});
        const int m = r0.Left + MulDiv(h, width, n);
        for (int k = 0; k < n - h; ++k)
            bands.push_back(
                {m + MulDiv(k, width, n), m + MulDiv(k + 1, width, n), Step(end, -1, start, end, 2 * k, n)});
    } else {
        for (int i = 0; i < n; ++i)
            bands.push_back(
                {r0.Left + MulDiv(i, width, n), r0.Left + MulDiv(i + 1, width, n), Step(start, +1, start, end, i, n)});
    }
    bands.push_back({std::max(r0.Left, r0.Right - d), r0.Right, captionColor});
    return bands;
}

TextPlaces LayOutTexts(const std::array<int, 3>& advance, const std::array<bool, 3>& counts, int r1Left, int r1Right,
                       TAlignment alignment, bool titleBarOn) {
    auto adv = [&](int i) { return counts[static_cast<size_t>(i)] ? advance[static_cast<size_t>(i)] : 0; };
    const int aC = adv(txCompany), aA = adv(txApplication), aF = adv(txCaption);
    const int available = r1Right - r1Left;
    const bool allFit = aC + aA + aF < available;
    const bool applicationStays = allFit || aA + aF < available;
    const int block = allFit ? aC + aA + aF : applicationStays ? aA + aF : aF;
    int left = r1Left;
    if (titleBarOn) {
        if (alignment == taRightJustify) left = r1Right - block;
        else if (alignment == taCenter)
            left += (available - block) / 2;
    }
    left += 3;
    TextPlaces places;
    if (allFit) {
        if (counts[txCompany]) places.left[txCompany] = left;
        left += aC;
    }
    if (applicationStays) {
        if (counts[txApplication]) places.left[txApplication] = left;
        left += aA;
    }
    places.left[txCaption] = left;
    return places;
}

// Long by design, see docs/COMPLEXITY.md: the frame's hit test.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
Hit HitTest(const FrameState& frame, bool hasIcon, QPoint p) {
    if (frame.borderStyle == bsNone) return Hit::Client;
    for (const ButtonPlace& b : ButtonPlaces(frame)) {
        if (!b.rect.Contains(p)) continue;
        switch (b.button) {
        case cbClose: return Hit::CloseButton;
        case cbMinimize: return Hit::MinButton;
        case cbMaximize: return Hit::MaxButton;
        case cbHelp: return Hit::HelpButton;
        }
    }
    const TRect r0 = CaptionRect(frame);
    if (r0.Contains(p)) {
        const int iconRight = r0.Left + 2 + GetSystemMetrics(SM_CXSMICON);
        return hasIcon && p.x() < iconRight ? Hit::Icon : Hit::Caption;
    }
    const QMargins in = FrameInsets(frame.borderStyle);
    const QSize size = frame.windowSize;
    const TRect client{in.left(), in.top(), size.width() - in.right(), size.height() - in.bottom()};
    if (client.Contains(p)) return Hit::Client;
    if (!IsSizeable(frame.borderStyle) || frame.maximized || frame.minimized) return Hit::Border;
    const QSize f = FrameSize(frame);
    const int corner = GetSystemMetrics(SM_CXSIZE) + f.width();
    const bool left = p.x() < f.width(), right = p.x() >= size.width() - f.width();
    const bool top = p.y() < f.height(), bottom = p.y() >= size.height() - f.height();
    const bool nearLeft = p.x() < corner, nearRight = p.x() >= size.width() - corner;
    const bool nearTop = p.y() < corner, nearBottom = p.y() >= size.height() - corner;
    if ((top && nearLeft) || (left && nearTop)) return Hit::TopLeft;
    if ((top && nearRight) || (right && nearTop)) return Hit::TopRight;
    if ((bottom && nearLeft) || (left && nearBottom)) return Hit::BottomLeft;
    if ((bottom && nearRight) || (right && nearBottom)) return Hit::BottomRight;
    if (left) return Hit::Left;
    if (right) return Hit::Right;
    if (top) return Hit::Top;
    if (bottom) return Hit::Bottom;
    return Hit::Border;
}

}  // namespace ef
