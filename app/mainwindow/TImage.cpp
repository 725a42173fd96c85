#include "mainwindow/TImage.h"

#include <QPainter>

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter p(this);
    if (stretch_) p.drawImage(rect(), picture_);
    else p.drawImage(0, 0, picture_);
}
