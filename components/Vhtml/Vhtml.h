#pragma once
// TVHTML: hands web addresses to the desktop's handler for them.

#include "ansi/ansi.h"

#include <QObject>

class TVHTML : public QObject {
    Q_OBJECT
public:
    explicit TVHTML(QObject* owner = nullptr);

    // Opens the address with the desktop's handler (browser, mail program,
    // file viewer). Whether that worked is not examined; an empty address
    // does nothing.
    void CallExternUrl(const AnsiString& address);
};
