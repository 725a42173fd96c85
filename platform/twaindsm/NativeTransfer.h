#pragma once
// The native transfer's memory block: a packed device-independent bitmap
// (header, colour table, bottom-up rows) in a global memory block, filled
// whole or band by band while a scan comes in.

#include "platform/globalmem/GlobalMemory.h"

#include <QImage>
#include <cstdint>

namespace twaindsm {

class NativeBlock {
public:
    NativeBlock() = default;
    ~NativeBlock();
    NativeBlock(const NativeBlock&) = delete;
    NativeBlock& operator=(const NativeBlock&) = delete;

    // Makes the block for a picture of `height` rows that look like
    // `sample` (its width, format, colours and resolution): black and white
    // stays 1 bit, gray 8 bits with a gray table, the rest 24. False when
    // there is no memory for it.
    bool Start(const QImage& sample, int height);
    // Packs the rows of `band` as the picture's rows from `firstRow` on.
    void Put(const QImage& band, int firstRow);
    bool Started() const { return block_ != nullptr; }
    // The block, the caller's from now on.
    globalmem::HGLOBAL Release();

private:
    globalmem::HGLOBAL block_ = nullptr;
    std::uint8_t* bytes_ = nullptr;
    size_t infoBytes_ = 0, rowBytes_ = 0;
    int height_ = 0, bitCount_ = 24;
};

// The whole picture as one block; null when there is no memory for it.
globalmem::HGLOBAL PackNative(const QImage& image);

}  // namespace twaindsm
