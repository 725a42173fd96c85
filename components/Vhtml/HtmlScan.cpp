#include "components/Vhtml/HtmlScan.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vhtml {

void EventPump::operator()() {
    auto now = std::chrono::steady_clock::now();
    if (now - last_ < kInterval) return;
    QCoreApplication* app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread()) QCoreApplication::processEvents();
    last_ = std::chrono::steady_clock::now();
}

namespace {

constexpr size_t kNone = std::string_view::npos;
// A search through a long stretch without a marker goes in slices, and the
// pump has its turn in between; a scan with many places to look at gives it
// its turn every so many of them.
constexpr size_t kSlice = size_t{64} * 1024;
constexpr unsigned kPlacesPerPump = 256;

// What one extractor looks for.
struct Markers {
    bool hasStart;           // links have no start marker: they are always "inside"
    std::string_view start;  // enters (the image tag, the caller's start)
    std::string_view begin;  // starts a value inside
    std::string_view end;    // ends a value and leaves
    bool startKeepsValue;    // images: a start marker inside a value is skipped, the value goes on
};

// Gives the pump its turn every so many calls.
class Pacer {
public:
    explicit Pacer(const std::function<void()>& pump) : pump_(pump) {}
    void Tick() {
        if (++count_ % kPlacesPerPump == 0) pump_();
    }
    void Now() { pump_(); }

private:
    const std::function<void()>& pump_;
    unsigned count_ = 0;
};

// How seldom a byte stands in HTML: lower is rarer.
int Commonness(char c) {
    switch (c) {
    case '"': return 0;
    case '\'': return 1;
    case '=': return 2;
    case '<': return 3;
    case '>': return 4;
    default: break;
    }
    if (c >= '0' && c <= '9') return 6;
    if (c >= 'A' && c <= 'Z') return 7;
    if ((c >= 'a' && c <= 'z') || c == ' ' || static_cast<unsigned char>(c) >= 0x80) return 8;
    return 5;
}

enum class Role { Start, Begin, End };

// The markers that can act in one state of a scan, in the order they are
// checked at a position, each counting only where it starts below its
// bound. Each marker is looked for at the places of its rarest byte; as the
// bytes stand at different places within their markers, a marker found
// further on may still start earlier, so the search goes on for as far as
// that can be.
class Watch {
public:
    struct Marker {
        Role role;
        std::string_view text;
        size_t bound;
    };
    struct Found {
        size_t at;
        Role role;
    };

    Watch(std::string_view text, std::initializer_list<Marker> markers) : text_(text) {
        for (const Marker& m : markers) {
            // A marker that can start nowhere is not watched.
            if (m.bound == 0) continue;
            Watched& w = watched_[count_++];
            w.marker = m;
            if (m.text.empty()) {
                anyEmpty_ = true;
                continue;
            }
            for (size_t k = 1; k < m.text.size(); ++k)
                if (Commonness(m.text[k]) < Commonness(m.text[w.offset])) w.offset = k;
            w.byte = m.text[w.offset];
            if (std::find(bytes_, bytes_ + byteCount_, w.byte) == bytes_ + byteCount_) bytes_[byteCount_++] = w.byte;
            reach_ = std::max(reach_, w.offset);
            anchorsTo_ = std::max(anchorsTo_, std::min(m.bound + w.offset, text.size()));
        }
        for (int k = byteCount_; k < 3; ++k) bytes_[k] = bytes_[0];
#if defined(__SSE2__)
        for (int k = 0; k < 3; ++k) wanted_[k] = _mm_set1_epi8(bytes_[k]);
#endif
    }

