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
