#pragma once
// What a test puts into the program folder before a window reads it: the
// catalogue file and the genre list.

#include "app/formats/CatalogueFile.h"
#include "tests/support/TestSupport.h"

#include <vector>

namespace testsupport {

// The catalogue file's text for the films.
inline AnsiString CatalogueText(const std::vector<MovieRecord>& films) {
    RecordStore rows;
    for (const MovieRecord& r : films) rows.Append(r);
    return SerializeCatalogue(rows);
}

// The catalogue file's 13 lines of a film with this title and MID, every
// other field the same for all (Drama, English, DVD, ...).
inline AnsiString CatalogueBlock(const char* title, const char* mid) {
    return AnsiString(title) + "\r\nDrama\r\nEnglish\r\nDVD\r\n1\r\nOwned\r\nYes\r\n" + mid +
           "\r\n8\r\n\r\nDesc\r\n\r\n***\r\n";
}

// The program folder's catalogue file and genre list, with these bytes.
inline void PutCatalogue(std::string_view bytes) { WriteFile(InProgramDir("data.vrx"), bytes); }
inline void PutGenres(std::string_view bytes) { WriteFile(InProgramDir("genres.vrx"), bytes); }

}  // namespace testsupport
