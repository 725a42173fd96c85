#pragma once
// The application object: an error that escapes any event handler is shown
// in the default error box and the program goes on. The Windows font names
// the windows ask for resolve to their metric-compatible stand-ins.

#include "platform/dialogs/dialogs.h"

#include <QApplication>
#include <QFont>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv) : QApplication(argc, argv) {
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arimo", "DejaVu Sans"});
        QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo", "DejaVu Sans"});
        // No metric twin of the heavy, wide "Arial Black" is packaged; the
        // bold face of DejaVu Sans is as wide and nearly as heavy.
        QFont::insertSubstitutions("Arial Black", {"DejaVu Sans", "Liberation Sans"});
        QFont::insertSubstitutions("Courier New", {"Liberation Mono", "Cousine", "DejaVu Sans Mono"});
        QFont::insertSubstitutions("Times New Roman", {"Liberation Serif", "Tinos", "DejaVu Serif"});
        // The caption font; DejaVu Sans comes from the same wide, open design.
        QFont::insertSubstitutions("Tahoma", {"DejaVu Sans", "Liberation Sans"});
    }
    bool notify(QObject* receiver, QEvent* event) override {
        bool result = false;
        dialogs::Guard([&] { result = QApplication::notify(receiver, event); });
        return result;
    }
};
