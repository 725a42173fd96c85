#include "app/formats/CatalogueFile.h"

#include "platform/ansi/PutBytes.h"
#include "platform/files/files.h"

#include <cstring>
#include <tuple>

namespace {

constexpr size_t kLinesPerRecord = 13;

}  // namespace

void MidTracker::MarkNumber(std::optional<int> mid) {
    int value = mid.value_or(1);
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

// ---- Reading

namespace {
// Lines 1-11 of a record hold its fields, in this order in the file; the
// eighth is the MID, which the store keeps second.
constexpr size_t kFieldLines = 11;
constexpr size_t kMidLine = 7;
}  // namespace

CatalogueReader::CatalogueReader(RecordStore& rows) : rows_(rows) {
    for (size_t i = 0; i < rows.size(); ++i) mids_.Mark(rows.Field(i, FieldMID));
}

std::pair<std::string_view, bool> CatalogueReader::NextLine(ansi::LineReader& lines, std::string_view block) {
    std::string_view line = lines.Next();
    const size_t end = static_cast<size_t>(line.data() - block.data()) + line.size();
    const bool ended = end < block.size();
    // A CR last in the block ends the line; an LF first in the next block
    // is the rest of the same line end.
    if (ended && block[end] == '\r' && end + 1 == block.size()) skipLf_ = true;
    return {line, ended};
}

void CatalogueReader::Feed(std::string_view block) {
    if (block.empty()) return;
    if (skipLf_ && block.front() == '\n') block.remove_prefix(1);
    skipLf_ = false;
    ansi::LineReader lines(block);
    while (!lines.AtEnd()) {
        if (line_ == 0 && !open_) {
            RecordFromBlock(lines, block);
        } else {
            auto [line, ended] = NextLine(lines, block);
            Piece(line, ended);
        }
    }
}

void CatalogueReader::RecordFromBlock(ansi::LineReader& lines, std::string_view block) {
    std::array<std::string_view, kFieldLines> line;
    for (size_t i = 0; i < kFieldLines; ++i) {
        const bool begun = !lines.AtEnd();
        bool ended = false;
        if (begun) std::tie(line[i], ended) = NextLine(lines, block);
        if (!ended) {
            // The block ends inside the record: what it holds goes into the
            // draft, and the next blocks complete it.
            for (size_t k = 0; k < i; ++k) Piece(line[k], true);
            if (begun) Piece(line[i], false);
            return;
        }
    }
    AnsiString freshMid;
    std::string_view mid = line[kMidLine];
    if (ansi::IsBlank(mid)) {
        freshMid = mids_.NextFree();
        mid = freshMid;
    }
    rows_.AppendLines({line[0], mid, line[1], line[2], line[3], line[4], line[5], line[6], line[8], line[9], line[10]});
    // The store read the MID as a number for sorting already.
    mids_.MarkNumber(rows_.MidNumber(rows_.size() - 1));
    line_ = kFieldLines;
}

void CatalogueReader::Piece(std::string_view bytes, bool ended) {
    if (line_ < kFieldLines) draft_.Add(bytes);
    open_ = !ended;
    if (ended) EndLine();
}

void CatalogueReader::EndLine() {
    open_ = false;
    if (line_ < kFieldLines) {
        draft_.EndField();
        if (line_ == kMidLine) {
            if (ansi::IsBlank(draft_.Field(kMidLine))) draft_.ReplaceLast(mids_.NextFree());
            mids_.Mark(draft_.Field(kMidLine));
            draft_.MoveLastTo(FieldMID);
        }
        if (line_ + 1 == kFieldLines) rows_.Append(draft_);
    }
    line_ = (line_ + 1) % kLinesPerRecord;
}

void CatalogueReader::Finish() {
    // The last line needs no line end; a record cut short gets its
    // missing lines as empty ones.
    if (open_) EndLine();
    if (line_ != 0)
        while (line_ < kFieldLines) EndLine();
    line_ = 0;
    skipLf_ = false;
}

void ParseCatalogue(std::string_view text, RecordStore& rows) {
    CatalogueReader reader(rows);
    reader.Feed(text);
    reader.Finish();
}

void ReadCatalogueFile(const AnsiString& path, RecordStore& rows, files::FileIdentity* identity) {
    CatalogueReader reader(rows);
    files::ReadBlocks(
        path, [&reader](std::string_view block) { reader.Feed(block); }, identity);
    reader.Finish();
}

// ---- Writing

void AppendCatalogueText(const RecordStore& rows, size_t from, size_t to, AnsiString& out) {
    static constexpr std::string_view kRecordEnd = "\r\n***\r\n";
    // File order of the fields; the list order differs only in the MID.
    static constexpr int kFileOrder[] = {FieldTitle,  FieldGenre,   FieldLanguage,   FieldMedia,
                                         FieldDisks,  FieldStatus,  FieldViewed,     FieldMID,
                                         FieldRating, FieldPicture, FieldDescription};
    // Eleven fields with their LF separators become thirteen CR LF lines:
    // ten more bytes for the line ends, nine for the empty line and "***".
    size_t total = 0;
    for (size_t i = from; i < to; ++i) total += rows.RecordBytes(i).size() + 19;
    size_t at = out.size();
    out.resize(at + total);
    char* o = out.data() + at;
    for (size_t i = from; i < to; ++i) {
        // Records lie a few hundred bytes apart: ask for the next ones early.
        if (i + 16 < to) __builtin_prefetch(rows.RecordBytes(i + 16).data());
        const RecordStore::FieldViews f = rows.Fields(i);
        for (int field : kFileOrder) {
            o = ansi::PutBytes(o, f[static_cast<size_t>(field)]);
            *o++ = '\r';
            *o++ = '\n';
        }
        o = ansi::PutBytes(o, kRecordEnd);
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
