#include "forms/FormKeys.h"

#include "keypreview/KeyPreview.h"

#include <QWidget>

FormKeys::FormKeys(QWidget* window, Handler onKeyUp)
    : QObject(window), onKeyUp_(std::move(onKeyUp)),
      preview_(new KeyPreview(window, [this](QKeyEvent* key) { return KeyUp(key); })) {}

bool FormKeys::KeyUp(QKeyEvent* key) {
    if (SkipNextKeyUp) {
        SkipNextKeyUp = false;
        return false;
    }
    return onKeyUp_(key);
}

int FormKeys::MessageBox(const AnsiString& text, const AnsiString& caption, dialogs::Icon icon,
                         dialogs::Buttons buttons) {
    SkipNextKeyUp = true;
    return dialogs::MessageBox(text, caption, icon, buttons);
}

void FormKeys::ShowError(const AnsiString& message) {
    SkipNextKeyUp = true;
    dialogs::ShowErrorBox(message);
}
