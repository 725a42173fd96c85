#pragma once
// The native transfer's memory block: a packed device-independent bitmap
// (header, colour table, bottom-up rows) in a global memory block.

#include "globalmem/GlobalMemory.h"

#include <QImage>

namespace twaindsm {

// Null when there is no memory for the block.
globalmem::HGLOBAL PackNative(const QImage& image);

}  // namespace twaindsm
