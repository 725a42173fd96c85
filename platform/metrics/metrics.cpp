#include "platform/metrics/metrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <limits>

namespace metrics {
namespace {
QSize g_screenOverride;
bool g_failNonClientMetrics = false;

QSize ScreenSize() {
    if (g_screenOverride.isValid()) return g_screenOverride;
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

struct Entry {
    int index;
    QRgb rgb;
};
// The "Windows Standard" scheme.
constexpr Entry kColors[] = {
    {COLOR_ACTIVECAPTION, qRgb(10, 36, 106)},
    {COLOR_INACTIVECAPTION, qRgb(128, 128, 128)},
    {COLOR_WINDOW, qRgb(255, 255, 255)},
    {COLOR_CAPTIONTEXT, qRgb(255, 255, 255)},
    {COLOR_BTNFACE, qRgb(212, 208, 200)},
    {COLOR_BTNSHADOW, qRgb(128, 128, 128)},
    {COLOR_GRAYTEXT, qRgb(128, 128, 128)},
    {COLOR_BTNTEXT, qRgb(0, 0, 0)},
    {COLOR_INACTIVECAPTIONTEXT, qRgb(212, 208, 200)},
    {COLOR_BTNHIGHLIGHT, qRgb(255, 255, 255)},
    {COLOR_3DDKSHADOW, qRgb(64, 64, 64)},
    {COLOR_3DLIGHT, qRgb(212, 208, 200)},
};
}  // namespace

int GetSystemMetrics(Metric metric) {
    switch (metric) {
    case SM_CXSCREEN: return ScreenSize().width();
    case SM_CYSCREEN: return ScreenSize().height();
    case SM_CYCAPTION: return 19;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME: return 3;
    case SM_CXSIZE:
    case SM_CYSIZE: return 18;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXSMICON:
    case SM_CYSMICON:
    case SM_CYSMCAPTION: return 16;
    case SM_CXSMSIZE: return 12;
    case SM_CYSMSIZE: return 15;
    }
    return 0;
}

QRgb GetSysColor(int index) {
    for (const Entry& e : kColors)
        if (e.index == index) return e.rgb;
    return qRgb(0, 0, 0);
}

QRgb ColorToRGB(TColor color) {
    if (color < 0) return GetSysColor(color & 0xFF);
    auto c = static_cast<std::uint32_t>(color);
    return qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

TColor RGBToColor(QRgb rgb) {
    return static_cast<TColor>(static_cast<std::uint32_t>(qRed(rgb)) | static_cast<std::uint32_t>(qGreen(rgb)) << 8 |
                               static_cast<std::uint32_t>(qBlue(rgb)) << 16);
}

LogFont SystemFont() { return {"System", 16, 700, false}; }

bool GetCaptionFont(LogFont& font) {
    if (g_failNonClientMetrics) return false;
    font = {"Tahoma", -11, 700, false};
    return true;
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(number) * numerator;
    long long d = denominator;
    if (d < 0) {
        product = -product;
        d = -d;
    }
    // Round half away from zero.
    long long result = product >= 0 ? (product + d / 2) / d : -((-product + d / 2) / d);
    if (result > std::numeric_limits<int>::max() || result < -std::numeric_limits<int>::max()) return -1;
    return static_cast<int>(result);
}

namespace test {
void SetScreenSize(QSize size) { g_screenOverride = size; }
void FailNonClientMetrics(bool fail) { g_failNonClientMetrics = fail; }
}  // namespace test

}  // namespace metrics
