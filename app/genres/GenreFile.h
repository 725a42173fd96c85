#pragma once
// The genre list file "genres.vrx" in the program folder: one genre per line,
// CR LF line ends, in display order. Blank lines may stand anywhere; the
// entry editor skips them, the genre editor keeps them.

#include "ansi/ansi.h"

#include <string_view>
#include <vector>

inline constexpr const char* kGenreFileName = "genres.vrx";

// The list a missing file is created from, each genre followed by CR LF.
AnsiString BuiltInGenreText();

AnsiString GenreFilePath(const AnsiString& programDir);

struct GenreFile {
    AnsiString text;
    // The file exists but could not be read: the text is empty, and the file
    // must not be replaced by it.
    bool unreadable = false;
    // An error was shown in the default error box.
    bool reported = false;
};

// The file's text. A missing file is created from the built-in list. A file
// that cannot be read, or a built-in list that cannot be written, is reported
// in the default error box and the caller goes on (with an empty text, or
// with the built-in list).
GenreFile OpenGenreFile(const AnsiString& path);

// The genres the entry editor offers: every line of the text that is not
// blank, as it stands (untrimmed), duplicates included.
std::vector<AnsiString> GenreItems(std::string_view text);
