#include "app/forms/TImage.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter p(this);
    if (stretch_) p.drawImage(rect(), picture_);
    else
        p.drawImage(0, 0, picture_);
}

void TileImage(const TImage* source, TImage* target) {
    QImage canvas(target->size(), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    const QImage& tile = source->Picture();
    int w = tile.width(), h = tile.height();
    if (w > 0 && h > 0) {
        QScreen* screen = QGuiApplication::primaryScreen();
        int screenHeight = screen ? screen->size().height() : canvas.height();
        QPainter p(&canvas);
        for (int x = 0; x < canvas.width(); x += w)
            for (int y = 0; y < screenHeight && y < canvas.height(); y += h) p.drawImage(x, y, tile);
    }
    target->SetPicture(canvas);
}
