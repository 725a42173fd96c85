#pragma once
// The catalogue as other programs read it: comma-separated values, one film
// per line, or a text listing of one field per line. Both carry the first
// eight fields (Title to Viewed) of every film in display order, CR LF after
// every line. The full form carries every field: UTF-8 with a byte-order
// mark, a header row naming the fields, one film per line, fields quoted as
// RFC 4180 says.

#include "app/catalogue/RecordStore.h"

enum class ExportKind { Csv, Text, FullCsv };

// The kind the export dialog's file type stands for (1-based, as the
// dialog counts them).
ExportKind ExportKindOfType(int filterIndex);

// A field holding a comma or a double quote goes out in double quotes with
// its double quotes doubled, so it cannot shift the columns after it; every
// other field goes out as it is, each followed by a comma.
AnsiString BuildExport(const RecordStore& rows, ExportKind kind);
// The same for rows [from, to), appended to out, without what opens the
// file (ExportPrologue).
void AppendExport(const RecordStore& rows, size_t from, size_t to, ExportKind kind, AnsiString& out);
// What the file begins with before its first film: the full form's
// byte-order mark and header row; nothing for the other two.
AnsiString ExportPrologue(ExportKind kind);
// Replaces the file with the export, atomically, written piece by piece:
// of every film, or only of those at the given places, in that order.
// Raises EFCreateError "Cannot create file %s".
void WriteExportFile(const AnsiString& path, const RecordStore& rows, ExportKind kind,
                     const std::vector<uint32_t>* only = nullptr);

// The path with ".csv" or ".txt" appended unless its last four characters
// already are that extension, in any case.
AnsiString WithExportExtension(const AnsiString& path, ExportKind kind);

// The folder to offer next time: the path up to its last separator, without
// that separator unless it is the root ("/films/a.csv" -> "/films",
// "/a.csv" -> "/").
AnsiString ExportFolderOf(const AnsiString& path);
