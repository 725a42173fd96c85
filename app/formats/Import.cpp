#include "app/formats/Import.h"

#include "app/formats/CatalogueFile.h"
#include "platform/files/files.h"
#include "platform/module/Library.h"

#include <zip.h>

#include <QBuffer>
#include <QByteArray>
#include <QXmlStreamReader>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <future>
#include <optional>
#include <unordered_map>
#include <unordered_set>

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

// ---- Progress

namespace {

// Reports on progress every so many bytes of a file.
constexpr size_t kReportBytes = size_t(1) << 20;

// Tells progress how far; raises EImportCancelled when it says stop.
void Report(const ReadProgress& progress, double done) {
    if (progress && !progress(std::clamp(done, 0.0, 1.0))) throw EImportCancelled("The import was cancelled.");
}

// The part from..to of a whole reading's progress.
ReadProgress Part(const ReadProgress& whole, double from, double to) {
    if (!whole) return {};
    return [whole, from, to](double done) { return whole(from + done * (to - from)); };
}

double Share(size_t done, size_t total) { return total ? double(done) / double(total) : 1.0; }

}  // namespace

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
    {"title", FieldTitle},      {"titel", FieldTitle},
    {"mid", FieldMID},          {"#", FieldMID},
    {"genre", FieldGenre},      {"language", FieldLanguage},
    {"sprache", FieldLanguage}, {"media", FieldMedia},
    {"medium", FieldMedia},     {"disks", FieldDisks},
    {"status", FieldStatus},    {"viewed", FieldViewed},
    {"seen", FieldViewed},      {"rating", FieldRating},
    {"picture", FieldPicture},  {"description", FieldDescription},
    {"plot", FieldDescription}, {"comments", FieldDescription},
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

char DetectSeparator(std::string_view text) {
    size_t commas = 0, semicolons = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        else if (!quoted && IsLineBreak(c))
            break;
        else if (!quoted)
            commas += c == ',', semicolons += c == ';';
    }
    return semicolons > commas ? ';' : ',';
}

bool LooksLikeHeader(const ImportTable& table) {
    size_t named = 0, filled = 0;
    for (size_t c = 0; c < table.Columns(); ++c) {
        std::string_view cell = table.Cell(0, c);
        if (ansi::IsBlank(cell)) continue;
        ++filled;
        named += FieldOfHeader(cell) >= 0;
    }
    return named >= 2 || (named == 1 && filled == 1);
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
        const char stops[3] = {separator_, '\r', '\n'};
        for (;;) {
            std::string& cell = table_.OpenCell();
            if (bytes_[at_] == '"') Quoted(cell);
            // Unquoted text, or what follows a closing quote, up to the
            // separator or the line's end.
            const size_t end = std::min(bytes_.find_first_of(std::string_view(stops, 3), at_), n);
            AppendImported(cell, bytes_.substr(at_, end - at_), utf8_, replaced_);
            table_.EndCell();
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
            AppendImported(cell, part, utf8_, replaced_);
            at_ = quote + 1;
            if (at_ >= bytes_.size() || bytes_[at_] != '"') return;
            cell += '"';
            ++at_;
        }
    }

    std::string_view bytes_;
    bool utf8_;
    char separator_;
    ImportTable& table_;
    size_t at_ = 0, line_ = 1, replaced_ = 0;
};

}  // namespace

ImportTable ReadCsvImport(std::string_view bytes, bool textListing, const ReadProgress& progress) {
    ImportTable table;
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
    if (table.Rows() > 0 && LooksLikeHeader(table)) table.TakeHeader();
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

// ---- Tellico

namespace {

// The columns of a Tellico table, in this order.
constexpr int kTellicoFields[] = {FieldTitle,  FieldGenre,  FieldLanguage, FieldMedia,
                                  FieldStatus, FieldViewed, FieldRating,   FieldDescription};
enum TellicoColumn { TTitle, TGenre, TLanguage, TMedia, TStatus, TViewed, TRating, TPlot, TComments, TCover, TCount };

const char* CollectionKind(int type) {
    static const char* const kinds[] = {"",      "general", "books",  "videos", "music", "bibliography", "comics",
                                        "wines", "coins",   "stamps", "cards",  "games", "files",        "board games"};
    return type >= 1 && type < int(std::size(kinds)) ? kinds[type] : "unknown";
}

// JPEG, PNG, GIF or BMP by their first bytes.
bool LooksLikePicture(std::string_view bytes) {
    return bytes.starts_with("\xFF\xD8\xFF") || bytes.starts_with("\x89PNG\r\n\x1A\n") || bytes.starts_with("GIF8") ||
           bytes.starts_with("BM");
}

// The text without the blanks and control characters around it.
std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

bool IsTrue(std::string_view text) { return ansi::LowerCase(Trimmed(text)) == "true"; }

// "2/10" .. "10/10" for a rating of 1 to 5 stars, else empty.
AnsiString Rating(std::string_view text) {
    text = Trimmed(text);
    if (text.starts_with('+')) text.remove_prefix(1);
    int stars = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), stars);
    if (error != std::errc() || end != text.data() + text.size() || stars < 1 || stars > 5) return {};
    return ansi::IntToStr(static_cast<long long>(stars) * 2) + "/10";
}

