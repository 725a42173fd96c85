#pragma once
// The cover pictures: the thumbnails the program keeps in its folder, their
// names, and where the preview shows a picture.
//
// A picture field comes from the catalogue file, so it is never trusted as
// a path: only its file-name part counts, and only the program's own
// thumbnails are ever deleted through it.

#include "platform/ansi/ansi.h"

#include <QRect>
#include <functional>
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

// The bytes of a thumbnail made elsewhere, to be copied as they are (a
// picture file named "t_..."), read a block at a time. Thumbnails are small:
// a file of more than 16 MB is none, and raises an error that names it as
// soon as the reading passes that size; no copy is made then.
inline constexpr size_t kMaxThumbnailBytes = size_t{16} * 1024 * 1024;
AnsiString ThumbnailCopyBytes(const AnsiString& source);

// The name of the thumbnail made from a picture file: "t_" and the file's
// name in lower case (every capital of the code page lowered), in which a
// final ".jpg" or ".jpeg" becomes the number and ".jpg": Cover.JPEG with 417
// gives t_cover417.jpg.
// A name with any other ending keeps it and gets no number. Characters a
// picture field takes for folder separators ('\\', ':') and control
// characters, which no catalogue line can hold, become '_'.
AnsiString ThumbnailName(std::string_view sourceName, int number);

// The same, but never a name already taken: while it is, another number is
// drawn from 0 to 999 (a name without a number gets one before its ending),
// and when all of those are taken, from 1000 to 9999, and so on. draw(n)
// gives a number from 0 to n - 1. Raises EFCreateError when no name is free.
AnsiString FreeThumbnailName(std::string_view sourceName, int number,
                             const std::function<bool(const AnsiString& name)>& taken,
                             const std::function<int(int n)>& draw);

// The name of the file a scanned page is kept in while it becomes a
// thumbnail: "scan", the number and ".jpg"; when that name is taken, another
// number is drawn as for a thumbnail.
AnsiString FreeScanName(int number, const std::function<bool(const AnsiString& name)>& taken,
                        const std::function<int(int n)>& draw);

// Where the preview panel shows a picture of the natural size: scaled to the
// panel's width less 6 and centred from top to bottom when it is wider than
// high, otherwise scaled to the panel's height less 6 and centred from left
// to right (whole numbers, truncated). Empty when a side of the picture is 0.
QRect PreviewRect(QSize natural, QSize panel);
