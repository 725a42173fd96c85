// Loaded into the installed program with LD_PRELOAD by test_package.sh: a
// user at the keyboard adds the film named by FLICKSTOW_TEST_TITLE (F2, the
// title, Enter for "Save & New Entry", Escape), closes the main window with
// Escape and answers Yes to saving. Gives up, and ends the program with status 3, after a minute.

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>

namespace {

QWidget* Shown(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == name) return w;
    return nullptr;
}
bool Visible(const char* name) { return Shown(name) != nullptr; }

bool FocusIs(const char* name) {
    return QApplication::focusWidget() && QApplication::focusWidget()->objectName() == name;
}

// A key that may open a modal window is pressed from an event of its own:
// the window's event loop must not run inside the polling timer's handler,
// which Qt does not call again until it returns.
void Key(Qt::Key key) {
    QTimer::singleShot(0, [key] { QTest::keyClick(QApplication::focusWidget(), key); });
}

// The user's step, once the program is ready for it: false while it is not.
bool TakeStep(int step) {
    switch (step) {
    case 0:  // the main window, with the film list in focus: New Entry
        if (!Visible("Form1") || !FocusIs("ListView1")) return false;
        Key(Qt::Key_F2);
        return true;
    case 1:  // the editor, with the focus in the title: type it, Save & New Entry
        if (!Visible("Form2") || !FocusIs("Edit1")) return false;
        QTest::keyClicks(QApplication::focusWidget(), qEnvironmentVariable("FLICKSTOW_TEST_TITLE"));
        Key(Qt::Key_Return);
        return true;
    case 2:  // the editor again, emptied for the next film: close it
        if (!FocusIs("Edit1") || !qobject_cast<QLineEdit*>(QApplication::focusWidget())->text().isEmpty()) return false;
        Key(Qt::Key_Escape);
        return true;
    case 3:  // back in the list: close the window
        if (Visible("Form2")) return false;
        // The offscreen platform has no window manager to give the main
        // window back the focus when the editor closes.
        if (!QApplication::activeWindow()) QApplication::setActiveWindow(Shown("Form1"));
        if (!FocusIs("ListView1")) return false;
        Key(Qt::Key_Escape);
        return true;
    case 4:  // "Save changes": Yes
        if (!qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) || !QApplication::focusWidget())
            return false;
        Key(Qt::Key_Y);
        return true;
    default: return false;
    }
}

void Start() {
    // Only the program itself: the launcher's shell and tools load this too.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    auto* poll = new QTimer(QCoreApplication::instance());
    auto step = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [step] {
        if (TakeStep(*step)) ++*step;
    });
    poll->start(50);
    QTimer::singleShot(60000, [step] {
        QWidget* focus = QApplication::focusWidget();
        qCritical("user_at_keyboard: stuck at step %d, the focus in a %s", *step,
                  focus ? focus->metaObject()->className() : "nothing");
        std::_Exit(3);
    });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
