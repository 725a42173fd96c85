#include "module/module.h"

#include <optional>
#include <system_error>
#include <filesystem>

namespace module {
namespace {
std::optional<AnsiString>& Override() {
    static std::optional<AnsiString> path;
    return path;
}
}  // namespace

AnsiString ExecutablePath() {
    if (Override()) return *Override();
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? AnsiString() : exe.string();
}

namespace test {
void SetExecutablePath(const AnsiString& path) { Override() = path; }
}  // namespace test

}  // namespace module
