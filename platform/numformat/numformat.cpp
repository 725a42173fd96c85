#include "platform/numformat/numformat.h"

#include "platform/ansi/ansi.h"

#include <QLocale>
#include <optional>

namespace numformat {
namespace {

char SystemSeparator() {
    // A separator the 8-bit code page cannot hold (or an empty one) leaves
    // the point, which every number reader here understands.
    static const char separator = [] {
        const QString point = QLocale::system().decimalPoint();
        if (point.isEmpty() || !ansi::CanEncode(point.front())) return '.';
        return ansi::FromQString(point.left(1)).front();
    }();
    return separator;
}

std::optional<char>& Override() {
    static std::optional<char> separator;
    return separator;
}

}  // namespace

char DecimalSeparator() { return Override() ? *Override() : SystemSeparator(); }

namespace test {
void SetDecimalSeparator(char separator) { Override() = separator; }
void Reset() { Override().reset(); }
}  // namespace test

}  // namespace numformat
