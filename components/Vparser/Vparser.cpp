#include "Vparser/Vparser.h"

#include "errors/Exception.h"
#include "numformat/numformat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

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

// A decimal number at the start of a text: blanks, an optional sign, digits
// with an optional `point` and fraction, an optional exponent. Reading stops
// at the first character that does not fit; without digits the value is 0.
struct Scanned {
    size_t end = 0;  // one past the last character read
    long double value = 0;
    bool overflow = false;
};

Scanned ScanNumber(std::string_view s, char point) {
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
    if (i < n && s[i] == point) {
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

    // The significant digits, without leading zeros, and the power of ten of
    // the last one.
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

// 15 significant digits of a value and the power of ten of the first one.
struct Digits {
    char digit[15];
    int exponent;
};
template <class F>
Digits SignificantDigits(F value) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    (void)ec;
    Digits d{};
    d.digit[0] = buf[0];
    for (int i = 1; i < 15; ++i) d.digit[i] = buf[i + 1];  // skip the point
    // "d.dddddddddddddde+XX": the exponent's sign at 17
    const char* e = buf[17] == '+' ? buf + 18 : buf + 17;
    std::from_chars(e, end, d.exponent);
    return d;
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
    Scanned s = ScanNumber(text, numformat::DecimalSeparator());
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
    AnsiString text = value < 0 ? "-" : "";
    if (d.exponent >= 15 || d.exponent < -4) {
        text += d.digit[0];
        if (count > 1) text.append(1, point).append(d.digit + 1, static_cast<size_t>(count - 1));
        text += 'E';
        text += std::to_string(d.exponent);
    } else if (d.exponent >= 0) {
        const int intDigits = d.exponent + 1;
        for (int i = 0; i < intDigits; ++i) text += i < count ? d.digit[i] : '0';
        if (count > intDigits) text.append(1, point).append(d.digit + intDigits, static_cast<size_t>(count - intDigits));
    } else {
        text.append("0").append(1, point).append(static_cast<size_t>(-d.exponent - 1), '0');
        text.append(d.digit, static_cast<size_t>(count));
    }
    return text;
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
            else if (first == 'e') text = value = "2" + landDot_ + "7182818";
        } else if (first == 'p' && Lower(text[1]) == 'i') {
            text = value = "3" + landDot_ + "1415927";
        }
    }
    AnsiString normal(text);
    for (char& c : normal) {
        if (convertAllColonsAndDots_ && c == ',') c = '.';
        if (landDot_.size() == 1 && c == landDot_[0]) c = '.';
    }
    Scanned s = ScanNumber(normal, '.');
    if (s.overflow) Raise(normal + kNotANumber);
    return s.value;
}

long double TVParser::modl(long double a, long double b) {
    if (b == 0) return 0;
    const long double q = std::trunc(a / b);
    // Beyond the 64-bit range (1e30 mod 7) the quotient has no integer to
    // take, and the exact remainder is the only sound answer.
    constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
    if (!(q > -kLimit && q < kLimit)) return std::fmod(a, b);
    return a - b * static_cast<long double>(static_cast<int64_t>(q));
}

AnsiString TVParser::EntferneNullenUndPunkte(AnsiString text, std::string_view symbol) {
    const size_t at = symbol.empty() ? AnsiString::npos : text.rfind(symbol);
    if (at != AnsiString::npos) {
        size_t end = text.size();
        while (end > at + symbol.size() && text[end - 1] == '0') --end;
        text.resize(end);
        if (text.size() == at + symbol.size()) text.resize(at);
    }
    if (!symbol.empty() && text.compare(0, symbol.size(), symbol) == 0) text = "0" + text;
    return text;
}

AnsiString TVParser::LongDoubleToStr(long double value) const {
    const double d = ToDouble(value);
    if (d == 0) return "0";
    // The double's value to 15 significant digits (what it holds), rounded
    // half away from zero to Precision places.
    const Digits sig = SignificantDigits(d);
    std::string digits(sig.digit, 15);
    long long point = sig.exponent + 1;  // digits before the decimal point
    const long long keep = point + std::max(precision_, 0);
    if (keep < 0) return "0";
    if (keep < 15) {
        const bool up = digits[static_cast<size_t>(keep)] >= '5';
        digits.resize(static_cast<size_t>(keep));
        if (up) {
            size_t k = digits.size();
            while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
            if (k > 0) ++digits[k - 1];
            else {
                digits = "1" + digits;
                ++point;
            }
        }
    }
    if (digits.find_first_not_of('0') == std::string::npos) return "0";  // never "-0"
    AnsiString text;
    if (point > 0) {
        const size_t p = static_cast<size_t>(point);
        if (digits.size() < p) digits.append(p - digits.size(), '0');
        text = digits.substr(0, p) + landDot_ + digits.substr(p);
    } else {
        text = "0" + landDot_ + AnsiString(static_cast<size_t>(-point), '0') + digits;
    }
    text = EntferneNullenUndPunkte(std::move(text), landDot_);
    return d < 0 ? "-" + text : text;
}

// ---------------------------------------------------------------- preparing

