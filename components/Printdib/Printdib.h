#pragma once
// TPrintDIB: draws a bitmap onto any canvas, scaled into a rectangle, by way
// of a device-independent bitmap: the bitmap's pixels are packed into a DIB
// buffer and the packed rows are stretched onto the target. Printers take
// pictures this way whatever the screen's pixels look like.

#include "platform/graphics/graphics.h"

#include <QObject>

class TPrintDIB : public QObject {
    Q_OBJECT
public:
    explicit TPrintDIB(QObject* owner = nullptr) : QObject(owner) {}

    // The whole bitmap, stretched into the rectangle of the canvas whose
    // top left corner is (X, Y). A zero width or height draws nothing. The
    // bitmap is the same after the call. Failures of the drawing itself
    // leave the canvas unpainted and are not reported; a pixel buffer that
    // cannot be had raises EOutOfMemory.
    void StretchDrawDIB(TCanvas& Canvas, int X, int Y, int Width, int Height, TBitmap& Bitmap);
};
