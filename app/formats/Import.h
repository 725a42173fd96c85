#pragma once
// Films from other programs: a Tellico collection (a .tc zip holding
// tellico.xml and its images, or the bare XML) or a spreadsheet's comma- or
// semicolon-separated file, our own exports among them. A reader turns the
// file into an ImportTable: Windows-1252 texts, one row per film, one cell
// per column. BuildImport then makes catalogue records of it through a
// column for each field, with the remembered defaults where the file is
// silent. Nothing here touches the catalogue: the window appends the result
// all at once, or not at all.

#include "app/catalogue/RecordStore.h"
#include "platform/errors/Exception.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// A file that cannot be imported; the message says why.
class EImportError : public Exception {
    using Exception::Exception;
};

// Reading stopped because the user cancelled it: no message, nothing read.
class EImportCancelled : public Exception {
    using Exception::Exception;
};

// How far the reading of a file has come, from 0 to 1; false from it stops
// the reading with EImportCancelled. Asked now and then, every megabyte or
// so; empty: nobody asks.
using ReadProgress = std::function<bool(double done)>;

// Zip entries beyond these are refused unread: a collection's XML and its
// covers are far smaller, and a packed bomb is far more packed.
inline constexpr size_t kMaxUnpackedBytes = size_t(256) << 20;
inline constexpr size_t kMaxPackRatio = 100;

class ImportTable {
public:
    // A cover picture of a row, as the file held it.
    struct Cover {
        AnsiString name;    // its file name in the collection ("1a2b.jpeg")
        std::string bytes;  // the picture file's bytes
    };

    // Names of the columns: the header row's cells, else none.
    std::vector<AnsiString> Header;
    // Characters that Windows-1252 cannot hold, each stored as '?'; of a
    // spreadsheet also column by column (past the header).
    size_t Replaced = 0;
    std::vector<size_t> ReplacedInColumn;
    // Those of the columns the fields take.
    size_t ReplacedIn(const std::array<int, FieldCount>& columns) const;
    // One per row when the file has covers (empty bytes: none); else empty.
    std::vector<Cover> Covers;
    // Covers named by a row but missing or no picture: the row has none.
    size_t BadCovers = 0;
    // A Tellico collection: its columns are fixed (TellicoColumns).
    bool Tellico = false;

    size_t Rows() const { return rowFirstCell_.size(); }
    size_t Columns() const { return columns_; }
    // The cell's text; empty for a cell the row lacks.
    std::string_view Cell(size_t row, size_t column) const;

    // Building: text goes into the open cell, EndCell closes it, EndRow the row.
    std::string& OpenCell() { return text_; }
    void EndCell() { cellEnds_.push_back(text_.size()); }
    void EndRow();
    // Row 0 becomes the header.
    void TakeHeader();
    // The other table's rows after these (its covers not).
    void Append(const ImportTable& other);

private:
    std::string text_;
    std::vector<size_t> cellEnds_;      // where each cell ends in text_
    std::vector<size_t> rowFirstCell_;  // each row's first cell
    size_t rowOpen_ = 0;                // the open row's first cell
    size_t columns_ = 0;                // the most cells of a row
};

// Which column each field takes; -1: none.
using ColumnMap = std::array<int, FieldCount>;

// Appends text, converting it to Windows-1252 (counting characters it cannot
// hold, which become '?') and every run of CR and LF to one blank. From
// UTF-8 when utf8 is set (the text must be valid UTF-8), else the bytes are
// Windows-1252 already.
void AppendImported(std::string& out, std::string_view text, bool utf8, size_t& replaced);
void AppendImported(std::string& out, QStringView text, size_t& replaced);
bool IsValidUtf8(std::string_view bytes);

