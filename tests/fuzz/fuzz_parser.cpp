// The expression parser takes any text: preparing never crashes and stays
// bounded; evaluating gives a finite value with its text, or raises
// Exception and keeps the previous text; a failed preparation is reported
// by Evaluate. Numbers the parser writes read back as numbers.
//
// Input: one byte of settings, then the expression and the variables x, a,
// b, c, d, one per line.

#include "components/Vparser/Vparser.h"
#include "platform/errors/Exception.h"
#include "platform/numformat/numformat.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Evaluates and checks what a caller relies on.
void EvaluateOnce(TVParser& p, bool built) {
    const AnsiString before = p.ErgebnisString();
    try {
        const long double v = p.Evaluate();
        Check(built && std::isfinite(v) && !p.ErgebnisString().empty());
        // The value written the system's way reads back.
        Check(TVParser::IsLongDoubleText(TVParser::FloatToStr(v)));
    } catch (const Exception&) {
        Check(p.ErgebnisString() == before);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    static const char kSeparators[] = {',', '.', ';', 'e'};
    static const char* const kOverwrites[] = {"", ".", ",", "ab"};
    numformat::test::SetDecimalSeparator(kSeparators[flags & 3]);
    TVParser p;
    p.SetConvertAllColonsAndDots(flags & 4);
    p.SetOverwriteDecimalSymbol(kOverwrites[(flags >> 3) & 3]);
    p.SetPrecision(static_cast<int>(flags >> 5) * 5 - 5);  // -5 .. 30

    AnsiString fields[6];
    for (auto& field : fields) {
        size_t nl = rest.find('\n');
        field = AnsiString(rest.substr(0, nl));
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
    }
    p.SetX(fields[1]);
    p.SetA(fields[2]);
    p.SetB(fields[3]);
    p.SetC(fields[4]);
    p.SetD(fields[5]);

    // A first result, so that a failure has a text to keep.
    p.SetExpression("1");
    Check(p.CreateTree());
    p.Evaluate();

    p.SetExpression(fields[0]);
    const bool built = p.CreateTree();
    EvaluateOnce(p, built);
    // Preparing the prepared form again is just as safe.
    EvaluateOnce(p, p.CreateTree());

    for (const AnsiString& field : fields)
        if (TVParser::IsLongDoubleText(field)) {
            auto value = TVParser::TextToFloat(field);
            Check(value && TVParser::FloatToStr(*value) == field);
        }
    return 0;
}
