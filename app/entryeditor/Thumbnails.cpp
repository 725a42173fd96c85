#include "app/entryeditor/Thumbnails.h"

#include "platform/errors/Exception.h"
#include "platform/files/files.h"

#include <QFile>
#include <algorithm>
#include <vector>

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

AnsiString ThumbnailCopyBytes(const AnsiString& source) {
    AnsiString bytes;
    files::ReadBlocks(source, [&](std::string_view block) {
        if (bytes.size() + block.size() > kMaxThumbnailBytes)
            throw Exception(ansi::Format("%s is too large for a thumbnail (more than 16 MB)",
                                         ansi::FromQString(QFile::decodeName(source.c_str()))));
        bytes.append(block);
    });
    return bytes;
}

namespace {

// A thumbnail name is head + number + tail, or head + tail for a source
// whose ending is kept.
struct NameParts {
    AnsiString head, tail;
    bool numbered;
};

NameParts Parts(std::string_view sourceName) {
    AnsiString name = "t_" + ansi::AnsiLowerCase(sourceName);
    for (char& c : name)
        if (c == '\\' || c == ':' || c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
    for (std::string_view ending : {".jpg", ".jpeg"})
        if (name.ends_with(ending)) return {name.substr(0, name.size() - ending.size()), ".jpg", true};
    // Should another number ever be needed, it goes before the ending.
    size_t dot = name.rfind('.');
    if (dot == AnsiString::npos) return {name, {}, false};
    return {name.substr(0, dot), name.substr(dot), false};
}

AnsiString Numbered(const NameParts& parts, long long number) {
    return parts.head + ansi::IntToStr(number) + parts.tail;
}

}  // namespace

AnsiString ThumbnailName(std::string_view sourceName, int number) {
    NameParts parts = Parts(sourceName);
    return parts.numbered ? Numbered(parts, number) : parts.head + parts.tail;
}

namespace {

// The first name when it is free, else a free one with another number.
AnsiString FreeName(const NameParts& parts, const AnsiString& first,
                    const std::function<bool(const AnsiString& name)>& taken, const std::function<int(int n)>& draw) {
    if (!taken(first)) return first;
    // Drawing until a free number comes up is drawing among the free ones.
    for (long long low = 0, high = 1000; high <= 1000000; low = high, high *= 10) {
        std::vector<long long> free;
        for (long long n = low; n < high; ++n)
            if (!taken(Numbered(parts, n))) free.push_back(n);
        if (free.empty()) continue;
        const int last = static_cast<int>(free.size()) - 1;
        return Numbered(parts, free[static_cast<size_t>(std::clamp(draw(last + 1), 0, last))]);
    }
    throw EFCreateError(ansi::Format("Cannot create file %s", first));
}

}  // namespace

AnsiString FreeThumbnailName(std::string_view sourceName, int number,
                             const std::function<bool(const AnsiString& name)>& taken,
                             const std::function<int(int n)>& draw) {
    return FreeName(Parts(sourceName), ThumbnailName(sourceName, number), taken, draw);
}

AnsiString FreeScanName(int number, const std::function<bool(const AnsiString& name)>& taken,
                        const std::function<int(int n)>& draw) {
    const NameParts parts{"scan", ".jpg", true};
    return FreeName(parts, Numbered(parts, number), taken, draw);
}

QRect PreviewRect(QSize natural, QSize panel) {
    const long long w = natural.width(), h = natural.height();
    if (w <= 0 || h <= 0) return {};
    const long long boxWidth = panel.width() - 6, boxHeight = panel.height() - 6;
    if (w > h) {
        const int height = static_cast<int>(h * boxWidth / w);
        return QRect(3, (panel.height() - height) / 2, static_cast<int>(boxWidth), height);
    }
    const int width = static_cast<int>(w * boxHeight / h);
    return QRect((panel.width() - width) / 2, 3, width, static_cast<int>(boxHeight));
}
