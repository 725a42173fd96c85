#pragma once
// The program's windows as start-up creates them, for the tests that drive
// the dialogs: the main window, the entry editor, the About box and the
// genre editor.

#include "app/about/TForm3.h"
#include "app/catalogue/CatalogueModel.h"
#include "app/entryeditor/TForm2.h"
#include "app/genres/TForm4.h"
#include "app/mainwindow/TForm1.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QTableView>
#include <QTimer>
#include <functional>
#include <memory>

namespace testsupport {

struct Windows {
    std::unique_ptr<TForm1> form1;
    TForm2* form2 = nullptr;
    TForm3* form3 = nullptr;
    TForm4* form4 = nullptr;

    // Writes the catalogue file (when one is given), then creates the main
    // window, which makes its dialogs, and shows it, which loads the file.
    TForm1* Create(const AnsiString* catalogue) {
        if (catalogue) PutCatalogue(*catalogue);
        form1 = std::make_unique<TForm1>();
        form2 = form1->EntryEditor();
        form3 = form1->AboutBox();
        form4 = form1->GenreEditor();
        form1->show();
        return form1.get();
    }
    TForm1* Create(const std::vector<MovieRecord>& films) {
        AnsiString text = CatalogueText(films);
        return Create(&text);
    }
    void Destroy() {
        form2 = nullptr;
        form3 = nullptr;
        form4 = nullptr;
        form1.reset();
    }

    // "&New Entry" and "&Modify" of the main window (for the given row of
    // the film list), with the steps run in the open entry editor.
    void NewEntry(std::function<void()> steps);
    void ModifyEntry(int row, std::function<void()> steps);
    // A row of the catalogue as it stands.
    MovieRecord Row(int row) const { return form1->Catalogue->Record(row); }
};

// Steps to run while a modal dialog is open, driven from a timer armed before
// the action that opens it: they run once the dialog's event loop is up, and
// a dialog they leave open is closed afterwards, so that the action always
// returns. Steps whose dialog never opened fail the test when the object
// ends, unless the test asked NeverOpened().
class DialogSteps {
public:
    DialogSteps(QDialog* dialog, std::function<void()> steps, const char* file, int line) : file_(file), line_(line) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this, dialog, steps] {
            fired_ = true;
            if (!dialog->isVisible()) return;
            opened_ = true;
            // The user acts once the dialog has the keyboard. (A dialog opened
            // from a menu can lose the activation to the menu's window as the
            // menu closes: the headless platform has no window manager to
            // give a modal dialog the keyboard, so do what one would.)
            auto active = [dialog] { return QApplication::activeWindow() == dialog; };
            if (!QTest::qWaitFor(active, 200)) dialog->activateWindow();
            if (!QTest::qWaitFor(active))
                QTest::qFail("the dialog opened but never became the active window", file_, line_);
            steps();
            if (dialog->isVisible()) dialog->close();
        });
        timer_.start(0);
    }
    DialogSteps(const DialogSteps&) = delete;
    DialogSteps& operator=(const DialogSteps&) = delete;
    ~DialogSteps() {
        if (!opened_ && !checked_)
            QTest::qFail("the dialog never opened, so the steps meant for it never ran", file_, line_);
    }
    bool Opened() const { return opened_; }
    // For an action that must not open the dialog: waits until the steps'
    // moment has come and says whether the dialog stayed closed.
    bool NeverOpened() {
        checked_ = true;
        return QTest::qWaitFor([this] { return fired_; }) && !opened_;
    }

private:
    QTimer timer_;
    bool fired_ = false, opened_ = false, checked_ = false;
    const char* file_;
    int line_;
};

// auto open = WhileOpen(dialog, steps): the steps for the dialog that the
// next action opens; the object must live until the action has returned.
#define WhileOpen(dialog, steps) DialogSteps((dialog), (steps), __FILE__, __LINE__)

inline void Windows::NewEntry(std::function<void()> steps) {
    auto open = WhileOpen(form2, std::move(steps));
    form1->SpeedButton1Click();
}

inline void Windows::ModifyEntry(int row, std::function<void()> steps) {
    form1->ListView1->selectRow(row);
    auto open = WhileOpen(form2, std::move(steps));
    form1->SpeedButton4Click();
}

// Where a key goes in a window that need not be the active one.
inline QWidget* Focused(QWidget* window) { return window->focusWidget() ? window->focusWidget() : window; }

// A key pressed and released where the window's focus is.
inline void Key(QWidget* window, Qt::Key key) { QTest::keyClick(Focused(window), key); }

}  // namespace testsupport
