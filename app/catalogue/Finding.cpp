#include "app/catalogue/Finding.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <future>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Processors with AVX2 scan twice the bytes at a time, chosen as the
// program runs.
#if defined(__x86_64__) && defined(__GNUC__)
#define FLICKSTOW_WIDE_SCAN
#include <immintrin.h>
#endif

namespace {

struct Fold {
    char c[2];
    uint8_t n;
};

// Searches over at least this many films use both cores.
constexpr size_t kFilmsForTwoThreads = 100000;

constexpr std::array<Fold, 256> MakeFolds() {
    std::array<Fold, 256> t{};
    for (int b = 0; b < 256; ++b) t[static_cast<size_t>(b)] = {{static_cast<char>(b), 0}, 1};
    auto one = [&t](int b, char c) { t[static_cast<size_t>(b)] = {{c, 0}, 1}; };
    auto two = [&t](int b, char c, char d) { t[static_cast<size_t>(b)] = {{c, d}, 2}; };
    auto span = [&one](int from, int to, char c) {
        for (int b = from; b <= to; ++b) one(b, c);
    };
    for (int b = 'A'; b <= 'Z'; ++b) one(b, static_cast<char>(b + 32));
    // The letters above 0x7F, upper and lower case alike.
    for (int lower : {0x00, 0x20}) {
        span(0xC0 + lower, 0xC5 + lower, 'a');
        two(0xC6 + lower, 'a', 'e');
        one(0xC7 + lower, 'c');
        span(0xC8 + lower, 0xCB + lower, 'e');
        span(0xCC + lower, 0xCF + lower, 'i');
        one(0xD0 + lower, 'd');
        one(0xD1 + lower, 'n');
        span(0xD2 + lower, 0xD6 + lower, 'o');
        one(0xD8 + lower, 'o');
        span(0xD9 + lower, 0xDC + lower, 'u');
        one(0xDD + lower, 'y');
        two(0xDE + lower, 't', 'h');
    }
    two(0xDF, 's', 's');  // sharp s
    one(0xFF, 'y');       // y diaeresis
    one(0x9F, 'y');       // Y diaeresis
    one(0x83, 'f');       // f hook
    one(0x8A, 's');       // S caron
    one(0x9A, 's');
    one(0x8E, 'z');  // Z caron
    one(0x9E, 'z');
    two(0x8C, 'o', 'e');  // OE
    two(0x9C, 'o', 'e');
    one(0xAA, 'a');  // feminine ordinal
    one(0xBA, 'o');  // masculine ordinal
    return t;
}
constexpr std::array<Fold, 256> kFolds = MakeFolds();

#if defined(FLICKSTOW_WIDE_SCAN)
const bool kWide = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#endif

const Fold& FoldOf(unsigned char b) { return kFolds[b]; }

bool IsLetter(char c) { return c >= 'a' && c <= 'z'; }

// Whether some byte above 0x7F folds to a text holding c (anywhere, or at
// its start).
bool HighFoldHolds(char c, bool atStartOnly) {
    for (int b = 0x80; b < 0x100; ++b) {
        const Fold& f = FoldOf(static_cast<unsigned char>(b));
        if (f.c[0] == c || (!atStartOnly && f.n == 2 && f.c[1] == c)) return true;
    }
    return false;
}

// A scan reads 33 bytes from its last place in a record.
static_assert(RecordStore::kReadPast >= 33);

// One folded word and what its first two characters let a scan skip.
struct Word {
    std::string_view text;
    // The first character, and whether a byte above 0x7F may fold to a
    // text holding it; the same for the second, at the start of a fold.
    char c0 = 0, c1 = 0;
    bool high0 = false, high1 = false;

    explicit Word(std::string_view folded) : text(folded) {
        c0 = folded[0];
        high0 = static_cast<unsigned char>(c0) < 0x80 && HighFoldHolds(c0, false);
        if (folded.size() > 1) {
            c1 = folded[1];
            high1 = static_cast<unsigned char>(c1) < 0x80 && HighFoldHolds(c1, true);
        }
    }

