// Finding films takes any typed text and any catalogue: the fast scan finds
// exactly the films a plain search of the folded fields finds. The first
// byte says how many of the following bytes are the typed text; the rest is
// read as a catalogue file.

#include "app/catalogue/Finding.h"
#include "app/formats/CatalogueFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view all(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view typed = all.substr(0, std::min<size_t>(data[0] % 16, all.size()));
    RecordStore rows;
    ParseCatalogue(all.substr(typed.size()), rows);
    const FindWords words{typed};
    std::vector<uint32_t> plain;
    for (size_t i = 0; i < rows.size(); ++i) {
        bool every = true;
        for (const AnsiString& w : words.Words()) {
            bool some = false;
            for (int f = 0; f < FieldCount; ++f)
                some = some || (f != FieldPicture && Folded(rows.Field(i, f)).find(w) != AnsiString::npos);
            every = every && some;
        }
        if (every != words.Matches(rows, i)) std::abort();
        if (every) plain.push_back(static_cast<uint32_t>(i));
    }
    if (*words.Find(rows) != plain) std::abort();
    return 0;
}