void TVParser::InitLandDot() {
    landDot_ = overwriteDecimalSymbol_.empty() ? AnsiString(1, numformat::DecimalSeparator()) : overwriteDecimalSymbol_;
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
    } kNames[] = {{"sin", "s#"}, {"cos", "c#"}, {"tan", "t#"}, {"ln", "n#"},
                  {"lg", "g#"},  {"abs", "r#"}, {"mod", "m"}};
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
        if (convertAllColonsAndDots_ && (text[i] == '.' || text[i] == ','))
            out += landDot_;
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
            case '+': case '-': weight = 1; break;
            case '*': case '/': case 'm': weight = 2; break;
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
    return {EntferneKlammern(text.substr(0, at)), text[at], EntferneKlammern(text.substr(at + 1))};
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
    ++stamp_;
    built_ = expression_.size() <= MaxLength && MakeTree(0, expression_, 1);
    return built_;
}

void TVParser::MakeLeaf(int node, std::string_view text) {
    Node& n = nodes_[static_cast<size_t>(node)];
    n.text = text;
    n.kind = Kind::Constant;
    if (text.size() == 1) {
        size_t v = std::string_view("xabcd").find(Lower(text[0]));
        if (v != std::string_view::npos) {
            n.kind = Kind::Variable;
            n.variable = static_cast<unsigned char>(v);
        }
    }
}

bool TVParser::MakeTree(int node, std::string_view text, int depth) {
    if (depth > MaxDepth) return false;
    Split s = SplitLowest(text);
    if (s.op == '-' && s.left.empty()) s.left = "0";
    if (s.op == 0) {
        if (!IsZahl(text)) return false;
        MakeLeaf(node, text);
        return true;
    }
    if (s.left.empty() || s.right.empty()) return false;
    Kind kind = Kind::Add;
    switch (s.op) {
        case '+': kind = Kind::Add; break;
        case '-': kind = Kind::Sub; break;
        case '*': kind = Kind::Mul; break;
        case '/': kind = Kind::Div; break;
        case 'm': kind = Kind::Mod; break;
        case '^': kind = Kind::Pow; break;
        default: kind = Kind::Apply; break;
    }
    const int right = static_cast<int>(nodes_.size());
    const int left = right + 1;
    nodes_.resize(nodes_.size() + 2);
    Node& n = nodes_[static_cast<size_t>(node)];
    n.text = AnsiString(1, s.op);
    n.kind = kind;
    n.right = right;
    n.left = left;
    for (auto [child, part] : {std::pair{left, s.left}, std::pair{right, s.right}}) {
        if (IsZahl(part))
            MakeLeaf(child, part);
        else if (!MakeTree(child, part, depth + 1))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- evaluating

long double TVParser::Evaluate() {
    if (!built_) Raise(expression_ + kNotANumber);
    InitLandDot();
    if (landDot_ != stampDot_ || convertAllColonsAndDots_ != stampConvertAll_) {
        ++stamp_;
        stampDot_ = landDot_;
        stampConvertAll_ = convertAllColonsAndDots_;
    }
    ++round_;
    const long double value = Eval(0);
    ergebnisString_ = LongDoubleToStr(value);
    return value;
}

long double TVParser::Eval(int index) {
    Node& n = nodes_[static_cast<size_t>(index)];
    switch (n.kind) {
        case Kind::Constant:
            if (n.stamp != stamp_) {
                n.value = StrToLongDouble(n.text);
                n.stamp = stamp_;
            }
            return n.value;
        case Kind::Variable:
            if (variableRound_[n.variable] != round_) {
                variableValue_[n.variable] = StrToLongDouble(n.text);
                variableRound_[n.variable] = round_;
            }
            return variableValue_[n.variable];
        case Kind::Apply: {
            const long double r = Eval(n.right);
            const AnsiString& f = nodes_[static_cast<size_t>(n.left)].text;
            switch (f.size() == 1 ? f[0] : 0) {
                case 's': return std::sin(ToDouble(r));
                case 'c': return std::cos(ToDouble(r));
                case 't': return std::tan(ToDouble(r));
                case 'n':
                case 'g':
                    if (!(r > 0)) Raise(kLogOfNonPositive);
                    return f[0] == 'n' ? std::log(r) : std::log(r) / std::log(10.0L);
                case 'r': return std::fabs(r);
                default: return 0;
            }
        }
        default: break;
    }
    // The right operand first: its error is the one raised.
    const long double r = Eval(n.right);
    const long double l = Eval(n.left);
    switch (n.kind) {
        case Kind::Add: return Finite(l + r);
        case Kind::Sub: return Finite(l - r);
        case Kind::Mul: return l == 0 || r == 0 ? 0 : Finite(l * r);
        case Kind::Div:
            if (r == 0) Raise(kDivisionByZero);
            return Finite(l / r);
        case Kind::Mod: return modl(l, r);
        default: {
            const double base = ToDouble(l), exponent = ToDouble(r);
            if (base < 0 && exponent != std::trunc(exponent)) Raise(kNegativeRoot);
            if (base == 0 && exponent < 0) Raise(kDivisionByZero);
            return Finite(std::pow(base, exponent));
        }
    }
}
