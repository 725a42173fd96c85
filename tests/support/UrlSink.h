#pragma once
// Catches the web addresses the program hands to the desktop: while it
// lives, every https address opened through QDesktopServices lands in
// `opened` instead of a browser.

#include <QList>
#include <QObject>
#include <QUrl>

namespace testsupport {

class UrlSink : public QObject {
    Q_OBJECT
public:
    UrlSink();
    ~UrlSink() override;
    UrlSink(const UrlSink&) = delete;
    UrlSink& operator=(const UrlSink&) = delete;

    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

}  // namespace testsupport
