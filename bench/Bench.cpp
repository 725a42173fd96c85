#include "bench/Bench.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

namespace bench {

bool g_json = false;
int g_runs = 9;

double Ms(const std::function<void()>& work) {
    auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Median(const std::function<void()>& work, const std::function<void()>& prepare) {
    std::vector<double> t;
    for (int i = 0; i < g_runs; ++i) {
        prepare();
        t.push_back(Ms(work));
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void Report(size_t n, const char* op, double ms, double baselineMs, double target) {
    if (g_json) {
        std::printf("{\"n\":%zu,\"op\":\"%s\",\"ms\":%.1f,\"baseline_ms\":%.1f}\n", n, op, ms, baselineMs);
    } else {
        double ratio = baselineMs > 0 ? ms / baselineMs : 0;
        std::printf("%9zu  %-16s %10.1f ms  baseline %10.1f ms  ratio %5.2f  (target <= %.1f)%s\n", n, op, ms,
                    baselineMs, ratio, target, ratio <= target ? "" : "  MISSED");
    }
    std::fflush(stdout);
}

void ReportValue(size_t n, const char* op, double value, const char* unit, double reference, const char* referenceName,
                 double targetRatio) {
    double ratio = reference > 0 ? value / reference : 0;
    if (g_json)
        std::printf("{\"n\":%zu,\"op\":\"%s\",\"value\":%.1f,\"unit\":\"%s\",\"%s\":%.1f}\n", n, op, value, unit,
                    referenceName, reference);
    else
        std::printf("%9zu  %-16s %10.1f %-2s %-8s %10.1f %-2s ratio %5.2f  (target <= %.1f)%s\n", n, op, value, unit,
                    referenceName, reference, unit, ratio, targetRatio, ratio <= targetRatio ? "" : "  MISSED");
    std::fflush(stdout);
}

static long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = field;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return 0;
}
long ResidentKb() { return StatusKb("VmRSS:"); }
long PeakResidentKb() { return StatusKb("VmHWM:"); }

namespace {
struct Suite {
    const char* name;
    SuiteFn run;
};
std::vector<Suite>& Suites() {
    static std::vector<Suite> suites;
    return suites;
}
}  // namespace

bool RegisterSuite(const char* name, SuiteFn run) {
    Suites().push_back({name, run});
    return true;
}

int RunSuites(const AnsiString& dir, const std::vector<std::string>& only) {
    int ran = 0;
    for (const Suite& s : Suites()) {
        if (!only.empty() && std::find(only.begin(), only.end(), s.name) == only.end()) continue;
        const AnsiString sub = dir + "/" + s.name;
        ::mkdir(sub.c_str(), 0755);
        if (!g_json) std::printf("== %s\n", s.name);
        s.run(sub);
        ++ran;
    }
    if (ran == 0) {
        std::fprintf(stderr, "no benchmark suite matched; known:");
        for (const Suite& s : Suites()) std::fprintf(stderr, " %s", s.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    return 0;
}

}  // namespace bench
