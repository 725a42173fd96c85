#pragma once
// How the program's windows take keys. A window sees every key release meant
// for one of its controls before the control does (key preview) and hands it
// to its FormKeyUp handler, which acts on the release. The release of a key
// that answered a message box shown from a key-driven action must not act a
// second time: such boxes go through MessageBox here, which sets
// SkipNextKeyUp so that the next release is ignored.

#include "ansi/ansi.h"
#include "dialogs/dialogs.h"

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

    // A message box shown from an action a key may have started.
    int MessageBox(const AnsiString& text, const AnsiString& caption, dialogs::Icon icon, dialogs::Buttons buttons);
    // The default error box for an error reported while a key may be down.
    void ShowError(const AnsiString& message);

private:
    bool KeyUp(QKeyEvent* key);

    Handler onKeyUp_;
    KeyPreview* preview_;
};
