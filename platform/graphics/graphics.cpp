#include "platform/graphics/graphics.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace graphics {

QColor ToQColor(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
QRgb ToQRgb(TColor c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }
TColor FromQColor(const QColor& c) {
    QColor rgb = c.toRgb();
    return Rgb(std::uint8_t(rgb.red()), std::uint8_t(rgb.green()), std::uint8_t(rgb.blue()));
}
TColor FromQRgb(QRgb c) { return Rgb(std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c))); }

}  // namespace graphics

using graphics::ToQColor;
using graphics::ToQRgb;

namespace {

QFont ToQFont(const TFont& font) {
    QFont f(ansi::ToQString(font.Name));
    f.setPixelSize(std::max(1, font.Height));
    f.setBold(font.Bold);
    f.setItalic(font.Italic);
    f.setUnderline(font.Underline);
    f.setStrikeOut(font.StrikeOut);
    return f;
}

Qt::BrushStyle ToQt(TBrushStyle style) {
    switch (style) {
    case bsSolid: return Qt::SolidPattern;
    case bsClear: return Qt::NoBrush;
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::FDiagPattern;  // down from left to right
    case bsBDiagonal: return Qt::BDiagPattern;  // up from left to right
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
    }
    return Qt::NoBrush;
}

QBrush ToQBrush(const TBrush& brush) { return QBrush(ToQColor(brush.Color), ToQt(brush.Style)); }

// The on and off runs of a styled one-pixel pen, in pixels along the line.
std::vector<int> DashRuns(TPenStyle style) {
    switch (style) {
    case psDash: return {18, 6};
    case psDot: return {3, 3};
    case psDashDot: return {9, 6, 3, 6};
    case psDashDotDot: return {9, 3, 3, 3, 3, 3};
    default: return {};
    }
}

// Cuts the segment to the rectangle (Liang-Barsky); false when nothing of
// it lies inside.
bool ClipSegment(QPointF& a, QPointF& b, const QRectF& r) {
    double t0 = 0, t1 = 1;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    QPointF start = a;
    a = start + QPointF(dx, dy) * t0;
    b = start + QPointF(dx, dy) * t1;
    return true;
}

__extension__ using Wide = __int128;

}  // namespace

// ---- TCanvas

template <class F>
void TCanvas::Paint(F&& steps) {
    if (painter_) {
        if (!painter_->isActive()) return;
        painter_->save();
        steps(*painter_);
        painter_->restore();
    } else if (HasPixels()) {
        QPainter p(pixels_);
        steps(p);
    }
}

bool TCanvas::HasPixels() const { return pixels_ && !pixels_->isNull(); }

int TCanvas::Width() const {
    if (painter_) return painter_->isActive() ? painter_->device()->width() : 0;
    return pixels_ ? pixels_->width() : 0;
}

int TCanvas::Height() const {
    if (painter_) return painter_->isActive() ? painter_->device()->height() : 0;
    return pixels_ ? pixels_->height() : 0;
}

void TCanvas::MoveTo(int x, int y) { PenPos = QPoint(x, y); }

void TCanvas::LineTo(int x, int y) {
    Segment(PenPos, QPoint(x, y));
    PenPos = QPoint(x, y);
}

