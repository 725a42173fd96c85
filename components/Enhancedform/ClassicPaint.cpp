#include "components/Enhancedform/ClassicPaint.h"

#include <QImage>
#include <QPainter>
#include <map>
#include <utility>

using namespace metrics;

namespace ef {
namespace {

QColor Sys(int index) { return QColor(GetSysColor(index)); }

// Two rings of edge lines inside the rectangle: each ring's top and left in
// one colour, bottom and right in another.
void DrawEdgeRing(QPainter& p, QRect r, const QColor& topLeft, const QColor& bottomRight) {
    p.fillRect(r.left(), r.top(), r.width() - 1, 1, topLeft);
    p.fillRect(r.left(), r.top(), 1, r.height() - 1, topLeft);
    p.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
    p.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
}

// The glyphs as the classic symbol font draws them for a 16 x 14 button.
struct GlyphPattern {
    int x, y;
    const char* rows[9];
};
const GlyphPattern& PatternOf(Glyph glyph) {
    static const GlyphPattern kClose{
        4, 3, {"XX....XX", ".XX..XX.", "..XXXX..", "...XX...", "..XXXX..", ".XX..XX.", "XX....XX", nullptr}};
    static const GlyphPattern kMinimize{4, 9, {"XXXXXX", "XXXXXX", nullptr}};
    static const GlyphPattern kMaximize{3,
                                        2,
                                        {"XXXXXXXXX", "XXXXXXXXX", "X.......X", "X.......X", "X.......X", "X.......X",
                                         "X.......X", "X.......X", "XXXXXXXXX"}};
    static const GlyphPattern kRestore{
        3,
        1,
        {"..XXXXXX", "..XXXXXX", "..X....X", "XXXXXX.X", "XXXXXX.X", "X....XXX", "X....X..", "X....X..", "XXXXXX.."}};
    static const GlyphPattern kHelp{
        5, 3, {".XXXX.", "XX..XX", "....XX", "...XX.", "..XX..", "......", "..XX..", nullptr}};
    switch (glyph) {
    case Glyph::Close: return kClose;
    case Glyph::Minimize: return kMinimize;
    case Glyph::Maximize: return kMaximize;
    case Glyph::Restore: return kRestore;
    case Glyph::Help: return kHelp;
    }
    return kClose;
}

// The glyph as a transparent image in one colour, made once per glyph and colour.
const QImage& GlyphImage(Glyph glyph, QRgb color) {
    static std::map<std::pair<int, QRgb>, QImage> cache;
    auto key = std::pair{static_cast<int>(glyph), color};
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    const GlyphPattern& pattern = PatternOf(glyph);
    int width = 0, height = 0;
    for (const char* row : pattern.rows)
        if (row) {
            width = std::max(width, static_cast<int>(std::char_traits<char>::length(row)));
            ++height;
        }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int y = 0; y < height; ++y)
        for (int x = 0; pattern.rows[y][x]; ++x)
            if (pattern.rows[y][x] == 'X') image.setPixel(x, y, color | 0xFF000000u);
    return cache.emplace(key, image).first->second;
}

}  // namespace

void DrawWindowFrame(QPainter& p, QSize window, const QRect& client, const QRect& caption) {
    const QRect all(QPoint(0, 0), window);
    QRegion frame = QRegion(all).subtracted(client).subtracted(caption);
    p.save();
    p.setClipRegion(frame, Qt::IntersectClip);
    p.fillRect(all, Sys(COLOR_BTNFACE));
    DrawEdgeRing(p, all, Sys(COLOR_3DLIGHT), Sys(COLOR_3DDKSHADOW));
    DrawEdgeRing(p, all.adjusted(1, 1, -1, -1), Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNSHADOW));
    p.restore();
}

void DrawCaptionButton(QPainter& p, const QRect& r, Glyph glyph, bool pushed, bool inactive) {
    p.fillRect(r, Sys(COLOR_BTNFACE));
    if (pushed) {
        DrawEdgeRing(p, r, Sys(COLOR_3DDKSHADOW), Sys(COLOR_BTNHIGHLIGHT));
        DrawEdgeRing(p, r.adjusted(1, 1, -1, -1), Sys(COLOR_BTNSHADOW), Sys(COLOR_3DLIGHT));
    } else {
        DrawEdgeRing(p, r, Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_3DDKSHADOW));
        DrawEdgeRing(p, r.adjusted(1, 1, -1, -1), Sys(COLOR_3DLIGHT), Sys(COLOR_BTNSHADOW));
    }
    const GlyphPattern& pattern = PatternOf(glyph);
    // The glyph keeps its place in the middle of buttons of other sizes.
    QPoint at = r.topLeft() + QPoint(pattern.x + (r.width() - 16) / 2, pattern.y + (r.height() - 14) / 2);
    if (pushed) at += QPoint(1, 1);
    if (inactive) {
        p.drawImage(at + QPoint(1, 1), GlyphImage(glyph, GetSysColor(COLOR_BTNHIGHLIGHT)));
        p.drawImage(at, GlyphImage(glyph, GetSysColor(COLOR_BTNSHADOW)));
    } else {
        p.drawImage(at, GlyphImage(glyph, GetSysColor(COLOR_BTNTEXT)));
    }
}

QImage DefaultApplicationIcon() {
    // A small window: white client, caption in the active caption colour,
    // dark outline.
    QImage icon(16, 16, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.fillRect(1, 2, 14, 12, Sys(COLOR_3DDKSHADOW));
    p.fillRect(2, 3, 12, 10, Sys(COLOR_WINDOW));
    p.fillRect(2, 3, 12, 3, Sys(COLOR_ACTIVECAPTION));
    return icon;
}

}  // namespace ef
