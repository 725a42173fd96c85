// The expression parser: "sin(x)*cos(x)+x^2/3" prepared once and evaluated
// at ten million values of x, beside the same expression compiled as C++
// over the same values. The parser takes x as text: the first figure hands
// it texts made beforehand (ten thousand values, in turn), the second makes
// each text from the double as it goes.
//
// The plotter: ten curves sampled at every pixel of 1920 x 1080, with grid
// and axes, beside QPainter drawing the same line segments.

#include "bench/Bench.h"
#include "components/Vgraphics/Vgraphics.h"
#include "components/Vparser/Vparser.h"

#include <QImage>
#include <QLine>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace bench;

namespace {

constexpr size_t kEvaluations = 10'000'000;
constexpr size_t kDistinct = 10'000;

void Parser(const AnsiString&) {
    TVParser p;
    p.SetExpression("sin(x)*cos(x)+x^2/3");
    if (!p.CreateTree()) std::puts("sin(x)*cos(x)+x^2/3 did not prepare");
    std::vector<double> xs(kDistinct);
    std::vector<AnsiString> texts(kDistinct);
    for (size_t i = 0; i < kDistinct; ++i) {
        xs[i] = -10.0 + 20.0 * static_cast<double>(i) / kDistinct;
        texts[i] = TVParser::FloatToStr(xs[i]);
    }

    double compiled = 0;
    long double parsed = 0;
    auto same = [&] {
        // Both loops computed the same sum, and neither was optimised away.
        if (std::fabs(static_cast<double>(parsed) - compiled) > 1e-6 * std::fabs(compiled))
            std::printf("sums differ: %.17g %.17g\n", static_cast<double>(parsed), compiled);
    };
    const double base = Median([&] {
        compiled = 0;
        for (size_t i = 0; i < kEvaluations; ++i) {
            const double x = xs[i % kDistinct];
            compiled += std::sin(x) * std::cos(x) + std::pow(x, 2) / 3;
        }
    });
    const double eval = Median([&] {
        parsed = 0;
        for (size_t i = 0; i < kEvaluations; ++i) {
            p.SetX(texts[i % kDistinct]);
            parsed += p.Evaluate();
        }
    });
    same();
    Report(kEvaluations, "evaluate", eval, base, 10);

    const double withText = Median([&] {
        parsed = 0;
        for (size_t i = 0; i < kEvaluations; ++i) {
            p.SetX(TVParser::FloatToStr(xs[i % kDistinct]));
            parsed += p.Evaluate();
        }
    });
    same();
    Report(kEvaluations, "evaluate_x_text", withText, base, 10);
}

struct Curve {
    const char* expression;
    std::function<double(double)> compiled;
};

void Plotter(const AnsiString&) {
    const Curve curves[] = {
        {"sin(x)*5", [](double x) { return std::sin(x) * 5; }},
        {"cos(x)*2", [](double x) { return std::cos(x) * 2; }},
        {"x^2/10", [](double x) { return std::pow(x, 2) / 10; }},
        {"x/2", [](double x) { return x / 2; }},
        {"abs(x)-5", [](double x) { return std::fabs(x) - 5; }},
        {"sin(x)*cos(x)*8", [](double x) { return std::sin(x) * std::cos(x) * 8; }},
        {"ln(abs(x)+1)*3", [](double x) { return std::log(std::fabs(x) + 1) * 3; }},
        {"tan(x/4)", [](double x) { return std::tan(x / 4); }},
        {"x^3/100", [](double x) { return std::pow(x, 3) / 100; }},
        {"-x", [](double x) { return -x; }},
    };
    constexpr int W = 1920, H = 1080;
    TVGraphics g;
    TStrings expressions, steps, colors;
    for (size_t i = 0; i < std::size(curves); ++i) {
        expressions.push_back(curves[i].expression);
        steps.push_back("0.01");  // below a pixel: every pixel
        colors.push_back(std::to_string(0x202020 * (i + 1) & 0xFFFFFF));
    }
    g.SetExpressions(expressions);
    g.SetSteps(steps);
    g.SetColors(colors);
    g.SetDestWidth(W);
    g.SetDestHeight(H);
    g.SetGrid(true);
    g.SetPointsOnly(false);
    TBitmap bitmap(W, H);
    int result = 0;
    const double plot = Median([&] { result = g.DrawToCanvas(bitmap.Canvas()); });
    if (result != 0) std::printf("plot returned %d\n", result);

    // The same segments: 20 horizontal and 20 vertical grid lines, the two
    // axes, and each curve joined from pixel to pixel.
    std::vector<QLine> lines;
    for (int k = 1; k <= 10; ++k)
        for (int sign : {-1, 1}) {
            lines.emplace_back(1, H / 2 + sign * k * H / 20, W, H / 2 + sign * k * H / 20);
            lines.emplace_back(W / 2 + sign * k * W / 20, 1, W / 2 + sign * k * W / 20, H);
        }
    lines.emplace_back(1, H / 2, W, H / 2);
    lines.emplace_back(W / 2, 1, W / 2, H);
    const size_t gridLines = lines.size();
    for (const Curve& c : curves) {
        QPoint last;
        for (int px = 1; px <= W; ++px) {
            const double y = c.compiled(px * 20.0 / W - 10);
            const QPoint at(px, static_cast<int>(std::clamp((10 - y) * H / 20, -5000.0, 5000.0)));
            lines.emplace_back(px == 1 ? at - QPoint(1, 1) : last, at);
            last = at;
        }
    }
    QImage image(W, H, QImage::Format_RGB32);
    const double base = Median([&] {
        QPainter p(&image);
        p.setPen(Qt::black);
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i >= gridLines && (i - gridLines) % W == 0) p.setPen(QColor::fromRgb(static_cast<QRgb>(i)));
            p.drawLine(lines[i]);
        }
    });
    Report(lines.size(), "plot_10_curves", plot, base, 5);
}

}  // namespace

FLICKSTOW_BENCH_SUITE("parser", Parser);
FLICKSTOW_BENCH_SUITE("plotter", Plotter);
