#include "components/Vparser/Vparser.h"

#include "platform/errors/Exception.h"
#include "platform/numformat/numformat.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsPoint(char c, std::string_view points) {
    for (char p : points)
        if (c == p) return true;
    return false;
}

bool LowerEquals(std::string_view text, size_t at, std::string_view name) {
    if (text.size() - at < name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (Lower(text[at + i]) != name[i]) return false;
    return true;
}

// Powers of ten that a long double holds exactly (5^27 < 2^64).
constexpr std::array<long double, 28> kExactPowers = [] {
    std::array<long double, 28> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
}();

constexpr char kTwoDigits[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// A decimal number at the start of a text: blanks, an optional sign, digits
// with an optional point (any character of `points`) and fraction, an
// optional exponent. Reading stops at the first character that does not
// fit; without digits the value is 0.
struct Scanned {
    size_t end = 0;  // one past the last character read
    long double value = 0;
    bool overflow = false;
};

// Long by design, see docs/COMPLEXITY.md: the number syntax in one scan.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
Scanned ScanNumber(std::string_view s, std::string_view points) {
    Scanned r;
    const size_t n = s.size();
    size_t i = 0;
    while (i < n && IsSpace(s[i])) ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const size_t intBegin = i;
    while (i < n && IsDigit(s[i])) ++i;
    const size_t intEnd = i;
    size_t fracBegin = i, fracEnd = i;
    if (i < n && IsPoint(s[i], points)) {
        size_t j = i + 1;
        while (j < n && IsDigit(s[j])) ++j;
        if (intEnd > intBegin || j > i + 1) {
            fracBegin = i + 1;
            fracEnd = j;
            i = j;
        }
    }
    if (intEnd == intBegin && fracEnd == fracBegin) return r;  // no digits: 0, nothing read

    long long exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        bool expNegative = false;
        if (j < n && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
        if (j < n && IsDigit(s[j])) {
            for (; j < n && IsDigit(s[j]); ++j)
                if (exponent < 1000000000000000) exponent = exponent * 10 + (s[j] - '0');
            if (expNegative) exponent = -exponent;
            i = j;
        }
    }
    r.end = i;

    // The first 19 significant digits as an integer, and the power of ten of
    // the first one.
    uint64_t mantissa = 0;
    int significant = 0;
    long long order = -1;  // power of ten of the first nonzero digit
    auto digit = [&](char c, long long power) {
        if (significant == 0 && c == '0') return;
        if (significant == 0) order = power;
        if (significant < 19) mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
        ++significant;
    };
    const long long intDigits = static_cast<long long>(intEnd - intBegin);
    for (size_t k = intBegin; k < intEnd; ++k) digit(s[k], intDigits - 1 - static_cast<long long>(k - intBegin));
    for (size_t k = fracBegin; k < fracEnd; ++k) digit(s[k], -1 - static_cast<long long>(k - fracBegin));
    if (significant == 0) {
        r.value = negative ? -0.0L : 0.0L;
        return r;
    }
    // mantissa x 10^scale, exact when all significant digits were kept
    const long long scale = order + exponent - (std::min(significant, 19) - 1);
    if (significant <= 19 && scale >= -27 && scale <= 27) {
        // One correctly rounded operation on exact operands.
        long double m = static_cast<long double>(mantissa);
        long double v = scale >= 0 ? m * kExactPowers[static_cast<size_t>(scale)]
                                   : m / kExactPowers[static_cast<size_t>(-scale)];
        r.value = negative ? -v : v;
        return r;
    }
    // Everything else through the library's correctly rounded conversion.
    std::string text(s.substr(intBegin, intEnd - intBegin));
    if (fracEnd > fracBegin) text.append(".").append(s.substr(fracBegin, fracEnd - fracBegin));
    text.append("e").append(std::to_string(exponent));
    long double v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        if (order + exponent > 0) r.overflow = true;
        v = 0;  // below the smallest value: 0
    }
    r.value = negative ? -v : v;
    return r;
}

// 15 significant digits of a value, correctly rounded, and the power of
// ten of the first one.
struct Digits {
    char digit[15];
    int exponent;
};

Digits LibraryDigits(long double value) {
    char buf[64];
    // A double holds 15 digits exactly, and its conversion is much faster:
    // values within its range go through it.
    const bool inDouble = value >= std::numeric_limits<double>::min() && value <= std::numeric_limits<double>::max();
    auto [end, ec] = inDouble ? std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                                              std::chars_format::scientific, 14)
                              : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    (void)ec;
    Digits d{};
    d.digit[0] = buf[0];
    for (int i = 1; i < 15; ++i) d.digit[i] = buf[i + 1];  // skip the point
    // "d.dddddddddddddde+XX": the exponent's sign at 17
    const char* e = buf[17] == '+' ? buf + 18 : buf + 17;
    std::from_chars(e, end, d.exponent);
    return d;
}

