#include "platform/jpeg/jpeg.h"

#include "platform/files/files.h"
#include "platform/module/Library.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace jpeg {
namespace {

// QImage::Format_RGB32 as bytes in memory.
constexpr J_COLOR_SPACE kRgb32 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;

// What the library may allocate for one picture (a progressive picture keeps
// all its coefficients); beyond it the library reports an error.
constexpr long kMaxMemory = 1L << 30;

// The library reports errors through this manager. Its error_exit must not
// return; it jumps back into Library::Call, which raises the error there.
// Nothing between that call and the library's frames owns C++ objects, so
// the jump skips no destructor.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

ErrorManager& Manager(j_common_ptr cinfo) { return *reinterpret_cast<ErrorManager*>(cinfo->err); }

[[noreturn]] void Escape(j_common_ptr cinfo) { std::longjmp(Manager(cinfo).escape, 1); }

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->format_message)(cinfo, Manager(cinfo).message);
    Escape(cinfo);
}

[[noreturn]] void Fail(j_common_ptr cinfo, const char* text) {
    std::snprintf(Manager(cinfo).message, JMSG_LENGTH_MAX, "%s", text);
    Escape(cinfo);
}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace output
    // Data that ends before the picture does (the file ends, or a marker
    // comes where picture data should) would come out as a grey picture:
    // an error. Other damage the library repairs as it goes, as viewers do.
    if (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER) ErrorExit(cinfo);
    ++cinfo->err->num_warnings;
}

void OutputMessage(j_common_ptr) {}

void LimitScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        Fail(cinfo, "JPEG file has too many scans");
}

// libjpeg, opened when the first picture is read or written. Its absence is
// a picture that cannot be read or written, reported as such.
struct JpegFunctions {
    decltype(&::jpeg_std_error) stdError;
    decltype(&::jpeg_destroy) destroy;
    decltype(&::jpeg_CreateDecompress) createDecompress;
    decltype(&::jpeg_mem_src) memSrc;
    decltype(&::jpeg_read_header) readHeader;
    decltype(&::jpeg_start_decompress) startDecompress;
    decltype(&::jpeg_read_scanlines) readScanlines;
    decltype(&::jpeg_CreateCompress) createCompress;
    decltype(&::jpeg_set_defaults) setDefaults;
    decltype(&::jpeg_set_quality) setQuality;
    decltype(&::jpeg_simple_progression) simpleProgression;
    decltype(&::jpeg_start_compress) startCompress;
    decltype(&::jpeg_write_scanlines) writeScanlines;
    decltype(&::jpeg_finish_compress) finishCompress;
};
const JpegFunctions& Jpeg() {
    static const JpegFunctions functions = [] {
        try {
            static const module::Library l(FLICKSTOW_JPEG_LIBRARY, "Reading and writing JPEG pictures");
            return JpegFunctions{
                FLICKSTOW_FUNCTION(l, jpeg_std_error),          FLICKSTOW_FUNCTION(l, jpeg_destroy),
                FLICKSTOW_FUNCTION(l, jpeg_CreateDecompress),   FLICKSTOW_FUNCTION(l, jpeg_mem_src),
                FLICKSTOW_FUNCTION(l, jpeg_read_header),        FLICKSTOW_FUNCTION(l, jpeg_start_decompress),
                FLICKSTOW_FUNCTION(l, jpeg_read_scanlines),     FLICKSTOW_FUNCTION(l, jpeg_CreateCompress),
                FLICKSTOW_FUNCTION(l, jpeg_set_defaults),       FLICKSTOW_FUNCTION(l, jpeg_set_quality),
                FLICKSTOW_FUNCTION(l, jpeg_simple_progression), FLICKSTOW_FUNCTION(l, jpeg_start_compress),
                FLICKSTOW_FUNCTION(l, jpeg_write_scanlines),    FLICKSTOW_FUNCTION(l, jpeg_finish_compress)};
        } catch (const module::ELibraryError& e) {
            throw EJPEG(e.Message);
        }
    }();
    return functions;
}

