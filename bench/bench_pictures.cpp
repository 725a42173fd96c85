// Cover thumbnails: the entry editor making the thumbnail of a 6000 x 4000
// baseline photo and of a 2000 x 3000 progressive one (decode, scale into
// the preview, capture the panel, encode, write atomically), against what
// `djpeg -scale 1/8 | cjpeg -quality 80` does with the same files, done with
// libjpeg in this process: decode at the best DCT scale, encode the result,
// write the file. Also the peak memory the 6000 x 4000 thumbnail takes above
// the idle program.

#include "app/catalogue/CatalogueModel.h"
#include "app/entryeditor/TForm2.h"
#include "app/forms/TImage.h"
#include "bench/Bench.h"
#include "components/Vreg/Vreg.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"
#include "platform/module/module.h"

#include <QDir>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace {

// A photo-like picture: smooth gradients with grain, which compresses about
// as well as a camera's pictures do.
QImage Photo(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    uint32_t seed = 20261208;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>(seed >> 28) - 8;
            line[x] = qRgb(std::clamp(x * 255 / width + grain, 0, 255), std::clamp(y * 255 / height + grain, 0, 255),
                           std::clamp(128 + ((x / 97 + y / 61) % 2) * 60 + grain, 0, 255));
        }
    }
    return image;
}

// The baseline: djpeg -scale 1/8 | cjpeg -quality 80, in process, writing
// the result as cjpeg does (a plain write).
void DjpegCjpeg(const AnsiString& source, const AnsiString& target) {
    const AnsiString bytes = files::ReadWholeFile(source);
    jpeg_decompress_struct in{};
    jpeg_error_mgr inErrors{};
    in.err = jpeg_std_error(&inErrors);
    jpeg_create_decompress(&in);
    jpeg_mem_src(&in, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&in, TRUE);
    in.scale_num = 1;
    in.scale_denom = 8;
    in.out_color_space = JCS_RGB;
    jpeg_start_decompress(&in);
    const size_t stride = size_t{in.output_width} * 3;
    std::vector<JSAMPLE> pixels(stride * in.output_height);
    while (in.output_scanline < in.output_height) {
        JSAMPROW row = pixels.data() + stride * in.output_scanline;
        jpeg_read_scanlines(&in, &row, 1);
    }
    jpeg_compress_struct out{};
    jpeg_error_mgr outErrors{};
    out.err = jpeg_std_error(&outErrors);
    jpeg_create_compress(&out);
    unsigned char* encoded = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&out, &encoded, &size);
    out.image_width = in.output_width;
    out.image_height = in.output_height;
    out.input_components = 3;
    out.in_color_space = JCS_RGB;
    jpeg_set_defaults(&out);
    jpeg_set_quality(&out, 80, TRUE);
    jpeg_start_compress(&out, TRUE);
    while (out.next_scanline < out.image_height) {
        JSAMPROW row = pixels.data() + stride * out.next_scanline;
        jpeg_write_scanlines(&out, &row, 1);
    }
    jpeg_finish_compress(&out);
    jpeg_destroy_decompress(&in);
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, encoded, size) != static_cast<ssize_t>(size)) std::perror("write");
    if (fd >= 0) ::close(fd);
    jpeg_destroy_compress(&out);
    std::free(encoded);
}

// Peak resident memory from now on: the kernel forgets the peak so far.
bool ResetPeak() {
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

void RemoveThumbnails(const AnsiString& dir) {
    QDir folder(QFile::decodeName(dir.c_str()));
    for (const QString& name : folder.entryList({"t_*"}, QDir::Files)) folder.remove(name);
}

void Pictures(const AnsiString& dir) {
    struct Case {
        const char* op;
        int width, height;
        bool progressive;
    };
    const Case cases[] = {{"thumb_6000x4000", 6000, 4000, false}, {"thumb_2000x3000p", 2000, 3000, true}};
    const AnsiString pictures = dir + "/pictures", program = dir + "/program";
    QDir().mkpath(QFile::decodeName(pictures.c_str()));
    QDir().mkpath(QFile::decodeName(program.c_str()));
    for (const Case& c : cases)
        files::ReplaceWholeFile(pictures + "/" + c.op + ".jpg",
                                jpeg::Encode(Photo(c.width, c.height), 90, c.progressive));
    // The generated pictures are gone from memory before anything is measured.
    ::malloc_trim(0);

    module::test::SetExecutablePath(program + "/flickstow");
    TVReg settings;
    CatalogueModel catalogue;
    TImage texture;
    texture.SetPicture(Photo(64, 64));
    TForm2 editor(nullptr, &settings, &catalogue, &texture);
    editor.show();
    // One thumbnail first, so that fonts and caches are in place as they
    // are once the program has run a while.
    editor.MakeThumbnail(pictures + "/" + cases[1].op + ".jpg", 1);
    RemoveThumbnails(program);
    ::malloc_trim(0);

    const AnsiString big = pictures + "/" + cases[0].op + ".jpg";
    const long idle = bench::ResidentKb();
    const bool reset = ResetPeak();
    editor.MakeThumbnail(big, 2);
    const long peak = bench::PeakResidentKb();
    RemoveThumbnails(program);
    bench::ReportValue(1, reset ? "peak_6000x4000" : "peak_whole_run", static_cast<double>(peak - idle) / 1024.0, "MB",
                       40.0, "limit", 1.0);

    for (const Case& c : cases) {
        const AnsiString source = pictures + "/" + c.op + ".jpg";
        int n = 0;
        const double thumb = bench::Median([&] { editor.MakeThumbnail(source, n++ % 1000); },
                                           [&] { RemoveThumbnails(program); });
        const double base = bench::Median([&] { DjpegCjpeg(source, dir + "/baseline.jpg"); });
        bench::Report(1, c.op, thumb, base, 1.5);
    }
    RemoveThumbnails(program);
}
FLICKSTOW_BENCH_SUITE("pictures", Pictures);

}  // namespace