    // The first position at or after `from` where a marker starts (the
    // first marker in order where several do); at = kNone when there is none.
    // Long by design, see docs/COMPLEXITY.md: the multi-marker search.
    // NOLINTNEXTLINE(readability-function-cognitive-complexity)
    Found Next(size_t from, Pacer& pacer) const {
        if (count_ == 1 && !anyEmpty_) return NextOfOne(from, pacer);
        Found best{kNone, Role::End};
        int bestRank = count_;
        // An empty marker starts everywhere.
        if (anyEmpty_)
            for (int k = 0; k < count_; ++k)
                if (watched_[k].marker.text.empty() && from < watched_[k].marker.bound) {
                    for (int j = 0; j <= k; ++j)
                        if (StartsAt(from, watched_[j].marker.text) && from < watched_[j].marker.bound)
                            return {from, watched_[j].marker.role};
                }
        size_t to = anchorsTo_;
        for (size_t at = from; at < to;) {
            const size_t sliceEnd = std::min(to, at + kSlice);
            const size_t q = FindAnyOf(at, sliceEnd);
            if (q == kNone) {
                at = sliceEnd;
                if (at < to) pacer.Now();
                continue;
            }
            for (int k = 0; k < count_; ++k) {
                const Watched& w = watched_[k];
                if (w.marker.text.empty() || text_[q] != w.byte || q < from + w.offset) continue;
                const size_t start = q - w.offset;
                if (start >= w.marker.bound || !StartsAt(start, w.marker.text)) continue;
                if (start < best.at || (start == best.at && k < bestRank)) {
                    best = {start, w.marker.role};
                    bestRank = k;
                    // Only a byte within reach of it can belong to a marker
                    // that starts before it.
                    to = std::min(to, start + reach_ + 1);
                }
            }
            at = q + 1;
            pacer.Tick();
        }
        return best;
    }

    bool StartsAt(size_t p, std::string_view marker) const {
        if (marker.size() > text_.size() - p) return false;
        const char* here = text_.data() + p;
        for (size_t k = 0; k < marker.size(); ++k)
            if (here[k] != marker[k]) return false;
        return true;
    }

private:
    // The same for one marker that is not empty: as std::string_view::find,
    // by its rarest byte.
    Found NextOfOne(size_t from, Pacer& pacer) const {
        const Watched& w = watched_[0];
#if defined(__SSE2__)
        if (w.marker.text.size() >= 2) return NextOfOneByEnds(from, pacer);
#endif
        for (size_t at = from + w.offset; at < anchorsTo_;) {
            const size_t sliceEnd = std::min(anchorsTo_, at + kSlice);
            const void* hit = std::memchr(text_.data() + at, w.byte, sliceEnd - at);
            if (!hit) {
                at = sliceEnd;
                if (at < anchorsTo_) pacer.Now();
                continue;
            }
            const size_t start = static_cast<size_t>(static_cast<const char*>(hit) - text_.data()) - w.offset;
            if (StartsAt(start, w.marker.text)) return {start, w.marker.role};
            at = start + w.offset + 1;
            pacer.Tick();
        }
        return {kNone, Role::End};
    }

#if defined(__SSE2__)
    // The same for a marker of two bytes or more: 16 places at once are
    // checked for its first and its last byte together, which few places
    // that merely hold one of them pass.
    Found NextOfOneByEnds(size_t from, Pacer& pacer) const {
        const Marker& m = watched_[0].marker;
        const size_t length = m.text.size(), n = text_.size();
        if (length > n) return {kNone, Role::End};
        const size_t stop = std::min(m.bound, n - length + 1);  // starts lie below
        const char* text = text_.data();
        const __m128i first = _mm_set1_epi8(m.text.front()), last = _mm_set1_epi8(m.text.back());
        size_t at = from;
        for (; at < stop && at + 16 + length - 1 <= n; at += 16) {
            if (at != from && (at - from) % kSlice == 0) pacer.Now();
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
            const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + length - 1));
            auto mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(heads, first), _mm_cmpeq_epi8(tails, last))));
            for (; mask != 0; mask &= mask - 1) {
                const size_t start = at + static_cast<size_t>(__builtin_ctz(mask));
                if (start >= stop) return {kNone, Role::End};
                if (StartsAt(start, m.text)) return {start, m.role};
                pacer.Tick();
            }
        }
        for (; at < stop; ++at)
            if (StartsAt(at, m.text)) return {at, m.role};
        return {kNone, Role::End};
    }
