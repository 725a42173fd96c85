#include "app/formats/Import.h"

#include "app/formats/CatalogueFile.h"
#include "app/formats/ImportProgress.h"
#include "platform/ansi/LineReader.h"
#include "platform/files/files.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <unordered_set>

using import_progress::kReportBytes;
using import_progress::Part;
using import_progress::Report;
using import_progress::Share;

// ---- The table

std::string_view ImportTable::Cell(size_t row, size_t column) const {
    size_t first = rowFirstCell_[row], end = row + 1 < rowFirstCell_.size() ? rowFirstCell_[row + 1] : rowOpen_;
    if (first + column >= end) return {};
    size_t cell = first + column, from = cell == 0 ? 0 : cellEnds_[cell - 1];
    return std::string_view(text_).substr(from, cellEnds_[cell] - from);
}

void ImportTable::EndRow() {
    rowFirstCell_.push_back(rowOpen_);
    columns_ = std::max(columns_, cellEnds_.size() - rowOpen_);
    rowOpen_ = cellEnds_.size();
}

void ImportTable::TakeHeader() {
    if (Rows() == 0) return;
    for (size_t c = 0; c < cellEnds_.size() && (Rows() == 1 || c < rowFirstCell_[1]); ++c)
        Header.emplace_back(Cell(0, c));
    rowFirstCell_.erase(rowFirstCell_.begin());
    columns_ = Header.size();
    for (size_t r = 0; r < Rows(); ++r) {
        size_t end = r + 1 < Rows() ? rowFirstCell_[r + 1] : rowOpen_;
        columns_ = std::max(columns_, end - rowFirstCell_[r]);
    }
}

size_t ImportTable::ReplacedIn(const std::array<int, FieldCount>& columns) const {
    if (ReplacedInColumn.empty()) return Replaced;
    size_t replaced = 0;
    std::vector<bool> counted(ReplacedInColumn.size());
    for (int c : columns)
        if (c >= 0 && size_t(c) < counted.size() && !counted[size_t(c)])
            counted[size_t(c)] = true, replaced += ReplacedInColumn[size_t(c)];
    return replaced;
}

void ImportTable::Append(const ImportTable& other) {
    const size_t textBase = text_.size(), cellBase = cellEnds_.size();
    text_ += other.text_;
    for (size_t end : other.cellEnds_) cellEnds_.push_back(textBase + end);
    for (size_t first : other.rowFirstCell_) rowFirstCell_.push_back(cellBase + first);
    rowOpen_ = cellBase + other.rowOpen_;
    columns_ = std::max(columns_, other.columns_);
    Replaced += other.Replaced;
    BadCovers += other.BadCovers;
}

// ---- Text

namespace {

// What a Unicode character becomes in Windows-1252: itself, or '?' counted.
void PutChar(std::string& out, char32_t c, size_t& replaced) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    const QChar q(static_cast<char16_t>(c));
    if (c >= 0x10000 || !ansi::CanEncode(q)) {
        ++replaced;
        out += '?';
    } else {
        out += ansi::FromQString(QString(q));
    }
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// The length of the UTF-8 sequence that starts at s[i] when it is well
// formed (shortest form, no surrogate, at most U+10FFFF), else 0.
size_t Utf8Length(std::string_view s, size_t i, char32_t* code) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    unsigned char lead = b(0);
    size_t n = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    char32_t c = lead & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return 0;
        c = c << 6 | (b(k) & 0x3F);
    }
    if ((n == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) || (n == 4 && (c < 0x10000 || c > 0x10FFFF))) return 0;
    *code = c;
    return n;
}

