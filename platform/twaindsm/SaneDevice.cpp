#include "platform/twaindsm/SaneDevice.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

namespace twaindsm {
namespace {

SANE_Handle H(void* h) { return static_cast<SANE_Handle>(h); }

[[noreturn]] void Fail(const char* what, SANE_Status status) {
    throw SaneError(std::string(what) + ": " + sane_strstatus(status));
}

double OptionNumber(const SANE_Option_Descriptor* d, SANE_Word w) {
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w);
}
SANE_Word OptionWord(const SANE_Option_Descriptor* d, double v) {
    return d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : static_cast<SANE_Word>(std::lround(v));
}

// The image that the frames of one scan fill, row by row, in the layout a
// QImage uses: 1-bit (SANE's 1 is black), 8-bit gray or 24-bit RGB. The rows
// are read straight into the image where SANE's layout is the image's, so
// the scan never holds a second copy of the picture. A one-frame image of a
// known height can be handed on in bands of rows as they arrive instead.
class Assembler {
public:
    Assembler(const RowSink& sink, int dotsPerMeter) : sink_(sink), dotsPerMeter_(dotsPerMeter) {}
    ~Assembler() { std::free(bits_); }

    // Long by design, see docs/COMPLEXITY.md: every frame format SANE has, checked and laid out.
    // NOLINTNEXTLINE(readability-function-cognitive-complexity)
    void BeginFrame(const SANE_Parameters& p) {
        if (p.pixels_per_line <= 0 || p.bytes_per_line <= 0 || (p.depth != 1 && p.depth != 8 && p.depth != 16))
            throw SaneError("unsupported image format");
        bool gray = p.format == SANE_FRAME_GRAY;
        bool single = gray || p.format == SANE_FRAME_RGB;
        if (!single && p.format != SANE_FRAME_RED && p.format != SANE_FRAME_GREEN && p.format != SANE_FRAME_BLUE)
            throw SaneError("unsupported image format");
        frame_ = p;
        channel_ = p.format == SANE_FRAME_GREEN ? 1 : p.format == SANE_FRAME_BLUE ? 2 : 0;
        size_t needed = static_cast<size_t>(p.pixels_per_line) * (p.format == SANE_FRAME_RGB ? 3 : 1);
        needed = (needed * static_cast<size_t>(p.depth) + 7) / 8;
        if (static_cast<size_t>(p.bytes_per_line) < needed) throw SaneError("unsupported image format");
        if (!bits_) {
            width_ = p.pixels_per_line;
            format_ = gray && p.depth == 1 ? QImage::Format_Mono
                      : gray               ? QImage::Format_Grayscale8
                                           : QImage::Format_RGB888;
            size_t rowBytes = format_ == QImage::Format_Mono     ? (static_cast<size_t>(width_) + 7) / 8
                              : format_ == QImage::Format_RGB888 ? static_cast<size_t>(width_) * 3
                                                                 : static_cast<size_t>(width_);
            stride_ = (rowBytes + 3) & ~size_t{3};
            streaming_ = sink_ && single && p.last_frame && p.lines > 0;
            // Bands of about a megabyte.
            if (streaming_) Reserve(std::min(static_cast<size_t>(p.lines), std::max<size_t>(1, (1 << 20) / stride_)));
            else if (p.lines > 0)
                Reserve(static_cast<size_t>(p.lines));
        } else if (p.pixels_per_line != width_ || single) {
            throw SaneError("frames of different sizes");
        }
        row_.assign(static_cast<size_t>(p.bytes_per_line), 0);
        // SANE's bytes are the image's: no conversion needed.
        direct_ = p.depth == 8 && (p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB);
        if (gray && p.depth == 1) direct_ = true;
        // Rows without padding on either side: many rows go in one read.
        contiguous_ = direct_ && static_cast<size_t>(p.bytes_per_line) == stride_;
        lines_ = p.lines > 0 ? static_cast<size_t>(p.lines) : 0;
        rowInFrame_ = 0;
        filled_ = 0;
    }

    // All the rows the frame announced are in; what follows is dropped.
    bool Complete() const { return lines_ > 0 && rowInFrame_ >= lines_; }