[[noreturn]] void Malformed(const QXmlStreamReader& xml) {
    throw EImportError("The Tellico file is not well-formed XML (line " + ansi::IntToStr(xml.lineNumber()) +
                       ", column " + ansi::IntToStr(xml.columnNumber()) + "): " + ansi::FromQString(xml.errorString()));
}

// Reads the next element inside the current one; false at its end.
bool NextChild(QXmlStreamReader& xml) {
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: return true;
        case QXmlStreamReader::EndElement: return false;
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty() || xml.text().contains(u"<!ENTITY"))
                throw EImportError("The Tellico file declares entities in its DTD, which are refused.");
            break;
        default: break;
        }
    }
    if (xml.hasError()) Malformed(xml);
    return false;
}

// The text of a simple element, or of the first child of a list element
// ("genres" holding "genre"s), into cell as imported text, counting the
// characters replaced.
void FirstText(QXmlStreamReader& xml, std::string& cell, size_t& replaced) {
    cell.clear();
    size_t own = 0;
    bool found = false;
    int depth = 0;  // inside the first child
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType t = xml.readNext();
        if (t == QXmlStreamReader::Characters) {
            if (!found || depth > 0) AppendImported(cell, xml.text(), own);
        } else if (t == QXmlStreamReader::StartElement) {
            if (depth > 0) ++depth;
            else if (!found)
                cell.clear(), own = 0, found = true, depth = 1;
            else
                xml.skipCurrentElement();
        } else if (t == QXmlStreamReader::EndElement) {
            if (depth == 0) break;
            --depth;
        }
    }
    if (xml.hasError()) Malformed(xml);
    if (!found && ansi::IsBlank(cell)) cell.clear(), own = 0;
    replaced += own;
}

}  // namespace

ColumnMap TellicoColumns() {
    ColumnMap columns;
    columns.fill(-1);
    for (size_t c = 0; c < std::size(kTellicoFields); ++c) columns[static_cast<size_t>(kTellicoFields[c])] = int(c);
    return columns;
}