#endif

    // The first position in [from, to) holding one of the bytes looked for,
    // or kNone; 16 bytes are compared at once (one byte alone: memchr).
    size_t FindAnyOf(size_t from, size_t to) const {
        const char* text = text_.data();
        if (byteCount_ == 1) {
            const void* hit = std::memchr(text + from, bytes_[0], to - from);
            return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text) : kNone;
        }
        size_t p = from;
#if defined(__SSE2__)
        for (; p + 16 <= to; p += 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p));
            const __m128i hit = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(chunk, wanted_[0]), _mm_cmpeq_epi8(chunk, wanted_[1])),
                _mm_cmpeq_epi8(chunk, wanted_[2]));
            if (const int mask = _mm_movemask_epi8(hit))
                return p + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
#endif
        for (; p < to; ++p)
            if (text[p] == bytes_[0] || text[p] == bytes_[1] || text[p] == bytes_[2]) return p;
        return kNone;
    }

    struct Watched {
        Marker marker{};
        size_t offset = 0;  // of the byte looked for, within the marker
        char byte = 0;
    };

    std::string_view text_;
    Watched watched_[3];
    int count_ = 0;
    char bytes_[3] = {};
    int byteCount_ = 0;
    size_t reach_ = 0;      // the largest offset of a byte looked for
    size_t anchorsTo_ = 0;  // no byte looked for stands at or after this
    bool anyEmpty_ = false;
#if defined(__SSE2__)
    __m128i wanted_[3];
#endif
};

// The value being collected: a stretch of the text, or pieces of it once a
// skipped marker has cut it.
class Value {
public:
    explicit Value(std::string_view text) : text_(text) {}
    void Clear() {
        from_ = to_ = 0;
        spliced_ = false;
        pieces_.clear();
    }
    void Append(size_t from, size_t to) {
        if (from == to) return;
        if (!spliced_ && (from_ == to_ || to_ == from)) {
            if (from_ == to_) from_ = from;
            to_ = to;
            return;
        }
        if (!spliced_) pieces_.assign(text_.substr(from_, to_ - from_));
        spliced_ = true;
        pieces_.append(text_.substr(from, to - from));
    }
    std::string_view Text() const { return spliced_ ? std::string_view(pieces_) : text_.substr(from_, to_ - from_); }

private:
    std::string_view text_;
    size_t from_ = 0, to_ = 0;
    bool spliced_ = false;
    std::string pieces_;
};

struct Outcome {
    bool started = false;     // a value was started
    bool collecting = false;  // the text ended inside a value
};

// One scan, going from one position where a marker acts to the next: in
// between, every position would only add its character to the value (or do
// nothing outside a value). At a position, the start marker is checked
// first, then the value-begin marker, then the end marker.
Outcome Scan(std::string_view text, const Markers& m, const ValueSink& sink, const std::function<void()>& pump) {
    Outcome out;
    const size_t n = text.size();
    // Visited positions: 0 .. n-2 (never the last character).
    if (n < 2) return out;
    const size_t lastVisited = n - 2;
    // The start and value-begin markers are recognised below `limit`.
    const size_t reserve = 1 + m.start.size() + m.begin.size();
    const size_t limit = n > reserve ? n - reserve : 0;
    // What can act outside, inside, and in a value.
    const size_t noStart = m.hasStart ? limit : 0;
    const Watch outside(text, {{Role::Start, m.start, noStart}});
    const Watch within(text, {{Role::Start, m.start, noStart}, {Role::Begin, m.begin, limit}});
    const Watch collecting(text,
                           {{Role::Start, m.start, noStart}, {Role::Begin, m.begin, limit}, {Role::End, m.end, n - 1}});

    Pacer pacer(pump);
    bool inside = !m.hasStart;
    Value value(text);
    size_t run = 0;  // in a value: where the characters not yet added to it begin
    auto leave = [&](size_t p) {
        value.Append(run, p);
        sink(value.Text());
        value.Clear();
        out.collecting = false;
        if (m.hasStart) inside = false;
        return p + m.end.size();
    };
    // After a value-begin marker: the value's first position is examined
    // for the end marker only. Returns the next position to visit.
    auto beginValue = [&](size_t p) {
        out.started = out.collecting = true;
        value.Clear();
        run = p;
        if (collecting.StartsAt(p, m.end)) return leave(p);
        run = p + 1;
        value.Append(p, p + 1);
        return p + 1;
    };

    size_t i = 0;
    while (i <= lastVisited) {
        pacer.Tick();
        const Watch& watch = out.collecting ? collecting : inside ? within : outside;
        const Watch::Found found = watch.Next(i, pacer);
        // Nothing more happens; a value not ended is left out.
        if (found.at == kNone) break;
        const size_t p = found.at;
        switch (found.role) {
        case Role::Start:
            if (out.collecting) {
                value.Append(run, p);
                run = p + m.start.size();
                if (!m.startKeepsValue) {
                    out.collecting = false;
                    value.Clear();
                }
            }
            inside = true;
            i = p + m.start.size();
            break;
        case Role::Begin: i = beginValue(p + m.begin.size()); break;
        case Role::End: i = leave(p); break;
        }
    }
    return out;
}

