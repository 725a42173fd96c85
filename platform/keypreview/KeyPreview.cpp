#include "keypreview/KeyPreview.h"

#include "dialogs/dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

KeyPreview::KeyPreview(QWidget* window, Handler onKeyUp)
    : QObject(window), window_(window), onKeyUp_(std::move(onKeyUp)) {
    qApp->installEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyRelease || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat() || widget->window() != window_) return false;
    // The event is first delivered to the focused control (or the window);
    // deliveries to its parents are the same key travelling on.
    QWidget* first = window_->focusWidget() ? window_->focusWidget() : window_;
    if (widget != first) return false;
    bool consumed = false;
    dialogs::Guard([&] { consumed = onKeyUp_(key); });
    return consumed;
}
