#include "twaindsm/NativeTransfer.h"

#include "dib/dib.h"

#include <cstring>
#include <vector>

namespace twaindsm {

globalmem::HGLOBAL PackNative(const QImage& image) {
    // Black and white stays 1 bit, gray 8 bits with a gray table, the rest 24.
    const int bitCount = image.format() == QImage::Format_Mono          ? 1
                         : image.format() == QImage::Format_Grayscale8 ? 8
                                                                       : 24;
    // The header and colour table first, to learn the block's size; then
    // the rows go straight into the block.
    std::vector<std::uint8_t> info(dib::kInfoHeaderSize + 4 * 256, 0);
    dib::BitmapInfoHeader h;
    h.biWidth = image.width();
    h.biHeight = image.height();
    h.biBitCount = static_cast<std::uint16_t>(bitCount);
    h.biXPelsPerMeter = image.dotsPerMeterX();
    h.biYPelsPerMeter = image.dotsPerMeterY();
    dib::WriteHeader(info, h);
    dib::GetDIBits(image, info);
    h = dib::ReadHeader(info);
    const size_t infoBytes = dib::kInfoHeaderSize + 4 * size_t{h.biClrUsed};
    globalmem::HGLOBAL block = globalmem::GlobalAlloc(globalmem::GMEM_MOVEABLE, infoBytes + h.biSizeImage);
    if (!block) return nullptr;
    auto* bytes = static_cast<std::uint8_t*>(globalmem::GlobalLock(block));
    std::memcpy(bytes, info.data(), infoBytes);
    try {
        dib::GetDIBits(image, {bytes, infoBytes}, {bytes + infoBytes, h.biSizeImage});
    } catch (...) {
        globalmem::GlobalUnlock(block);
        globalmem::GlobalFree(block);
        throw;
    }
    globalmem::GlobalUnlock(block);
    return block;
}

}  // namespace twaindsm
