#pragma once
// The catalogue file "data.vrx": 13 lines per film, CR LF line ends, no
// header. Lines 1-7: Title, Genre, Language, Media, Disks, Status, Viewed;
// line 8: MID; lines 9-11: Rating, Picture, Description; line 12 empty;
// line 13 "***".

#include "app/catalogue/RecordStore.h"
#include "platform/ansi/LineReader.h"
#include "platform/files/files.h"

#include <bitset>
#include <optional>
#include <string_view>
#include <utility>

inline constexpr const char* kCatalogueFileName = "data.vrx";
// Each save keeps the catalogue it replaces under the file's name plus this.
inline constexpr const char* kBackupSuffix = ".bak";

// The MIDs in use, for handing out the smallest free one from 1 to 9999.
// A MID text that is not a whole number counts as 1.
class MidTracker {
public:
    void Mark(std::string_view mid) { MarkNumber(ansi::TryStrToInt(mid)); }
    // A MID already read as a number (none: no whole number, which counts
    // as 1).
    void MarkNumber(std::optional<int> mid);
    bool IsMarked(int mid) const { return mid >= 1 && mid <= 9999 && used_.test(static_cast<size_t>(mid)); }
    // The smallest unmarked number as decimal text; "0" when all are taken.
    AnsiString NextFree();

private:
    std::bitset<10000> used_;
    int lowest_ = 1;  // no number below this one is free
};

// The smallest MID from 1 to 9999 that no row uses, as decimal text; "0"
// when all are taken.
AnsiString NextFreeMID(const RecordStore& rows);

// Reads the file's text into rows (appended to those there), as it
// arrives: Feed takes the text in blocks of any size, one after another,
// and Finish marks its end. Records are stored as soon as their lines are
// in, so the text is never whole in memory beside the rows, and a record
// the blocks cut apart is put together without a second copy of its
// bytes. Lines end at CR LF, a lone CR or a lone LF (also when a block
// ends between CR and LF) and are kept whole, however long; the text need
// not end with a line end, and a final line end starts no further line.
// Each 13 lines make a row: lines 1-11 its fields, lines 12 and 13
// skipped unread; a short last block gives a row with empty missing
// fields; a blank MID line gets the next free MID. Any bytes give rows;
// nothing is reported.
class CatalogueReader {
public:
    explicit CatalogueReader(RecordStore& rows);
    void Feed(std::string_view block);
    void Finish();

private:
    // The next line of the block, and whether its line end lies in it.
    std::pair<std::string_view, bool> NextLine(ansi::LineReader& lines, std::string_view block);
    // A record whose eleven fields all lie in the block is stored from it.
    void RecordFromBlock(ansi::LineReader& lines, std::string_view block);
    void Piece(std::string_view bytes, bool ended);
    void EndLine();

    RecordStore& rows_;
    MidTracker mids_;
    RecordStore::Draft draft_;
    size_t line_ = 0;      // the line of the record that comes next (0-12)
    bool open_ = false;    // that line has begun, its end has not come
    bool skipLf_ = false;  // the last block ended with CR: an LF first in the next belongs to it
};

// The text read whole, for a text already in memory.
void ParseCatalogue(std::string_view text, RecordStore& rows);

// Reads the catalogue file into rows, block by block (CatalogueReader).
// With an identity, it gets the file's as it was read. Raises EFOpenError
// "Cannot open file %s".
void ReadCatalogueFile(const AnsiString& path, RecordStore& rows, files::FileIdentity* identity = nullptr);

// Appends the file's text for rows [from, to) to out.
void AppendCatalogueText(const RecordStore& rows, size_t from, size_t to, AnsiString& out);
// The file's text for all rows, in their order.
AnsiString SerializeCatalogue(const RecordStore& rows);
// The file's text for all rows, made piece by piece for a file writer.
files::Producer CataloguePieces(const RecordStore& rows);
// Where a save keeps the catalogue it replaces.
AnsiString CatalogueBackupPath(const AnsiString& path);
// Replaces the file with the rows' text, atomically, written piece by piece;
// the previous file becomes the backup. Raises EFCreateError "Cannot create
// file %s." with the system's reason. Returns the identity of the file
// written.
files::FileIdentity WriteCatalogueFile(const AnsiString& path, const RecordStore& rows);
