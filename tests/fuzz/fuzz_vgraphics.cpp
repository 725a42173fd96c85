// The plotter takes any expressions, steps, colours, ranges and sizes:
// drawing never crashes, stays bounded in time however small the spacing or
// large the sizes, and reports how the expressions prepared.
//
// Input: six bytes of settings (each an index into a table of awkward
// values), then expression, step and colour lines, three per curve.

#include "components/Vgraphics/Vgraphics.h"
#include "platform/errors/Exception.h"
#include "platform/numformat/numformat.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace {

constexpr long double kValues[] = {-10,
                                   10,
                                   0,
                                   0.5L,
                                   -0.5L,
                                   3,
                                   -1000,
                                   1e-300L,
                                   1e300L,
                                   -1e300L,
                                   1e4000L,
                                   std::numeric_limits<long double>::infinity(),
                                   -std::numeric_limits<long double>::infinity(),
                                   std::numeric_limits<long double>::quiet_NaN(),
                                   0.03125L,
                                   7};
constexpr int kSizes[] = {64, 48, 640, 0, -5, 1, 2000000000, -2000000000};

long double Value(uint8_t b) { return kValues[b % std::size(kValues)]; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    numformat::test::SetDecimalSeparator(data[0] & 1 ? ',' : '.');
    TVGraphics g;
    g.SetGrid(data[0] & 2);
    g.SetCross(data[0] & 4);
    g.SetPointsOnly(data[0] & 8);
    g.SetClearCanvas(data[0] & 16);
    g.SetMinusX(Value(data[1]));
    g.SetPlusX(Value(data[1] >> 4));
    g.SetMinusY(Value(data[2]));
    g.SetPlusY(Value(data[2] >> 4));
    g.SetGridSpace(Value(data[3]));
    g.SetAbstand(Value(data[3] >> 4));
    g.SetDestWidth(kSizes[data[4] % std::size(kSizes)]);
    g.SetDestHeight(kSizes[(data[4] >> 3) % std::size(kSizes)]);
    g.SetBackground(data[5] & 1 ? clWhite : clSilver);

    TStrings lists[3];
    std::string_view rest(reinterpret_cast<const char*>(data + 6), size - 6);
    for (int line = 0; !rest.empty() && line < 12; ++line) {
        const size_t nl = rest.find('\n');
        lists[line % 3].emplace_back(rest.substr(0, nl));
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
    }
    g.SetExpressions(lists[0]);
    g.SetSteps(lists[1]);
    g.SetColors(lists[2]);

    TBitmap bitmap(64, 48);
    try {
        const int result = g.DrawToCanvas(bitmap.Canvas());
        if (result < 0 || result > static_cast<int>(lists[0].size())) std::abort();
    } catch (const Exception&) {
        // A missing step or colour, or a colour that is not a number.
    }
    if (bitmap.Width() != 64 || bitmap.Height() != 48) std::abort();
    return 0;
}
