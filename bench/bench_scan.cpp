// Scanning: one A4 colour page at 300 dpi from SANE's test device through
// the scanner component and our source manager (without the source's
// window), beside SANE's own scanimage scanning the same page with the same
// options in the same run (its page thrown away, and kept in a file); and
// the memory the acquisition takes on top of the finished bitmap.

#include "bench/Bench.h"
#include "components/scansource/ScanSource.h"
#include "platform/files/files.h"
#include "platform/module/module.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <unistd.h>

using namespace bench;

namespace {

// The page: A4 (the test device allows up to 300 mm once told so), its
// colour test pattern.
void ConfigureSane(const AnsiString& dir) {
    files::ReplaceWholeFile(files::JoinPath(dir, "dll.conf"), "test\n");
    files::ReplaceWholeFile(files::JoinPath(dir, "test.conf"),
                            "geometry_max 300\nbr_x 210\nbr_y 297\ntest-picture \"Color pattern\"\n");
    setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
}

// scanimage's page goes nowhere (the scan alone), or into a file as a user
// keeps it.
void ScanImage(const AnsiString& output) {
    QProcess p;
    p.start("scanimage", {"-d", "test:0", "--mode", "Color", "--resolution", "300", "--format=pnm", "-o",
                          QString::fromStdString(output)});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) std::fprintf(stderr, "scanimage failed\n");
}

long ResidentPages() {
    long size = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    return resident;
}

// The highest resident size while the work runs, in kB, sampled from a
// thread of its own (the kernel's own high-water mark is updated too
// lazily to catch a peak that lasts milliseconds).
long PeakKbDuring(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::atomic<long> peak{ResidentPages()};
    std::thread sampler([&] {
        while (!done) {
            long now = ResidentPages();
            if (now > peak) peak = now;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    work();
    done = true;
    sampler.join();
    return peak * (sysconf(_SC_PAGESIZE) / 1024);
}

void Scan(const AnsiString& dir) {
    const AnsiString sane = files::JoinPath(dir, "sane.d");
    std::filesystem::create_directories(sane);
    ConfigureSane(sane);
    // The program, with the manager beside it.
    module::test::SetExecutablePath(files::JoinPath(dir, "flickstow"));
    QFile::remove(QString::fromStdString(files::JoinPath(dir, kTwainLibraryName)));
    if (!QFile::copy(TWAIN_DSM_PATH, QString::fromStdString(files::JoinPath(dir, kTwainLibraryName)))) {
        std::fprintf(stderr, "cannot copy %s\n", TWAIN_DSM_PATH);
        return;
    }
    QWidget window;
    TScanSource twain(&window);
    twain.SetShowUI(false);
    bool ready = false;
    twain.OnScanReady = [&](TScanSource*) { ready = true; };
    twain.InitTWAIN();
    QImage page;
    auto acquire = [&] {
        // The settings a cover scan at this quality asks for.
        twain.OpenDataSource();
        auto set = [&](TW_UINT16 cap, TW_UINT16 type, TW_UINT32 item) {
            scansource::SetOneValue(
                [&](TW_CAPABILITY& c) { return twain.CallDataSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &c); }, cap,
                type, item);
        };
        set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB);
        set(ICAP_XRESOLUTION, TWTY_FIX32, Fix32Item(ToFix32(300)));
        set(ICAP_YRESOLUTION, TWTY_FIX32, Fix32Item(ToFix32(300)));
        ready = false;
        twain.Acquire(page);
        while (!ready) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    acquire();  // warm up: devices found, backend loaded
    if (page.size() != QSize(2480, 3507)) std::fprintf(stderr, "unexpected page %dx%d\n", page.width(), page.height());
    const AnsiString kept = files::JoinPath(dir, "page.pnm");
    ScanImage("/dev/null");
    double ours = Median(acquire, [&] { page = QImage(); });
    double theirs = Median([] { ScanImage("/dev/null"); });
    double theirsKept = Median([&] { ScanImage(kept); });
    Report(1, "scan_a4_300dpi", ours, theirs, 1.3);
    Report(1, "scan_a4_vs_file", ours, theirsKept, 1.3);

    // Memory: the highest resident size during one acquisition, above what
    // was resident before it, against the finished bitmap's size.
    page = QImage();
    long before = ResidentKb();
    long peak = PeakKbDuring(acquire);
    double bitmapMb = static_cast<double>(page.sizeInBytes()) / (1024.0 * 1024.0);
    ReportValue(1, "scan_peak_memory", static_cast<double>(peak - before) / 1024.0, "MB", bitmapMb, "bitmap", 2.0);
}

}  // namespace

FLICKSTOW_BENCH_SUITE("scan", Scan);