    // Where the next bytes go, and how many may go there at once.
    uint8_t* Target() {
        if (direct_) return Room() + filled_;
        return row_.data() + filled_;
    }
    size_t Wanted() const {
        if (contiguous_) {
            size_t rows = base_ + allocated_ - rowInFrame_;
            if (lines_ > 0) rows = std::min(rows, lines_ - rowInFrame_);
            return std::max<size_t>(rows, 1) * stride_ - filled_;
        }
        size_t rowBytes = direct_ ? std::min(static_cast<size_t>(frame_.bytes_per_line), stride_) : row_.size();
        return rowBytes - filled_;
    }
    // `n` more bytes arrived; true when that completed a row.
    bool Arrived(size_t n) {
        filled_ += n;
        if (contiguous_) {
            size_t rows = filled_ / stride_;
            rowInFrame_ += rows;
            filled_ -= rows * stride_;
            return rows > 0;
        }
        if (Wanted() > 0) return false;
        FinishRow();
        return true;
    }

    // A SANE row longer than the image's row: the rest is read and dropped.
    size_t SurplusBytes() const {
        return direct_ && static_cast<size_t>(frame_.bytes_per_line) > stride_
                   ? static_cast<size_t>(frame_.bytes_per_line) - stride_
                   : 0;
    }

    void EndFrame() {
        rows_ = std::max(rows_, rowInFrame_);
        if (streaming_) Flush();
    }

    // The whole image; a null one when it went out in bands.
    QImage Take() {
        if (!bits_ || rows_ == 0) throw SaneError("the scanner delivered no image");
        if (streaming_) return {};
        // Room kept for rows of an unknown height that did not come.
        if (allocated_ > rows_)
            if (auto* shrunk = static_cast<uint8_t*>(std::realloc(bits_, rows_ * stride_))) bits_ = shrunk;
        // The image owns the buffer from now on.
        uint8_t* bits = bits_;
        bits_ = nullptr;
        QImage image(
            bits, width_, static_cast<int>(rows_), static_cast<qsizetype>(stride_), format_,
            [](void* p) { std::free(p); }, bits);
        Describe(image);
        return image;
    }

private:
    void Describe(QImage& image) const {
        if (format_ == QImage::Format_Mono) image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        if (dotsPerMeter_ > 0) {
            image.setDotsPerMeterX(dotsPerMeter_);
            image.setDotsPerMeterY(dotsPerMeter_);
        }
    }

    // The memory of the current row: the band is handed on when full.
    uint8_t* Room() {
        if (streaming_ && rowInFrame_ >= base_ + allocated_) Flush();
        Reserve(rowInFrame_ - base_ + 1);
        return bits_ + (rowInFrame_ - base_) * stride_;
    }

    void Flush() {
        if (rowInFrame_ > base_) {
            QImage band(bits_, width_, static_cast<int>(rowInFrame_ - base_), static_cast<qsizetype>(stride_), format_);
            Describe(band);
            sink_(band, static_cast<int>(base_), static_cast<int>(lines_));
        }
        base_ = rowInFrame_;
    }

    void Reserve(size_t rows) {
        if (rows <= allocated_) return;
        size_t want = std::max(rows, allocated_ * 2);
        if (want > static_cast<size_t>(std::numeric_limits<int>::max()) ||
            want > std::numeric_limits<size_t>::max() / stride_)
            throw SaneError("image too large");
        auto* grown = static_cast<uint8_t*>(std::realloc(bits_, want * stride_));
        if (!grown) throw SaneError("not enough memory for the image");
        bits_ = grown;
        allocated_ = want;
    }

    unsigned Sample(const uint8_t* src, size_t index) const {
        switch (frame_.depth) {
        case 16: {
            // To 8 bits by rounding: 65535 is 255.
            uint16_t v;
            std::memcpy(&v, src + index * 2, 2);
            return (v * 255u + 32767u) / 65535u;
        }
        case 8: return src[index];
        default: return (src[index / 8] >> (7 - index % 8)) & 1 ? 255 : 0;
        }
    }

    void FinishRow() {
        if (!direct_) {
            uint8_t* out = Room();
            size_t w = static_cast<size_t>(width_);
            if (frame_.format == SANE_FRAME_GRAY) {
                for (size_t x = 0; x < w; ++x) out[x] = static_cast<uint8_t>(Sample(row_.data(), x));
            } else if (frame_.format == SANE_FRAME_RGB) {
                for (size_t i = 0; i < w * 3; ++i) out[i] = static_cast<uint8_t>(Sample(row_.data(), i));
            } else {
                // One colour of a three-pass scan: a new row starts black.
                if (rowInFrame_ >= rows_) std::memset(out, 0, stride_);
                for (size_t x = 0; x < w; ++x) out[x * 3 + channel_] = static_cast<uint8_t>(Sample(row_.data(), x));
            }
        }
        ++rowInFrame_;
        filled_ = 0;
    }

