#include "app/formats/GenreFile.h"

#include "platform/ansi/LineReader.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"

#include <algorithm>
#include <deque>
#include <map>

AnsiString BuiltInGenreText() {
    // Not alphabetical: "Action" follows "Adventure".
    static constexpr const char* kGenres[] = {"Adventure",     "Action", "Animation", "Cartoon",
                                              "Documentation", "Drama",  "Erotic",    "Fantasy",
                                              "History",       "Horror", "Music",     "Thriller"};
    AnsiString text;
    for (const char* genre : kGenres) text.append(genre).append("\r\n");
    return text;
}

AnsiString GenreFilePath(const AnsiString& programDir) { return files::JoinPath(programDir, kGenreFileName); }

GenreFile OpenGenreFile(const AnsiString& path) {
    GenreFile file;
    try {
        // Anything standing at the path (a folder too) is read, and what
        // cannot be read is reported, never replaced by the built-in list.
        if (files::KindOf(path) != files::PathKind::None) {
            try {
                file.text = files::ReadWholeFile(path, &file.identity);
            } catch (const EFOpenError&) {
                file.unreadable = true;
                throw;
            }
        } else {
            file.text = BuiltInGenreText();
            file.identity = files::ReplaceWholeFile(path, file.text);
        }
    } catch (const Exception& e) {
        file.error = e.Message;
    }
    return file;
}

AnsiString ShownGenreText(std::string_view text) {
    AnsiString shown;
    shown.reserve(std::min(text.size(), size_t(1) << 20));
    size_t from = 0;
    for (ansi::LineReader lines(text); !lines.AtEnd();) {
        std::string_view line = lines.Next();
        if (!ansi::IsShownCut(line)) continue;
        const size_t begin = static_cast<size_t>(line.data() - text.data());
        shown.append(text.substr(from, begin + ansi::kShownLength - from));
        from = begin + line.size();
    }
    shown.append(text.substr(from));
    return shown;
}

AnsiString GenreTextToWrite(std::string_view edited, std::string_view original) {
    // The whole lines behind those shown cut, by what they were shown as,
    // in their order.
    std::map<std::string_view, std::deque<std::string_view>> cut;
    for (ansi::LineReader lines(original); !lines.AtEnd();) {
        std::string_view line = lines.Next();
        if (ansi::IsShownCut(line)) cut[ansi::ShownPart(line)].push_back(line);
    }
    AnsiString text;
    size_t from = 0;
    for (ansi::LineReader lines(edited); !cut.empty() && !lines.AtEnd();) {
        std::string_view line = lines.Next();
        auto whole = cut.find(line);
        if (whole == cut.end()) continue;
        const size_t begin = static_cast<size_t>(line.data() - edited.data());
        text.append(edited.substr(from, begin - from));
        text.append(whole->second.front());
        from = begin + line.size();
        whole->second.pop_front();
        if (whole->second.empty()) cut.erase(whole);
    }
    text.append(edited.substr(from));
    return text;
}

std::vector<std::string_view> GenreItems(std::string_view text) {
    std::vector<std::string_view> items;
    for (ansi::LineReader lines(text); !lines.AtEnd();) {
        std::string_view line = lines.Next();
        if (!ansi::IsBlank(line)) items.push_back(line);
    }
    return items;
}