Digits SignificantDigits(long double value) {
    value = std::fabs(value);
    // Most values: scaled by an exact power of ten to a 15-digit integer in
    // one rounding, which decides the last digit unless the scaled value
    // lies within a thousandth of a half; those go to the library.
    if (value >= 1e-12L && value < 1e27L) {
        // The binary exponent times log10(2): the decimal one, or one below.
        const auto bits = std::bit_cast<uint64_t>(static_cast<double>(value));
        const int binary = static_cast<int>((bits >> 52) & 0x7ff) - 1023;
        int exponent = (binary * 1233) >> 12;
        for (int pass = 0; pass < 3; ++pass) {
            const int k = 14 - exponent;
            if (k < -27 || k > 27) break;
            const long double scaled = k >= 0 ? value * kExactPowers[static_cast<size_t>(k)]
                                              : value / kExactPowers[static_cast<size_t>(-k)];
            if (scaled >= 999999999999999.5L) {
                ++exponent;
                continue;
            }
            if (scaled < 99999999999999.5L) {
                --exponent;
                continue;
            }
            // The nearest integer, in the current (nearest) rounding mode.
            const long long rounded = std::llrint(scaled);
            if (std::fabs(std::fabs(scaled - static_cast<long double>(rounded)) - 0.5L) < 1e-3L) break;
            auto n = static_cast<uint64_t>(rounded);
            Digits d{};
            d.exponent = exponent;
            for (int i = 13; i >= 0; i -= 2, n /= 100) std::memcpy(d.digit + i, kTwoDigits + 2 * (n % 100), 2);
            d.digit[0] = static_cast<char>('0' + n);
            return d;
        }
    }
    return LibraryDigits(value);
}

[[noreturn]] void Raise(const AnsiString& message) { throw Exception(message); }

long double Finite(long double value) {
    if (!std::isfinite(value)) Raise(TVParser::kOverflow);
    return value;
}

// Functions and the power work in double precision.
double ToDouble(long double value) {
    const double d = static_cast<double>(value);
    if (!std::isfinite(d)) Raise(TVParser::kOverflow);
    return d;
}

}  // namespace

TVParser::TVParser(QObject* owner) : QObject(owner) {
    nodes_.emplace_back();  // an empty leaf: evaluating it gives 0
}

// ---------------------------------------------------------------- numbers

std::optional<long double> TVParser::TextToFloat(std::string_view text) {
    const char point = numformat::DecimalSeparator();
    Scanned s = ScanNumber(text, std::string_view(&point, 1));
    if (s.end == 0 || s.overflow) return std::nullopt;
    size_t i = s.end;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i != text.size()) return std::nullopt;
    return s.value;
}

