#pragma once
// A picture holder: shows its picture at the top left, or stretched over the
// whole control. An empty picture shows nothing (the parent shows through).

#include <QImage>
#include <QWidget>

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr) : QWidget(parent) {}

    const QImage& Picture() const { return picture_; }
    // The picture itself, for whoever fills it in place (a hidden image that
    // receives a scanned page); the control shows it at its next paint.
    QImage& Bitmap() { return picture_; }
    void SetPicture(const QImage& picture) {
        picture_ = picture;
        update();
    }
    void ClearPicture() { SetPicture({}); }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch) {
        stretch_ = stretch;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage picture_;
    bool stretch_ = false;
};

// Gives the target a fresh white picture of its own size and tiles the
// source's picture over it: columns from the left while inside the target,
// rows from the top while inside the target and the screen's height.
void TileImage(const TImage* source, TImage* target);