namespace {

// What one reading of a collection's XML gives: the rows, and the covers
// they name, to be looked up once all is read.
struct TellicoRead {
    ImportTable table;
    std::vector<std::pair<size_t, AnsiString>> coverIds;  // a row and its cover's id
    std::unordered_map<AnsiString, std::string> embedded;
    bool sawCollection = false;
};

// Pieces of text read one after another, as one file, without copying them
// together first.
class Pieces : public QIODevice {
public:
    explicit Pieces(std::vector<std::string_view> pieces) : pieces_(std::move(pieces)) { open(ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        size_t rest = 0;
        for (std::string_view p : pieces_) rest += p.size();
        return qint64(rest) + QIODevice::bytesAvailable();
    }
    size_t Given() const { return given_; }

protected:
    qint64 readData(char* data, qint64 most) override {
        size_t n = 0;
        for (std::string_view& p : pieces_) {
            const size_t k = std::min(p.size(), size_t(most) - n);
            if (k == 0) continue;
            std::memcpy(data + n, p.data(), k);
            p.remove_prefix(k);
            n += k;
        }
        given_ += n;
        return qint64(n);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::vector<std::string_view> pieces_;
    size_t given_ = 0;
};

// The texts of an entry's elements that are imported, and the characters
// each replaced.
struct EntryTexts {
    std::array<std::string, TCount> texts;
    std::array<size_t, TCount> replaced{};

    // Reads the entry's elements, the reader inside it.
    void Read(QXmlStreamReader& xml) {
        for (size_t t = 0; t < TCount; ++t) texts[t].clear(), replaced[t] = 0;
        while (NextChild(xml)) {
            const int column = ColumnOf(xml.name());
            if (column < 0) xml.skipCurrentElement();
            else
                FirstText(xml, texts[size_t(column)], replaced[size_t(column)]);
        }
    }

    // The entry as the table's next row.
    void Put(TellicoRead& read) const {
        ImportTable& table = read.table;
        const size_t description = ansi::IsBlank(texts[TPlot]) ? TComments : TPlot;
        for (size_t t : {size_t(TTitle), size_t(TGenre), size_t(TLanguage), size_t(TMedia), description})
            table.Replaced += replaced[t];
        auto put = [&table](std::string_view text) {
            table.OpenCell().append(text);
            table.EndCell();
        };
        put(texts[TTitle]);
        put(texts[TGenre]);
        put(texts[TLanguage]);
        put(texts[TMedia]);
        put(IsTrue(texts[TStatus]) ? "Lend To" : "");
        put(texts[TViewed].empty() ? "" : IsTrue(texts[TViewed]) ? "Yes" : "No");
        put(Rating(texts[TRating]));
        put(texts[description]);
        table.EndRow();
        if (std::string_view id = Trimmed(texts[TCover]); !id.empty()) read.coverIds.emplace_back(table.Rows() - 1, id);
    }

    static int ColumnOf(QStringView name) {
        static const std::pair<const char16_t*, int> kColumns[] = {
            {u"title", TTitle},       {u"genres", TGenre}, {u"genre", TGenre},       {u"languages", TLanguage},
            {u"language", TLanguage}, {u"medium", TMedia}, {u"loaned", TStatus},     {u"seen", TViewed},
            {u"rating", TRating},     {u"plot", TPlot},    {u"comments", TComments}, {u"cover", TCover}};
        for (const auto& [element, column] : kColumns)
            if (name == QStringView(element)) return column;
        return -1;
    }
};

// The pictures of an <images> element, by their ids, the reader inside it.
void ReadImages(QXmlStreamReader& xml, std::unordered_map<AnsiString, std::string>& embedded) {
    while (NextChild(xml)) {
        if (xml.name() != u"image") {
            xml.skipCurrentElement();
            continue;
        }
        AnsiString id = ansi::FromQString(xml.attributes().value("id").toString());
        QString data = xml.readElementText(QXmlStreamReader::SkipChildElements);
        if (xml.hasError()) Malformed(xml);
        QByteArray decoded = QByteArray::fromBase64(data.toLatin1());
        if (!decoded.isEmpty()) embedded[id] = decoded.toStdString();
    }
}

// Refuses a collection other than of videos, the reader at its start.
void CheckVideoCollection(const QXmlStreamReader& xml) {
    const int type = xml.attributes().value("type").toInt();
    if (type != 3)
        throw EImportError("Only video collections can be imported; this Tellico collection holds " +
                           AnsiString(CollectionKind(type)) + " (type " +
                           ansi::FromQString(xml.attributes().value("type").toString()) + ").");
}

// Reads the collection's XML from the pieces (size bytes in all).
TellicoRead ParseTellico(std::vector<std::string_view> pieces, size_t size, const ReadProgress& progress) {
    // Given in blocks, the reader never holds the whole text decoded
    // beside the bytes.
    Pieces source(std::move(pieces));
    QXmlStreamReader xml(&source);
    TellicoRead read;
    read.table.Tellico = true;
    EntryTexts entry;
    if (!NextChild(xml) || xml.name() != u"tellico") {
        if (xml.hasError()) Malformed(xml);
        throw EImportError("The file is no Tellico collection.");
    }
    while (NextChild(xml)) {
        if (xml.name() != u"collection" || read.sawCollection) {
            xml.skipCurrentElement();
            continue;
        }
        read.sawCollection = true;
        CheckVideoCollection(xml);
        while (NextChild(xml)) {
            if (xml.name() == u"entry") {
                if (read.table.Rows() % 1024 == 0) Report(progress, Share(size_t(source.Given()), size));
                entry.Read(xml);
                entry.Put(read);
            } else if (xml.name() == u"images") {
                ReadImages(xml, read.embedded);
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    if (xml.hasError()) Malformed(xml);
    return read;
}

// The two halves of a large collection, read at once, one on a second
// thread; nothing when the file cannot be cut so (then it is read whole).
// The first half is closed and the second opened as a collection of its
// own. Where the cut falls otherwise than between two entries of the
// first collection (in a comment, a CDATA section, an unknown element),
// the first half is no well-formed XML: the file is then read whole, as
// it is for any error, to report it where it is.
std::optional<TellicoRead> ParseTellicoHalves(std::string_view bytes, const ReadProgress& progress) {
    static constexpr std::string_view kEnd = "</entry>", kClose = "</collection></tellico>",
                                      kOpen = "<tellico><collection type=\"3\">";
    const size_t cut = bytes.find(kEnd, bytes.size() / 2);
    if (cut == std::string_view::npos) return std::nullopt;
    const std::string_view first = bytes.substr(0, cut + kEnd.size()), second = bytes.substr(first.size());
    const size_t opened = first.find("<collection");
    if (opened == std::string_view::npos || first.find("<collection", opened + 1) != std::string_view::npos ||
        first.find("</collection") != std::string_view::npos)
        return std::nullopt;
    std::atomic<bool> stop = false;
    auto later = std::async(std::launch::async, [&]() -> std::optional<TellicoRead> {
        try {
            return ParseTellico({kOpen, second}, kOpen.size() + second.size(), [&stop](double) { return !stop; });
        } catch (const Exception&) {
            return std::nullopt;
        }
    });
    std::optional<TellicoRead> read;
    try {
        read = ParseTellico({first, kClose}, first.size() + kClose.size(), progress);
    } catch (const EImportCancelled&) {
        stop = true;
        later.wait();
        throw;
    } catch (const Exception&) {
        stop = true;
    }
    std::optional<TellicoRead> rest = later.get();
    if (!read || !rest || !read->sawCollection) return std::nullopt;
    // The second half's rows, covers and cover pictures after the first's.
    const size_t rows = read->table.Rows();
    read->table.Append(rest->table);
    for (auto& [row, id] : rest->coverIds) read->coverIds.emplace_back(rows + row, std::move(id));
    read->embedded.merge(rest->embedded);
    return read;
}

}  // namespace

ImportTable ReadTellicoXml(std::string_view bytes, const std::function<std::string(const AnsiString& id)>& image,
                           const ReadProgress& progress) {
    std::optional<TellicoRead> halves;
    if (bytes.size() >= kTellicoHalvesBytes) halves = ParseTellicoHalves(bytes, progress);
    TellicoRead read = halves ? std::move(*halves) : ParseTellico({bytes}, bytes.size(), progress);
    ImportTable& table = read.table;
    if (!read.sawCollection) throw EImportError("The file is no Tellico collection.");
    if (table.Rows() == 0) throw EImportError("The Tellico collection holds no films: no films found.");

    if (!read.coverIds.empty()) table.Covers.resize(table.Rows());
    for (const auto& [row, id] : read.coverIds) {
        ImportTable::Cover& cover = table.Covers[row];
        // An id is a file name; it names nothing outside the images.
        cover.name = id.substr(id.rfind('/') + 1);
        if (auto found = read.embedded.find(id); found != read.embedded.end()) cover.bytes = found->second;
        else if (image && id.find_first_of("/\\") == AnsiString::npos)
            cover.bytes = image(id);
        if (!LooksLikePicture(cover.bytes)) {
            cover.bytes.clear();
            ++table.BadCovers;
        }
    }
    return table;
}

bool LooksLikeZip(std::string_view bytes) { return bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06"); }

ImportTable ReadTellicoImport(std::string_view bytes, const ReadProgress& progress) {
    if (!LooksLikeZip(bytes)) {
        std::string_view start = bytes.substr(0, 512);
        if (start.find('<') == std::string_view::npos)
            throw EImportError("The file is neither a Tellico collection (.tc) nor its XML.");
        return ReadTellicoXml(bytes, {}, progress);
    }
    ZipEntries zip(bytes);
    if (!zip.Has("tellico.xml")) throw EImportError("The zip file holds no tellico.xml: it is no Tellico collection.");
    std::string xml = zip.Read("tellico.xml", Part(progress, 0, 0.3));
    const ReadProgress parsing = Part(progress, 0.3, 1);
    return ReadTellicoXml(
        xml,
        [&zip](const AnsiString& id) {
            AnsiString name = "images/" + id;
            try {
                return zip.Has(name.c_str()) ? zip.Read(name.c_str()) : std::string();
            } catch (const EImportError&) {
                return std::string();
            }
        },
        parsing);
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
        if (result.films.size() >= keep) continue;
        std::optional<int> given = ansi::TryStrToInt(fields[FieldMID]);
        if (given && *given >= 1 && *given <= 9999 && !mids.IsMarked(*given)) mid = ansi::IntToStr(*given);
        else
            mid = mids.NextFree();
        mids.Mark(mid);
        fields[FieldMID] = mid;
        fields[FieldPicture] = {};
        result.films.Append(fields);
        result.sourceRows.push_back(row);
    }
    return result;
}

// ---- Zip archives, through libzip, loaded when the first one is read

namespace {

struct Libzip {
    module::Library lib{FLICKSTOW_ZIP_LIBRARY, "Importing a Tellico collection"};
    decltype(&::zip_error_init) error_init = FLICKSTOW_FUNCTION(lib, zip_error_init);
    decltype(&::zip_error_fini) error_fini = FLICKSTOW_FUNCTION(lib, zip_error_fini);
    decltype(&::zip_error_strerror) error_strerror = FLICKSTOW_FUNCTION(lib, zip_error_strerror);
    decltype(&::zip_source_buffer_create) source_buffer_create = FLICKSTOW_FUNCTION(lib, zip_source_buffer_create);
    decltype(&::zip_source_free) source_free = FLICKSTOW_FUNCTION(lib, zip_source_free);
    decltype(&::zip_open_from_source) open_from_source = FLICKSTOW_FUNCTION(lib, zip_open_from_source);
    decltype(&::zip_discard) discard = FLICKSTOW_FUNCTION(lib, zip_discard);
    decltype(&::zip_name_locate) name_locate = FLICKSTOW_FUNCTION(lib, zip_name_locate);
    decltype(&::zip_stat_index) stat_index = FLICKSTOW_FUNCTION(lib, zip_stat_index);
    decltype(&::zip_fopen_index) fopen_index = FLICKSTOW_FUNCTION(lib, zip_fopen_index);
    decltype(&::zip_fread) fread = FLICKSTOW_FUNCTION(lib, zip_fread);
    decltype(&::zip_fclose) fclose = FLICKSTOW_FUNCTION(lib, zip_fclose);
};

const Libzip& Zip() {
    static const Libzip zip;
    return zip;
}

zip_t* Archive(void* p) { return static_cast<zip_t*>(p); }

}  // namespace

ZipEntries::ZipEntries(std::string_view archive) : zip_(nullptr) {
    const Libzip& z = Zip();
    zip_error_t error;
    z.error_init(&error);
    zip_source_t* source = z.source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* opened = source ? z.open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!opened) {
        AnsiString why = z.error_strerror(&error);
        if (source) z.source_free(source);
        z.error_fini(&error);
        throw EImportError("The file is no zip archive that can be read (" + why + ").");
    }
    z.error_fini(&error);
    zip_ = opened;
}

ZipEntries::~ZipEntries() { Zip().discard(Archive(zip_)); }

bool ZipEntries::Has(const char* name) const { return Zip().name_locate(Archive(zip_), name, 0) >= 0; }

std::string ZipEntries::Read(const char* name, const ReadProgress& progress) const {
    const Libzip& z = Zip();
    zip_int64_t index = z.name_locate(Archive(zip_), name, 0);
    zip_stat_t stat;
    if (index < 0 || z.stat_index(Archive(zip_), zip_uint64_t(index), 0, &stat) != 0)
        throw EImportError(AnsiString("The zip file holds no ") + name + ".");
    const zip_uint64_t size = stat.valid & ZIP_STAT_SIZE ? stat.size : 0;
    const zip_uint64_t packed = stat.valid & ZIP_STAT_COMP_SIZE ? stat.comp_size : 0;
    if (size > kMaxUnpackedBytes)
        throw EImportError(AnsiString(name) + " in the zip file unpacks to more than 256 MB and is refused.");
    if (size > packed * kMaxPackRatio && size > 0)
        throw EImportError(AnsiString(name) + " in the zip file is packed more than 100 times and is refused.");
    zip_file_t* file = z.fopen_index(Archive(zip_), zip_uint64_t(index), 0);
    if (!file) throw EImportError(AnsiString(name) + " in the zip file cannot be unpacked.");
    // Never more than the size the archive gives, whatever the data says.
    std::string bytes(size + 1, '\0');
    zip_int64_t got = 0, n = 0;
    // A megabyte at a time, to tell how far it has come.
    while (size_t(got) < bytes.size() &&
           (n = z.fread(file, bytes.data() + got, std::min(bytes.size() - size_t(got), kReportBytes))) > 0) {
        got += n;
        try {
            Report(progress, Share(size_t(got), size_t(size)));
        } catch (...) {
            z.fclose(file);
            throw;
        }
    }
    z.fclose(file);
    if (n < 0 || zip_uint64_t(got) != size)
        throw EImportError(AnsiString(name) + " in the zip file is damaged and cannot be unpacked.");
    bytes.resize(size);
    return bytes;
}