// One library object (compressor or decompressor) and its error manager.
template <class Info>
class Library {
public:
    Library() {
        std::memset(&info, 0, sizeof info);
        info.err = Jpeg().stdError(&errors_.pub);
        errors_.pub.error_exit = ErrorExit;
        errors_.pub.emit_message = EmitMessage;
        errors_.pub.output_message = OutputMessage;
        errors_.message[0] = '\0';
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() { Jpeg().destroy(reinterpret_cast<j_common_ptr>(&info)); }

    // Runs the library calls of step; an error the library reports raises
    // EJPEG with its message. step must own no C++ objects: an error
    // leaves it without unwinding.
    template <class Step>
    [[gnu::noinline]] void Call(Step step) {
        if (setjmp(errors_.escape)) throw EJPEG(errors_.message);
        step();
    }

    Info info;

private:
    ErrorManager errors_;
};

// CMYK samples to RGB32 pixels. Adobe's programs store the inks inverted
// (0 = full ink); others store them plainly.
void CmykToRgb32(const JSAMPLE* in, QRgb* out, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Now 255 means no ink.
        out[x] = qRgb((c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
    }
}

// Compressed bytes go straight into a string.
struct StringDestination {
    jpeg_destination_mgr pub;
    AnsiString* out;
    JOCTET buffer[1 << 16];
};

StringDestination& Destination(j_compress_ptr cinfo) { return *reinterpret_cast<StringDestination*>(cinfo->dest); }

void StartOutput(j_compress_ptr cinfo) {
    StringDestination& d = Destination(cinfo);
    d.pub.next_output_byte = d.buffer;
    d.pub.free_in_buffer = sizeof d.buffer;
}

// Appends the buffer's first n bytes; an allocation failure becomes the
// library's own out-of-memory error (no C++ exception crosses the library).
void Flush(j_compress_ptr cinfo, size_t n) {
    StringDestination& d = Destination(cinfo);
    bool ok = true;
    try {
        d.out->append(reinterpret_cast<const char*>(d.buffer), n);
    } catch (...) {
        ok = false;
    }
    if (!ok) Fail(reinterpret_cast<j_common_ptr>(cinfo), "Insufficient memory for the JPEG file");
    StartOutput(cinfo);
}

boolean EmptyOutput(j_compress_ptr cinfo) {
    Flush(cinfo, sizeof Destination(cinfo).buffer);
    return TRUE;
}

void EndOutput(j_compress_ptr cinfo) {
    Flush(cinfo, sizeof Destination(cinfo).buffer - Destination(cinfo).pub.free_in_buffer);
}

// The scale (1/denominator) at which the picture still covers the size
// it will be shown at.
unsigned Denominator(QSize natural, QSize shown) {
    for (unsigned d : {8u, 4u, 2u}) {
        auto scaled = [d](int n) { return (static_cast<long long>(n) + d - 1) / d; };
        if (scaled(natural.width()) >= shown.width() && scaled(natural.height()) >= shown.height()) return d;
    }
    return 1;
}

}  // namespace

Picture Decode(std::string_view bytes, const ShownSize& shown) {
    Library<jpeg_decompress_struct> jpeg;
    jpeg_decompress_struct& info = jpeg.info;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = LimitScans;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto size = static_cast<unsigned long>(bytes.size());
    jpeg.Call([&] {
        Jpeg().createDecompress(&info, JPEG_LIB_VERSION, sizeof info);
        info.mem->max_memory_to_use = kMaxMemory;
        info.progress = &progress;
        Jpeg().memSrc(&info, data, size);
        Jpeg().readHeader(&info, TRUE);
    });

    Picture result;
    result.natural = QSize(static_cast<int>(info.image_width), static_cast<int>(info.image_height));
    if (static_cast<long long>(info.image_width) * info.image_height > kMaxPixels)
        throw EJPEG(ansi::Format("JPEG image too large (%s pixels)",
                                 ansi::IntToStr(info.image_width) + " x " + ansi::IntToStr(info.image_height)));
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool inverted = info.saw_Adobe_marker;
    info.out_color_space = cmyk ? JCS_CMYK : kRgb32;
    info.scale_num = 1;
    info.scale_denom = shown ? Denominator(result.natural, shown(result.natural)) : 1;
    jpeg.Call([&] { Jpeg().startDecompress(&info); });

    QImage image(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB32);
    if (image.isNull()) throw EJPEG("Insufficient memory for the JPEG image");
    std::vector<JSAMPLE> cmykRow(cmyk ? size_t{info.output_width} * 4 : 0);
    JSAMPLE* cmykBuffer = cmykRow.data();
    jpeg.Call([&] {
        while (info.output_scanline < info.output_height) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(info.output_scanline)));
            JSAMPROW row = cmyk ? cmykBuffer : reinterpret_cast<JSAMPROW>(line);
            if (Jpeg().readScanlines(&info, &row, 1) != 1)
                Fail(reinterpret_cast<j_common_ptr>(&info), "JPEG data ends early");
            if (cmyk) CmykToRgb32(cmykBuffer, line, info.output_width, inverted);
        }
    });
    // What follows the last line (further markers, the end marker, or
    // nothing at all) does not change the picture and is not read.
    result.image = std::move(image);
    return result;
}

Picture DecodeFile(const AnsiString& path, const ShownSize& shown) { return Decode(files::ReadWholeFile(path), shown); }

AnsiString Encode(const QImage& source, int quality, bool progressive) {
    if (source.isNull()) throw EJPEG("Cannot encode an empty image as JPEG");
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    Library<jpeg_compress_struct> jpeg;
    jpeg_compress_struct& info = jpeg.info;
    AnsiString bytes;
    StringDestination destination{};
    destination.out = &bytes;
    destination.pub.init_destination = StartOutput;
    destination.pub.empty_output_buffer = EmptyOutput;
    destination.pub.term_destination = EndOutput;
    jpeg.Call([&] {
        Jpeg().createCompress(&info, JPEG_LIB_VERSION, sizeof info);
        info.dest = &destination.pub;
        info.image_width = static_cast<JDIMENSION>(image.width());
        info.image_height = static_cast<JDIMENSION>(image.height());
        info.input_components = 4;
        info.in_color_space = kRgb32;
        Jpeg().setDefaults(&info);
        Jpeg().setQuality(&info, std::clamp(quality, 1, 100), TRUE);
        if (progressive) Jpeg().simpleProgression(&info);
        Jpeg().startCompress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            // The library only reads the rows it is given.
            auto row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
            Jpeg().writeScanlines(&info, &row, 1);
        }
        Jpeg().finishCompress(&info);
    });
    return bytes;
}

}  // namespace jpeg
