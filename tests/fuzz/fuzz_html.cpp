// The three HTML extractors take any text: the one-pass scans find exactly
// the values, in order, and give exactly the results of the scans as they
// are described, position by position (the yardstick in LiteralScans.h).
//
// Input: three bytes giving the lengths of a start marker (1 to 4 bytes), a
// value-begin and an end marker (0 to 3 bytes each), then the markers, then
// the text. Links and images are looked for in the whole input as well.

#include "components/Vhtml/HtmlScan.h"
#include "tests/support/LiteralScans.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Same(bool ours, const std::vector<AnsiString>& ourValues, bool described, const literal::Values& values) {
    if (ours != described || ourValues != values) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<AnsiString> ours;
    literal::Values described;
    Same(vhtml::GetAllLinks(input, ours), ours, literal::Links(input, described), described);
    ours.clear();
    described.clear();
    Same(vhtml::GetAllImages(input, ours), ours, literal::Images(input, described), described);

    if (size < 3) return 0;
    const size_t startLength = 1 + data[0] % 4, beginLength = data[1] % 4, endLength = data[2] % 4;
    std::string_view rest = input.substr(3);
    if (rest.size() < startLength + beginLength + endLength) return 0;
    std::string_view start = rest.substr(0, startLength);
    std::string_view begin = rest.substr(startLength, beginLength);
    std::string_view end = rest.substr(startLength + beginLength, endLength);
    std::string_view text = rest.substr(startLength + beginLength + endLength);
    ours.clear();
    described.clear();
    Same(vhtml::GetAllVar(text, ours, start, begin, end), ours, literal::Var(text, described, start, begin, end),
         described);
    return 0;
}
