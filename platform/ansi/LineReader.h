#pragma once
// Splits a text into lines at CR LF, a lone CR or a lone LF, without a final
// empty line after the last line end. Lines are views into the text.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ansi {

// The first CR, LF or `also` in [p, end), or end. Lines in a catalogue are
// short, so the search is inline, sixteen bytes at a time, rather than two
// calls of memchr per line.
inline const char* FindLineBreakOr(const char* p, const char* end, char also) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), other = _mm_set1_epi8(also);
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, other)));
        if (hits) return p + __builtin_ctz(static_cast<unsigned>(hits));
    }
#endif
    while (p < end && *p != '\r' && *p != '\n' && *p != also) ++p;
    return p;
}

// The first CR or LF in [p, end), or end.
inline const char* FindLineBreak(const char* p, const char* end) { return FindLineBreakOr(p, end, '\n'); }

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }

    std::string_view Next() {
        const char* begin = text_.data() + pos_;
        const char* end = text_.data() + text_.size();
        const char* brk = FindLineBreak(begin, end);
        std::string_view line(begin, static_cast<size_t>(brk - begin));
        // CR LF is one line end; past the text's end when there is none.
        const size_t length = brk < end && *brk == '\r' && brk + 1 < end && brk[1] == '\n' ? 2 : 1;
        pos_ += line.size() + length;
        return line;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace ansi