AnsiString TVParser::FloatToStr(long double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    const Digits d = SignificantDigits(value);
    int count = 15;
    while (count > 1 && d.digit[count - 1] == '0') --count;
    const char point = numformat::DecimalSeparator();
    // At most: sign, 15 digits, point, 4 zeros or "E-4951".
    char text[32];
    char* out = text;
    if (value < 0) *out++ = '-';
    auto digits = [&](int from, int to) {
        std::memcpy(out, d.digit + from, static_cast<size_t>(to - from));
        out += to - from;
    };
    if (d.exponent >= 15 || d.exponent < -4) {
        digits(0, 1);
        if (count > 1) {
            *out++ = point;
            digits(1, count);
        }
        *out++ = 'E';
        out = std::to_chars(out, text + sizeof text, d.exponent).ptr;
    } else if (d.exponent >= 0) {
        const int whole = d.exponent + 1;
        digits(0, std::min(whole, count));
        for (int i = count; i < whole; ++i) *out++ = '0';
        if (count > whole) {
            *out++ = point;
            digits(whole, count);
        }
    } else {
        *out++ = '0';
        *out++ = point;
        for (int i = 1; i < -d.exponent; ++i) *out++ = '0';
        digits(0, count);
    }
    return AnsiString(text, static_cast<size_t>(out - text));
}

bool TVParser::IsLongDoubleText(std::string_view text) {
    // Only a text the system would write for its own value: no leading
    // zeros, no trailing zeros after the separator, no "+", no blanks.
    std::optional<long double> value = TextToFloat(text);
    return value && FloatToStr(*value) == text;
}

long double TVParser::StrToLongDouble(std::string_view text) const {
    AnsiString value;
    if (text.size() == 1 || text.size() == 2) {
        const char first = Lower(text[0]);
        if (text.size() == 1) {
            static constexpr std::string_view kVariables = "xabcd";
            size_t v = kVariables.find(first);
            if (v != std::string_view::npos) text = variables_[v];
            else if (first == 'e')
                text = value = "2" + landDot_ + "7182818";
        } else if (first == 'p' && Lower(text[1]) == 'i') {
            text = value = "3" + landDot_ + "1415927";
        }
    }
    // "." and the characters that become one: the decimal symbol in use and,
    // with ConvertAllColonsAndDots, the comma.
    char points[3] = {'.', '.', '.'};
    if (landDot_.size() == 1) points[1] = landDot_[0];
    if (convertAllColonsAndDots_) points[2] = ',';
    const std::string_view pointSet(points, 3);
    auto normalised = [&] {
        AnsiString normal(text);
        for (char& c : normal)
            if (pointSet.find(c) != std::string_view::npos) c = '.';
        return normal;
    };
    // A symbol that is part of a number's own syntax (a digit, a sign, "e")
    // turns into a point before reading.
    const char dot = points[1];
    const bool own = IsDigit(dot) || dot == '+' || dot == '-' || Lower(dot) == 'e' || IsSpace(dot);
    Scanned s = own ? ScanNumber(normalised(), ".") : ScanNumber(text, pointSet);
    if (s.overflow) Raise(normalised() + kNotANumber);
    return s.value;
}

long double TVParser::modl(long double a, long double b) {
    if (b == 0) return 0;
    const long double q = std::trunc(a / b);
    // A quotient beyond the 64-bit range (1e30 mod 7) has no integer of that
    // width; the exact remainder of the division takes its place.
    constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
    if (!(q > -kLimit && q < kLimit)) return std::fmod(a, b);
    return a - b * static_cast<long double>(static_cast<int64_t>(q));
}

void TVParser::EntferneNullenUndPunkte(AnsiString& text, size_t symbolAt, size_t symbolSize) {
    size_t end = text.size();
    while (end > symbolAt + symbolSize && text[end - 1] == '0') --end;
    if (end == symbolAt + symbolSize) end = symbolAt;
    text.resize(end);
    if (symbolAt == 0 && end > 0) text = "0" + text;
}