constexpr std::string_view kLinkStart = "<A href=\"";
constexpr std::string_view kImageStart = "<IMG ";
constexpr std::string_view kSourceStart = "src=\"";
constexpr std::string_view kQuote = "\"";

ValueSink StringListSink(std::vector<AnsiString>& list) {
    return [&list](std::string_view value) { list.emplace_back(value); };
}

ValueSink ListBoxSink(QListWidget* list) {
    if (!list) throw EHtmlError("There is no list box to fill");
    return [list = QPointer<QListWidget>(list)](std::string_view value) {
        if (!list) throw EHtmlError("The list box was destroyed while it was being filled");
        list->addItem(ansi::ToQString(value));
    };
}

template <typename Target>
bool Links(std::string_view html, Target&& target) {
    EventPump pump;
    return ScanLinks(html, target, [&pump] { pump(); });
}
template <typename Target>
bool Images(std::string_view html, Target&& target) {
    EventPump pump;
    return ScanImages(html, target, [&pump] { pump(); });
}
template <typename Target>
bool Var(std::string_view html, Target&& target, std::string_view start, std::string_view begin, std::string_view end) {
    EventPump pump;
    return ScanVar(html, start, begin, end, target, [&pump] { pump(); });
}

}  // namespace

bool ScanLinks(std::string_view html, const ValueSink& sink, const std::function<void()>& pump) {
    return Scan(html, {false, {}, kLinkStart, kQuote, false}, sink, pump).collecting;
}

bool ScanImages(std::string_view html, const ValueSink& sink, const std::function<void()>& pump) {
    return Scan(html, {true, kImageStart, kSourceStart, kQuote, true}, sink, pump).started;
}

bool ScanVar(std::string_view html, std::string_view start, std::string_view begin, std::string_view end,
             const ValueSink& sink, const std::function<void()>& pump) {
    if (start.empty()) throw EHtmlError("The start marker of GetAllVar is empty");
    return Scan(html, {true, start, begin, end, false}, sink, pump).started;
}

bool GetAllLinks(std::string_view html, std::vector<AnsiString>& list) { return Links(html, StringListSink(list)); }
bool GetAllLinks(std::string_view html, QListWidget* list) { return Links(html, ListBoxSink(list)); }
bool GetAllImages(std::string_view html, std::vector<AnsiString>& list) { return Images(html, StringListSink(list)); }
bool GetAllImages(std::string_view html, QListWidget* list) { return Images(html, ListBoxSink(list)); }
bool GetAllVar(std::string_view html, std::vector<AnsiString>& list, std::string_view start, std::string_view begin,
               std::string_view end) {
    return Var(html, StringListSink(list), start, begin, end);
}
bool GetAllVar(std::string_view html, QListWidget* list, std::string_view start, std::string_view begin,
               std::string_view end) {
    return Var(html, ListBoxSink(list), start, begin, end);
}

}  // namespace vhtml
