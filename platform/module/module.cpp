#include "platform/module/module.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace module {
namespace {
std::optional<AnsiString>& Override() {
    static std::optional<AnsiString> path;
    return path;
}

AnsiString ResolvedExecutable() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? AnsiString() : exe.string();
}

// `name` joined to the folder `dir`; "." components and doubled "/" go, as
// the kernel ignores them. ".." stays: only the file system knows where it
// leads.
AnsiString Joined(const AnsiString& dir, const AnsiString& name) {
    if (!name.starts_with('/') && !dir.starts_with('/')) return {};
    AnsiString whole = name.starts_with('/') ? name : dir + "/" + name;
    AnsiString tidy;
    size_t start = 0;
    while (start <= whole.size()) {
        size_t end = whole.find('/', start);
        if (end == AnsiString::npos) end = whole.size();
        AnsiString part = whole.substr(start, end - start);
        if (!part.empty() && part != ".") tidy += "/" + part;
        start = end + 1;
    }
    return tidy.empty() ? AnsiString("/") : tidy;
}

// True when `path` leads to the file `target` describes.
bool Names(const AnsiString& path, const struct stat& target) {
    struct stat file {};
    return !path.empty() && stat(path.c_str(), &file) == 0 && file.st_dev == target.st_dev &&
           file.st_ino == target.st_ino;
}

bool IsLink(const AnsiString& path) {
    struct stat own {};
    return lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
}

// Where execvp would find `name`: the first executable regular file of that
// name in the folders of PATH (an empty entry is the working folder).
AnsiString OnPath(const AnsiString& name, const StartFacts& facts) {
    size_t start = 0;
    while (start <= facts.path.size()) {
        size_t end = facts.path.find(':', start);
        if (end == AnsiString::npos) end = facts.path.size();
        AnsiString dir = facts.path.substr(start, end - start);
        AnsiString candidate = Joined(dir.empty() ? facts.cwd : Joined(facts.cwd, dir), name);
        struct stat st {};
        if (!candidate.empty() && stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

AnsiString FirstArgument() {
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    AnsiString first;
    std::getline(cmdline, first, '\0');
    return first;
}

StartFacts FactsNow() {
    StartFacts facts;
    if (auto* execFn = reinterpret_cast<const char*>(getauxval(AT_EXECFN))) facts.execFn = execFn;
    facts.argv0 = FirstArgument();
    std::error_code ec;
    facts.cwd = std::filesystem::current_path(ec).string();
    const char* path = std::getenv("PATH");
    facts.path = path ? path : "/bin:/usr/bin";
    facts.exe = ResolvedExecutable();
    return facts;
}

// Decided once, before main() runs: the working folder may change later,
// and a link removed while the program runs must not move its folder.
const AnsiString kStartedThroughLink = StartedThroughLink(FactsNow());
}  // namespace

AnsiString StartedThroughLink(const StartFacts& facts) {
    struct stat exe {};
    if (facts.exe.empty() || stat(facts.exe.c_str(), &exe) != 0) return {};
    // The kernel's word decides whenever it names the executable at all.
    AnsiString byKernel = facts.execFn.empty() ? AnsiString() : Joined(facts.cwd, facts.execFn);
    if (Names(byKernel, exe)) return IsLink(byKernel) ? byKernel : AnsiString();
    AnsiString byArgument;
    if (!facts.argv0.empty())
        byArgument = facts.argv0.find('/') == AnsiString::npos ? OnPath(facts.argv0, facts)
                                                               : Joined(facts.cwd, facts.argv0);
    return Names(byArgument, exe) && IsLink(byArgument) ? byArgument : AnsiString();
}

AnsiString ExecutablePath() {
    if (Override()) return *Override();
    if (!kStartedThroughLink.empty()) return kStartedThroughLink;
    return ResolvedExecutable();
}

namespace test {
void SetExecutablePath(const AnsiString& path) { Override() = path; }
}  // namespace test

}  // namespace module
