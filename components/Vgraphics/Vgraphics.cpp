#include "components/Vgraphics/Vgraphics.h"

#include "components/Vparser/Vparser.h"
#include "platform/errors/Exception.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <cmath>

namespace {

// trunc(v) within +-limit; not a number gives 0.
long long Truncated(long double v, long long limit) {
    if (std::isnan(v)) return 0;
    const long double t = std::trunc(v);
    if (t >= static_cast<long double>(limit)) return limit;
    if (t <= -static_cast<long double>(limit)) return -limit;
    return static_cast<long long>(t);
}

// Grid steps and counts: far beyond any canvas, yet their products with
// what a canvas holds stay within 64 bits.
constexpr long long kBig = 1LL << 40;

long long FloorDiv(long long a, long long b) {
    const long long q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
long long CeilDiv(long long a, long long b) { return -FloorDiv(-a, b); }

// A span that can be mapped onto pixels: neither 0 nor endless.
bool Mapped(long double span) { return span != 0 && std::isfinite(span); }

int Umrechnen(long double offset, int size, long double from, long double to) {
    // The span in whole units, as documented; one below 1 would be 0, so it
    // stays as it is and a narrow range still spreads over the pixels.
    long double span = to - from;
    if (!Mapped(span)) return 0;
    if (std::trunc(span) != 0) span = std::trunc(span);
    return static_cast<int>(Truncated(offset * size / span, TVGraphics::kFar));
}

}  // namespace

TVGraphics::TVGraphics(QObject* owner) : QObject(owner) {}

int TVGraphics::UmrechnenX(long double x, int size, long double from, long double to) {
    return Umrechnen(x - from, size, from, to);
}

int TVGraphics::UmrechnenY(long double y, int size, long double from, long double to) {
    return Umrechnen(to - y, size, from, to);
}

// Long by design, see docs/COMPLEXITY.md: the plotter's drawing procedure.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
int TVGraphics::DrawToCanvas(TCanvas& canvas) {
    // The drawing works on its own copy of the settings: a handler that runs
    // while pending events are processed may change the component, or
    // delete it, which ends the drawing.
    QPointer<TVGraphics> alive(this);
    cancel_ = false;
    const Settings s = s_;
    const int W = s.width, H = s.height;
    auto goOn = [&] {
        if (!alive || cancel_) return false;
        QCoreApplication::processEvents();
        return !alive.isNull();
    };

    // Silver over the drawing area, then a border fill with the background
    // from (10, 10). When the area covers the whole canvas, that fill turns
    // every pixel into the background: one fill of the canvas does the same.
    const int canvasWidth = canvas.Width(), canvasHeight = canvas.Height();
    const bool whole = s.clearCanvas && W >= canvasWidth && H >= canvasHeight && canvasWidth > 10 &&
                       canvasHeight > 10 && canvas.Pixel(10, 10) != clInvalid;
    if (s.clearCanvas && !whole) {
        canvas.Brush = {clSilver, bsSolid};
        canvas.FillRect(Rect(0, 0, W, H));
    }
    TVParser evaluator;
    evaluator.SetPrecision(8);
    canvas.Brush = {s.background, bsSolid};
    if (whole) canvas.FillRect(Rect(0, 0, canvasWidth, canvasHeight));
    else
        canvas.FloodFill(10, 10, s.background, fsBorder);

    // An empty or endless span has no pixel mapping: then only the
    // expressions are prepared, and nothing is plotted.
    const long double spanX = s.xTo - s.xFrom, spanY = s.yTo - s.yFrom;
    const bool mapped = Mapped(spanX) && Mapped(spanY);
    const int x0 = UmrechnenX(0, W, s.xFrom, s.xTo), y0 = UmrechnenY(0, H, s.yFrom, s.yTo);

    if (s.grid && mapped) {
        canvas.Pen.Color = s.gridColor;
        const long long dx = Truncated(W * s.gridSpace / spanX, kBig);
        const long long dy = Truncated(H * s.gridSpace / spanY, kBig);
        // The lines k = 1 .. count at start + k * step; those off the canvas
        // are not drawn (a tiny spacing would put billions on one spot).
        auto lines = [&](long double count, long long start, long long step, bool horizontal) {
            const long long extent = horizontal ? canvas.Height() : canvas.Width();
            long long first = 1, last = std::abs(Truncated(count, kBig));
            if (step == 0) {
                if (start < 0 || start >= extent) last = 0;
                last = std::min(last, 1LL);
            } else if (step > 0) {
                first = std::max(first, CeilDiv(-start, step));
                last = std::min(last, FloorDiv(extent - 1 - start, step));
            } else {
                first = std::max(first, CeilDiv(start - (extent - 1), -step));
                last = std::min(last, FloorDiv(start, -step));
            }
            for (long long k = first; k <= last; ++k) {
                if (!goOn()) return false;
                const int at = static_cast<int>(start + k * step);
                canvas.MoveTo(horizontal ? 1 : at, horizontal ? at : 1);
                canvas.LineTo(horizontal ? W : at, horizontal ? at : H);
            }
            return true;
        };
        if (!lines(s.yFrom / s.gridSpace, y0, dy, true) || !lines(s.yTo / s.gridSpace, y0, -dy, true) ||
            !lines(s.xTo / s.gridSpace, x0, dx, false) || !lines(s.xFrom / s.gridSpace, x0, -dx, false))
            return -1;
    }

    if (s.cross && mapped) {
        canvas.Pen.Color = s.crossColor;
        canvas.MoveTo(1, y0);
        canvas.LineTo(W, y0);
        canvas.MoveTo(x0, 1);
        canvas.LineTo(x0, H);
    }

    int failed = 0;
    long double step = 1;
    for (size_t i = 0; i < s.expressions.size(); ++i) {
        if (!goOn()) return -1;
        if (i >= s.steps.size() || i >= s.colors.size()) throw EListError::Index(static_cast<long long>(i));
        const auto color = static_cast<TColor>(ansi::StrToInt(s.colors[i]));
        if (std::optional<long double> v = TVParser::TextToFloat(s.steps[i])) step = *v;
        evaluator.SetExpression(s.expressions[i]);
        if (!evaluator.CreateTree()) {
            failed = static_cast<int>(i) + 1;
            continue;
        }
        if (!mapped) continue;

        const long long p = std::max(1LL, Truncated(W * step / spanX, kBig));
        canvas.Pen.Color = color;
        bool haveLast = false;
        QPoint last;
        for (long long px = 1; px <= W; px += p) {
            if (cancel_) return -1;
            // Past the canvas's right edge nothing more can show.
            if (px - p > canvasWidth) break;
            const long double x = px * spanX / W + s.xFrom;
            evaluator.SetX(TVParser::FloatToStr(x));
            long double y;
            try {
                y = evaluator.Evaluate();
            } catch (const Exception&) {
                haveLast = false;
                continue;
            }
            if (s.maxDifference > 0 && !(std::fabs(0 - y) < s.maxDifference)) haveLast = false;
            const int at = static_cast<int>(px);
            const int py = UmrechnenY(y, H, s.yFrom, s.yTo);
            if (!haveLast) {
                last = QPoint(at - 1, py - 1);
                haveLast = true;
            }
            if (s.pointsOnly) {
                canvas.MoveTo(at - 1, py - 1);
            } else {
                canvas.MoveTo(last.x(), last.y());
                last = QPoint(at, py);
            }
            canvas.LineTo(at, py);
        }
    }
    return failed;
}
