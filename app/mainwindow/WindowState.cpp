#include "app/mainwindow/WindowState.h"

#include "components/Vreg/Vreg.h"
#include "platform/errors/Exception.h"
#include "platform/metrics/metrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <algorithm>

namespace {

constexpr const char* kLeft = "WindowLeft";
constexpr const char* kTop = "WindowTop";
constexpr const char* kWidth = "WindowWidth";
constexpr const char* kHeight = "WindowHeight";
constexpr const char* kMaximized = "WindowMaximized";
constexpr const char* kSortColumn = "SortColumn";
constexpr const char* kSortDescending = "SortDescending";
constexpr const char* kColumnWidths = "ColumnWidths";

// Sizes beyond any screen come from a damaged or hand-edited value.
constexpr int kLargest = 100000;

// A value stored as anything but text reads as missing.
AnsiString Text(TVReg& settings, const char* name) {
    try {
        return settings.Pop(name);
    } catch (const ERegistryException&) {
        return {};
    }
}

std::optional<int> Number(TVReg& settings, const char* name) { return ansi::TryStrToInt(Text(settings, name)); }

bool Within(std::optional<int> value, int low, int high) { return value && *value >= low && *value <= high; }

}  // namespace

MainWindowState ReadMainWindowState(TVReg& settings, int columns) {
    MainWindowState state;
    auto left = Number(settings, kLeft), top = Number(settings, kTop);
    auto width = Number(settings, kWidth), height = Number(settings, kHeight);
    if (Within(left, -kLargest, kLargest) && Within(top, -kLargest, kLargest) && Within(width, 1, kLargest) &&
        Within(height, 1, kLargest))
        state.geometry = QRect(*left, *top, *width, *height);
    state.maximized = Number(settings, kMaximized) == 1;
    if (auto column = Number(settings, kSortColumn); Within(column, 0, columns - 1)) {
        state.sortColumn = column;
        state.sortDescending = Number(settings, kSortDescending) == 1;
    }
    std::vector<int> widths;
    for (const QString& w : ansi::ToQString(Text(settings, kColumnWidths)).split(',')) {
        const auto value = ansi::TryStrToInt(ansi::FromQString(w));
        if (!Within(value, 1, kLargest)) break;
        widths.push_back(*value);
    }
    if (widths.size() == static_cast<size_t>(columns)) state.columnWidths = widths;
    return state;
}

void WriteMainWindowState(TVReg& settings, const MainWindowState& state) {
    auto number = [&settings](const char* name, std::optional<int> value) {
        settings.Push(name, value ? ansi::IntToStr(*value) : AnsiString());
    };
    const std::optional<QRect> g = state.geometry;
    number(kLeft, g ? std::optional(g->left()) : std::nullopt);
    number(kTop, g ? std::optional(g->top()) : std::nullopt);
    number(kWidth, g ? std::optional(g->width()) : std::nullopt);
    number(kHeight, g ? std::optional(g->height()) : std::nullopt);
    number(kMaximized, state.maximized ? 1 : 0);
    number(kSortColumn, state.sortColumn);
    number(kSortDescending, state.sortColumn ? std::optional(state.sortDescending ? 1 : 0) : std::nullopt);
    QStringList widths;
    for (int w : state.columnWidths) widths << QString::number(w);
    settings.Push(kColumnWidths, ansi::FromQString(widths.join(',')));
}

bool ReachableOnScreen(const QRect& geometry) {
    // The strip the user drags the window by, and how much of it must show.
    const QRect caption(geometry.topLeft(), QSize(geometry.width(), metrics::GetSystemMetrics(metrics::SM_CYCAPTION)));
    const int enough = std::min(geometry.width(), 64);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shown = caption & screen->availableGeometry();
        if (shown.width() >= enough && shown.height() >= caption.height() / 2) return true;
    }
    return false;
}