    SANE_Parameters frame_{};
    int width_ = 0;
    QImage::Format format_ = QImage::Format_RGB888;
    size_t stride_ = 0, allocated_ = 0, rows_ = 0, rowInFrame_ = 0, filled_ = 0, channel_ = 0;
    uint8_t* bits_ = nullptr;
    std::vector<uint8_t> row_;
    bool direct_ = false, contiguous_ = false, streaming_ = false;
    size_t lines_ = 0, base_ = 0;
    const RowSink& sink_;
    const int dotsPerMeter_;
};

bool SameText(const QString& a, const char* b) { return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0; }

}  // namespace

// ---- SaneLibrary

bool SaneLibrary::Start() {
    if (started_) return true;
    SANE_Int version = 0;
    SANE_Status status = sane_init(&version, nullptr);
    if (status != SANE_STATUS_GOOD) {
        error_ = sane_strstatus(status);
        return false;
    }
    started_ = true;
    return true;
}

void SaneLibrary::Stop() {
    if (!started_) return;
    sane_exit();
    started_ = false;
}

std::vector<DeviceInfo> SaneLibrary::Devices() {
    std::vector<DeviceInfo> out;
    if (!Start()) return out;
    const SANE_Device** list = nullptr;
    if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return out;
    auto text = [](const char* s) { return std::string(s ? s : ""); };
    for (size_t i = 0; list[i]; ++i)
        out.push_back({text(list[i]->name), text(list[i]->vendor), text(list[i]->model), text(list[i]->type)});
    return out;
}

// ---- SaneDevice

SaneDevice::SaneDevice(const std::string& name) {
    SANE_Handle h = nullptr;
    SANE_Status status = sane_open(name.c_str(), &h);
    if (status != SANE_STATUS_GOOD) Fail("open", status);
    handle_ = h;
    ReadOptions();
}

SaneDevice::~SaneDevice() {
    if (handle_) sane_close(H(handle_));
}

int SaneDevice::FindOption(const char* name) const {
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), i);
        if (!d) return -1;
        if (d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap) &&
            SANE_OPTION_IS_SETTABLE(d->cap))
            return i;
    }
}

void SaneDevice::ReadOptions() {
    modeOption_ = FindOption(SANE_NAME_SCAN_MODE);
    modes_.clear();
    if (modeOption_ >= 0) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), modeOption_);
        if (d->type == SANE_TYPE_STRING && d->constraint_type == SANE_CONSTRAINT_STRING_LIST)
            for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) modes_ << QString::fromUtf8(*s);
        else
            modeOption_ = -1;
    }
    resolutionOption_ = FindOption(SANE_NAME_SCAN_RESOLUTION);
    dpiList_.clear();
    if (resolutionOption_ >= 0) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), resolutionOption_);
        resolutionFixed_ = d->type == SANE_TYPE_FIXED;
        if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != sizeof(SANE_Word)) {
            resolutionOption_ = -1;
        } else if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
            minDpi_ = OptionNumber(d, d->constraint.range->min);
            maxDpi_ = OptionNumber(d, d->constraint.range->max);
            dpiStep_ = OptionNumber(d, d->constraint.range->quant);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            for (SANE_Int k = 1; k <= d->constraint.word_list[0]; ++k)
                dpiList_.push_back(OptionNumber(d, d->constraint.word_list[k]));
            std::sort(dpiList_.begin(), dpiList_.end());
            if (dpiList_.empty()) {
                resolutionOption_ = -1;
            } else {
                minDpi_ = dpiList_.front();
                maxDpi_ = dpiList_.back();
            }
        } else {
            minDpi_ = 1;
            maxDpi_ = 9600;
        }
    }
    ReadGeometry();
    previewOption_ = FindOption(SANE_NAME_PREVIEW);
    if (previewOption_ >= 0 && sane_get_option_descriptor(H(handle_), previewOption_)->type != SANE_TYPE_BOOL)
        previewOption_ = -1;
}

