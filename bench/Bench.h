#pragma once
// What every part of flickstow-bench shares: timing as the median of several
// runs, the report line (a figure beside its baseline from the same run) and
// the list of suites. Each suite lives in a file of its own and registers
// itself with FLICKSTOW_BENCH_SUITE; `--only name,...` picks suites by name.

#include "app/catalogue/RecordStore.h"
#include "platform/ansi/ansi.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Set from the command line.
extern bool g_json;
extern int g_runs;

double Ms(const std::function<void()>& work);
// Median of g_runs runs; `prepare` runs untimed before each.
double Median(
    const std::function<void()>& work, const std::function<void()>& prepare = [] {});

// One result line: the operation on n items, its time, the baseline's time
// from the same run and the target ratio.
void Report(size_t n, const char* op, double ms, double baselineMs, double target);
// A figure that is not a time (memory, counts), with its target.
void ReportValue(size_t n, const char* op, double value, const char* unit, double reference, const char* referenceName,
                 double targetRatio);

// n films of random texts, the same for every run; with allMidsBlank
// every MID is empty, else a few are.
RecordStore GenerateFilms(size_t n, bool allMidsBlank);

// Resident and peak resident memory of this process, in kB.
long ResidentKb();
long PeakResidentKb();

// The program itself, started in a child process under the offscreen
// platform and left until it is idle (no CPU time for half a second after
// its first timers ran): its CPU time until then, its resident and peak
// resident memory, and which of the watched libraries (file names such as
// "libcups.so") it has mapped.
struct StartFigures {
    bool ok = false;
    double cpuSeconds = 0;
    long residentKb = 0, peakKb = 0;
    std::vector<std::string> mapped;
};
StartFigures StartProgram(const AnsiString& executable, const AnsiString& configDir,
                          const std::vector<std::string>& watchedLibraries);

// A suite runs its cases in the given scratch folder (its own, emptied).
using SuiteFn = void (*)(const AnsiString& scratchDir);
bool RegisterSuite(const char* name, SuiteFn run);
// Runs the suites named in `only` (all when it is empty), in the order they
// were registered, each in a fresh subfolder of `dir`. Returns the exit code.
int RunSuites(const AnsiString& dir, const std::vector<std::string>& only);

}  // namespace bench

#define FLICKSTOW_BENCH_SUITE(name, fn) \
    static const bool flickstow_bench_registered_##fn = bench::RegisterSuite(name, fn)