    // Whether the folded text from byte j (from its fold's character `skip`)
    // on begins with the word.
    bool At(const unsigned char* s, size_t n, size_t j, size_t skip) const {
        size_t k = 0;
        for (; k < text.size(); ++j, skip = 0) {
            if (j == n) return false;
            const Fold& f = FoldOf(s[j]);
            for (size_t t = skip; t < f.n && k < text.size(); ++t)
                if (f.c[t] != text[k++]) return false;
        }
        return true;
    }
    // Whether the word begins in the folded text at byte j.
    bool StartsAt(const unsigned char* s, size_t n, size_t j) const {
        const Fold& f = FoldOf(s[j]);
        for (size_t t = 0; t < f.n; ++t)
            if (f.c[t] == c0 && At(s, n, j, t)) return true;
        return false;
    }

    // The places among the 16 bytes at `block` (17 readable) where the word
    // may begin, one bit each: bytes that fold to its first character and
    // are followed by one whose fold begins with its second, and every byte
    // above 0x7F whose fold may hold the first.
    uint32_t Candidates(const unsigned char* block) const {
#if defined(__SSE2__)
        auto load = [](const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
        auto same = [](__m128i v, char c) {
            if (IsLetter(c)) v = _mm_or_si128(v, _mm_set1_epi8(0x20));
            return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
        };
        const __m128i v0 = load(block);
        uint32_t first = same(v0, c0);
        if (c1) {
            const __m128i v1 = load(block + 1);
            first &= same(v1, c1) | (high1 ? static_cast<uint32_t>(_mm_movemask_epi8(v1)) : 0);
        }
        if (high0) first |= static_cast<uint32_t>(_mm_movemask_epi8(v0));
        return first;
#else
        uint32_t bits = 0;
        for (unsigned i = 0; i < 16; ++i) {
            const Fold& f = FoldOf(block[i]);
            if (f.c[0] == c0 || (f.n == 2 && f.c[1] == c0)) bits |= 1u << i;
        }
        return bits;
#endif
    }

    // Whether the word occurs in the text of n bytes, except where outside
    // says not (no match can cross that: it is a whole field, and LF
    // between fields matches nothing). The text is a record's bytes in the
    // store, which can be read past their end: the bits of what lies there
    // are dropped.
    template <class Outside>
    bool In(const unsigned char* s, size_t n, Outside outside) const {
        auto check = [&](uint32_t bits, size_t base) {
            for (; bits; bits &= bits - 1) {
                const size_t j = base + static_cast<size_t>(__builtin_ctz(bits));
                if (StartsAt(s, n, j) && outside(j)) return true;
            }
            return false;
        };
#if defined(FLICKSTOW_WIDE_SCAN)
        if (kWide) return Wide(s, n, check);
#endif
        for (size_t i = 0; i < n; i += 16) {
            uint32_t bits = Candidates(s + i);
            if (n - i < 16) bits &= (1u << (n - i)) - 1;
            if (bits && check(bits, i)) return true;
        }
        return false;
    }

#if defined(FLICKSTOW_WIDE_SCAN)
    // In, thirty-two bytes at a time, for processors that have AVX2.
    template <class Check>
    __attribute__((target("avx2"))) bool Wide(const unsigned char* s, size_t n, Check& check) const {
        const __m256i case0 = _mm256_set1_epi8(IsLetter(c0) ? 0x20 : 0), want0 = _mm256_set1_epi8(c0);
        const __m256i case1 = _mm256_set1_epi8(IsLetter(c1) ? 0x20 : 0), want1 = _mm256_set1_epi8(c1);
        for (size_t i = 0; i < n; i += 32) {
            const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
            uint32_t first = static_cast<uint32_t>(
                _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_or_si256(v0, case0), want0)));
            if (c1) {
                const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 1));
                first &= static_cast<uint32_t>(
                             _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_or_si256(v1, case1), want1))) |
                         (high1 ? static_cast<uint32_t>(_mm256_movemask_epi8(v1)) : 0);
            }
            if (high0) first |= static_cast<uint32_t>(_mm256_movemask_epi8(v0));
            if (n - i < 32) first &= (1u << (n - i)) - 1;
            if (first && check(first, i)) return true;
        }
        return false;
    }
