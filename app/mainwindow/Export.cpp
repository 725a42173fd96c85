#include "mainwindow/Export.h"

namespace {

constexpr int kExportedFields = FieldViewed + 1;

void AppendCsvField(AnsiString& out, std::string_view field) {
    if (field.find_first_of(",\"") == std::string_view::npos) {
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

}  // namespace

AnsiString BuildExport(const RecordStore& rows, ExportKind kind) {
    AnsiString out;
    size_t total = 0;
    for (size_t i = 0; i < rows.size(); ++i)
        for (int f = 0; f < kExportedFields; ++f) total += rows.Field(i, f).size() + 2;
    out.reserve(total + rows.size() * 2);
    for (size_t i = 0; i < rows.size(); ++i) {
        RecordStore::FieldViews fields = rows.Fields(i);
        for (int f = 0; f < kExportedFields; ++f) {
            if (kind == ExportKind::Csv) AppendCsvField(out, fields[static_cast<size_t>(f)]);
            else out.append(fields[static_cast<size_t>(f)]).append("\r\n");
        }
        out.append("\r\n");
    }
    return out;
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
