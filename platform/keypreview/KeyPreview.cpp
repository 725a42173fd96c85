#include "platform/keypreview/KeyPreview.h"

#include "platform/dialogs/dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

KeyPreview::KeyPreview(QWidget* window, Handler onKeyUp)
    : QObject(window), window_(window), onKeyUp_(std::move(onKeyUp)) {
    qApp->installEventFilter(this);
}

bool KeyPreview::FirstDeliveryHere(QObject* watched) const {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != window_) return false;
    // The event is first delivered to the focused control (or the window);
    // deliveries to its parents are the same key travelling on.
    QWidget* first = window_->focusWidget() ? window_->focusWidget() : window_;
    return widget == first;
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (FirstDeliveryHere(watched)) pressed_.insert(key->key());
        return false;
    }
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat() || !FirstDeliveryHere(watched)) return false;
        bool pressedHere = pressed_.remove(key->key());
        bool consumed = false;
        dialogs::Guard([&] { consumed = onKeyUp_(key, pressedHere); });
        return consumed;
    }
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
        // Keys held while the window loses the keyboard are released
        // elsewhere; a later release here must not count.
        if (watched == window_) pressed_.clear();
        return false;
    default: return false;
    }
}
