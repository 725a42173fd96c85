#include "mainwindow/Export.h"

#include "files/files.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kExportedFields = FieldViewed + 1;

bool NeedsQuotes(std::string_view field) {
    for (char c : field)
        if (c == ',' || c == '"') return true;
    return false;
}

void AppendCsvField(AnsiString& out, std::string_view field) {
    if (!NeedsQuotes(field)) {
        out.append(field);
    } else {
        out += '"';
        for (char c : field) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    out += ',';
}

// The bytes of a row's exported fields: they open its stored record, joined
// by LF.
std::string_view ExportedPart(const RecordStore& rows, size_t row) {
    std::string_view record = rows.RecordBytes(row), last = rows.Field(row, kExportedFields - 1);
    return record.substr(0, static_cast<size_t>(last.data() + last.size() - record.data()));
}

// A CSV line whose fields hold no comma or quote is the exported part with
// its LFs turned into commas, and the trailing comma. Writes that line at o
// and returns its end, or nullptr when a field needs quotes (the bytes
// written are then to be overwritten). One pass free of branches, so that
// the compiler can vectorise it.
char* PutPlainCsvLine(std::string_view part, char* __restrict o) {
    const char* __restrict in = part.data();
    unsigned char quoted = 0;
    for (size_t k = 0; k < part.size(); ++k) {
        auto c = static_cast<unsigned char>(in[k]);
        quoted |= static_cast<unsigned char>((c == ',') | (c == '"'));
        o[k] = static_cast<char>(c == '\n' ? ',' : c);
    }
    if (quoted) return nullptr;
    o += part.size();
    for (char c : {',', '\r', '\n'}) *o++ = c;
    return o;
}

}  // namespace

void AppendExport(const RecordStore& rows, size_t from, size_t to, ExportKind kind, AnsiString& out) {
    // Plain CSV lines are written straight into the buffer, which grows by
    // doubling; `used` is how much of it holds the export.
    size_t used = out.size();
    for (size_t i = from; i < to; ++i) {
        // Records lie a few hundred bytes apart: ask for the next ones early.
        if (i + 16 < to) __builtin_prefetch(rows.RecordBytes(i + 16).data());
        std::string_view part = ExportedPart(rows, i);
        if (kind == ExportKind::Csv) {
            if (out.size() < used + part.size() + 3) out.resize(std::max(used + part.size() + 3, out.size() * 2));
            if (char* end = PutPlainCsvLine(part, out.data() + used)) {
                used = static_cast<size_t>(end - out.data());
                continue;
            }
        }
        out.resize(used);
        RecordStore::FieldViews fields = rows.Fields(i);
        for (int f = 0; f < kExportedFields; ++f) {
            if (kind == ExportKind::Csv) AppendCsvField(out, fields[static_cast<size_t>(f)]);
            else out.append(fields[static_cast<size_t>(f)]).append("\r\n");
        }
        out.append("\r\n");
        used = out.size();
    }
    out.resize(used);
}

AnsiString BuildExport(const RecordStore& rows, ExportKind kind) {
    AnsiString out;
    AppendExport(rows, 0, rows.size(), kind, out);
    return out;
}

void WriteExportFile(const AnsiString& path, const RecordStore& rows, ExportKind kind) {
    files::ReplaceWholeFile(path, rows.Pieces([&rows, kind](size_t from, size_t to, AnsiString& piece) {
        AppendExport(rows, from, to, kind, piece);
    }));
}

AnsiString WithExportExtension(const AnsiString& path, ExportKind kind) {
    const char* extension = kind == ExportKind::Csv ? ".csv" : ".txt";
    if (path.size() >= 4 && ansi::UpperCase(path.substr(path.size() - 4)) == ansi::UpperCase(extension)) return path;
    return path + extension;
}

AnsiString ExportFolderOf(const AnsiString& path) {
    size_t slash = path.rfind('/');
    if (slash == AnsiString::npos) return {};
    AnsiString folder = path.substr(0, slash + 1);
    if (folder.size() >= 2 && folder[folder.size() - 2] != '/') folder.pop_back();
    return folder;
}
