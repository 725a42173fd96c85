// Importing: 1,000,000 films from our own CSV export (import_csv) and
// 100,000 from a Tellico collection's XML without covers (import_tc), each
// from the file to the records to append, against loading the same films
// from the catalogue file.

#include "app/formats/CatalogueFile.h"
#include "app/formats/Export.h"
#include "app/formats/Import.h"
#include "bench/Bench.h"
#include "platform/files/files.h"

#include <QString>

namespace {

// The films as Tellico writes a video collection.
AnsiString TellicoXml(const RecordStore& films) {
    AnsiString xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tellico PUBLIC '-//Robby Stephenson/DTD "
        "Tellico V11.0//EN' 'http://periapsis.org/tellico/dtd/v11/tellico.dtd'>\n<tellico "
        "xmlns=\"http://periapsis.org/tellico/\" syntaxVersion=\"11\">\n <collection type=\"3\" "
        "title=\"My Videos\">\n";
    for (size_t i = 0; i < films.size(); ++i) {
        auto field = [&](int f) { return AnsiString(films.Field(i, f)); };
        const AnsiString id = ansi::IntToStr(static_cast<long long>(i) + 1);
        xml += "  <entry id=\"" + id + "\">\n   <title>" + field(FieldTitle) + "</title>\n   <medium>" +
               field(FieldMedia) + "</medium>\n   <year>1999</year>\n   <genres>\n    <genre>" + field(FieldGenre) +
               "</genre>\n   </genres>\n   <languages>\n    <language>" + field(FieldLanguage) +
               "</language>\n   </languages>\n   <plot>" + field(FieldDescription) + "</plot>\n   <rating>" +
               ansi::IntToStr(static_cast<long long>(i % 5) + 1) + "</rating>\n   <loaned>" +
               (i % 7 ? "false" : "true") + "</loaned>\n   <id>" + id + "</id>\n  </entry>\n";
    }
    return xml + " </collection>\n</tellico>\n";
}

void Import(const AnsiString& dir) {
    const MovieRecord defaults{"", "", "Drama", "English", "DVD", "1", "Owned", "No", "", "", ""};
    struct Case {
        const char* op;
        size_t n;
        const char* file;
        double target;
    };
    for (const Case& c : {Case{"import_csv", 1000000, "films.csv", 2}, Case{"import_tc", 100000, "films.xml", 3}}) {
        const RecordStore films = bench::GenerateFilms(c.n, false);
        const AnsiString catalogue = dir + "/data.vrx", file = dir + "/" + c.file;
        files::ReplaceWholeFile(catalogue, SerializeCatalogue(films));
        files::ReplaceWholeFile(
            file, c.file == AnsiString("films.csv") ? BuildExport(films, ExportKind::Csv) : TellicoXml(films));
        size_t imported = 0;
        const double import = bench::Median([&] {
            ImportTable table = ReadImportFile(file);
            imported = BuildImport(table, GuessColumns(table), defaults, RecordStore(), true).films.size();
        });
        const double load = bench::Median([&] {
            RecordStore rows;
            ReadCatalogueFile(catalogue, rows);
        });
        if (imported != c.n) std::fprintf(stderr, "%s: %zu of %zu films imported\n", c.op, imported, c.n);
        bench::Report(c.n, c.op, import, load, c.target);
    }
}
FLICKSTOW_BENCH_SUITE("import", Import);

}  // namespace