#endif
};

}  // namespace

std::string_view FoldedByte(unsigned char byte) {
    const Fold& f = FoldOf(byte);
    return {f.c, f.n};
}

AnsiString Folded(std::string_view text) {
    AnsiString out;
    out.reserve(text.size());
    for (char c : text) out.append(FoldedByte(static_cast<unsigned char>(c)));
    return out;
}

FindWords::FindWords(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) == 0xA0; };
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && blank(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !blank(text[i])) ++i;
        if (i > start) words_.push_back(Folded(text.substr(start, i - start)));
    }
    // The longest words first: they rule out most films soonest.
    std::stable_sort(words_.begin(), words_.end(),
                     [](const AnsiString& a, const AnsiString& b) { return a.size() > b.size(); });
}

bool FindWords::Matches(const RecordStore& films, size_t film) const {
    const std::string_view bytes = films.RecordBytes(film);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    // The picture's file name is not searched.
    const std::string_view picture = films.Field(film, FieldPicture);
    const size_t pictureFrom = static_cast<size_t>(picture.data() - bytes.data());
    const size_t pictureTo = pictureFrom + picture.size();
    auto outside = [&](size_t j) { return j < pictureFrom || j >= pictureTo; };
    for (const AnsiString& w : words_)
        if (!Word(w).In(s, bytes.size(), outside)) return false;
    return true;
}

namespace {

// The films among places [from, to) of `among` (of every film when none)
// that hold every word, or nothing when stopped.
std::optional<std::vector<uint32_t>> FindIn(const RecordStore& films, const std::vector<Word>& words,
                                            const std::vector<uint32_t>* among, size_t from, size_t to,
                                            const std::atomic<bool>* stop) {
    auto filmAt = [among](size_t i) { return among ? size_t((*among)[i]) : i; };
    std::vector<uint32_t> found;
    for (size_t i = from; i < to; ++i) {
        if (((i - from) & 4095) == 0 && stop && stop->load(std::memory_order_relaxed)) return std::nullopt;
        // Records lie a few hundred bytes apart: ask for the next ones early.
        if (i + 8 < to) __builtin_prefetch(films.RecordBytes(filmAt(i + 8)).data());
        const size_t film = filmAt(i);
        const std::string_view bytes = films.RecordBytes(film);
        const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
        // Where the picture's name lies is looked up only for a match.
        std::string_view picture;
        auto outside = [&](size_t j) {
            if (!picture.data()) picture = films.Field(film, FieldPicture);
            const size_t pictureFrom = static_cast<size_t>(picture.data() - bytes.data());
            return j < pictureFrom || j >= pictureFrom + picture.size();
        };
        if (std::all_of(words.begin(), words.end(), [&](const Word& w) { return w.In(s, bytes.size(), outside); }))
            found.push_back(static_cast<uint32_t>(film));
    }
    return found;
}

}  // namespace

std::optional<std::vector<uint32_t>> FindWords::Find(const RecordStore& films, const std::vector<uint32_t>* among,
                                                     const std::atomic<bool>* stop) const {
    std::vector<Word> words;
    for (const AnsiString& w : words_) words.emplace_back(w);
    const size_t count = among ? among->size() : films.size();
    // Many films are searched in two halves at once, one on a second thread;
    // the halves' results joined are those of one pass.
    if (count < kFilmsForTwoThreads) return FindIn(films, words, among, 0, count, stop);
    auto first = std::async(std::launch::async, FindIn, std::cref(films), std::cref(words), among, size_t(0), count / 2,
                            stop);
    std::optional<std::vector<uint32_t>> second = FindIn(films, words, among, count / 2, count, stop);
    std::optional<std::vector<uint32_t>> found = first.get();
    if (!found || !second) return std::nullopt;
    found->insert(found->end(), second->begin(), second->end());
    return found;
}

bool FindWords::Narrows(const FindWords& wider) const {
    for (const AnsiString& w : wider.words_) {
        bool inside = false;
        for (const AnsiString& mine : words_) inside = inside || mine.find(w) != AnsiString::npos;
        if (!inside) return false;
    }
    return true;
}
