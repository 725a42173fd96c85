#include "platform/twaindsm/NativeTransfer.h"

#include "platform/dib/dib.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace twaindsm {
namespace {

// The header and colour table of a picture of `rows` rows like the image
// (which may be a band of it).
std::vector<std::uint8_t> Header(const QImage& image, int rows, int bitCount) {
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
    const std::uint64_t size = dib::RowBytes(image.width(), bitCount) * static_cast<std::uint64_t>(rows);
    if (size > UINT32_MAX) throw EInvalidGraphic("image too large");
    h.biHeight = rows;
    h.biSizeImage = static_cast<std::uint32_t>(size);
    dib::WriteHeader(info, h);
    info.resize(dib::kInfoHeaderSize + 4 * size_t{h.biClrUsed});
    return info;
}

}  // namespace

NativeBlock::~NativeBlock() {
    if (!block_) return;
    globalmem::GlobalUnlock(block_);
    globalmem::GlobalFree(block_);
}

bool NativeBlock::Start(const QImage& sample, int height) {
    bitCount_ = sample.format() == QImage::Format_Mono ? 1 : sample.format() == QImage::Format_Grayscale8 ? 8 : 24;
    const std::vector<std::uint8_t> info = Header(sample, height, bitCount_);
    rowBytes_ = static_cast<size_t>(dib::RowBytes(sample.width(), bitCount_));
    infoBytes_ = info.size();
    height_ = height;
    block_ = globalmem::GlobalAlloc(globalmem::GMEM_MOVEABLE, infoBytes_ + rowBytes_ * static_cast<size_t>(height));
    if (!block_) return false;
    bytes_ = static_cast<std::uint8_t*>(globalmem::GlobalLock(block_));
    std::memcpy(bytes_, info.data(), infoBytes_);
    return true;
}

void NativeBlock::Put(const QImage& band, int firstRow) {
    // Bottom-up rows: a band of the picture is a bottom-up picture of its
    // own, stored where its last row falls.
    std::vector<std::uint8_t> info = Header(band, band.height(), bitCount_);
    const size_t stored = static_cast<size_t>(height_ - firstRow - band.height());
    dib::GetDIBits(band, info,
                   {bytes_ + infoBytes_ + stored * rowBytes_, rowBytes_ * static_cast<size_t>(band.height())});
}

globalmem::HGLOBAL NativeBlock::Release() {
    globalmem::HGLOBAL b = block_;
    if (b) globalmem::GlobalUnlock(b);
    block_ = nullptr;
    bytes_ = nullptr;
    return b;
}

globalmem::HGLOBAL PackNative(const QImage& image) {
    NativeBlock block;
    if (!block.Start(image, image.height())) return nullptr;
    block.Put(image, 0);
    return block.Release();
}

}  // namespace twaindsm