// A one-pixel line on the pixels is set pixel by pixel, the end excluded:
// along the longer axis one pixel per step, across it the nearest pixel of
// the exact line (halves rounded towards the end point). Only the steps
// that fall on the bitmap are visited, however far the ends lie outside.
// Long by design, see docs/COMPLEXITY.md: line stepping with clipping.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void TCanvas::Segment(QPoint from, QPoint to) {
    if (Pen.Style == psClear || from == to) return;
    const bool styled = Pen.Width <= 1 && Pen.Style != psSolid;
    if (!HasPixels() || Pen.Width > 1) {
        Paint([&](QPainter& p) { StyledSegment(p, from, to); });
        return;
    }
    QImage& img = *pixels_;
    const long long x0 = from.x(), y0 = from.y();
    const long long dx = std::llabs(to.x() - x0), dy = std::llabs(to.y() - y0);
    const int sx = to.x() < x0 ? -1 : 1, sy = to.y() < y0 ? -1 : 1;
    const bool xMajor = dx >= dy;
    const long long major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    const long long majorStart = xMajor ? x0 : y0, minorStart = xMajor ? y0 : x0;
    const int majorSign = xMajor ? sx : sy, minorSign = xMajor ? sy : sx;
    const long long majorSize = xMajor ? img.width() : img.height();
    const long long minorSize = xMajor ? img.height() : img.width();
    // Steps i in [0, major) whose major coordinate lies on the bitmap.
    long long first = 0, last = major - 1;
    if (majorSign > 0) {
        first = std::max(first, -majorStart);
        last = std::min(last, majorSize - 1 - majorStart);
    } else {
        first = std::max(first, majorStart - (majorSize - 1));
        last = std::min(last, majorStart);
    }
    const QRgb ink = ToQRgb(Pen.Color), gap = ToQRgb(Brush.Color);
    const bool fillGaps = styled && Brush.Style == bsSolid;
    const std::vector<int> runs = styled ? DashRuns(Pen.Style) : std::vector<int>{};
    int period = 0;
    for (int r : runs) period += r;
    for (long long i = first; i <= last; ++i) {
        const long long m = majorStart + majorSign * i;
        const long long n = minorStart +
                            minorSign * static_cast<long long>((Wide(2) * i * minor + major) / (Wide(2) * major));
        if (n < 0 || n >= minorSize) continue;
        bool on = true;
        if (period) {
            long long at = i % period;
            for (size_t k = 0; k < runs.size(); ++k) {
                if (at < runs[k]) {
                    on = k % 2 == 0;
                    break;
                }
                at -= runs[k];
            }
        }
        if (!on && !fillGaps) continue;
        const int px = static_cast<int>(xMajor ? m : n), py = static_cast<int>(xMajor ? n : m);
        reinterpret_cast<QRgb*>(img.scanLine(py))[px] = on ? ink : gap;
    }
}

// Lines on a printer, and wide lines anywhere, through the painter: wide
// pens are always solid with round ends.
void TCanvas::StyledSegment(QPainter& p, QPoint from, QPoint to) {
    QPen pen(ToQColor(Pen.Color));
    const int width = std::max(1, Pen.Width);
    if (width > 1) {
        pen.setWidth(width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    } else {
        pen.setCosmetic(true);
        if (Pen.Style != psSolid) {
            QList<qreal> pattern;
            for (int r : DashRuns(Pen.Style)) pattern << r;
            pen.setDashPattern(pattern);
        }
    }
    QPointF a = from, b = to;
    const QRectF area = QRectF(0, 0, p.device()->width(), p.device()->height()).adjusted(-width, -width, width, width);
    if (!ClipSegment(a, b, p.transform().inverted().mapRect(area))) return;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(pen);
    p.drawLine(a, b);
}

void TCanvas::FillRect(const TRect& r) {
    if (Brush.Style == bsClear || r.Width() <= 0 || r.Height() <= 0) return;
    Paint([&](QPainter& p) { p.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ToQBrush(Brush)); });
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (right - left < 1 || bottom - top < 1) return;
    if (Pen.Style == psClear) {
        FillRect(Rect(left, top, right, bottom));
        return;
    }
    const int inset = std::max(1, Pen.Width) / 2;
    FillRect(Rect(left + inset + 1, top + inset + 1, right - inset - 1, bottom - inset - 1));
    // The outline runs round the pixels just inside the rectangle.
    const QPoint corners[4] = {{left + inset, top + inset},
                               {right - 1 - inset, top + inset},
                               {right - 1 - inset, bottom - 1 - inset},
                               {left + inset, bottom - 1 - inset}};
    if (corners[0] == corners[2]) {
        SetPixel(corners[0].x(), corners[0].y(), Pen.Color);
        return;
    }
    for (int i = 0; i < 4; ++i) Segment(corners[i], corners[(i + 1) % 4]);
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
    const QString s = ansi::ToQString(text);
    const QFont font = ToQFont(Font);
    Paint([&](QPainter& p) {
        QFontMetrics metrics(font, p.device());
        p.setFont(font);
        if (Brush.Style == bsSolid)
            p.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()), ToQColor(Brush.Color));
        p.setPen(ToQColor(Font.Color));
        p.drawText(QPoint(x, y + metrics.ascent()), s);
    });
}

