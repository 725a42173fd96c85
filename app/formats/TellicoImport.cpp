// Tellico collections: the XML, bare or in a .tc zip with its cover images.

#include "app/formats/Import.h"

#include "app/formats/ImportProgress.h"
#include "platform/module/Library.h"

#include <zip.h>

#include <QByteArray>
#include <QXmlStreamReader>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <future>
#include <optional>
#include <unordered_map>

using import_progress::kReportBytes;
using import_progress::Part;
using import_progress::Report;
using import_progress::Share;

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