bool AllAscii(std::string_view s) {
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        if (w & 0x8080808080808080ull) return false;
    }
    for (; i < s.size(); ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            size_t rest = s.size() - i;
            if (rest >= 8 && AllAscii(s.substr(i, 8))) i += 8;
            else
                ++i;
            continue;
        }
        char32_t c;
        size_t n = Utf8Length(s, i, &c);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void AppendImported(std::string& out, std::string_view text, bool utf8, size_t& replaced) {
    const bool plain = !utf8 || AllAscii(text);
    if (plain && text.find_first_of("\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    for (size_t i = 0; i < text.size();) {
        char ch = text[i];
        if (IsLineBreak(ch)) {
            out += ' ';
            while (i < text.size() && IsLineBreak(text[i])) ++i;
            continue;
        }
        if (plain || static_cast<unsigned char>(ch) < 0x80) {
            out += ch;
            ++i;
            continue;
        }
        char32_t c = '?';
        size_t n = Utf8Length(text, i, &c);
        PutChar(out, c, replaced);
        i += std::max<size_t>(n, 1);
    }
}

void AppendImported(std::string& out, QStringView text, size_t& replaced) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A run of ASCII without line breaks goes over as it is.
        qsizetype run = i;
        while (run < text.size() && text[run].unicode() < 0x80 && text[run] != u'\r' && text[run] != u'\n') ++run;
        if (run > i) {
            const size_t at = out.size();
            out.resize(at + size_t(run - i));
            for (qsizetype k = i; k < run; ++k) out[at + size_t(k - i)] = static_cast<char>(text[k].unicode());
            i = run - 1;
            continue;
        }
        char16_t u = text[i].unicode();
        if (u == '\r' || u == '\n') {
            out += ' ';
            while (i + 1 < text.size() && (text[i + 1] == u'\r' || text[i + 1] == u'\n')) ++i;
        } else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            ++replaced;
            out += '?';
        } else {
            PutChar(out, u, replaced);
        }
    }
}

// ---- Spreadsheets

namespace {

struct HeaderName {
    const char* name;
    int field;
};
// The names a header cell may give a field; "Picture" is known but taken by
// no field: a picture name from another folder names no file here.
constexpr HeaderName kHeaderNames[] = {
    {"title", FieldTitle},
    {"titel", FieldTitle},
    {"mid", FieldMID},
    {"#", FieldMID},
    {"genre", FieldGenre},
    {"language", FieldLanguage},
    {"sprache", FieldLanguage},
    {"media", FieldMedia},
    {"medium", FieldMedia},
    {"disks", FieldDisks},
    {"status", FieldStatus},
    {"viewed", FieldViewed},
    {"seen", FieldViewed},
    {"rating", FieldRating},
    {"picture", FieldPicture},
    {"description", FieldDescription},
    {"plot", FieldDescription},
    {"comments", FieldDescription},
    {"plot summary", FieldDescription},
};

// The order of the columns our own export writes.
constexpr int kExportOrder[] = {FieldTitle,  FieldMID,    FieldGenre,  FieldLanguage, FieldMedia,      FieldDisks,
                                FieldStatus, FieldViewed, FieldRating, FieldPicture,  FieldDescription};

AnsiString LineText(size_t line) { return "line " + ansi::IntToStr(static_cast<long long>(line)); }

// The text export: nine lines per film, the ninth empty.
bool ReadListing(std::string_view text, ImportTable& table, size_t& replaced, bool utf8, const ReadProgress& progress) {
    std::vector<std::string_view> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end;
        if (at < text.size() && text[at] == '\r') ++at;
        if (at < text.size() && text[at] == '\n') ++at;
    }
    if (lines.empty() || lines.size() % 9 != 0) return false;
    for (size_t i = 8; i < lines.size(); i += 9)
        if (!lines[i].empty()) return false;
    for (size_t i = 0; i < lines.size(); i += 9) {
        if (i % 36864 == 0) Report(progress, Share(size_t(lines[i].data() - text.data()), text.size()));
        for (size_t f = 0; f < 8; ++f) {
            AppendImported(table.OpenCell(), lines[i + f], utf8, replaced);
            table.EndCell();
        }
        table.EndRow();
    }
    return true;
}

// The separator of a file's first rows: of those found as often in each of
// them (a spreadsheet's columns), the one found most; when there is none,
// the one of comma and semicolon the first row holds more of. A title with
// semicolons in a file of commas thus leaves the columns as they are.
struct SeparatorCount {
    char separator;
    size_t first = 0, now = 0;  // in the first row, in the row being read
    bool even = true;           // as many in each row
    void End(size_t row) {
        if (row == 0) first = now;
        else
            even = even && now == first;
        now = 0;
    }
    bool Columns() const { return even && first > 0; }
};

// Counts the separators outside quotes in each of the first rows.
void CountSeparators(std::string_view text, std::span<SeparatorCount> counts) {
    constexpr size_t kRows = 20;
    size_t row = 0;
    bool quoted = false, filled = false;
    for (size_t i = 0; i <= text.size() && row < kRows; ++i) {
        const char c = i < text.size() ? text[i] : '\n';
        if (c == '"') quoted = !quoted;
        if (quoted || c == '"') {
            filled = true;
        } else if (!IsLineBreak(c)) {
            for (SeparatorCount& count : counts) count.now += c == count.separator;
            filled = true;
        } else if (filled) {
            // A blank line is no row.
            for (SeparatorCount& count : counts) count.End(row);
            ++row, filled = false;
        }
    }
}

