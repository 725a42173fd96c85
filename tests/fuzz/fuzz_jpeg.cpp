// The JPEG decoder takes any bytes: it gives a picture or raises EJPEG,
// never crashes, never ends the program and never hangs. A picture decoded
// to be shown small covers the size asked (unless it is smaller itself),
// one decoded whole has its own size, and every picture it gives can be
// encoded and decoded again.

#include "platform/jpeg/jpeg.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// The sizes the program shows pictures at: the editor's preview panel and
// the file dialog's preview box.
const QSize kShown[] = {QSize(155, 103), QSize(160, 160)};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    QSize natural;
    for (QSize shown : kShown) {
        try {
            jpeg::Picture p = jpeg::Decode(bytes, [shown](QSize) { return shown; });
            natural = p.natural;
            Check(!p.image.isNull() && p.image.format() == QImage::Format_RGB32);
            Check(p.image.width() <= natural.width() && p.image.height() <= natural.height());
            Check(p.image.size() == natural ||
                  (p.image.width() >= shown.width() && p.image.height() >= shown.height()));
            const jpeg::Picture again = jpeg::Decode(jpeg::Encode(p.image, 80));
            Check(again.natural == p.image.size());
        } catch (const jpeg::EJPEG&) {
            return 0;
        }
    }
    // Whole pictures only while small, so that each input stays quick.
    if (static_cast<long long>(natural.width()) * natural.height() <= (1 << 20)) {
        try {
            Check(jpeg::Decode(bytes).image.size() == natural);
        } catch (const jpeg::EJPEG&) {
            // The scaled decodes read the same data; a whole one may still
            // find damage the scaled ones never reached.
        }
    }
    return 0;
}
