#include "platform/profile/profile.h"

#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/registry/registry.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace profile {
namespace {

struct Line {
    size_t begin, end;  // the line's bytes, without its line end
};

std::vector<Line> SplitLines(const AnsiString& text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t next = nl == AnsiString::npos ? text.size() : nl + 1;
        size_t end = nl == AnsiString::npos ? text.size() : nl;
        if (end > pos && text[end - 1] == '\r') --end;
        lines.push_back({pos, end});
        pos = next;
    }
    return lines;
}

// "[name]" (blanks allowed around it): the section's name.
std::optional<AnsiString> SectionName(std::string_view line) {
    AnsiString t = ansi::Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
    return ansi::Trim(std::string_view(t).substr(1, t.size() - 2));
}

bool SameName(std::string_view a, std::string_view b) { return ansi::UpperCase(a) == ansi::UpperCase(b); }

// Where the key lives in the text: the line of the key (when present) and
// the position after the last line of its section (when the section exists).
struct Place {
    std::optional<Line> keyLine;
    std::optional<size_t> sectionEnd;
    std::optional<AnsiString> value;
};

Place Locate(const AnsiString& text, const AnsiString& section, const AnsiString& key) {
    Place place;
    bool inside = false;
    for (const Line& l : SplitLines(text)) {
        std::string_view line(text.data() + l.begin, l.end - l.begin);
        if (auto name = SectionName(line)) {
            inside = SameName(*name, ansi::Trim(section));
            continue;
        }
        if (!inside) continue;
        // The section runs to the end of its last line, line end included.
        size_t after = text.find('\n', l.end);
        place.sectionEnd = after == AnsiString::npos ? text.size() : after + 1;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || place.keyLine) continue;
        if (SameName(ansi::Trim(line.substr(0, eq)), ansi::Trim(key))) {
            place.keyLine = l;
            place.value = ansi::Trim(line.substr(eq + 1));
        }
    }
    return place;
}

AnsiString Load() {
    AnsiString path = ProfileFilePath();
    return files::FileExists(path) ? files::ReadWholeFile(path) : AnsiString();
}

void Store(const AnsiString& text) {
    AnsiString path = ProfileFilePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    files::ReplaceWholeFile(path, text);
}

// The position of a section header line, or npos.
size_t SectionStart(const AnsiString& text, const AnsiString& section) {
    for (const Line& l : SplitLines(text))
        if (auto name = SectionName(std::string_view(text.data() + l.begin, l.end - l.begin));
            name && SameName(*name, ansi::Trim(section)))
            return l.begin;
    return AnsiString::npos;
}

}  // namespace

AnsiString ProfileFilePath() {
    return (std::filesystem::path(registry::HiveFilePath()).parent_path() / "win.ini").string();
}

std::optional<AnsiString> FindProfileString(const AnsiString& section, const AnsiString& key) {
    AnsiString text;
    try {
        text = Load();
    } catch (const Exception&) {
        return std::nullopt;
    }
    return Locate(text, section, key).value;
}

AnsiString GetProfileString(const AnsiString& section, const AnsiString& key, const AnsiString& fallback) {
    return FindProfileString(section, key).value_or(fallback);
}

void WriteProfileString(const AnsiString& section, const AnsiString& key, const AnsiString& value) {
    AnsiString text = Load();
    Place place = Locate(text, section, key);
    AnsiString line = key + "=" + value;
    if (place.keyLine) {
        if (place.value == value) return;
        text.replace(place.keyLine->begin, place.keyLine->end - place.keyLine->begin, line);
    } else {
        size_t at;
        if (place.sectionEnd) {
            at = *place.sectionEnd;
        } else if (size_t start = SectionStart(text, section); start != AnsiString::npos) {
            // A section with no lines of its own yet: right after its header.
            size_t nl = text.find('\n', start);
            at = nl == AnsiString::npos ? text.size() : nl + 1;
        } else {
            if (!text.empty() && text.back() != '\n') text += "\r\n";
            text += "[" + section + "]\r\n";
            at = text.size();
        }
        if (at > 0 && text[at - 1] != '\n') {
            text.insert(at, "\r\n");
            at += 2;
        }
        text.insert(at, line + "\r\n");
    }
    Store(text);
}

void DeleteProfileKey(const AnsiString& section, const AnsiString& key) {
    AnsiString text = Load();
    Place place = Locate(text, section, key);
    if (!place.keyLine) return;
    size_t nl = text.find('\n', place.keyLine->end);
    size_t end = nl == AnsiString::npos ? text.size() : nl + 1;
    text.erase(place.keyLine->begin, end - place.keyLine->begin);
    Store(text);
}

}  // namespace profile
