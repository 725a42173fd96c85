// The DIB reader takes any bytes: it gives a picture or raises
// EInvalidGraphic, never reading beyond the bytes. A picture it gives packs
// and unpacks to the same pixels, and drawing the bytes straight onto a
// canvas reads only what is there.

#include "platform/dib/dib.h"
#include "platform/graphics/graphics.h"

#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

QImage TryUnpack(std::span<const std::uint8_t> info, std::span<const std::uint8_t> bits, bool apart) {
    try {
        return apart ? dib::Unpack(info, bits) : dib::Unpack(info);
    } catch (const EInvalidGraphic&) {
    } catch (const EOutOfResources&) {
    }
    return QImage();
}

void CheckRoundTrip(const QImage& img) {
    if (img.isNull() || static_cast<std::uint64_t>(img.width()) * static_cast<std::uint64_t>(img.height()) > (1u << 20))
        return;
    const int depth = img.format() == QImage::Format_Indexed8 ? 8 : 24;
    const QImage again = dib::Unpack(dib::PackBlock(img, depth));
    if (again.size() != img.size()) std::abort();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((again.pixel(x, y) & 0xFFFFFF) != (img.pixel(x, y) & 0xFFFFFF)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::span<const std::uint8_t> block(data, size);
    CheckRoundTrip(TryUnpack(block, {}, false));
    // The same bytes as a header block and rows apart, cut in the middle.
    const size_t cut = size / 2;
    CheckRoundTrip(TryUnpack(block.first(cut), block.subspan(cut), true));
    TBitmap target(8, 8);
    dib::StretchDIBits(target.Canvas(), 0, 0, 8, 8, 0, 0, 4, 4, block.subspan(cut), block.first(cut));
    return 0;
}
