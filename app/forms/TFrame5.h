#pragma once
// The picture frame: a scrolling frame holding one image whose picture is a
// bitmap to draw on. The main window keeps one, hidden, as the print page.

#include "platform/graphics/graphics.h"

#include <QScrollArea>

// An image control whose picture is drawn on through the bitmap's canvas.
class TBitmapImage : public QWidget {
    Q_OBJECT
public:
    explicit TBitmapImage(QWidget* parent = nullptr) : QWidget(parent) {}

    TBitmap& Picture() { return picture_; }
    // A fresh white picture of the control's size.
    void ClearPicture();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    TBitmap picture_;
};

class TFrame5 : public QScrollArea {
    Q_OBJECT
public:
    explicit TFrame5(QWidget* parent = nullptr);

    TBitmapImage* Image1;
};