AnsiString TVParser::LongDoubleToStr(double d, int precision, std::string_view symbol) {
    if (d == 0) return "0";
    // The double's exact decimal digits, rounded once, half away from zero,
    // to Precision places. A double's exact expansion ends at most 1074
    // places after the point (2^-1074), so more places only add zeros.
    constexpr int kExactPlaces = 1074;
    int binary = 0;
    const double mantissa = std::frexp(std::fabs(d), &binary);  // |d| = mantissa x 2^binary
    // Places the value needs to be written exactly: one per binary place of
    // its lowest set bit below the point.
    auto bits = static_cast<uint64_t>(std::ldexp(mantissa, 53));
    int lowest = binary - 53;
    while ((bits & 1) == 0) {
        bits >>= 1;
        ++lowest;
    }
    const int exact = std::min(std::max(-lowest, 0), kExactPlaces);
    const int places = std::clamp(precision, 0, exact);
    // "0" for a carry into a new first digit, the 309 digits of the largest
    // double, the point and the exact places.
    char buffer[1 + 309 + 1 + kExactPlaces];
    buffer[0] = '0';
    char* const end =
        std::to_chars(buffer + 1, buffer + sizeof buffer, std::fabs(d), std::chars_format::fixed, exact).ptr;
    char* const point = exact > 0 ? end - exact - 1 : end;
    // Keep the places asked for; the first one dropped decides the rounding.
    char* const last = point + places;
    if (places < exact && point[places + 1] >= '5') {
        char* k = last;
        for (;; --k) {
            if (k == point) continue;
            if (*k != '9') break;
            *k = '0';
        }
        ++*k;
    }
    char* first = buffer;
    while (first < point && *first == '0') ++first;
    bool zero = first == point;
    for (char* k = point + 1; zero && k <= last; ++k) zero = *k == '0';
    if (zero) return "0";  // never "-0"

    AnsiString text;
    if (d < 0) text += '-';
    if (first < point) text.append(first, point);
    else
        text += '0';
    const size_t symbolAt = text.size();
    text += symbol;
    if (last > point) text.append(point + 1, last + 1);
    EntferneNullenUndPunkte(text, symbolAt, symbol.size());
    return text;
}

// ---------------------------------------------------------------- preparing

void TVParser::InitLandDot() {
    if (overwriteDecimalSymbol_.empty()) landDot_.assign(1, numformat::DecimalSeparator());
    else
        landDot_ = overwriteDecimalSymbol_;
}

AnsiString TVParser::EntferneLeerzeichen(std::string_view text) {
    AnsiString out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

std::string_view TVParser::EntferneKlammern(std::string_view text) {
    if (text.size() < 2 || text.front() != '(' || text.back() != ')') return text;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(') {
            if (depth == 0 && i > 0) return text;  // the first parenthesis closed before the end
            ++depth;
        } else if (text[i] == ')') {
            --depth;
        }
    }
    return text.substr(1, text.size() - 2);
}

AnsiString TVParser::WandleSinCosTanUm(std::string_view text) const {
    static constexpr struct {
        std::string_view name, code;
    } kNames[] = {{"sin", "s#"}, {"cos", "c#"}, {"tan", "t#"}, {"ln", "n#"}, {"lg", "g#"}, {"abs", "r#"}, {"mod", "m"}};
    AnsiString out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const std::string_view* code = nullptr;
        size_t length = 0;
        for (const auto& n : kNames)
            if (LowerEquals(text, i, n.name)) {
                code = &n.code;
                length = n.name.size();
                break;
            }
        if (code) {
            out += *code;
            i += length;
            continue;
        }
        if (convertAllColonsAndDots_ && (text[i] == '.' || text[i] == ',')) out += landDot_;
        else
            out += text[i];
        ++i;
    }
    return out;
}

TVParser::Split TVParser::SplitLowest(std::string_view text) {
    int depth = 0;
    int best = std::numeric_limits<int>::max();
    size_t at = std::string_view::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        int weight;
        switch (text[i]) {
        case '(': depth += 16; continue;
        case ')': depth -= 16; continue;
        case '+':
        case '-': weight = 1; break;
        case '*':
        case '/':
        case 'm': weight = 2; break;
        case '^': weight = 4; break;
        case '#': weight = 8; break;
        default: continue;
        }
        // Equal weights mean the same kind of operator: + - * / mod work
        // from left to right, so the last one splits; ^ and functions from
        // right to left, so the first one does.
        const int w = depth + weight;
        if (w < best || (w == best && weight <= 2)) {
            best = w;
            at = i;
        }
    }
    if (at == std::string_view::npos) return {};
    return {EntferneKlammern(text.substr(0, at)), text[at], EntferneKlammern(text.substr(at + 1)), at};
}