void SaneDevice::ReadGeometry() {
    static const char* const names[4] = {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_X,
                                         SANE_NAME_SCAN_BR_Y};
    // An area needs all four corners' coordinates, as ranges of one unit.
    bool usable = true;
    for (int k = 0; k < 4; ++k) {
        Coordinate& c = geometry_[k];
        c = {};
        c.option = FindOption(names[k]);
        const SANE_Option_Descriptor* d = c.option >= 0 ? sane_get_option_descriptor(H(handle_), c.option) : nullptr;
        if (!d || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != sizeof(SANE_Word) ||
            d->constraint_type != SANE_CONSTRAINT_RANGE || (d->unit != SANE_UNIT_MM && d->unit != SANE_UNIT_PIXEL)) {
            usable = false;
            continue;
        }
        c.min = OptionNumber(d, d->constraint.range->min);
        c.max = OptionNumber(d, d->constraint.range->max);
        if (k == 0) geometryInPixels_ = d->unit == SANE_UNIT_PIXEL;
        else if ((d->unit == SANE_UNIT_PIXEL) != geometryInPixels_)
            usable = false;
    }
    if (!usable || geometry_[2].max <= geometry_[0].min || geometry_[3].max <= geometry_[1].min)
        for (Coordinate& c : geometry_) c = {};
}

double SaneDevice::UnitsPerMm(double dpi) const {
    // Pixels are the device's at the resolution of the scan.
    if (!geometryInPixels_) return 1;
    return dpi > 0 ? dpi / 25.4 : 1;
}

QSizeF SaneDevice::Glass() const {
    if (!HasGeometry()) return {};
    double f = UnitsPerMm(CurrentDpi());
    return {(geometry_[2].max - geometry_[0].min) / f, (geometry_[3].max - geometry_[1].min) / f};
}

ScanArea SaneDevice::CurrentArea() const {
    if (!HasGeometry()) return {};
    double v[4];
    for (int k = 0; k < 4; ++k) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), geometry_[k].option);
        SANE_Word w = 0;
        if (sane_control_option(H(handle_), geometry_[k].option, SANE_ACTION_GET_VALUE, &w, nullptr) !=
            SANE_STATUS_GOOD)
            return {};
        v[k] = OptionNumber(d, w);
    }
    double f = UnitsPerMm(CurrentDpi());
    return {(v[0] - geometry_[0].min) / f, (v[1] - geometry_[1].min) / f, (v[2] - v[0]) / f, (v[3] - v[1]) / f};
}

double SaneDevice::PreviewDpi() const {
    constexpr double kLowest = 25;
    if (!HasResolution()) return 0;
    if (!dpiList_.empty()) {
        auto at = std::lower_bound(dpiList_.begin(), dpiList_.end(), kLowest);
        return at == dpiList_.end() ? dpiList_.back() : *at;
    }
    double dpi = std::max(minDpi_, kLowest);
    if (dpiStep_ > 0) dpi = minDpi_ + std::ceil((dpi - minDpi_) / dpiStep_ - 1e-9) * dpiStep_;
    return std::min(dpi, maxDpi_);
}

DeviceOptions SaneDevice::Options() const {
    DeviceOptions o;
    o.modes = modes_;
    o.hasResolution = HasResolution();
    o.minDpi = minDpi_;
    o.maxDpi = maxDpi_;
    if (HasGeometry()) o.glass = Glass();
    return o;
}

void SaneDevice::SetNumber(int option, double value) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), option);
    SANE_Word w = OptionWord(d, value);
    SANE_Status status = sane_control_option(H(handle_), option, SANE_ACTION_SET_VALUE, &w, nullptr);
    if (status != SANE_STATUS_GOOD) Fail("scan area", status);
}

void SaneDevice::SetArea(const ScanArea& area, double dpi) {
    double f = UnitsPerMm(dpi);
    double v[4] = {geometry_[0].min + area.left * f, geometry_[1].min + area.top * f, 0, 0};
    v[2] = v[0] + area.width * f;
    v[3] = v[1] + area.height * f;
    for (int k = 0; k < 4; ++k) v[k] = std::clamp(v[k], geometry_[k].min, geometry_[k].max);
    // The top left corner goes to the glass's first, so that no step ever
    // has it beyond the bottom right one, wherever the old area was.
    SetNumber(geometry_[0].option, geometry_[0].min);
    SetNumber(geometry_[1].option, geometry_[1].min);
    SetNumber(geometry_[2].option, v[2]);
    SetNumber(geometry_[3].option, v[3]);
    SetNumber(geometry_[0].option, v[0]);
    SetNumber(geometry_[1].option, v[1]);
}