char DetectSeparator(std::string_view text) {
    using Count = SeparatorCount;
    std::array<Count, 3> counts{{{','}, {';'}, {'\t'}}};
    CountSeparators(text, counts);
    const Count* best = nullptr;
    for (const Count& count : counts)
        if (count.Columns() && (!best || count.first > best->first)) best = &count;
    if (best) return best->separator;
    return counts[1].first > counts[0].first ? ';' : ',';
}

// A text in UTF-16 (with its byte order mark, as spreadsheets save
// "Unicode text") as UTF-8; nothing for any other.
std::optional<std::string> FromUtf16(std::string_view bytes) {
    if (!bytes.starts_with("\xFF\xFE") && !bytes.starts_with("\xFE\xFF")) return std::nullopt;
    QStringDecoder decoder(bytes.starts_with("\xFF") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    const QString text = decoder.decode(QByteArrayView(bytes.data() + 2, qsizetype(bytes.size() - 2)));
    if (decoder.hasError()) return std::nullopt;
    return text.toUtf8().toStdString();
}

// A first row naming two fields is a header; naming one, when it holds no
// number either (a film's row holds its MID or disks), as in "Title, Year,
// Director".
bool LooksLikeHeader(const ImportTable& table) {
    size_t named = 0, filled = 0;
    bool number = false;
    for (size_t c = 0; c < table.Columns(); ++c) {
        std::string_view cell = table.Cell(0, c);
        if (ansi::IsBlank(cell)) continue;
        ++filled;
        named += FieldOfHeader(cell) >= 0;
        number = number || ansi::TryStrToInt(ansi::Trim(cell)).has_value();
    }
    return named >= 2 || (named == 1 && (filled == 1 || !number));
}

}  // namespace

int FieldOfHeader(std::string_view cell) {
    AnsiString name = ansi::LowerCase(ansi::Trim(cell));
    for (const HeaderName& h : kHeaderNames)
        if (name == h.name) return h.field;
    return -1;
}

namespace {

// Whether the text is UTF-8, checked a megabyte at a time, each part ending
// before a character's first byte: a valid text has valid parts, an invalid
// one a bad part.
bool IsUtf8Text(std::string_view bytes, const ReadProgress& progress) {
    for (size_t from = 0; from < bytes.size();) {
        size_t end = std::min(bytes.size(), from + kReportBytes);
        for (int back = 0; back < 3 && end < bytes.size() && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80;
             ++back)
            --end;
        if (!IsValidUtf8(bytes.substr(from, end - from))) return false;
        from = end;
        Report(progress, Share(from, bytes.size()));
    }
    return true;
}

// Comma- or semicolon-separated rows into a table, cell by cell.
class CsvRows {
public:
    CsvRows(std::string_view bytes, bool utf8, ImportTable& table)
        : bytes_(bytes), utf8_(utf8), separator_(DetectSeparator(bytes)), table_(table) {}

    void Read(const ReadProgress& progress) {
        size_t reportAt = kReportBytes;
        while (at_ < bytes_.size()) {
            if (at_ >= reportAt) {
                Report(progress, Share(at_, bytes_.size()));
                reportAt = at_ + kReportBytes;
            }
            // A blank line is no row.
            if (IsLineBreak(bytes_[at_])) {
                line_ += bytes_[at_] == '\n' || (at_ + 1 < bytes_.size() && bytes_[at_ + 1] != '\n');
                ++at_;
                continue;
            }
            Row();
        }
    }
    size_t Replaced() const { return replaced_; }

private:
    // The row's cells up to its line end, and the line end.
    void Row() {
        const size_t n = bytes_.size();
        for (size_t column = 0;; ++column) {
            std::string& cell = table_.OpenCell();
            if (bytes_[at_] == '"') Quoted(cell);
            // Unquoted text, or what follows a closing quote, up to the
            // separator or the line's end.
            const size_t end = static_cast<size_t>(
                ansi::FindLineBreakOr(bytes_.data() + at_, bytes_.data() + n, separator_) - bytes_.data());
            AppendImported(cell, bytes_.substr(at_, end - at_), utf8_, cellReplaced_);
            table_.EndCell();
            CountReplaced(column);
            at_ = end;
            // A separator last on the line (as our export ends each line)
            // opens no further cell.
            if (at_ < n && bytes_[at_] == separator_ && ++at_ < n && !IsLineBreak(bytes_[at_])) continue;
            break;
        }
        table_.EndRow();
        if (at_ < n && bytes_[at_] == '\r') ++at_;
        if (at_ < n && bytes_[at_] == '\n') ++at_;
        ++line_;
    }

