#include "app/formats/Export.h"

#include "platform/files/files.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kExportedFields = FieldViewed + 1;

// The full form's header row, the fields in catalogue order.
constexpr const char* kFullHeader = "Title,MID,Genre,Language,Media,Disks,Status,Viewed,Rating,Picture,Description\r\n";

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

// One field of the full form, in UTF-8.
void AppendFullCsvField(AnsiString& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        ansi::AppendUtf8(out, field);
        return;
    }
    out += '"';
    for (size_t at = 0;;) {
        size_t quote = field.find('"', at);
        ansi::AppendUtf8(out, field.substr(at, quote == std::string_view::npos ? quote : quote - at));
        if (quote == std::string_view::npos) break;
        out += "\"\"";
        at = quote + 1;
    }
    out += '"';
}

void AppendFullCsv(const RecordStore& rows, size_t from, size_t to, AnsiString& out) {
    for (size_t i = from; i < to; ++i) {
        RecordStore::FieldViews fields = rows.Fields(i);
        for (int f = 0; f < FieldCount; ++f) {
            if (f > 0) out += ',';
            AppendFullCsvField(out, fields[static_cast<size_t>(f)]);
        }
        out += "\r\n";
    }
}

}  // namespace

ExportKind ExportKindOfType(int filterIndex) {
    switch (filterIndex) {
    case 2: return ExportKind::Text;
    case 3: return ExportKind::FullCsv;
    default: return ExportKind::Csv;
    }
}

AnsiString ExportPrologue(ExportKind kind) {
    if (kind != ExportKind::FullCsv) return {};
    return AnsiString("\xEF\xBB\xBF") + kFullHeader;
}

void AppendExport(const RecordStore& rows, size_t from, size_t to, ExportKind kind, AnsiString& out) {
    if (kind == ExportKind::FullCsv) {
        AppendFullCsv(rows, from, to, out);
        return;
    }
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
            else
                out.append(fields[static_cast<size_t>(f)]).append("\r\n");
        }
        out.append("\r\n");
        used = out.size();
    }
    out.resize(used);
}

AnsiString BuildExport(const RecordStore& rows, ExportKind kind) {
    AnsiString out = ExportPrologue(kind);
    AppendExport(rows, 0, rows.size(), kind, out);
    return out;
}

void WriteExportFile(const AnsiString& path, const RecordStore& rows, ExportKind kind,
                     const std::vector<uint32_t>* only) {
    auto all = rows.Pieces(
        [&rows, kind](size_t from, size_t to, AnsiString& piece) { AppendExport(rows, from, to, kind, piece); });
    // Some films: a few thousand to a piece, one after another.
    auto some = [&rows, kind, only, next = size_t(0)](AnsiString& piece) mutable {
        if (next >= only->size()) return false;
        const size_t to = std::min(only->size(), next + 8192);
        for (; next < to; ++next) AppendExport(rows, (*only)[next], (*only)[next] + 1, kind, piece);
        return true;
    };
    // The prologue is the first piece, also of a file without films.
    files::ReplaceWholeFile(path, [&, prologue = ExportPrologue(kind)](AnsiString& piece) mutable {
        if (prologue.empty()) return only ? some(piece) : all(piece);
        piece = std::move(prologue);
        prologue.clear();
        return true;
    });
}

AnsiString WithExportExtension(const AnsiString& path, ExportKind kind) {
    const char* extension = kind == ExportKind::Text ? ".txt" : ".csv";
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
