// Suite "print": 1,000 films (20 pages) printed to a PDF file at 300 dpi
// the way the Print button does it (page bitmap, then the bitmap printer's
// detour through a DIB), beside the same 20 page bitmaps drawn straight
// onto the same PDF printer; and the resident memory while the job runs,
// which must not grow with the pages printed.

#include "app/mainwindow/PrintList.h"
#include "bench/Bench.h"
#include "components/Printdib/Printdib.h"
#include "platform/printer/printer.h"

#include <QPageLayout>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace bench;

namespace {

RecordStore Films(size_t n) {
    static const char* titles[] = {"Solaris",
                                   "Stalker",
                                   "The Mirror",
                                   "Andrei Rublev",
                                   "Once Upon a Time in the West",
                                   "The Good, the Bad and the Ugly",
                                   "Metropolis",
                                   "Seven Samurai"};
    static const char* genres[] = {"Adventure", "Drama", "Documentation", "Thriller", "Animation"};
    static const char* status[] = {"Owned", "Lend To", "To Be Bought", "Borrowed From"};
    RecordStore rows;
    for (size_t i = 0; i < n; ++i) {
        MovieRecord r;
        r.Title = AnsiString(titles[i % std::size(titles)]) + " " + ansi::IntToStr(static_cast<long long>(i));
        r.MID = ansi::IntToStr(static_cast<long long>(i) + 1);
        r.Genre = genres[i % std::size(genres)];
        r.Language = i % 3 ? "English" : "German";
        r.Media = i % 2 ? "DVD" : "DIVX (CDROM)";
        r.Disks = ansi::IntToStr(static_cast<long long>(1 + i % 3));
        r.Status = status[i % std::size(status)];
        r.Viewed = i % 2 ? "Yes" : "No";
        rows.Append(r);
    }
    return rows;
}

QImage Logo() {
    QImage logo(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) logo.setPixel(x, y, qRgb(x * 8, y * 8, 128));
    return logo;
}

std::unique_ptr<TSystemPrinter> PdfPrinter(const AnsiString& path) {
    return TSystemPrinter::ToPdfFile(path, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()),
                                     300);
}

long RssKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Samples the resident memory every millisecond while the work runs.
std::vector<long> RssDuring(const std::function<void()>& work) {
    std::vector<long> samples;
    std::atomic<bool> done{false};
    std::thread sampler([&] {
        while (!done) {
            samples.push_back(RssKb());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    work();
    done = true;
    sampler.join();
    return samples;
}

void PrintSuite(const AnsiString& dir) {
    const size_t n = 1000;
    const RecordStore rows = Films(n);
    const QImage logo = Logo();
    TBitmap page;
    TPrintDIB printDIB;
    const AnsiString path = dir + "/films.pdf";
    std::unique_ptr<TSystemPrinter> printer = PdfPrinter(path);

    // The job as the Print button runs it.
    const double print = Median([&] {
        if (!PrintFilmList({*printer, printDIB, page, logo, rows, nullptr})) std::puts("cancelled");
    });
    // The same pages drawn straight onto the printer's canvas.
    const double direct = Median([&] {
        const int pages = PageCount(rows.size());
        printer->BeginDoc();
        for (int k = 1; k <= pages; ++k) {
            if (k > 1) printer->NewPage();
            DrawPageHeader(page, logo, k, pages);
            DrawPageRows(page, rows, k);
            const PagePlacement at = PlacePage(printer->PageWidth(), printer->PageHeight(), page.Width(),
                                               page.Height());
            printer->Canvas().StretchDraw(Rect(at.x, at.y, at.x + at.width, at.y + at.height), page);
        }
        printer->EndDoc();
    });
    Report(n, "print_pdf_20p", print, direct, 1.5);

    // Memory: the highest resident size in the job's first quarter (its
    // first five pages) against the highest over the whole job; the
    // difference beside one page bitmap.
    const std::vector<long> rss = RssDuring([&] { PrintFilmList({*printer, printDIB, page, logo, rows, nullptr}); });
    if (rss.size() < 8) return;
    const long early = *std::max_element(rss.begin(), rss.begin() + static_cast<long>(rss.size() / 4));
    const long whole = *std::max_element(rss.begin(), rss.end());
    const double growthMb = static_cast<double>(whole - early) / 1024.0;
    const double pageMb = kPageBitmapWidth * kPageBitmapHeight * 4 / (1024.0 * 1024.0);
    ReportValue(n, "print_rss_growth", growthMb, "MB", pageMb, "page bmp", 1.0);
    if (!g_json)
        std::printf("%9zu  %-16s %10.1f MB  (resident at the job's end; %zu samples)\n", n, "print_rss",
                    static_cast<double>(whole) / 1024.0, rss.size());
}
FLICKSTOW_BENCH_SUITE("print", PrintSuite);

}  // namespace
