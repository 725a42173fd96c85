#pragma once
// The program's windows as start-up creates them, for the tests that drive
// the dialogs: the main window, the entry editor and the genre editor.

#include "TestSupport.h"
#include "catalogue/CatalogueFile.h"
#include "entryeditor/TForm2.h"
#include "genres/TForm4.h"
#include "mainwindow/TForm1.h"

#include <QTimer>
#include <functional>
#include <memory>

namespace testsupport {

// The catalogue file's text for the films.
inline AnsiString CatalogueText(const std::vector<MovieRecord>& films) {
    RecordStore rows;
    for (const MovieRecord& r : films) rows.Append(r);
    return SerializeCatalogue(rows);
}

struct Windows {
    std::unique_ptr<TForm1> form1;
    TForm2* form2 = nullptr;
    TForm4* form4 = nullptr;

    // Writes the catalogue file (when one is given), then creates the main
    // window, which makes its dialogs, and shows it, which loads the file.
    TForm1* Create(const AnsiString* catalogue) {
        if (catalogue) WriteFile(InProgramDir("data.vrx"), *catalogue);
        form1 = std::make_unique<TForm1>();
        form2 = form1->EntryEditor();
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
        form4 = nullptr;
        form1.reset();
    }
};

// A modal dialog is driven from a timer armed before the action that opens
// it: the steps run once its event loop is up. A dialog the steps leave open
// is closed afterwards, so that the action always returns.
inline void WhileOpen(QDialog* dialog, std::function<void()> steps) {
    QTimer::singleShot(0, dialog, [dialog, steps] {
        steps();
        if (dialog->isVisible()) dialog->close();
    });
}

// Where a key goes: the window's focused control, or the window itself.
inline QWidget* Focused(QWidget* window) { return window->focusWidget() ? window->focusWidget() : window; }

// A key pressed and released where the focus is.
inline void Key(QWidget* window, Qt::Key key) { QTest::keyClick(Focused(window), key); }

}  // namespace testsupport
