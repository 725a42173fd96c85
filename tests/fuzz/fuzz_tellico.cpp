// The Tellico reader takes any bytes (a zip archive or XML): it gives a
// table of films or refuses the file with EImportError. No cell holds a
// line break, and every row has its cover slot when any has.

#include "app/formats/Import.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        ImportTable table = ReadTellicoImport(bytes);
        if (table.Rows() == 0 || (!table.Covers.empty() && table.Covers.size() != table.Rows())) std::abort();
        for (size_t r = 0; r < table.Rows(); ++r)
            for (size_t c = 0; c < table.Columns(); ++c)
                if (table.Cell(r, c).find_first_of("\r\n") != std::string_view::npos) std::abort();
        BuildImport(table, GuessColumns(table), MovieRecord{}, RecordStore(), false);
    } catch (const EImportError&) {
    }
    return 0;
}
