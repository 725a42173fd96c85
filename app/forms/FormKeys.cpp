#include "app/forms/FormKeys.h"

#include "platform/keypreview/KeyPreview.h"

#include <QWidget>

FormKeys::FormKeys(QWidget* window, Handler onKeyUp)
    : QObject(window), onKeyUp_(std::move(onKeyUp)),
      preview_(new KeyPreview(window, [this](QKeyEvent* key, bool pressedHere) { return KeyUp(key, pressedHere); })) {}

bool FormKeys::KeyUp(QKeyEvent* key, bool pressedHere) {
    // A release whose press this window saw acts even with SkipNextKeyUp
    // set: the box was answered some other way, and the user is typing anew.
    SkipNextKeyUp = false;
    return pressedHere && onKeyUp_(key);
}

int FormKeys::MessageBox(const AnsiString& text, const AnsiString& caption, dialogs::Icon icon,
                         dialogs::Buttons buttons) {
    SkipNextKeyUp = true;
    return dialogs::MessageBox(text, caption, icon, buttons, Window());
}

void FormKeys::ShowError(const AnsiString& message) {
    SkipNextKeyUp = true;
    dialogs::ShowErrorBox(message, Window());
}

QWidget* FormKeys::Window() const { return static_cast<QWidget*>(parent()); }
