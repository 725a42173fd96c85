#pragma once
// How the program's windows take keys. A window sees every key release meant
// for one of its controls before the control does (key preview) and hands it
// to its FormKeyUp handler, which acts on the release.
//
// A window acts on a key release only when it also received that key's
// press: the key that chose a menu item, answered a message box or closed
// another window is released here without having been pressed here, and
// never acts a second time. On top of that, a message box shown from a
// key-driven action goes through MessageBox here, which sets SkipNextKeyUp:
// the next release that reaches the window is ignored, unless the window saw
// that key pressed (the box was answered some other way and the user is
// typing anew).

#include "platform/ansi/ansi.h"
#include "platform/dialogs/dialogs.h"

#include <QObject>
#include <functional>

class KeyPreview;
class QKeyEvent;
class QWidget;

class FormKeys : public QObject {
    Q_OBJECT
public:
    // The handler returns true when it consumed the key.
    using Handler = std::function<bool(QKeyEvent*)>;
    FormKeys(QWidget* window, Handler onKeyUp);

    // The next key release that reaches the window is ignored.
    bool SkipNextKeyUp = false;

    // A message box shown from an action a key may have started; it opens
    // above this window.
    int MessageBox(const AnsiString& text, const AnsiString& caption, dialogs::Icon icon, dialogs::Buttons buttons);
    // The default error box for an error reported while a key may be down.
    void ShowError(const AnsiString& message);

private:
    QWidget* Window() const;
    bool KeyUp(QKeyEvent* key, bool pressedHere);

    Handler onKeyUp_;
    KeyPreview* preview_;
};
