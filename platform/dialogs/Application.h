#pragma once
// The application object: an error that escapes any event handler is shown
// in the default error box and the program goes on.

#include "dialogs/dialogs.h"

#include <QApplication>

class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        bool result = false;
        dialogs::Guard([&] { result = QApplication::notify(receiver, event); });
        return result;
    }
};
