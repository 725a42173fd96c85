#pragma once
// What TVHTML needs of the HTML view it reads: the current document's title,
// its body as text and as HTML, and going to another address. The view is an
// embedded widget that shows a page; TCppWebBrowser is the one over Qt's
// text browser.

#include <QString>

class THtmlView {
public:
    virtual ~THtmlView() = default;

    // True when the view shows an HTML document (not nothing, not plain text
    // or another kind of document).
    virtual bool ShowsHtml() const = 0;
    // Of the HTML document shown; only asked when ShowsHtml() holds.
    virtual QString Title() const = 0;
    // The body's text as the view renders it, markup removed.
    virtual QString BodyText() const = 0;
    // The body's inner HTML, serialised as vhtml::BodyInnerHtml writes it.
    virtual QString BodyHtml() const = 0;
    // Shows the document at the address; relative addresses go from the
    // document shown.
    virtual void Navigate(const QString& address) = 0;

protected:
    THtmlView() = default;
    THtmlView(const THtmlView&) = default;
    THtmlView& operator=(const THtmlView&) = default;
};