QString SaneDevice::CurrentMode() const {
    if (modeOption_ < 0) return {};
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), modeOption_);
    std::vector<char> value(static_cast<size_t>(std::max<SANE_Int>(d->size, 1)) + 1, 0);
    if (sane_control_option(H(handle_), modeOption_, SANE_ACTION_GET_VALUE, value.data(), nullptr) != SANE_STATUS_GOOD)
        return {};
    return QString::fromUtf8(value.data());
}

double SaneDevice::CurrentDpi() const {
    if (resolutionOption_ < 0) return 0;
    SANE_Word w = 0;
    if (sane_control_option(H(handle_), resolutionOption_, SANE_ACTION_GET_VALUE, &w, nullptr) != SANE_STATUS_GOOD)
        return 0;
    return resolutionFixed_ ? SANE_UNFIX(w) : static_cast<double>(w);
}

double SaneDevice::ClampDpi(double dpi) const {
    if (resolutionOption_ < 0) return dpi;
    if (!dpiList_.empty())
        return *std::min_element(dpiList_.begin(), dpiList_.end(),
                                 [&](double a, double b) { return std::fabs(a - dpi) < std::fabs(b - dpi); });
    return std::clamp(dpi, minDpi_, maxDpi_);
}

QString SaneDevice::ColourMode() const {
    for (const QString& m : modes_)
        if (SameText(m, "Color") || SameText(m, "Colour") || SameText(m, "RGB")) return m;
    return {};
}

QString SaneDevice::GrayMode() const {
    for (const QString& m : modes_)
        if (SameText(m, "Gray") || SameText(m, "Grey") || SameText(m, "Grayscale")) return m;
    return {};
}

QString SaneDevice::LineartMode() const {
    for (const QString& m : modes_)
        if (SameText(m, "Lineart") || SameText(m, "Binary") || SameText(m, "Black & White")) return m;
    return {};
}

void SaneDevice::SetMode(const QString& mode) {
    if (modeOption_ < 0 || mode.isEmpty()) return;
    QByteArray value = mode.toUtf8();
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), modeOption_);
    if (value.size() >= d->size) throw SaneError("unknown scan mode");
    std::vector<char> buffer(static_cast<size_t>(d->size), 0);
    std::memcpy(buffer.data(), value.constData(), static_cast<size_t>(value.size()));
    SANE_Int info = 0;
    SANE_Status status = sane_control_option(H(handle_), modeOption_, SANE_ACTION_SET_VALUE, buffer.data(), &info);
    if (status != SANE_STATUS_GOOD) Fail("mode", status);
    // A new mode may bring other resolutions.
    if (info & SANE_INFO_RELOAD_OPTIONS) ReadOptions();
}

void SaneDevice::SetDpi(double dpi) {
    if (resolutionOption_ < 0 || dpi <= 0) return;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), resolutionOption_);
    SANE_Word w = OptionWord(d, ClampDpi(dpi));
    SANE_Status status = sane_control_option(H(handle_), resolutionOption_, SANE_ACTION_SET_VALUE, &w, nullptr);
    if (status != SANE_STATUS_GOOD) Fail("resolution", status);
}

QImage SaneDevice::Scan(const ScanSettings& settings, const RowSink& sink) {
    cancelled_ = false;
    SetMode(settings.mode);
    SetDpi(settings.dpi);
    if (settings.area && HasGeometry()) SetArea(*settings.area, CurrentDpi());
    return Acquire(sink);
}

QImage SaneDevice::Preview() {
    cancelled_ = false;
    // The values of every option the preview changes, restored afterwards
    // in this order: the whole glass it leaves lets the area's top left
    // corner go back before the bottom right one.
    struct Kept {
        int option;
        std::vector<char> value;
    };
    struct Restore {
        SaneDevice* device;
        std::vector<Kept> kept;
        ~Restore() {
            // A restored mode may have changed the other options: each is
            // described anew before it is set, as SANE asks.
            for (Kept& k : kept)
                if (sane_get_option_descriptor(H(device->handle_), k.option))
                    sane_control_option(H(device->handle_), k.option, SANE_ACTION_SET_VALUE, k.value.data(), nullptr);
            device->ReadOptions();
        }
    } restore{this, {}};
    for (int option : {previewOption_, modeOption_, resolutionOption_, geometry_[0].option, geometry_[1].option,
                       geometry_[2].option, geometry_[3].option}) {
        if (option < 0) continue;
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), option);
        std::vector<char> value(static_cast<size_t>(std::max<SANE_Int>(d->size, 1)), 0);
        if (sane_control_option(H(handle_), option, SANE_ACTION_GET_VALUE, value.data(), nullptr) == SANE_STATUS_GOOD)
            restore.kept.push_back({option, std::move(value)});
    }
    if (previewOption_ >= 0) {
        SANE_Bool on = SANE_TRUE;
        SANE_Status status = sane_control_option(H(handle_), previewOption_, SANE_ACTION_SET_VALUE, &on, nullptr);
        if (status != SANE_STATUS_GOOD) Fail("preview", status);
    }
    SetMode(GrayMode());
    SetDpi(PreviewDpi());
    if (HasGeometry()) {
        QSizeF glass = Glass();
        SetArea({0, 0, glass.width(), glass.height()}, CurrentDpi());
    }
    return Acquire({});
}