    // A quoted text from its opening quote on, doubled quotes as one.
    void Quoted(std::string& cell) {
        const size_t opened = line_;
        ++at_;
        for (;;) {
            const size_t quote = bytes_.find('"', at_);
            if (quote == std::string_view::npos)
                throw EImportError("The quoted field that begins in " + LineText(opened) + " is never closed.");
            const std::string_view part = bytes_.substr(at_, quote - at_);
            for (size_t k = 0; k < part.size(); ++k)
                line_ += part[k] == '\n' || (part[k] == '\r' && (k + 1 == part.size() || part[k + 1] != '\n'));
            AppendImported(cell, part, utf8_, cellReplaced_);
            at_ = quote + 1;
            if (at_ >= bytes_.size() || bytes_[at_] != '"') return;
            cell += '"';
            ++at_;
        }
    }

    // The cell's replaced characters go to its column's count, the first
    // row's also to its own, which a header does not count.
    void CountReplaced(size_t column) {
        if (cellReplaced_ == 0) return;
        std::vector<size_t>& counts = table_.ReplacedInColumn;
        if (counts.size() <= column) counts.resize(column + 1), firstRow_.resize(column + 1);
        counts[column] += cellReplaced_;
        if (table_.Rows() == 0) firstRow_[column] += cellReplaced_;
        replaced_ += cellReplaced_;
        cellReplaced_ = 0;
    }

public:
    // The header's characters taken out of the counts.
    void TakeHeader() {
        table_.TakeHeader();
        for (size_t c = 0; c < firstRow_.size(); ++c)
            table_.ReplacedInColumn[c] -= firstRow_[c], replaced_ -= firstRow_[c];
    }

private:
    std::string_view bytes_;
    bool utf8_;
    char separator_;
    ImportTable& table_;
    size_t at_ = 0, line_ = 1, replaced_ = 0, cellReplaced_ = 0;
    std::vector<size_t> firstRow_;
};

}  // namespace

ImportTable ReadCsvImport(std::string_view bytes, bool textListing, const ReadProgress& progress) {
    ImportTable table;
    const std::optional<std::string> utf16 = FromUtf16(bytes);
    if (utf16) bytes = *utf16;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (bytes.find('\0') != std::string_view::npos)
        throw EImportError("The file holds binary data, not comma- or semicolon-separated text.");
    const ReadProgress checking = Part(progress, 0, 0.2), reading = Part(progress, 0.2, 1);
    const bool utf8 = IsUtf8Text(bytes, checking);
    size_t replaced = 0;
    if (textListing && ReadListing(bytes, table, replaced, utf8, reading)) {
        table.Replaced = replaced;
        return table;
    }
    CsvRows rows(bytes, utf8, table);
    rows.Read(reading);
    if (table.Rows() > 0 && LooksLikeHeader(table)) rows.TakeHeader();
    table.Replaced = rows.Replaced();
    if (table.Rows() == 0) throw EImportError("The file holds no films: no films found.");
    return table;
}

ColumnMap GuessColumns(const ImportTable& table) {
    if (table.Tellico) return TellicoColumns();
    ColumnMap columns;
    columns.fill(-1);
    if (!table.Header.empty()) {
        for (size_t c = table.Header.size(); c-- > 0;)
            if (int f = FieldOfHeader(table.Header[c]); f >= 0) columns[static_cast<size_t>(f)] = static_cast<int>(c);
    } else {
        for (size_t c = 0; c < std::size(kExportOrder) && c < table.Columns(); ++c)
            columns[static_cast<size_t>(kExportOrder[c])] = static_cast<int>(c);
    }
    // A picture name from another folder names no file here.
    columns[FieldPicture] = -1;
    return columns;
}

