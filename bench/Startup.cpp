#include "bench/Bench.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace bench {

namespace {

// The process's user and system time so far, in clock ticks.
long CpuTicks(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The fields after the command's name (which may hold spaces) in
    // brackets: state is the first, utime the twelfth, stime the thirteenth.
    size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(stat.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i) {
        if (i == 12) utime = std::stol(field);
        if (i == 13) stime = std::stol(field);
    }
    return utime + stime;
}

long StatusKbOf(long pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return 0;
}

std::vector<std::string> MappedLibraries(long pid, const std::vector<std::string>& names) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    std::vector<std::string> found;
    while (std::getline(maps, line))
        for (const std::string& name : names)
            if (line.find("/" + name) != std::string::npos &&
                std::find(found.begin(), found.end(), name) == found.end())
                found.push_back(name);
    return found;
}

}  // namespace

StartFigures StartProgram(const AnsiString& executable, const AnsiString& configDir,
                          const std::vector<std::string>& watchedLibraries) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(configDir));
    program.setProcessEnvironment(env);
    program.setProgram(QString::fromStdString(executable));
    const auto start = std::chrono::steady_clock::now();
    program.start();
    StartFigures out;
    if (!program.waitForStarted()) return out;
    const long pid = program.processId();
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    // Idle: no CPU time spent for half a second, once the timers of the
    // first second (the scanner's source manager comes after 500 ms) ran.
    long last = -1;
    auto still = start;
    for (;;) {
        QThread::msleep(20);
        if (program.state() != QProcess::Running) return out;
        const auto now = std::chrono::steady_clock::now();
        long ticks = CpuTicks(pid);
        if (ticks != last) {
            last = ticks;
            still = now;
        } else if (now - start > std::chrono::milliseconds(1200) && now - still > std::chrono::milliseconds(500)) {
            break;
        }
        if (now - start > std::chrono::seconds(120)) return out;
    }
    out.cpuSeconds = static_cast<double>(last) / static_cast<double>(ticksPerSecond);
    out.residentKb = StatusKbOf(pid, "VmRSS:");
    out.peakKb = StatusKbOf(pid, "VmHWM:");
    out.mapped = MappedLibraries(pid, watchedLibraries);
    out.ok = true;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished(-1);
    }
    return out;
}

}  // namespace bench
