// The HTML extractors over a 10 MB body holding 100,000 links, each beside
// a baseline that only finds the same marker with std::string_view::find in
// a loop over the same text.

#include "bench/Bench.h"
#include "components/Vhtml/HtmlScan.h"

#include <cstdio>

namespace {

// Paragraphs of about 100 bytes, each with one link, like a long list page.
AnsiString Body(size_t links) {
    AnsiString body;
    body.reserve(links * 100);
    char line[160];
    for (size_t i = 0; i < links; ++i) {
        int n = std::snprintf(line, sizeof line,
                              "<P>No. %zu: <A href=\"https://www.example.com/films/%06zu.html\">Film %zu</A>, seen", i,
                              i, i);
        body.append(line, static_cast<size_t>(n));
        body.append(96 - body.size() % 100, '.');
        body += "</P>";
    }
    return body;
}

size_t CountMarker(std::string_view text, std::string_view marker) {
    size_t count = 0;
    for (size_t at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + marker.size()))
        ++count;
    return count;
}

void Html(const AnsiString&) {
    constexpr size_t n = 100000;
    const AnsiString body = Body(n);
    std::vector<AnsiString> list;
    size_t found = 0;
    auto fresh = [&] { list.clear(); };

    const double links = bench::Median([&] { vhtml::GetAllLinks(body, list); }, fresh);
    const double linkBase = bench::Median([&] { found = CountMarker(body, "<A href=\""); });
    if (list.size() != n || found != n) std::printf("links: found %zu and %zu, not %zu\n", list.size(), found, n);
    bench::Report(n, "GetAllLinks", links, linkBase, 3);

    const double values = bench::Median([&] { vhtml::GetAllVar(body, list, "<A ", "href=\"", "\""); }, fresh);
    const double valueBase = bench::Median([&] { found = CountMarker(body, "<A "); });
    if (list.size() != n || found != n) std::printf("values: found %zu and %zu, not %zu\n", list.size(), found, n);
    bench::Report(n, "GetAllVar", values, valueBase, 3);
}
FLICKSTOW_BENCH_SUITE("html", Html);

}  // namespace
