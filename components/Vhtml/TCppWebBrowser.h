#pragma once
// An embedded HTML view over Qt's text browser: it renders pages, follows
// links to local and file: addresses (other addresses go to the desktop's
// browser), and keeps the source of the HTML document it shows, from which
// the title and the body's HTML are read.

#include "components/Vhtml/HtmlView.h"

#include <QTextBrowser>
#include <optional>

class TCppWebBrowser : public QTextBrowser, public THtmlView {
    Q_OBJECT
public:
    explicit TCppWebBrowser(QWidget* parent = nullptr);

    // Shows the text as the current HTML document.
    void ShowHtml(const QString& html);

    bool ShowsHtml() const override;
    QString Title() const override;
    QString BodyText() const override;
    QString BodyHtml() const override;
    void Navigate(const QString& address) override;

    // A page's bytes as text: in the encoding it declares (byte order mark
    // or meta charset), else UTF-8 when they are valid UTF-8, else
    // Windows-1252.
    static QString DecodePage(const QByteArray& bytes);

protected:
    QVariant loadResource(int type, const QUrl& name) override;
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    // The source of the HTML document shown; none when the view shows no
    // document or one of another kind.
    std::optional<QString> source_;
    // While a document is being loaded: whether the main document has been
    // read, and its source when it is HTML.
    bool loading_ = false;
    bool mainRead_ = false;
    std::optional<QString> pending_;
};
