#pragma once
// TImageList: a list of small pictures of one size, taken by position.

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QVector>

class TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(QObject* owner = nullptr) : QObject(owner) {}

    int Count() const { return static_cast<int>(images_.size()); }
    // Appends a picture and returns its position.
    int Add(const QImage& image) {
        images_.append(image);
        return Count() - 1;
    }
    // Removes the picture at the position; a position outside the list does nothing.
    void Delete(int index) {
        if (index >= 0 && index < Count()) images_.removeAt(index);
    }
    void Clear() { images_.clear(); }
    // The picture at the position as an icon; a null icon outside the list.
    QIcon GetIcon(int index) const {
        if (index < 0 || index >= Count()) return {};
        return QIcon(QPixmap::fromImage(images_.at(index)));
    }

private:
    QVector<QImage> images_;
};
