#pragma once
// The genre list file "genres.vrx" in the program folder: one genre per line,
// CR LF line ends, in display order. Blank lines may stand anywhere; the
// entry editor skips them, the genre editor keeps them.

#include "platform/ansi/ansi.h"
#include "platform/files/FileIdentity.h"

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
    // What went wrong, for the window to report; empty when nothing did.
    AnsiString error;
    // The file as it was read or created.
    files::FileIdentity identity;
};

// The file's text. A missing file is created from the built-in list. A file
// that cannot be read gives an empty text, a built-in list that cannot be
// written the built-in text; either way the error is returned, not shown.
GenreFile OpenGenreFile(const AnsiString& path);

// The text as the genre editor shows it: each line cut to what a control is
// handed (ansi::kShownLength), line ends as they are.
AnsiString ShownGenreText(std::string_view text);
// The text the file gets for the text edited in the genre editor: a line
// the editor showed cut (a line of the original text) that still stands in
// the edited text as it was shown is written whole again.
AnsiString GenreTextToWrite(std::string_view edited, std::string_view original);

// The genres the entry editor offers: every line of the text that is not
// blank, as it stands (untrimmed), duplicates included; views of the text.
std::vector<std::string_view> GenreItems(std::string_view text);
