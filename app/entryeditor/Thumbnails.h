#pragma once
// The cover thumbnails the program keeps in its folder. A picture field
// comes from the catalogue file, so it is never trusted as a path: only its
// file-name part counts, and only the program's own thumbnails are ever
// deleted through it.

#include "ansi/ansi.h"

#include <string_view>

// The part of a picture field after the last '/', '\\', ':' or NUL.
AnsiString PictureFileName(std::string_view field);

// True for a name the program gives its thumbnails: "t_" and more.
bool IsThumbnailName(std::string_view name);

// The file in the program folder that a picture field names; empty when the
// field names none.
AnsiString PicturePath(const AnsiString& programDir, std::string_view field);

// Deletes the file a picture field names, but only when it is one of the
// program's thumbnails: a thumbnail name, and a plain file (not a folder,
// not a link) in the program folder. Anything else stays where it is.
// True when a file was deleted.
bool DeleteThumbnail(const AnsiString& programDir, std::string_view field);
