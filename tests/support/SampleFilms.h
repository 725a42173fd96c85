#pragma once
// A film the window tests fill the entry editor and the list with.

#include "app/catalogue/MovieRecord.h"

namespace testsupport {

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

}  // namespace testsupport
