// Scanning: one A4 colour page at 300 dpi from SANE's test device through
// the scanner component and our source manager (without the source's
// window), beside SANE's own scanimage scanning the same page with the same
// options in the same run (its page thrown away, and kept in a file); the
// memory the acquisition takes on top of the finished bitmap; and the
// preview of the glass in the source's window, beside the same grey
// low-resolution scan of the glass through SANE directly and by scanimage.

#include "bench/Bench.h"
#include "components/scansource/ScanSource.h"
#include "platform/files/files.h"
#include "platform/module/module.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// The preview's scan made straight through SANE, on an open device: grey,
// 25 dpi, the whole glass, read to its end.
double DirectPreviewMs() {
    SANE_Int version = 0;
    SANE_Handle h = nullptr;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD || sane_open("test:0", &h) != SANE_STATUS_GOOD) {
        std::fprintf(stderr, "SANE did not open test:0\n");
        return 0;
    }
    auto set = [&](const char* name, void* value) {
        for (SANE_Int i = 1;; ++i) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
            if (!d) return;
            if (d->name && std::strcmp(d->name, name) == 0) {
                sane_control_option(h, i, SANE_ACTION_SET_VALUE, value, nullptr);
                return;
            }
        }
    };
    std::vector<SANE_Byte> rows(1 << 20);
    double ms = Median([&] {
        char gray[] = "Gray";
        SANE_Word dpi = SANE_FIX(25), zero = SANE_FIX(0), right = SANE_FIX(300), bottom = SANE_FIX(300);
        set(SANE_NAME_SCAN_MODE, gray);
        set(SANE_NAME_SCAN_RESOLUTION, &dpi);
        set(SANE_NAME_SCAN_TL_X, &zero);
        set(SANE_NAME_SCAN_TL_Y, &zero);
        set(SANE_NAME_SCAN_BR_X, &right);
        set(SANE_NAME_SCAN_BR_Y, &bottom);
        SANE_Status status = sane_start(h);
        SANE_Int got = 0;
        long total = 0;
        while (status == SANE_STATUS_GOOD &&
               (status = sane_read(h, rows.data(), static_cast<SANE_Int>(rows.size()), &got)) == SANE_STATUS_GOOD)
            total += got;
        sane_cancel(h);
        if (status != SANE_STATUS_EOF || total != 295L * 295L)
            std::fprintf(stderr, "the direct preview failed: %s, %ld bytes\n", sane_strstatus(status), total);
    });
    sane_close(h);
    sane_exit();
    return ms;
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

    // The preview: the source's window up, its Preview button pressed, until
    // the glass shows in its pane.
    twain.SetShowUI(true);
    twain.Acquire(page);
    auto* dialog = window.findChild<QDialog*>("SourceDialog");
    QWidget* pane = dialog ? dialog->findChild<QWidget*>("PreviewPane") : nullptr;
    if (!pane) {
        std::fprintf(stderr, "no preview pane in the source's window\n");
        return;
    }
    QSize glass;
    auto preview = [&] {
        const qint64 shownBefore = pane->property("picture").value<QImage>().cacheKey();
        dialog->findChild<QPushButton*>("PreviewButton")->click();
        for (;;) {
            QImage shown = pane->property("picture").value<QImage>();
            if (shown.cacheKey() != shownBefore && !shown.isNull()) {
                glass = shown.size();
                return;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    };
    preview();
    double ourPreview = Median(preview);
    twain.DisableDataSource();
    twain.CloseDataSource();
    twain.CloseDataSourceManager();
    if (glass != QSize(295, 295)) std::fprintf(stderr, "unexpected preview %dx%d\n", glass.width(), glass.height());
    const double direct = DirectPreviewMs();
    // scanimage making the same scan of the glass, as a user would.
    double scanimagePreview = Median([] {
        QProcess p;
        p.start("scanimage", {"-d", "test:0", "--mode", "Gray", "--resolution", "25", "-l", "0", "-t", "0", "-x", "300",
                              "-y", "300", "--format=pnm", "-o", "/dev/null"});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) std::fprintf(stderr, "scanimage failed\n");
    });
    Report(1, "scan_preview", ourPreview, scanimagePreview, 1.5);
    // The bare scan, without a window to update or a thread to hand over.
    Report(1, "scan_preview_vs_sane", ourPreview, direct, 1.5);
}

}  // namespace

FLICKSTOW_BENCH_SUITE("scan", Scan);
