#include "Vhtml/Vhtml.h"

#include <QDesktopServices>
#include <QUrl>

TVHTML::TVHTML(QObject* owner) : QObject(owner) {}

void TVHTML::CallExternUrl(const AnsiString& address) {
    if (address.empty()) return;
    QDesktopServices::openUrl(QUrl(ansi::ToQString(address)));
}
