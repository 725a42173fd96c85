// A page's bytes, whatever they are, decode to text whose title and body the
// HTML view reads without fault; the body written out reads again as a page,
// and the extractors take it.

#include "components/Vhtml/HtmlDocument.h"
#include "components/Vhtml/HtmlScan.h"
#include "components/Vhtml/TCppWebBrowser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString page = TCppWebBrowser::DecodePage(bytes);
    QString title = vhtml::DocumentTitle(page);
    if (title.startsWith(QLatin1Char(' ')) || title.endsWith(QLatin1Char(' ')) || title.contains(QLatin1String("  ")))
        std::abort();
    QString body = vhtml::BodyInnerHtml(page);
    vhtml::BodyInnerHtml("<body>" + body);
    std::string html = body.toStdString();
    std::vector<AnsiString> links, images;
    vhtml::GetAllLinks(html, links);
    vhtml::GetAllImages(html, images);
    for (const AnsiString& link : links)
        if (link.find('"') != AnsiString::npos) std::abort();
    return 0;
}
