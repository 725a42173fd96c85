#include "tests/support/UrlSink.h"

#include <QDesktopServices>

namespace testsupport {

UrlSink::UrlSink() { QDesktopServices::setUrlHandler("https", this, "open"); }

UrlSink::~UrlSink() { QDesktopServices::unsetUrlHandler("https"); }

}  // namespace testsupport
