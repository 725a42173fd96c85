#include "entryeditor/Thumbnails.h"

#include "files/files.h"

AnsiString PictureFileName(std::string_view field) { return files::ExtractFileName(field); }

bool IsThumbnailName(std::string_view name) { return name.size() > 2 && name.starts_with("t_"); }

AnsiString PicturePath(const AnsiString& programDir, std::string_view field) {
    AnsiString name = PictureFileName(field);
    return name.empty() || name == "." || name == ".." ? AnsiString() : files::JoinPath(programDir, name);
}

bool DeleteThumbnail(const AnsiString& programDir, std::string_view field) {
    if (!IsThumbnailName(PictureFileName(field))) return false;
    AnsiString path = PicturePath(programDir, field);
    return files::IsPlainFile(path) && files::DeleteFile(path);
}
