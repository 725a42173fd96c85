#include "Vhtml/HtmlScan.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QPointer>
#include <QThread>
#include <algorithm>

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
// A search through a long stretch without its marker goes in slices, so
// that the pump has its turn in between.
constexpr size_t kSlice = 64 * 1024;
// The pump's turn comes at least every so many steps of a scan.
constexpr unsigned kStepsPerPump = 64;

// What one extractor looks for.
struct Markers {
    bool hasStart;           // links have no start marker: they are always "inside"
    std::string_view start;  // enters (the image tag, the caller's start)
    std::string_view begin;  // starts a value inside
    std::string_view end;    // ends a value and leaves
    bool startKeepsValue;    // images: a start marker inside a value is skipped, the value goes on
};

// The first occurrence of a marker at or after a position, below a bound on
// where it may start. The scan only moves forward, so an occurrence found
// earlier stays the answer until the scan passes it.
class Finder {
public:
    Finder(std::string_view text, std::string_view needle, size_t bound, const std::function<void()>& pump)
        : text_(text), needle_(needle), bound_(bound), pump_(pump) {}

    size_t From(size_t from) {
        if (searched_ && from >= searchedFrom_ && (found_ == kNone || found_ >= from)) return found_;
        searched_ = true;
        searchedFrom_ = from;
        found_ = Search(from);
        return found_;
    }

private:
    size_t Search(size_t from) const {
        if (needle_.empty()) return from < bound_ ? from : kNone;
        for (size_t at = from; at < bound_;) {
            size_t sliceEnd = std::min(bound_, at + kSlice);
            // Occurrences starting in [at, sliceEnd).
            size_t hit = text_.substr(at, sliceEnd - at + needle_.size() - 1).find(needle_);
            if (hit != kNone) return at + hit;
            at = sliceEnd;
            if (at < bound_) pump_();
        }
        return kNone;
    }

    std::string_view text_, needle_;
    size_t bound_;
    const std::function<void()>& pump_;
    bool searched_ = false;
    size_t searchedFrom_ = 0, found_ = kNone;
};

struct Outcome {
    bool started = false;     // a value was started
    bool collecting = false;  // the text ended inside a value
};

// One scan, going from one place where something happens to the next: in
// between, every position would only add its character to the value (or do
// nothing outside a value).
Outcome Scan(std::string_view text, const Markers& m, const ValueSink& sink, const std::function<void()>& pump) {
    Outcome out;
    const size_t n = text.size();
    // Visited positions: 0 .. n-2 (never the last character).
    if (n < 2) return out;
    const size_t lastVisited = n - 2;
    // Markers are recognised at positions below `limit`.
    const size_t reserve = 1 + m.start.size() + m.begin.size();
    const size_t limit = n > reserve ? n - reserve : 0;
    Finder starts(text, m.start, m.hasStart ? limit : 0, pump);
    Finder begins(text, m.begin, limit, pump);
    Finder ends(text, m.end, lastVisited + 1, pump);

    bool inside = !m.hasStart;
    std::string value;
    auto leave = [&](size_t at) {
        sink(value);
        value.clear();
        out.collecting = false;
        if (m.hasStart) inside = false;
        return at + m.end.size();
    };
    // After a value-begin marker: the value's first position is examined
    // for the end marker only. Returns the next position to visit.
    auto beginValue = [&](size_t at) {
        out.started = out.collecting = true;
        value.clear();
        if (text.substr(at, m.end.size()) == m.end) return leave(at);
        value.push_back(text[at]);
        return at + 1;
    };

    unsigned steps = 0;
    size_t i = 0;
    while (i <= lastVisited) {
        if (++steps % kStepsPerPump == 0) pump();
        size_t s = starts.From(i);
        if (!out.collecting) {
            size_t b = inside ? begins.From(i) : kNone;
            if (s == kNone && b == kNone) break;
            if (s <= b) {
                inside = true;
                i = s + m.start.size();
            } else {
                i = beginValue(b + m.begin.size());
            }
            continue;
        }
        size_t b = begins.From(i), e = ends.From(i);
        size_t at = std::min({s, b, e});
        // No end before the last character: the value is left out.
        if (at == kNone) break;
        value.append(text.substr(i, at - i));
        if (at == s) {
            if (!m.startKeepsValue) {
                out.collecting = false;
                value.clear();
            }
            i = s + m.start.size();
        } else if (at == b) {
            i = beginValue(b + m.begin.size());
        } else {
            i = leave(e);
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
bool Var(std::string_view html, Target&& target, std::string_view start, std::string_view begin,
         std::string_view end) {
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
