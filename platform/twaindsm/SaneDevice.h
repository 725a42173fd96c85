#pragma once
// The scanners SANE knows, and one opened scanner: its scan modes and
// resolutions, and a scan into an image. Each call reports SANE's own
// failure as a SaneError; nothing here shows anything.

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace twaindsm {

struct SaneError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// The scan was stopped by Cancel().
struct SaneCancelled : SaneError {
    SaneCancelled() : SaneError("cancelled") {}
};

struct DeviceInfo {
    std::string name, vendor, model, type;
};

// SANE itself: sane_init on Start, sane_exit on Stop (or destruction).
class SaneLibrary {
public:
    ~SaneLibrary() { Stop(); }
    // False when SANE could not be started; the reason is in Error().
    bool Start();
    void Stop();
    bool Started() const { return started_; }
    // Every scanner SANE finds (local and networked), in SANE's order.
    std::vector<DeviceInfo> Devices();
    const std::string& Error() const { return error_; }

private:
    bool started_ = false;
    std::string error_;
};

using RowSink = std::function<void(const QImage& band, int firstRow, int height)>;

// A part of the glass in millimetres, from the glass's top left corner.
struct ScanArea {
    double left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ScanArea&) const = default;
};

// What a scan is made with.
struct ScanSettings {
    QString mode;                  // one of the device's modes; empty: the device's own
    double dpi = 0;                // 0: the device's own
    std::optional<ScanArea> area;  // none: the device's own
    QString size;                  // the name the user chose the area by (the window's)
};

// What a device lets the user choose, as its window shows it.
struct DeviceOptions {
    QStringList modes;
    bool hasResolution = false;
    double minDpi = 0, maxDpi = 0;
    // The glass in millimetres; none when the device has no scan area.
    std::optional<QSizeF> glass;
};

class SaneDevice {
public:
    // Raises SaneError when the device cannot be opened.
    explicit SaneDevice(const std::string& name);
    ~SaneDevice();
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    // The scan modes ("Color", "Gray", "Lineart" ...); empty when the
    // device has no choice.
    QStringList Modes() const { return modes_; }
    QString CurrentMode() const;
    // The resolutions the device allows: a range, or a list of values.
    double MinDpi() const { return minDpi_; }
    double MaxDpi() const { return maxDpi_; }
    const std::vector<double>& DpiList() const { return dpiList_; }
    double CurrentDpi() const;
    bool HasResolution() const { return resolutionOption_ >= 0; }
    // The nearest resolution the device allows.
    double ClampDpi(double dpi) const;
    // The mode that stands for colour / gray / black-and-white; empty when
    // the device offers none of it.
    QString ColourMode() const;
    QString GrayMode() const;
    QString LineartMode() const;

    // The scan area: the glass and the part of it a scan takes now, in
    // millimetres; false / empty when the device has no area to choose.
    bool HasGeometry() const { return geometry_[0].option >= 0; }
    QSizeF Glass() const;
    ScanArea CurrentArea() const;
    // The lowest resolution at or above 25 dpi (the highest below, if none).
    double PreviewDpi() const;
    DeviceOptions Options() const;

    // Applies the settings and scans one image (every frame of it). With a
    // sink, an image of one frame and a known height goes to it in bands of
    // rows as they arrive (the band, its first row, the image's height) and
    // the result is a null image. Raises SaneCancelled after Cancel(),
    // SaneError on a device error. Called on the worker thread; nothing else
    // touches the device meanwhile but Cancel().
    QImage Scan(const ScanSettings& settings, const RowSink& sink = {});
    // Asks a running scan to stop; safe from another thread. The worker
    // stops at its next read (having let the device finish its page, for at
    // most a few seconds).
    void Cancel();

    // A quick grey scan of the whole glass at PreviewDpi(), with the
    // device's own preview setting where it has one. Every setting it
    // changes is as before afterwards. Raises as Scan does.
    QImage Preview();

private:
    // One of the four corners' coordinates: tl-x, tl-y, br-x, br-y.
    struct Coordinate {
        int option = -1;
        double min = 0, max = 0;
    };
    void SetArea(const ScanArea& area, double dpi);
    void SetNumber(int option, double value);
    // Device units (millimetres or pixels) per millimetre.
    double UnitsPerMm(double dpi) const;
    QImage Acquire(const RowSink& sink);

    int FindOption(const char* name) const;
    void SetMode(const QString& mode);
    void SetDpi(double dpi);
    void ReadOptions();
    void ReadGeometry();
    void Drain();

    void* handle_ = nullptr;
    int modeOption_ = -1, resolutionOption_ = -1;
    bool resolutionFixed_ = false;
    Coordinate geometry_[4];
    bool geometryInPixels_ = false;
    int previewOption_ = -1;
    QStringList modes_;
    double minDpi_ = 0, maxDpi_ = 0, dpiStep_ = 0;
    std::vector<double> dpiList_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace twaindsm
