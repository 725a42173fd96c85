// Writes the seed corpus of the JPEG decoder's fuzz target: a tiny file of
// every kind the decoder takes, into the folder given.
//
//   make_jpeg_corpus tests/fuzz/corpus/fuzz_jpeg

#include "tests/support/JpegSamples.h"

#include <QColor>
#include <cstdio>
#include <fstream>
#include <string>

using namespace testsupport;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    const std::pair<const char*, JpegKind> kinds[] = {
        {"baseline", JpegKind::Baseline}, {"progressive", JpegKind::Progressive}, {"greyscale", JpegKind::Greyscale},
        {"cmyk", JpegKind::Cmyk},         {"adobe_cmyk", JpegKind::AdobeCmyk},    {"ycck", JpegKind::Ycck},
        {"exif", JpegKind::Exif},         {"restarts", JpegKind::Restarts},       {"arithmetic", JpegKind::Arithmetic}};
    for (auto [name, kind] : kinds) {
        const AnsiString bytes = MakeJpeg(kind, 19, 13, QColor(200, 30, 40), QColor(20, 60, 190), 50);
        std::ofstream out(std::string(argv[1]) + "/" + name + ".jpg", std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return 1;
    }
    return 0;
}
