#include "app/forms/TFrame5.h"

#include <QPainter>

void TBitmapImage::ClearPicture() {
    picture_.Clear(width(), height());
    update();
}

void TBitmapImage::paintEvent(QPaintEvent*) {
    if (picture_.Empty()) return;
    QPainter p(this);
    p.drawImage(0, 0, picture_.Image());
}

TFrame5::TFrame5(QWidget* parent) : QScrollArea(parent) {
    setObjectName("Frame51");
    Image1 = new TBitmapImage;
    Image1->setObjectName("Image1");
    setWidget(Image1);
}