bool TVParser::IsZahl(std::string_view text) {
    if (text.size() == 1) {
        static constexpr std::string_view kFunctions = "sctngr";
        if (kFunctions.find(text[0]) != std::string_view::npos) return true;
        if (std::string_view("xabcde").find(Lower(text[0])) != std::string_view::npos) return true;
    }
    if (text.size() == 2 && Lower(text[0]) == 'p' && Lower(text[1]) == 'i') return true;
    return IsLongDoubleText(text);
}

bool TVParser::CreateTree() {
    InitLandDot();
    AnsiString text = EntferneLeerzeichen(expression_);
    text = AnsiString(EntferneKlammern(text));
    expression_ = WandleSinCosTanUm(text);
    nodes_.assign(1, Node{});
    program_.clear();
    built_ = expression_.size() <= MaxLength && MakeTree(expression_);
    if (built_) Compile();
    stack_.assign(program_.size() + 1, 0);
    return built_;
}

// Long by design, see docs/COMPLEXITY.md: the splitting by priority in one loop.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool TVParser::MakeTree(std::string_view text) {
    // The parts still to split, each with its node and how deep it lies
    // inside parentheses and function arguments. A list, not recursion: a
    // long chain of operators makes a deep tree, and no text may exhaust
    // the stack.
    struct Part {
        int node;
        std::string_view text;
        int depth;
    };
    std::vector<Part> parts{{0, text, 0}};
    while (!parts.empty()) {
        const Part part = parts.back();
        parts.pop_back();
        Split s = SplitLowest(part.text);
        if (s.op == 0) {
            if (!IsZahl(part.text)) return false;
            nodes_[static_cast<size_t>(part.node)].text = part.text;
            continue;
        }
        // An operand one level deeper: the argument of a function, or one
        // whose enclosing parentheses SplitLowest removed.
        const int leftDepth = part.depth + (s.left.size() < s.at ? 1 : 0);
        const int rightDepth = part.depth + (s.op == '#' ? 1 : 0) +
                               (s.right.size() < part.text.size() - s.at - 1 ? 1 : 0);
        if (s.op == '-' && s.left.empty()) s.left = "0";
        if (s.left.empty() || s.right.empty()) return false;
        const int right = static_cast<int>(nodes_.size());
        const int left = right + 1;
        nodes_.resize(nodes_.size() + 2);
        nodes_[static_cast<size_t>(part.node)] = {AnsiString(1, s.op), right, left};
        for (auto [child, piece, depth] : {Part{left, s.left, leftDepth}, Part{right, s.right, rightDepth}}) {
            if (depth > MaxDepth) return false;
            nodes_[static_cast<size_t>(child)].text = piece;
            if (!IsZahl(piece)) parts.push_back({child, piece, depth});
        }
    }
    return true;
}

// The program of a built tree, in the order of evaluation: right operand,
// left operand, operator; a function takes its letter from the left operand
// and only the right one is evaluated.
void TVParser::Compile() {
    struct Visit {
        int node;
        bool operandsDone;
    };
    std::vector<Visit> visits{{0, false}};
    while (!visits.empty()) {
        const Visit visit = visits.back();
        visits.pop_back();
        const Node& n = nodes_[static_cast<size_t>(visit.node)];
        if (n.right < 0) {
            Step leaf{Kind::Constant};
            leaf.node = visit.node;
            if (n.text.size() == 1) {
                const size_t v = std::string_view("xabcd").find(Lower(n.text[0]));
                if (v != std::string_view::npos) leaf = {Kind::Variable, static_cast<char>(v)};
            }
            program_.push_back(leaf);
            continue;
        }
        if (!visit.operandsDone) {
            visits.push_back({visit.node, true});
            if (n.text[0] != '#') visits.push_back({n.left, false});
            visits.push_back({n.right, false});  // taken first
            continue;
        }
        Kind kind;
        switch (n.text[0]) {
        case '+': kind = Kind::Add; break;
        case '-': kind = Kind::Sub; break;
        case '*': kind = Kind::Mul; break;
        case '/': kind = Kind::Div; break;
        case 'm': kind = Kind::Mod; break;
        case '^': kind = Kind::Pow; break;
        default: {
            const AnsiString& f = nodes_[static_cast<size_t>(n.left)].text;
            program_.push_back({Kind::Apply, f.size() == 1 ? f[0] : '\0'});
            continue;
        }
        }
        program_.push_back({kind});
    }
}

