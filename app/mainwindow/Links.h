#pragma once
// The web addresses of the Help menu, all in one place.

#include <iterator>

struct WebLink {
    const char* caption;
    const char* address;
};

inline constexpr WebLink kMakerPage{"&Varnholt Webpage", "https://www.example.com/varnholt/"};

inline constexpr WebLink kFurtherLinks[] = {
    {"Varnholt &Tunebook", "https://www.example.com/varnholt/tunebook/"},
    {"Varnholt &Photobox", "https://www.example.com/varnholt/photobox/"},
    {"Varnholt &Notepad", "https://www.example.com/varnholt/notepad/"},
    {"Film &Collectors Forum", "https://forum.example.org/film-collectors/"},
};

// The community site: the last of the further links, which the About box
// offers too.
inline constexpr const WebLink& kCommunitySite = kFurtherLinks[std::size(kFurtherLinks) - 1];
