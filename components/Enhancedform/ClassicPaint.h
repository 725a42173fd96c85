#pragma once
// Drawing in the classic style of the system: the raised window frame and
// the caption buttons (close, minimize, maximize, restore, help) with their
// normal, pushed and greyed-out looks, in the system colours.

#include "components/Enhancedform/CaptionGeometry.h"

class QPainter;

namespace ef {

// The frame of a window of the given size: a raised two-pixel edge and the
// button face over everything outside `client`, except `caption`.
void DrawWindowFrame(QPainter& painter, QSize window, const QRect& client, const QRect& caption);

// A caption button into its rectangle.
void DrawCaptionButton(QPainter& painter, const QRect& rect, Glyph glyph, bool pushed, bool inactive);

// The system's default application icon at 16 x 16 pixels.
QImage DefaultApplicationIcon();

}  // namespace ef