int TCanvas::TextWidth(const AnsiString& text) const {
    QPaintDevice* device = painter_ && painter_->isActive() ? painter_->device() : HasPixels() ? pixels_ : nullptr;
    QFont font = ToQFont(Font);
    QFontMetrics metrics = device ? QFontMetrics(font, device) : QFontMetrics(font);
    return metrics.horizontalAdvance(ansi::ToQString(text));
}

int TCanvas::TextHeight(const AnsiString&) const {
    QPaintDevice* device = painter_ && painter_->isActive() ? painter_->device() : HasPixels() ? pixels_ : nullptr;
    QFont font = ToQFont(Font);
    return (device ? QFontMetrics(font, device) : QFontMetrics(font)).height();
}

// Scan-line filling with a stack of seeds of its own: the area is first
// marked, reading the pixels as they were, then painted with the brush.
// Long by design, see docs/COMPLEXITY.md: scan-line flood fill.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool TCanvas::FloodFill(int x, int y, TColor color, TFillStyle style) {
    if (!HasPixels() || x < 0 || y < 0 || x >= pixels_->width() || y >= pixels_->height()) return false;
    QImage& img = *pixels_;
    const int w = img.width(), h = img.height();
    const QRgb key = ToQRgb(color) & RGB_MASK;
    // The rows are read through their addresses: asking the image for each
    // pixel's row costs more than the whole fill.
    const uchar* bits = img.constBits();
    const auto stride = static_cast<size_t>(img.bytesPerLine());
    auto fillable = [&](int px, int py) {
        const QRgb pixel = reinterpret_cast<const QRgb*>(bits + static_cast<size_t>(py) * stride)[px];
        const bool same = (pixel & RGB_MASK) == key;
        return style == fsBorder ? !same : same;
    };
    if (!fillable(x, y)) return false;
    std::vector<std::uint8_t> marked(static_cast<size_t>(w) * static_cast<size_t>(h));
    auto at = [&](int px, int py) -> std::uint8_t& {
        return marked[static_cast<size_t>(py) * static_cast<size_t>(w) + static_cast<size_t>(px)];
    };
    std::vector<QPoint> seeds{{x, y}};
    while (!seeds.empty()) {
        const QPoint s = seeds.back();
        seeds.pop_back();
        if (at(s.x(), s.y()) || !fillable(s.x(), s.y())) continue;
        int left = s.x(), right = s.x();
        while (left > 0 && !at(left - 1, s.y()) && fillable(left - 1, s.y())) --left;
        while (right + 1 < w && !at(right + 1, s.y()) && fillable(right + 1, s.y())) ++right;
        for (int px = left; px <= right; ++px) at(px, s.y()) = 1;
        for (int ny : {s.y() - 1, s.y() + 1}) {
            if (ny < 0 || ny >= h) continue;
            bool inRun = false;
            for (int px = left; px <= right; ++px) {
                const bool open = !at(px, ny) && fillable(px, ny);
                if (open && !inRun) seeds.emplace_back(px, ny);
                inRun = open;
            }
        }
    }
    if (Brush.Style == bsClear) return true;
    // The brush's pattern, repeated every 8 pixels from the bitmap's corner.
    QImage tile(8, 8, QImage::Format_ARGB32);
    tile.fill(Qt::transparent);
    {
        QPainter p(&tile);
        p.fillRect(tile.rect(), ToQBrush(Brush));
    }
    const QRgb ink = ToQRgb(Brush.Color);
    const bool solid = Brush.Style == bsSolid;
    uchar* out = img.bits();
    for (int py = 0; py < h; ++py) {
        QRgb* line = reinterpret_cast<QRgb*>(out + static_cast<size_t>(py) * stride);
        const std::uint8_t* mark = &at(0, py);
        const QRgb* pattern = reinterpret_cast<const QRgb*>(tile.constScanLine(py % 8));
        for (int px = 0; px < w; ++px)
            if (mark[px] && (solid || qAlpha(pattern[px % 8]) != 0)) line[px] = ink;
    }
    return true;
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) {
    if (!source.HasPixels() || sourceRect.Width() <= 0 || sourceRect.Height() <= 0) return;
    // A copy first, so that a canvas can copy onto itself.
    const QImage piece = source.pixels_->copy(sourceRect.Left, sourceRect.Top, sourceRect.Width(), sourceRect.Height());
    StretchImage(dest.Left, dest.Top, dest.Width(), dest.Height(), piece, piece.rect());
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
    StretchImage(x, y, bitmap.Width(), bitmap.Height(), bitmap.Image(), bitmap.Image().rect());
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
    StretchImage(dest.Left, dest.Top, dest.Width(), dest.Height(), bitmap.Image(), bitmap.Image().rect());
}

