// A program that saves a catalogue again and again until it is killed, for
// the test that kills saves at random moments. It first writes the two
// catalogues it alternates between to <folder>/a.expected and b.expected,
// (unless an earlier run did), then prints one line before each save.
//
//   save_forever <folder> <films>

#include "app/formats/CatalogueFile.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {
RecordStore Films(size_t n, char tag) {
    RecordStore rows;
    for (size_t i = 0; i < n; ++i) {
        AnsiString number = ansi::IntToStr(static_cast<long long>(i) + 1);
        rows.Append(MovieRecord{AnsiString(1, tag) + " film " + number, number, "Drama", "English", "DVD", "1", "Owned",
                                "Yes", "8", "", AnsiString(200, tag)});
    }
    return rows;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const AnsiString folder = argv[1];
    const size_t n = static_cast<size_t>(std::atol(argv[2]));
    const RecordStore versions[2] = {Films(n, 'a'), Films(n, 'b')};
    const char* names[2] = {"/a.expected", "/b.expected"};
    for (int v = 0; v < 2; ++v) {
        if (std::ifstream(folder + names[v]).good()) continue;  // from an earlier round
        std::ofstream out(folder + names[v], std::ios::binary);
        AnsiString text = SerializeCatalogue(versions[v]);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    for (unsigned round = 0;; ++round) {
        std::printf("saving %u\n", round);
        std::fflush(stdout);
        WriteCatalogueFile(folder + "/data.vrx", versions[round % 2]);
    }
}
