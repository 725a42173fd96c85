#include "platform/ansi/ansi.h"

#include "platform/errors/Exception.h"

#include <algorithm>
#include <charconv>

namespace ansi {
namespace {

// Unicode code points of the bytes 0x80..0x9F; the five undefined bytes map
// onto the C1 control of the same number, as the system's conversion does.
constexpr char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::optional<char> Encode(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == u) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

QString ToQString(std::string_view text) {
    QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        *d++ = QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b));
    }
    return out;
}

AnsiString FromQString(const QString& text) {
    AnsiString out;
    out.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text) out += Encode(c.unicode()).value_or('?');
    return out;
}

bool CanEncode(QChar c) { return Encode(c.unicode()).has_value(); }

void AppendUtf8(std::string& out, std::string_view text) {
    auto put = [&out](unsigned bits) { out += static_cast<char>(bits); };
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
            continue;
        }
        const unsigned u = b < 0xA0 ? kHighControls[b - 0x80] : b;
        if (u < 0x800) {
            put(0xC0 | (u >> 6));
        } else {
            put(0xE0 | (u >> 12));
            put(0x80 | ((u >> 6) & 0x3F));
        }
        put(0x80 | (u & 0x3F));
    }
}

QString ToShownQString(std::string_view text) { return ToQString(ShownPart(text)); }

AnsiString TrimLeft(std::string_view text) {
    size_t b = 0;
    while (b < text.size() && IsBlankChar(text[b])) ++b;
    return AnsiString(text.substr(b));
}

AnsiString TrimRight(std::string_view text) {
    size_t e = text.size();
    while (e > 0 && IsBlankChar(text[e - 1])) --e;
    return AnsiString(text.substr(0, e));
}

AnsiString Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

bool IsBlank(std::string_view text) { return std::all_of(text.begin(), text.end(), IsBlankChar); }

AnsiString UpperCase(std::string_view text) {
    AnsiString out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

AnsiString LowerCase(std::string_view text) {
    AnsiString out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

AnsiString AnsiLowerCase(std::string_view text) {
    AnsiString out(text);
    for (char& c : out) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) c = static_cast<char>(u + 0x20);
        else if (u == 0x8A || u == 0x8C || u == 0x8E)
            c = static_cast<char>(u + 0x10);
        else if (u == 0x9F)
            c = static_cast<char>(0xFF);
    }
    return out;
}

std::optional<int> TryStrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return std::nullopt;
    return static_cast<int>(value);
}

int StrToIntDef(std::string_view text, int fallback) { return TryStrToInt(text).value_or(fallback); }

int StrToInt(std::string_view text) {
    if (auto v = TryStrToInt(text)) return *v;
    throw EConvertError(Format("'%s' is not a valid integer value", text));
}

AnsiString IntToStr(long long value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return AnsiString(buf, r.ptr);
}

AnsiString Format(std::string_view pattern, std::string_view argument) {
    AnsiString out;
    size_t at = pattern.find("%s");
    if (at == std::string_view::npos) return AnsiString(pattern);
    out.reserve(pattern.size() + argument.size());
    out.append(pattern.substr(0, at)).append(argument).append(pattern.substr(at + 2));
    return out;
}

}  // namespace ansi
