// A source's native transfer block holds any bytes: the scanner component
// makes a screen bitmap of them or raises ETwainError, never reading beyond
// the block. The block is exactly as large as the bytes, so a read past its
// end is an overrun the sanitizer sees.

#include "components/scansource/ScanSource.h"
#include "platform/globalmem/GlobalMemory.h"
#include "platform/graphics/graphics.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    globalmem::HGLOBAL block = globalmem::GlobalAlloc(globalmem::GMEM_MOVEABLE, size);
    if (!block) return 0;
    if (size) std::memcpy(globalmem::GlobalLock(block), data, size);
    globalmem::GlobalUnlock(block);
    try {
        QImage image = scansource::ImageFromNativeBlock(block);
        if (image.isNull() || image.format() != QImage::Format_RGB32) std::abort();
    } catch (const ETwainError&) {
    } catch (const EOutOfResources&) {
    }
    // The block is the caller's to free, and still whole.
    if (globalmem::GlobalSize(block) != size || globalmem::GlobalFree(block) != nullptr) std::abort();
    return 0;
}
