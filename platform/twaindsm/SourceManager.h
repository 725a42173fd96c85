#pragma once
// The source manager behind DSM_Entry: the application's connection, the
// sources (SANE's scanners), and the one open source with its window, its
// scan worker and its pending image, following TWAIN's states:
//   3 manager open, 4 source open, 5 source enabled, 6 image ready,
//   7 image handed over.
// A call in the wrong state fails with TWCC_SEQERROR.

#include "platform/twaindsm/Twain.h"

namespace twaindsm {

TW_UINT16 Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

}  // namespace twaindsm
