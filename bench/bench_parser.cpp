// The expression parser: "sin(x)*cos(x)+x^2/3" prepared once and evaluated
// at ten million values of x, beside the same expression compiled as C++
// over the same values. The parser takes x as text: the first figure hands
// it texts made beforehand (ten thousand values, in turn), the second makes
// each text from the double as it goes.

#include "Bench.h"
#include "Vparser/Vparser.h"

#include <cmath>
#include <cstdio>
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

}  // namespace

FLICKSTOW_BENCH_SUITE("parser", Parser);
