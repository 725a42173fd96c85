#include "platform/dialogs/dialogs.h"

#include "platform/errors/Exception.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <deque>

namespace dialogs {
namespace {

AnsiString g_title;
BoxDresser g_dresser;

struct TestMode {
    bool enabled = false;
    std::deque<int> answers;
    std::vector<test::ShownBox> log;
    int beeps = 0;
    std::function<void(QWidget*)> whileUp;
};
TestMode& Test() {
    static TestMode mode;
    return mode;
}

QMessageBox::Icon ToQt(Icon icon) {
    switch (icon) {
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Information: return QMessageBox::Information;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

const char* Describe(Buttons b) {
    switch (b) {
    case Buttons::OK: return "OK";
    case Buttons::OKCancel: return "OK/Cancel";
    case Buttons::YesNo: return "Yes/No";
    case Buttons::YesNoCancel: return "Yes/No/Cancel";
    }
    return "?";
}

// Shows the box above the window; in tests whileUp runs once it is up and
// the answer is then chosen.
int ShowQtBox(const AnsiString& text, const AnsiString& caption, Icon icon, Buttons buttons, QWidget* window,
              const std::function<void(QWidget*)>& whileUp = {}, int answer = 0) {
    QMessageBox box(ToQt(icon), ansi::ToQString(caption), ansi::ToQString(text), QMessageBox::NoButton, window);
    KeepAbove(&box, window);
    struct Choice {
        QMessageBox::StandardButton button;
        int answer;
    };
    std::vector<Choice> choices;
    switch (buttons) {
    case Buttons::OK: choices = {{QMessageBox::Ok, IDOK}}; break;
    case Buttons::OKCancel: choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case Buttons::YesNo: choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    case Buttons::YesNoCancel:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    }
    for (const Choice& c : choices) box.addButton(c.button);
    box.setDefaultButton(choices.front().button);
    // Escape and the close box give Cancel where there is one, else No or OK.
    box.setEscapeButton(choices.back().button);
    if (g_dresser) g_dresser(&box);
    if (whileUp)
        QTimer::singleShot(0, &box, [&] {
            whileUp(&box);
            for (const Choice& c : choices)
                if (c.answer == answer) box.button(c.button)->click();
        });
    box.exec();
    for (const Choice& c : choices)
        if (box.clickedButton() == box.button(c.button)) return c.answer;
    return choices.back().answer;
}

}  // namespace

QWidget* OwnerWindow(QWidget* owner) {
    if (owner) return owner->window();
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

void KeepAbove(QWidget* dialog, const QWidget* window) {
    if (window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
}

int MessageBox(const AnsiString& text, const AnsiString& caption, Icon icon, Buttons buttons, QWidget* owner) {
    TestMode& t = Test();
    QWidget* window = OwnerWindow(owner);
    if (!t.enabled) return ShowQtBox(text, caption, icon, buttons, window);
    t.log.push_back({text, caption, icon, buttons, window});
    if (t.answers.empty())
        qFatal("Message box shown without a queued answer: \"%s\" (caption \"%s\", %s)", text.c_str(), caption.c_str(),
               Describe(buttons));
    int answer = t.answers.front();
    t.answers.pop_front();
    if (t.whileUp) return ShowQtBox(text, caption, icon, buttons, window, t.whileUp, answer);
    return answer;
}

void SetBoxDresser(BoxDresser dresser) { g_dresser = std::move(dresser); }

void SetApplicationTitle(const AnsiString& title) { g_title = title; }
const AnsiString& ApplicationTitle() { return g_title; }

AnsiString ErrorBoxText(const AnsiString& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

void ShowCurrentException() {
    AnsiString message;
    try {
        throw;
    } catch (const Exception& e) {
        message = e.Message;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    ShowErrorBox(message);
}

void ShowErrorBox(const AnsiString& message, QWidget* owner) {
    MessageBox(ErrorBoxText(message), g_title, Icon::Error, Buttons::OK, owner);
}

std::unique_ptr<QProgressDialog> ProgressBox(QWidget* window, const char* name, const QString& caption,
                                             const QString& label, int steps) {
    auto progress = std::make_unique<QProgressDialog>(label, "Cancel", 0, steps, window);
    progress->setObjectName(name);
    progress->setWindowTitle(caption);
    // Wide enough for the caption beside the window manager's buttons.
    progress->setMinimumWidth(progress->fontMetrics().horizontalAdvance(caption) + 160);
    progress->setWindowModality(Qt::ApplicationModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->show();
    return progress;
}

void Beep() {
    if (Test().enabled) ++Test().beeps;
    else
        QApplication::beep();
}

namespace test {
void Enable() { Test().enabled = true; }
void Disable() { Test().enabled = false; }
bool Enabled() { return Test().enabled; }
void QueueAnswer(int answer) { Test().answers.push_back(answer); }
void ShowBoxes(std::function<void(QWidget* box)> whileUp) { Test().whileUp = std::move(whileUp); }
int PendingAnswers() { return static_cast<int>(Test().answers.size()); }
const std::vector<ShownBox>& Log() { return Test().log; }
int Beeps() { return Test().beeps; }
void ClearLog() { Test().log.clear(); }
void Reset() {
    Test().log.clear();
    Test().answers.clear();
    Test().beeps = 0;
    Test().whileUp = {};
}
}  // namespace test

}  // namespace dialogs
