#pragma once
// The scanners SANE knows, and one opened scanner: its scan modes and
// resolutions, and a scan into an image. Each call reports SANE's own
// failure as a SaneError; nothing here shows anything.

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
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

// What a scan is made with.
struct ScanSettings {
    QString mode;       // one of the device's modes; empty: the device's own
    double dpi = 0;     // 0: the device's own
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

private:
    int FindOption(const char* name) const;
    void SetMode(const QString& mode);
    void SetDpi(double dpi);
    void ReadOptions();
    void Drain();

    void* handle_ = nullptr;
    int modeOption_ = -1, resolutionOption_ = -1;
    bool resolutionFixed_ = false;
    QStringList modes_;
    double minDpi_ = 0, maxDpi_ = 0;
    std::vector<double> dpiList_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace twaindsm
