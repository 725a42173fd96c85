#pragma once
// The platform's modal message box and the application's default error box.
// In tests every box is logged instead of shown and answered from a queue.

#include "platform/ansi/ansi.h"

#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

class QProgressDialog;
class QString;
class QWidget;

namespace dialogs {

enum class Icon { None, Error, Warning, Question, Information };
enum class Buttons { OK, OKCancel, YesNo, YesNoCancel };
enum Answer { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Shows a modal message box and returns the button the user chose. The box
// opens above the window that raised it (the window of owner), modal, and
// on top of other windows when that window is.
int MessageBox(const AnsiString& text, const AnsiString& caption, Icon icon, Buttons buttons, QWidget* owner = nullptr);

// The window a box or dialog raised by owner belongs to: owner's window;
// without an owner the window the user is in, that is the modal dialog on
// top, else the active window.
QWidget* OwnerWindow(QWidget* owner);
// Makes a box or dialog about to open above its owner's window stay above
// it: on top of other windows when that window is.
void KeepAbove(QWidget* dialog, const QWidget* window);

// What dresses each message box before it shows: the program gives its boxes
// the caption bar its windows wear, which offers a box (a fixed-size dialog)
// the close button only. Without one the window manager dresses the box, and
// may offer to minimize and maximize it.
using BoxDresser = std::function<void(QWidget* box)>;
void SetBoxDresser(BoxDresser dresser);

// The application title: caption of the default error box.
void SetApplicationTitle(const AnsiString& title);
const AnsiString& ApplicationTitle();

// The default error box's text: the message with a full stop added when the
// code of its last character is above that of '.'.
AnsiString ErrorBoxText(const AnsiString& message);
// Shows the default error box for the exception being handled. Call it only
// from inside a catch block.
void ShowCurrentException();
// Shows the default error box for an error's message.
void ShowErrorBox(const AnsiString& message, QWidget* owner = nullptr);

// A progress dialog for long work over the window, shown at once, modal,
// wide enough for its caption: its Cancel (the button, Escape or the close
// button) is seen through wasCanceled().
std::unique_ptr<QProgressDialog> ProgressBox(QWidget* window, const char* name, const QString& caption,
                                             const QString& label, int steps);

// The system's warning sound. In tests it is counted, not sounded.
void Beep();

// Runs an event handler; an error that escapes it is shown in the default
// error box and the program goes on. Every entry point from the event loop
// into the program's handlers goes through here.
template <class F>
void Guard(F&& handler) {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        ShowCurrentException();
    }
}

namespace detail {
template <class F, class... A>
void CallDropping(const F& handler, A&&... args) {
    if constexpr (std::is_invocable_v<const F&, A...>) handler(std::forward<A>(args)...);
    else
        handler();
}
}  // namespace detail

// Wraps a handler for a signal connection; signal arguments the handler
// does not take are dropped.
template <class F>
auto Guarded(F handler) {
    return [handler](auto&&... args) {
        Guard([&] { detail::CallDropping(handler, std::forward<decltype(args)>(args)...); });
    };
}

namespace test {
struct ShownBox {
    AnsiString text, caption;
    Icon icon;
    Buttons buttons;
    const QWidget* window;  // the window the box opens above (OwnerWindow)
};
// From now on boxes are not shown: each is logged and answered with the next
// queued answer. A box with no answer queued ends the test run at once.
void Enable();
// Boxes show for real again (for a test that drives a box itself) until the
// next Enable.
void Disable();
bool Enabled();
void QueueAnswer(int answer);
// From now on boxes are logged and shown for real: once a box is up, the
// test's steps run with it, then the box is answered with its queued
// answer. An empty function goes back to logging only.
void ShowBoxes(std::function<void(QWidget* box)> whileUp);
int PendingAnswers();
const std::vector<ShownBox>& Log();
// How many times Beep was called since the last Reset.
int Beeps();
void ClearLog();
// Forgets the log and every answer still queued.
void Reset();
}  // namespace test

}  // namespace dialogs