// Long by design, see docs/COMPLEXITY.md: SANE's frame and read loop.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
QImage SaneDevice::Acquire(const RowSink& sink) {
    double dpi = CurrentDpi();
    Assembler image(sink, dpi > 0 ? static_cast<int>(std::lround(dpi / 0.0254)) : 0);
    std::vector<uint8_t> surplus;
    struct EndScan {
        SaneDevice* d;
        ~EndScan() { sane_cancel(H(d->handle_)); }
    } endScan{this};
    for (;;) {
        if (cancelled_) throw SaneCancelled();
        SANE_Status status = sane_start(H(handle_));
        if (status == SANE_STATUS_CANCELLED || cancelled_) throw SaneCancelled();
        if (status != SANE_STATUS_GOOD) Fail("start", status);
        SANE_Parameters p;
        status = sane_get_parameters(H(handle_), &p);
        if (status != SANE_STATUS_GOOD) Fail("parameters", status);
        image.BeginFrame(p);
        surplus.resize(image.SurplusBytes());
        size_t surplusLeft = 0;
        uint8_t spare[4096];
        for (;;) {
            SANE_Int got = 0;
            bool intoSurplus = surplusLeft > 0;
            // Bytes past the announced rows (there should be none) are dropped.
            bool past = !intoSurplus && image.Complete();
            uint8_t* target = intoSurplus ? surplus.data() + (surplus.size() - surplusLeft)
                              : past      ? spare
                                          : image.Target();
            size_t wanted = intoSurplus ? surplusLeft : past ? sizeof spare : image.Wanted();
            if (cancelled_) {
                Drain();
                throw SaneCancelled();
            }
            status = sane_read(H(handle_), target, static_cast<SANE_Int>(std::min<size_t>(wanted, 1 << 20)), &got);
            if (status == SANE_STATUS_EOF) break;
            if (status == SANE_STATUS_CANCELLED) throw SaneCancelled();
            if (status != SANE_STATUS_GOOD) {
                // The backend's reader may still be starting up (see Drain):
                // it is given a moment to settle into its pipe before the
                // scan is cancelled.
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                Fail("read", status);
            }
            if (got <= 0) continue;
            if (intoSurplus) {
                surplusLeft -= static_cast<size_t>(got);
                continue;
            }
            if (past) continue;
            if (image.Arrived(static_cast<size_t>(got))) surplusLeft = surplus.size();
        }
        // A cancelled scan may end like a finished one.
        if (cancelled_) throw SaneCancelled();
        image.EndFrame();
        if (p.last_frame) break;
    }
    return image.Take();
}

void SaneDevice::Drain() {
    // Backends that hand the data over from a reader thread stop it at
    // sane_cancel with an asynchronous thread cancel; one that strikes while
    // the reader is inside malloc leaves the heap locked and the program
    // hangs. So the rest of the page is read and dropped first, for at most
    // a few seconds, and the scan is cancelled once the reader is done.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    uint8_t spare[1 << 16];
    SANE_Int got = 0;
    while (std::chrono::steady_clock::now() < deadline &&
           sane_read(H(handle_), spare, static_cast<SANE_Int>(sizeof spare), &got) == SANE_STATUS_GOOD) {
    }
}

void SaneDevice::Cancel() {
    // Only the worker talks to the device: it sees the flag before its next
    // read and ends the scan itself. (Two threads in a backend's cancel at
    // once end in a double join in some backends.)
    cancelled_ = true;
}

}  // namespace twaindsm
