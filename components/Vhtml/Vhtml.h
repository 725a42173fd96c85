#pragma once
// TVHTML: hands web addresses to the desktop's handler for them, and reads
// the HTML page an embedded view shows: its title, its body as text and as
// HTML, and the link targets, image sources or marked values in the body.
// The extractors themselves work on any text (HtmlScan.h).

#include "components/Vhtml/HtmlScan.h"
#include "platform/ansi/ansi.h"

#include <QObject>
#include <vector>

class QListWidget;
class THtmlView;

class TVHTML : public QObject {
    Q_OBJECT
public:
    explicit TVHTML(QObject* owner = nullptr);

    // The view the reading operations inspect and BrowseTo navigates; not
    // owned, empty after construction. The owner sets it, and clears it
    // before the view goes.
    THtmlView* WebBrowser = nullptr;

    // Opens the address with the desktop's handler (browser, mail program,
    // file viewer). Whether that worked is not examined; an empty address
    // does nothing.
    void CallExternUrl(const AnsiString& address);

    // Shows the address in the view.
    void BrowseTo(const AnsiString& address);

    // Of the document the view shows. Each raises EHtmlError when no view is
    // attached or the view shows no HTML document. Characters the program's
    // code page cannot hold become '?'; body text lines end in CR LF.
    AnsiString GetTitel();
    AnsiString GetBodyText();
    AnsiString GetBodyHtml();

    // Append to the list (never cleared first) what they find in the body's
    // HTML; see HtmlScan.h for the results.
    bool GetAllLinks(QListWidget* list);
    bool GetAllLinks(std::vector<AnsiString>& list);
    bool GetAllImages(QListWidget* list);
    bool GetAllImages(std::vector<AnsiString>& list);
    bool GetAllVar(QListWidget* list, const AnsiString& start, const AnsiString& begin, const AnsiString& end);
    bool GetAllVar(std::vector<AnsiString>& list, const AnsiString& start, const AnsiString& begin,
                   const AnsiString& end);

    // Has no effect.
    void GetActiveImage(int x, int y);

private:
    // The view; raises EHtmlError when none is attached.
    THtmlView& View();
    // The view, when it shows an HTML document; raises EHtmlError otherwise.
    THtmlView& Document();
};
