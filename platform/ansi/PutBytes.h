#pragma once
// Copies short texts into a buffer being filled.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ansi {

// Copies the bytes to o and returns the end of the copy. Most texts in a
// catalogue are a few bytes long: they are copied in two overlapping moves
// of a fixed size rather than by a call to memcpy each.
inline char* PutBytes(char* o, std::string_view bytes) {
    const char* p = bytes.data();
    const size_t n = bytes.size();
    auto two = [o, p, n](auto word) {
        constexpr size_t w = sizeof word;
        decltype(word) head, tail;
        std::memcpy(&head, p, w);
        std::memcpy(&tail, p + n - w, w);
        std::memcpy(o, &head, w);
        std::memcpy(o + n - w, &tail, w);
    };
    struct Bytes16 {
        char b[16];
    };
    if (n > 32) std::memcpy(o, p, n);
    else if (n >= 16)
        two(Bytes16{});
    else if (n >= 8)
        two(uint64_t{});
    else if (n >= 4)
        two(uint32_t{});
    else if (n > 0) {
        o[0] = p[0];
        o[n / 2] = p[n / 2];
        o[n - 1] = p[n - 1];
    }
    return o + n;
}

}  // namespace ansi
