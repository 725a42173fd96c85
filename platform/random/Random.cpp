#include "platform/random/Random.h"

#include <chrono>

namespace rng {
namespace {

// A 32-bit linear congruential generator, as the runtime's: each number
// comes from the high bits of seed * range.
uint32_t g_seed = 0;
std::function<int64_t()> g_clock;

int64_t Now() {
    if (g_clock) return g_clock();
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void Randomize() { g_seed = static_cast<uint32_t>(Now()); }

int Random(int range) {
    g_seed = g_seed * 0x08088405u + 1u;
    if (range < 1) return 0;
    return static_cast<int>((static_cast<uint64_t>(g_seed) * static_cast<uint32_t>(range)) >> 32);
}

namespace test {
void SetClock(std::function<int64_t()> seconds) { g_clock = std::move(seconds); }
}  // namespace test

}  // namespace rng
