#pragma once
// The catalogue reader as the file format describes it, on the whole text in
// one buffer: split into lines, take them 13 at a time. The yardstick the
// program's block reader (CatalogueReader) must match record for record.

#include "app/formats/CatalogueFile.h"

#include <array>

namespace literal {

inline void ParseWholeCatalogue(std::string_view text, RecordStore& rows) {
    MidTracker mids;
    for (size_t i = 0; i < rows.size(); ++i) mids.Mark(rows.Field(i, FieldMID));
    // Lines end at CR LF, a lone CR or a lone LF, a character at a time.
    size_t pos = 0;
    auto nextLine = [&text, &pos] {
        const size_t begin = pos;
        while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n') ++pos;
        const std::string_view line = text.substr(begin, pos - begin);
        if (pos < text.size()) pos += text.compare(pos, 2, "\r\n") == 0 ? 2u : 1u;
        else
            ++pos;
        return line;
    };
    std::array<std::string_view, 13> line;
    while (pos < text.size()) {
        line.fill({});
        for (size_t i = 0; i < line.size() && pos < text.size(); ++i) line[i] = nextLine();
        AnsiString freshMid;
        std::string_view mid = line[7];
        if (ansi::IsBlank(mid)) {
            freshMid = mids.NextFree();
            mid = freshMid;
        }
        mids.Mark(mid);
        rows.Append({line[0], mid, line[1], line[2], line[3], line[4], line[5], line[6], line[8], line[9], line[10]});
    }
}

// The rows read from the text fed to the block reader in blocks whose sizes
// come one after another from nextSize, with an empty block after each.
template <class NextSize>
RecordStore ParseInBlocks(std::string_view text, NextSize nextSize) {
    RecordStore rows;
    CatalogueReader reader(rows);
    while (!text.empty()) {
        const size_t n = std::min(text.size(), std::max<size_t>(nextSize(), 1));
        reader.Feed(text.substr(0, n));
        reader.Feed({});
        text.remove_prefix(n);
    }
    reader.Finish();
    return rows;
}

// Whether both hold the same rows, byte for byte.
inline bool SameRows(const RecordStore& a, const RecordStore& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a.Fields(i) != b.Fields(i)) return false;
    return true;
}

}  // namespace literal
