#include "genres/GenreFile.h"

#include "ansi/LineReader.h"
#include "errors/Exception.h"
#include "files/files.h"

AnsiString BuiltInGenreText() {
    // Not alphabetical: "Action" follows "Adventure".
    static constexpr const char* kGenres[] = {"Adventure", "Action",  "Animation", "Cartoon", "Documentation", "Drama",
                                              "Erotic",    "Fantasy", "History",   "Horror",  "Music",         "Thriller"};
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

std::vector<AnsiString> GenreItems(std::string_view text) {
    std::vector<AnsiString> items;
    for (ansi::LineReader lines(text); !lines.AtEnd();) {
        std::string_view line = lines.Next();
        if (!ansi::IsBlank(line)) items.emplace_back(line);
    }
    return items;
}
