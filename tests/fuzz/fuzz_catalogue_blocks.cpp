// The catalogue's block reader gives exactly the rows of the whole-text
// reader, wherever the blocks end.
//
// Input: two bytes seeding the block sizes (1 to 64 KB, most of them
// small), then the text.

#include "tests/support/OneBufferCatalogue.h"

#include <cstdint>
#include <cstdlib>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    std::minstd_rand sizes(static_cast<uint32_t>(data[0] | data[1] << 8) + 1);
    const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
    RecordStore whole;
    literal::ParseWholeCatalogue(text, whole);
    RecordStore blocks = literal::ParseInBlocks(text, [&sizes] {
        const uint32_t r = static_cast<uint32_t>(sizes());
        return static_cast<size_t>(r % 8 ? r % 16 + 1 : r % 65536 + 1);
    });
    if (!literal::SameRows(whole, blocks)) std::abort();
    return 0;
}
