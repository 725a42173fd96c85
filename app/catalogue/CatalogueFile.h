#pragma once
// The catalogue file "data.vrx": 13 lines per film, CR LF line ends, no
// header. Lines 1-7: Title, Genre, Language, Media, Disks, Status, Viewed;
// line 8: MID; lines 9-11: Rating, Picture, Description; line 12 empty;
// line 13 "***".

#include "catalogue/RecordStore.h"
#include "files/files.h"

#include <bitset>
#include <string_view>

inline constexpr const char* kCatalogueFileName = "data.vrx";
// Each save keeps the catalogue it replaces under the file's name plus this.
inline constexpr const char* kBackupSuffix = ".bak";

// The MIDs in use, for handing out the smallest free one from 1 to 9999.
// A MID text that is not a whole number counts as 1.
class MidTracker {
public:
    void Mark(std::string_view mid);
    // The smallest unmarked number as decimal text; "0" when all are taken.
    AnsiString NextFree();

private:
    std::bitset<10000> used_;
    int lowest_ = 1;  // no number below this one is free
};

// The smallest MID from 1 to 9999 that no row uses, as decimal text; "0"
// when all are taken.
AnsiString NextFreeMID(const RecordStore& rows);

// Reads the file's text into rows (appended to those there). Lines end at
// CR LF, a lone CR or a lone LF and are kept whole, however long; a short
// last block gives a row with empty missing fields; a blank MID line
// gets the next free MID. Any bytes give rows; nothing is reported.
void ParseCatalogue(std::string_view text, RecordStore& rows);

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
// file %s". Returns the identity of the file written.
files::FileIdentity WriteCatalogueFile(const AnsiString& path, const RecordStore& rows);