// ---------------------------------------------------------------- evaluating

long double TVParser::Evaluate() {
    if (!built_) Raise(expression_ + kNotANumber);
    InitLandDot();
    bool sameDot = landDot_.size() == stampDot_.size();
    for (size_t i = 0; sameDot && i < landDot_.size(); ++i) sameDot = landDot_[i] == stampDot_[i];
    if (!sameDot || convertAllColonsAndDots_ != stampConvertAll_) {
        ++stamp_;
        stampDot_ = landDot_;
        stampConvertAll_ = convertAllColonsAndDots_;
    }
    const long double value = Eval();
    result_ = ToDouble(value);  // the text is written from the double
    resultPrecision_ = precision_;
    resultDot_ = landDot_;
    resultPending_ = true;
    return value;
}

AnsiString TVParser::ErgebnisString() const {
    if (resultPending_) {
        ergebnisString_ = LongDoubleToStr(result_, resultPrecision_, resultDot_);
        resultPending_ = false;
    }
    return ergebnisString_;
}

// Long by design, see docs/COMPLEXITY.md: the evaluator's inner loop.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
long double TVParser::Eval() {
    // Before any CreateTree the tree is one empty leaf: 0.
    if (program_.empty()) return StrToLongDouble(nodes_[0].text);
    // The value on top of the stack is kept apart, the others below it.
    long double* below = stack_.data();
    long double top = 0;
    for (Step& step : program_) {
        switch (step.kind) {
        case Kind::Constant:
            if (step.stamp != stamp_) {
                step.value = StrToLongDouble(nodes_[static_cast<size_t>(step.node)].text);
                step.stamp = stamp_;
            }
            *below++ = top;
            top = step.value;
            continue;
        case Kind::Variable: {
            const auto v = static_cast<size_t>(static_cast<unsigned char>(step.letter));
            if (variableStamp_[v] != stamp_) {
                variableValue_[v] = StrToLongDouble(variables_[v]);
                variableStamp_[v] = stamp_;
            }
            *below++ = top;
            top = variableValue_[v];
            continue;
        }
        case Kind::Apply:
            switch (step.letter) {
            case 's': top = std::sin(ToDouble(top)); break;
            case 'c': top = std::cos(ToDouble(top)); break;
            case 't': top = std::tan(ToDouble(top)); break;
            case 'n':
            case 'g':
                if (!(top > 0)) Raise(kLogOfNonPositive);
                top = step.letter == 'n' ? std::log(top) : std::log(top) / std::log(10.0L);
                break;
            case 'r': top = std::fabs(top); break;
            default: top = 0; break;
            }
            continue;
        default: break;
        }
        // The left operand is on top, the right one (evaluated first, so its
        // error was the one raised) below it.
        const long double l = top, r = *--below;
        switch (step.kind) {
        case Kind::Add: top = Finite(l + r); break;
        case Kind::Sub: top = Finite(l - r); break;
        case Kind::Mul: top = l == 0 || r == 0 ? 0 : Finite(l * r); break;
        case Kind::Div:
            if (r == 0) Raise(kDivisionByZero);
            top = Finite(l / r);
            break;
        case Kind::Mod: top = modl(l, r); break;
        default: {
            const double base = ToDouble(l), exponent = ToDouble(r);
            if (base < 0 && exponent != std::trunc(exponent)) Raise(kNegativeRoot);
            if (base == 0 && exponent < 0) Raise(kDivisionByZero);
            // The square as one correctly rounded product.
            top = Finite(exponent == 2 ? base * base : std::pow(base, exponent));
        }
        }
    }
    return top;
}
