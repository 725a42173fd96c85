// The spreadsheet reader takes any bytes: it gives a table or refuses the
// file with EImportError, and no cell and no record made of it holds a line
// break, which the catalogue file cannot keep; the characters stored as "?"
// in the columns taken are some of those in the file.

#include "app/formats/Import.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool listing : {false, true}) {
        try {
            ImportTable table = ReadCsvImport(bytes, listing);
            if (table.Rows() == 0 || table.ReplacedIn(GuessColumns(table)) > table.Replaced) std::abort();
            for (size_t r = 0; r < table.Rows(); ++r)
                for (size_t c = 0; c < table.Columns(); ++c)
                    if (table.Cell(r, c).find_first_of("\r\n") != std::string_view::npos) std::abort();
            ImportedFilms films = BuildImport(table, GuessColumns(table), MovieRecord{}, RecordStore(), true);
            if (films.films.size() + films.skipped + films.blank != table.Rows()) std::abort();
            for (size_t i = 0; i < films.films.size(); ++i)
                if (films.films.RecordBytes(i).find('\r') != std::string_view::npos) std::abort();
        } catch (const EImportError&) {
        }
    }
    return 0;
}
