// The catalogue reader takes any bytes: every input gives rows, and writing
// those rows and reading them back gives the same rows.

#include "app/formats/CatalogueFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RecordStore rows;
    ParseCatalogue(std::string_view(reinterpret_cast<const char*>(data), size), rows);
    RecordStore again;
    const AnsiString text = SerializeCatalogue(rows);
    ParseCatalogue(text, again);
    if (again.size() != rows.size()) std::abort();
    for (size_t i = 0; i < rows.size(); ++i)
        for (int f = 0; f < FieldCount; ++f)
            if (rows.Field(i, f) != again.Field(i, f)) std::abort();
    return 0;
}
