#pragma once
// The extractors of TVHTML over a page's body HTML: link targets, image
// sources and values between caller-given markers. Each scans the text
// position by position with exact, case-sensitive comparisons of fixed
// markers, exactly as the old browser-reading routines did, quirks included:
//
// - a position is visited from the first character up to, but not including,
//   the last one;
// - a marker is only recognised where it still fits with room after it
//   (links: the marker and one more character; images and values: the start
//   and the value-begin marker together, and one more character);
// - the character right after a value-begin marker belongs to the value
//   (or closes it) without being checked for markers itself.
//
// Links: `<A href="` starts a value (again, also inside a value), a double
// quote ends it. The result is true when the text ended inside a link, whose
// value is then left out.
// Images: `<IMG ` enters a tag, `src="` in a tag (or anywhere later: the
// search does not stop at the end of the tag) starts a value, a double quote
// ends it and leaves the tag. Another `<IMG ` inside a value is skipped and
// the value goes on. The result is true when a value was started.
// Values: the start marker enters (and abandons a value being collected),
// the value-begin marker after it starts a value, the end marker ends it and
// leaves. The result is true when a value was started.
//
// The scans find the same values in one pass over the text, and let the
// application handle its pending events every few milliseconds meanwhile:
// handlers that run then see the list as far as it is filled. None of them
// clears its list first.

#include "platform/ansi/ansi.h"
#include "platform/errors/Exception.h"

#include <chrono>
#include <functional>
#include <string_view>
#include <vector>

class QListWidget;

// A reading operation without an HTML document to read, a list to fill that
// is missing, or markers that cannot be searched for.
class EHtmlError : public Exception {
    using Exception::Exception;
};

namespace vhtml {

// Receives each value the moment it is complete.
using ValueSink = std::function<void(std::string_view value)>;

// Called between pieces of a scan; processes the application's pending
// events when some milliseconds have passed since it last did.
class EventPump {
public:
    // How long input may wait at most before the scan lets it through.
    static constexpr std::chrono::milliseconds kInterval{10};
    void operator()();

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

bool ScanLinks(std::string_view html, const ValueSink& sink, const std::function<void()>& pump);
bool ScanImages(std::string_view html, const ValueSink& sink, const std::function<void()>& pump);
// Raises EHtmlError when the start marker is empty: it would match at every
// position without ever moving on.
bool ScanVar(std::string_view html, std::string_view start, std::string_view begin, std::string_view end,
             const ValueSink& sink, const std::function<void()>& pump);

// The same, appending to a string list or to the items of a list box (which
// must exist, and must not be destroyed by a handler while it is filled).
bool GetAllLinks(std::string_view html, std::vector<AnsiString>& list);
bool GetAllLinks(std::string_view html, QListWidget* list);
bool GetAllImages(std::string_view html, std::vector<AnsiString>& list);
bool GetAllImages(std::string_view html, QListWidget* list);
bool GetAllVar(std::string_view html, std::vector<AnsiString>& list, std::string_view start, std::string_view begin,
               std::string_view end);
bool GetAllVar(std::string_view html, QListWidget* list, std::string_view start, std::string_view begin,
               std::string_view end);

}  // namespace vhtml
