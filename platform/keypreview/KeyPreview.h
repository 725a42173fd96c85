#pragma once
// "Key preview": a window sees the key releases meant for any of its
// controls before they do. Each physical release is offered once (not again
// while the event travels up to the parents, not for auto-repeat), through
// the guarded handler; a handler returning true consumes the key.
//
// The handler also learns whether the window received that key's press: a
// key pressed elsewhere (in a menu, in a message box that closed on the
// press, in another window) and released here did not start in this window.

#include <QObject>
#include <QSet>
#include <functional>

class QKeyEvent;
class QWidget;

class KeyPreview : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(QKeyEvent* key, bool pressedHere)>;
    KeyPreview(QWidget* window, Handler onKeyUp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The event's first delivery in this window: to the focused control, or
    // to the window itself when nothing has the focus.
    bool FirstDeliveryHere(QObject* watched) const;

    QWidget* window_;
    Handler onKeyUp_;
    // Keys whose press this window received and whose release is to come.
    QSet<int> pressed_;
};
