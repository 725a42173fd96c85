#include "components/Vhtml/TCppWebBrowser.h"

#include "components/Vhtml/HtmlDocument.h"
#include "platform/ansi/ansi.h"

#include <QStringDecoder>

TCppWebBrowser::TCppWebBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenExternalLinks(true);
    // Whatever replaces the document other than a page loaded here (plain
    // text, an emptied view) leaves no HTML document to read.
    connect(this, &QTextEdit::textChanged, this, [this] {
        if (!loading_) source_.reset();
    });
}

void TCppWebBrowser::ShowHtml(const QString& html) {
    loading_ = true;
    setHtml(html);
    loading_ = false;
    source_ = html;
}

bool TCppWebBrowser::ShowsHtml() const { return source_.has_value(); }

QString TCppWebBrowser::Title() const { return source_ ? vhtml::DocumentTitle(*source_) : QString(); }

QString TCppWebBrowser::BodyText() const { return source_ ? toPlainText() : QString(); }

QString TCppWebBrowser::BodyHtml() const { return source_ ? vhtml::BodyInnerHtml(*source_) : QString(); }

void TCppWebBrowser::Navigate(const QString& address) { setSource(QUrl(address)); }

QString TCppWebBrowser::DecodePage(const QByteArray& bytes) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (decoder.isValid()) {
        QString text = decoder.decode(bytes);
        // Without a declared encoding the decoder is UTF-8; bytes that are
        // not UTF-8 are taken as the program's code page.
        if (!decoder.hasError() || QByteArray(decoder.name()) != "UTF-8") return text;
    }
    return ansi::ToQString(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

QVariant TCppWebBrowser::loadResource(int type, const QUrl& name) {
    QVariant loaded = QTextBrowser::loadResource(type, name);
    if (!loading_ || (type != QTextDocument::HtmlResource && type != QTextDocument::MarkdownResource)) return loaded;
    // The main document of the page being loaded.
    mainRead_ = true;
    pending_.reset();
    if (type != QTextDocument::HtmlResource) return loaded;
    if (loaded.userType() == QMetaType::QString) pending_ = loaded.toString();
    else if (loaded.userType() == QMetaType::QByteArray)
        pending_ = DecodePage(loaded.toByteArray());
    else
        return loaded;
    return *pending_;
}

void TCppWebBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    loading_ = true;
    mainRead_ = false;
    pending_.reset();
    QTextBrowser::doSetSource(name, type);
    // A move within the same document reads nothing and keeps the source.
    if (mainRead_) source_ = std::move(pending_);
    pending_.reset();
    loading_ = false;
}
