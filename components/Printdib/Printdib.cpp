#include "components/Printdib/Printdib.h"

#include "platform/dib/dib.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

// The screen is never a palette device here: the DIB is always 24 bits per
// pixel, and its header block is the 40-byte header with one spare colour
// entry; no colour table is filled and no palette is selected anywhere.
constexpr int kBitCount = 24;
constexpr size_t kHeaderBlock = dib::kInfoHeaderSize + 4;

// Gives the pixels taken out of the bitmap back to it, also when an error
// leaves the call.
class HandleBack {
public:
    HandleBack(TBitmap& bitmap, QImage& pixels) : bitmap_(bitmap), pixels_(pixels) {}
    ~HandleBack() { bitmap_.SetHandle(std::move(pixels_)); }
    HandleBack(const HandleBack&) = delete;
    HandleBack& operator=(const HandleBack&) = delete;

private:
    TBitmap& bitmap_;
    QImage& pixels_;
};

}  // namespace

void TPrintDIB::StretchDrawDIB(TCanvas& Canvas, int X, int Y, int Width, int Height, TBitmap& Bitmap) {
    const int sourceWidth = Bitmap.Width();

    std::vector<std::uint8_t> info(kHeaderBlock, 0);
    dib::BitmapInfoHeader header;
    header.biWidth = sourceWidth;
    header.biHeight = Bitmap.Height();
    header.biPlanes = 1;
    header.biBitCount = kBitCount;
    header.biCompression = dib::kRgb;
    // The row length without padding; the query below puts in the real size.
    header.biSizeImage = static_cast<std::uint32_t>(std::uint64_t(sourceWidth) * kBitCount / 8 *
                                                    std::uint64_t(Bitmap.Height()));
    dib::WriteHeader(info, header);

    QImage pixels = Bitmap.ReleaseHandle();
    const HandleBack giveBack(Bitmap, pixels);
    try {
        // First query: the header completed, the image size among it.
        dib::GetDIBits(pixels, info);
        // Never less than the padded rows, whatever the header says.
        const size_t padded = static_cast<size_t>(dib::RowBytes(sourceWidth, kBitCount)) * size_t(header.biHeight);
        const size_t size = std::max<size_t>(dib::ReadHeader(info).biSizeImage, padded);
        std::vector<std::uint8_t> bits;
        try {
            bits.resize(size);
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory("Out of memory");
        }
        dib::GetDIBits(pixels, info, bits);
        dib::StretchDIBits(Canvas, X, Y, Width, Height, 0, 0, sourceWidth, header.biHeight, bits, info);
    } catch (const EInvalidGraphic&) {
        // A bitmap that cannot be packed (an empty one) leaves the canvas as it was.
    }
}
