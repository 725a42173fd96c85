#include "catalogue/CatalogueFile.h"

#include "files/files.h"

#include <cstring>

#include "ansi/LineReader.h"

namespace {

constexpr size_t kLinesPerRecord = 13;

}  // namespace

void MidTracker::Mark(std::string_view mid) {
    int value = ansi::TryStrToInt(mid).value_or(1);
    if (value >= 1 && value <= 9999) used_.set(static_cast<size_t>(value));
}

AnsiString MidTracker::NextFree() {
    while (lowest_ <= 9999 && used_.test(static_cast<size_t>(lowest_))) ++lowest_;
    return lowest_ <= 9999 ? ansi::IntToStr(lowest_) : AnsiString("0");
}

AnsiString NextFreeMID(const RecordStore& rows) {
    MidTracker mids;
    for (size_t i = 0; i < rows.size(); ++i) mids.Mark(rows.Field(i, FieldMID));
    return mids.NextFree();
}

void ParseCatalogue(std::string_view text, RecordStore& rows) {
    MidTracker mids;
    for (size_t i = 0; i < rows.size(); ++i) mids.Mark(rows.Field(i, FieldMID));
    ansi::LineReader reader(text);
    std::array<std::string_view, kLinesPerRecord> line;
    while (!reader.AtEnd()) {
        line.fill({});
        for (size_t i = 0; i < kLinesPerRecord && !reader.AtEnd(); ++i) line[i] = reader.Next();
        AnsiString freshMid;
        std::string_view mid = line[7];
        if (ansi::IsBlank(mid)) {
            freshMid = mids.NextFree();
            mid = freshMid;
        }
        mids.Mark(mid);
        rows.Append({line[0], mid, line[1], line[2], line[3], line[4], line[5], line[6], line[8], line[9],
                     line[10]});
    }
}

void AppendCatalogueText(const RecordStore& rows, size_t from, size_t to, AnsiString& out) {
    // File order of the fields; the list order differs only in the MID.
    static constexpr int kFileOrder[] = {FieldTitle,  FieldGenre,  FieldLanguage, FieldMedia,
                                         FieldDisks,  FieldStatus, FieldViewed,   FieldMID,
                                         FieldRating, FieldPicture, FieldDescription};
    // Eleven fields with their LF separators become thirteen CR LF lines:
    // ten more bytes for the line ends, nine for the empty line and "***".
    size_t total = 0;
    for (size_t i = from; i < to; ++i) total += rows.RecordBytes(i).size() + 19;
    size_t at = out.size();
    out.resize(at + total);
    char* o = out.data() + at;
    auto put = [&o](std::string_view s) {
        std::memcpy(o, s.data(), s.size());
        o += s.size();
    };
    for (size_t i = from; i < to; ++i) {
        RecordStore::FieldViews f = rows.Fields(i);
        for (int field : kFileOrder) {
            put(f[static_cast<size_t>(field)]);
            put("\r\n");
        }
        put("\r\n***\r\n");
    }
}

AnsiString SerializeCatalogue(const RecordStore& rows) {
    AnsiString out;
    AppendCatalogueText(rows, 0, rows.size(), out);
    return out;
}

AnsiString CatalogueBackupPath(const AnsiString& path) { return path + kBackupSuffix; }

files::Producer CataloguePieces(const RecordStore& rows) {
    return rows.Pieces(
        [&rows](size_t from, size_t to, AnsiString& piece) { AppendCatalogueText(rows, from, to, piece); });
}

files::FileIdentity WriteCatalogueFile(const AnsiString& path, const RecordStore& rows) {
    return files::ReplaceWholeFile(path, CataloguePieces(rows), CatalogueBackupPath(path));
}
