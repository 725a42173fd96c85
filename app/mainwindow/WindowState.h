#pragma once
// What the main window remembers from one run to the next: its place, size
// and maximized state, the column and direction the film list was last
// sorted by, and the column widths the user changed. Kept as values of the
// settings store, written when the window closes.

#include "platform/ansi/ansi.h"

#include <QRect>
#include <optional>
#include <vector>

class TVReg;

struct MainWindowState {
    // The place and size as a normal (not maximized) window.
    std::optional<QRect> geometry;
    bool maximized = false;
    // The column whose header shows the sort mark; none before the first sort.
    std::optional<int> sortColumn;
    bool sortDescending = false;
    // One width per column; empty: the widths the list starts with.
    std::vector<int> columnWidths;
};

// What the store holds for a list of that many columns. A value that is
// missing or does not read as it should leaves its part unset.
MainWindowState ReadMainWindowState(TVReg& settings, int columns);
// Replaces what the store holds; parts that are unset are stored empty.
void WriteMainWindowState(TVReg& settings, const MainWindowState& state);

// Whether a window of that geometry could be reached now: enough of its
// caption strip lies on one of the screens to take hold of it.
bool ReachableOnScreen(const QRect& geometry);
