#pragma once
// The three HTML extractors exactly as their description reads: positions
// counted from 1, one position after another, every marker compared where it
// may stand. Slow, and the yardstick the program's one-pass scans must match
// value for value and in their results.

#include <string>
#include <string_view>
#include <vector>

namespace literal {

using Values = std::vector<std::string>;

// The character at the 1-based position p.
inline char At(std::string_view s, size_t p) { return s[p - 1]; }
inline std::string_view Window(std::string_view s, size_t p, size_t length) { return s.substr(p - 1, length); }

inline bool Links(std::string_view s, Values& out) {
    const std::string_view marker = "<A href=\"";
    const size_t n = s.size();
    bool inLink = false;
    std::string value;
    for (size_t p = 1; p < n; ++p) {
        if (p + marker.size() < n && Window(s, p, marker.size()) == marker) {
            p += marker.size();
            inLink = true;
            value.clear();
        }
        if (inLink) {
            if (At(s, p) != '"') {
                value += At(s, p);
            } else {
                out.push_back(value);
                value.clear();
                inLink = false;
            }
        }
    }
    return inLink;
}

inline bool Images(std::string_view s, Values& out) {
    const std::string_view image = "<IMG ", source = "src=\"";
    const size_t n = s.size();
    bool inTag = false, collecting = false, found = false;
    std::string value;
    size_t p = 1;
    while (p < n) {
        if (p + image.size() + source.size() < n) {
            std::string_view window = Window(s, p, image.size());
            if (window == image) {
                inTag = true;
                p += image.size();
                continue;
            }
            if (inTag && window == source) {
                p += source.size();
                collecting = true;
                value.clear();
            }
        }
        if (collecting) {
            found = true;
            if (At(s, p) != '"') {
                value += At(s, p);
            } else {
                out.push_back(value);
                value.clear();
                collecting = false;
                inTag = false;
            }
        }
        ++p;
    }
    return found;
}

// The start marker must not be empty (the scan would never move on).
inline bool Var(std::string_view s, Values& out, std::string_view start, std::string_view begin, std::string_view end) {
    const size_t n = s.size();
    bool inside = false, collecting = false, found = false;
    std::string value;
    size_t p = 1;
    while (p < n) {
        if (p + start.size() + begin.size() < n) {
            if (Window(s, p, start.size()) == start) {
                collecting = false;
                inside = true;
                p += start.size();
                continue;
            }
            if (inside && Window(s, p, begin.size()) == begin) {
                p += begin.size();
                collecting = true;
                value.clear();
            }
        }
        if (collecting) {
            found = true;
            if (Window(s, p, end.size()) != end) {
                value += At(s, p);
            } else {
                out.push_back(value);
                value.clear();
                inside = false;
                collecting = false;
                p += end.size();
                continue;
            }
        }
        ++p;
    }
    return found;
}

}  // namespace literal
