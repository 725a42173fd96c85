#pragma once
// The runtime's pseudo-random numbers: one generator for the whole program,
// reseeded from the clock in whole seconds. Two reseeds within the same
// second give the same numbers. Tests set the clock.

#include <cstdint>
#include <functional>

namespace rng {

// Reseeds the generator from the clock (seconds since 1970).
void Randomize();
// The next number from 0 to range - 1 (0 when range is below 1).
int Random(int range);

namespace test {
// The clock Randomize reads, in whole seconds; an empty function restores
// the real clock.
void SetClock(std::function<int64_t()> seconds);
}  // namespace test

}  // namespace rng