// A comma- or semicolon-separated file (the one found more often in its
// first line, outside quotes), fields in double quotes with doubled quotes
// and line breaks inside; UTF-8 with or without byte-order mark, else
// Windows-1252. A first row whose cells name fields is the header. Blank
// lines are skipped. A file named *.txt holding our text export (nine lines
// per film, the ninth empty) is read as that. Raises EImportError for a
// quote that is never closed (naming its line) and for a file without films.
ImportTable ReadCsvImport(std::string_view bytes, bool textListing = false, const ReadProgress& progress = {});

// The field a header cell names ("Title", "Titel", "#", "Plot", ...), or -1.
int FieldOfHeader(std::string_view cell);
// The columns a table's fields take: by the header's names, else in the
// order of our own export (Title, MID, Genre, Language, Media, Disks,
// Status, Viewed, then Rating, Picture, Description).
ColumnMap GuessColumns(const ImportTable& table);

// A Tellico collection's XML. Only video collections (type 3) are taken.
// image(id) gives a cover's bytes when the file keeps it outside the XML
// (empty: missing); covers inside the XML (base64) are found there. Raises
// EImportError for malformed XML (with line and column), a DTD declaring
// entities, another kind of collection, or no films.
ImportTable ReadTellicoXml(std::string_view xml, const std::function<std::string(const AnsiString& id)>& image,
                           const ReadProgress& progress = {});
// XML this large is read in two halves at once.
inline constexpr size_t kTellicoHalvesBytes = size_t(4) << 20;
// A Tellico file: a zip with tellico.xml and images/..., or the bare XML.
ImportTable ReadTellicoImport(std::string_view bytes, const ReadProgress& progress = {});
// Reads the file by what its name says: *.tc and *.xml as Tellico, *.csv
// as a spreadsheet, *.txt as our text export or a spreadsheet; another name
// by what its bytes look like. Raises EFOpenError when the file cannot be
// read, EImportError when it is not what its name says, EImportCancelled
// when progress said stop.
ImportTable ReadImportFile(const AnsiString& path, const ReadProgress& progress = {});
// The columns of a table ReadTellicoXml made, for GuessColumns.
ColumnMap TellicoColumns();

// The bytes of the entries of a zip archive, by name; libzip is loaded the
// first time one is read. Raises EImportError for what is no zip, a missing
// entry, or an entry over kMaxUnpackedBytes unpacked or packed more than
// kMaxPackRatio times.
class ZipEntries {
public:
    explicit ZipEntries(std::string_view archive);
    ~ZipEntries();
    ZipEntries(const ZipEntries&) = delete;
    ZipEntries& operator=(const ZipEntries&) = delete;
    bool Has(const char* name) const;
    std::string Read(const char* name, const ReadProgress& progress = {}) const;

private:
    void* zip_;
};

// Whether the bytes start like a zip archive.
bool LooksLikeZip(std::string_view bytes);

struct ImportedFilms {
    RecordStore films;               // in the file's order
    std::vector<size_t> sourceRows;  // the table's row of each
    size_t skipped = 0;              // rows already in the catalogue
    size_t blank = 0;                // rows whose every field is blank: no films
    size_t counted = 0;              // films the table makes, made into records or not
    bool cancelled = false;          // progress said stop
};

// The records the table's rows make. A field whose column is missing or
// blank takes the default's text for Genre, Language, Media, Disks, Status
// and Viewed, else stays empty. The MID is the file's when it is a whole
// number from 1 to 9999 that neither the catalogue nor an earlier imported
// film uses; the other films get the numbers still free after that, in
// order. A row whose fields are all blank is
// no film. With skipDuplicates, a row whose title
// and media equal (ignoring case) a film of the catalogue is left out.
// progress(done) is asked now and then; false stops with what is made
// (cancelled is then set). Only the first `keep` films are made into
// records (a preview's); the rest are only counted in `counted`.
ImportedFilms BuildImport(const ImportTable& table, const ColumnMap& columns, const MovieRecord& defaults,
                          const RecordStore& catalogue, bool skipDuplicates,
                          const std::function<bool(size_t done)>& progress = {}, size_t keep = SIZE_MAX);