void TCanvas::StretchImage(int x, int y, int w, int h, const QImage& image, const QRect& source, bool bottomUp) {
    if (w == 0 || h == 0 || image.isNull() || source.width() <= 0 || source.height() <= 0) return;
    const QRect part = source & image.rect();
    if (part.isEmpty()) return;
    Paint([&](QPainter& p) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, StretchMode == smHalftone);
        QTransform t;
        t.translate(x, y);
        t.scale(double(w) / source.width(), double(h) / source.height());
        if (bottomUp) {
            t.translate(0, source.height());
            t.scale(1, -1);
        }
        p.setTransform(t, true);
        p.drawImage(QPointF(part.x() - source.x(), part.y() - source.y()), image, part);
    });
}

TColor TCanvas::Pixel(int x, int y) const {
    if (!HasPixels() || !pixels_->rect().contains(x, y)) return clInvalid;
    return graphics::FromQRgb(reinterpret_cast<const QRgb*>(pixels_->constScanLine(y))[x]);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    if (!HasPixels() || !pixels_->rect().contains(x, y)) return;
    reinterpret_cast<QRgb*>(pixels_->scanLine(y))[x] = ToQRgb(color);
}

// ---- TBitmap

void TBitmap::Clear(int width, int height) {
    if (width <= 0 || height <= 0) {
        image_ = QImage();
        return;
    }
    QImage fresh(width, height, QImage::Format_RGB32);
    if (fresh.isNull()) throw EOutOfResources("Out of system resources");
    fresh.fill(Qt::white);
    image_ = std::move(fresh);
}

void TBitmap::SetSize(int width, int height) {
    QImage old = std::move(image_);
    Clear(width, height);
    if (!old.isNull() && !image_.isNull()) {
        QPainter p(&image_);
        p.drawImage(0, 0, old);
    }
}

void TBitmap::Assign(const QImage& image) { SetHandle(image); }

QImage TBitmap::ReleaseHandle() {
    QImage out = std::move(image_);
    image_ = QImage();
    return out;
}

void TBitmap::SetHandle(QImage image) {
    if (!image.isNull() && image.format() != QImage::Format_RGB32) {
        image = image.convertToFormat(QImage::Format_RGB32);
        if (image.isNull()) throw EOutOfResources("Out of system resources");
    }
    image_ = std::move(image);
}
