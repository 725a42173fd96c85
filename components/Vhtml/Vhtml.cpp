#include "components/Vhtml/Vhtml.h"

#include "components/Vhtml/HtmlScan.h"
#include "components/Vhtml/HtmlView.h"

#include <QDesktopServices>
#include <QUrl>

TVHTML::TVHTML(QObject* owner) : QObject(owner) {}

void TVHTML::CallExternUrl(const AnsiString& address) {
    if (address.empty()) return;
    QDesktopServices::openUrl(QUrl(ansi::ToQString(address)));
}

THtmlView& TVHTML::View() {
    if (!WebBrowser) throw EHtmlError("No HTML view is attached");
    return *WebBrowser;
}

THtmlView& TVHTML::Document() {
    if (!View().ShowsHtml()) throw EHtmlError("The view shows no HTML document");
    return *WebBrowser;
}

void TVHTML::BrowseTo(const AnsiString& address) { View().Navigate(ansi::ToQString(address)); }

AnsiString TVHTML::GetTitel() { return ansi::FromQString(Document().Title()); }

AnsiString TVHTML::GetBodyText() {
    QString text = Document().BodyText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return ansi::FromQString(text);
}

AnsiString TVHTML::GetBodyHtml() { return ansi::FromQString(Document().BodyHtml()); }

bool TVHTML::GetAllLinks(QListWidget* list) { return vhtml::GetAllLinks(GetBodyHtml(), list); }
bool TVHTML::GetAllLinks(std::vector<AnsiString>& list) { return vhtml::GetAllLinks(GetBodyHtml(), list); }

bool TVHTML::GetAllImages(QListWidget* list) { return vhtml::GetAllImages(GetBodyHtml(), list); }
bool TVHTML::GetAllImages(std::vector<AnsiString>& list) { return vhtml::GetAllImages(GetBodyHtml(), list); }

bool TVHTML::GetAllVar(QListWidget* list, const AnsiString& start, const AnsiString& begin, const AnsiString& end) {
    return vhtml::GetAllVar(GetBodyHtml(), list, start, begin, end);
}
bool TVHTML::GetAllVar(std::vector<AnsiString>& list, const AnsiString& start, const AnsiString& begin,
                       const AnsiString& end) {
    return vhtml::GetAllVar(GetBodyHtml(), list, start, begin, end);
}

void TVHTML::GetActiveImage(int, int) {}
