#pragma once
// The films the window tests fill the entry editor, the list and the
// catalogue file with.

#include "app/catalogue/MovieRecord.h"

namespace testsupport {

// Two films with every field the entry editor shows filled in, no picture.
inline const MovieRecord kSolaris{"Solaris",
                                  "3",
                                  "Drama",
                                  "English",
                                  "DVD",
                                  "2",
                                  "Owned",
                                  "Yes",
                                  "8/10",
                                  "",
                                  "Sent to a station orbiting a distant planet."};
inline const MovieRecord kStalker{"Stalker", "4",  "Thriller", "German", "VHS",      "1",
                                  "Lend To", "No", "9",        "",       "The Zone."};

// Two films as the exports write them: the first with a picture and a
// description, the second with an empty rating, picture and description.
inline const MovieRecord kExportedSolaris{"Solaris", "3",   "Drama", "English",  "DVD",  "1",
                                          "Owned",   "Yes", "9",     "t_s1.jpg", "Ocean"};
inline const MovieRecord kExportedStalker{"Stalker", "4", "Drama", "German", "VHS", "2", "Lend To", "No", "", "", ""};

}  // namespace testsupport
