#pragma once
// "Key preview": a window sees the key releases meant for any of its
// controls before they do. Each physical release is offered once (not again
// while the event travels up to the parents, not for auto-repeat), through
// the guarded handler; a handler returning true consumes the key.

#include <QObject>
#include <functional>

class QKeyEvent;
class QWidget;

class KeyPreview : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(QKeyEvent*)>;
    KeyPreview(QWidget* window, Handler onKeyUp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    Handler onKeyUp_;
};
