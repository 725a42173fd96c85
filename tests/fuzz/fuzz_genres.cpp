// The genre list reader takes any bytes: every genre it offers is a whole
// line of the text that is not blank, in the file's order.

#include "app/formats/GenreFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t from = 0;
    for (std::string_view genre : GenreItems(text)) {
        if (ansi::IsBlank(genre) || genre.find_first_of("\r\n") != std::string_view::npos) std::abort();
        size_t at = text.find(genre, from);
        if (at == std::string_view::npos) std::abort();
        from = at + genre.size();
    }
    return 0;
}