ImportTable ReadImportFile(const AnsiString& path, const ReadProgress& progress) {
    // Read a megabyte at a time, to tell how far it has come.
    AnsiString bytes;
    std::error_code unknown;
    const uintmax_t size = std::filesystem::file_size(path, unknown);
    if (!unknown) bytes.reserve(size_t(size));
    const ReadProgress loading = Part(progress, 0, 0.1);
    files::ReadBlocks(path, [&](std::string_view block) {
        bytes.append(block);
        Report(loading, Share(bytes.size(), size_t(size)));
    });
    const ReadProgress reading = Part(progress, 0.1, 1);
    AnsiString name = ansi::LowerCase(files::ExtractFileName(path));
    auto endsWith = [&name](const char* ending) { return name.ends_with(ending); };
    if (endsWith(".tc") || endsWith(".xml")) return ReadTellicoImport(bytes, reading);
    if (endsWith(".csv")) return ReadCsvImport(bytes, false, reading);
    if (endsWith(".txt")) return ReadCsvImport(bytes, true, reading);
    size_t start = bytes.find_first_not_of(" \t\r\n", bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    if (LooksLikeZip(bytes) || (start != AnsiString::npos && bytes[start] == '<'))
        return ReadTellicoImport(bytes, reading);
    return ReadCsvImport(bytes, false, reading);
}

// ---- Records

namespace {

// The row's cells as a film's fields, blank ones of these from a new entry's
// defaults; nothing for a row of blank cells (";;;" under a spreadsheet's
// table), which is no film.
std::optional<RecordStore::FieldViews> RowFields(const ImportTable& table, const ColumnMap& columns, size_t row,
                                                 const MovieRecord& defaults) {
    static constexpr int kDefaulted[] = {FieldGenre, FieldLanguage, FieldMedia, FieldDisks, FieldStatus, FieldViewed};
    RecordStore::FieldViews fields{};
    for (int f = 0; f < FieldCount; ++f)
        if (int c = columns[static_cast<size_t>(f)]; c >= 0)
            fields[static_cast<size_t>(f)] = table.Cell(row, size_t(c));
    if (std::all_of(fields.begin(), fields.end(), [](std::string_view v) { return ansi::IsBlank(v); }))
        return std::nullopt;
    // "true" and "false", as Tellico writes a seen film, are the list's
    // "Yes" and "No".
    std::string_view& viewed = fields[FieldViewed];
    if (const AnsiString said = ansi::LowerCase(ansi::Trim(viewed)); said == "true" || said == "false")
        viewed = said == "true" ? "Yes" : "No";
    for (int f : kDefaulted)
        if (ansi::IsBlank(fields[static_cast<size_t>(f)])) fields[static_cast<size_t>(f)] = defaults.Field(f);
    return fields;
}

}  // namespace

ImportedFilms BuildImport(const ImportTable& table, const ColumnMap& columns, const MovieRecord& defaults,
                          const RecordStore& catalogue, bool skipDuplicates,
                          const std::function<bool(size_t done)>& progress, size_t keep) {
    ImportedFilms result;
    MidTracker mids;
    for (size_t i = 0; i < catalogue.size(); ++i) mids.Mark(catalogue.Field(i, FieldMID));
    auto key = [](std::string_view title, std::string_view media) {
        return ansi::AnsiLowerCase(title) + '\n' + ansi::AnsiLowerCase(media);
    };
    std::unordered_set<std::string> present;
    if (skipDuplicates)
        for (size_t i = 0; i < catalogue.size(); ++i)
            present.insert(key(catalogue.Field(i, FieldTitle), catalogue.Field(i, FieldMedia)));
    // Films whose own MID is taken get the free ones left when every film
    // has kept its own: their places in films, numbered after the loop.
    std::vector<size_t> unnumbered;
    AnsiString mid;
    for (size_t row = 0; row < table.Rows(); ++row) {
        if (progress && row % 4096 == 0 && !progress(row)) {
            result.cancelled = true;
            break;
        }
        std::optional<RecordStore::FieldViews> cells = RowFields(table, columns, row, defaults);
        if (!cells) {
            ++result.blank;
            continue;
        }
        RecordStore::FieldViews& fields = *cells;
        if (!present.empty() && present.contains(key(fields[FieldTitle], fields[FieldMedia]))) {
            ++result.skipped;
            continue;
        }
        ++result.counted;
        std::optional<int> given = ansi::TryStrToInt(fields[FieldMID]);
        const bool own = given && *given >= 1 && *given <= 9999 && !mids.IsMarked(*given);
        if (own) mids.MarkNumber(given);
        if (result.films.size() >= keep) continue;
        if (own) mid = ansi::IntToStr(*given);
        else
            unnumbered.push_back(result.films.size());
        // "0" until numbered: what a film gets when no number is free.
        fields[FieldMID] = own ? std::string_view(mid) : std::string_view("0");
        fields[FieldPicture] = {};
        result.films.Append(fields);
        result.sourceRows.push_back(row);
    }
    for (size_t film : unnumbered) {
        RecordStore::FieldViews fields = result.films.Fields(film);
        mid = mids.NextFree();
        if (mid == std::string_view("0")) break;
        mids.Mark(mid);
        fields[FieldMID] = mid;
        result.films.Set(film, fields);
    }
    return result;
}
