// The settings file reader takes any bytes: whatever the file holds, reading
// never fails, a value written afterwards reads back, and every value that
// read before the write still reads the same after it reached the file.

#include "platform/files/files.h"
#include "platform/registry/registry.h"

#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> g_home;
const AnsiString kKey = "Software\\varnholt\\Flickstow";
const char* kNames[] = {"DefGenre", "DefType", "DefDisks", "DefRating", "LastExportDir", "x"};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_home = std::make_unique<QTemporaryDir>();
    setenv("XDG_CONFIG_HOME", g_home->path().toLocal8Bit().constData(), 1);
    std::filesystem::create_directories(g_home->path().toStdString() + "/varnholt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const AnsiString hive = registry::HiveFilePath();
    files::ReplaceWholeFile(hive, std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::pair<AnsiString, std::optional<AnsiString>>> before;
    {
        registry::TRegistry reg;
        if (reg.OpenKey(kKey, false))
            for (const char* name : kNames) {
                std::optional<AnsiString> text;
                if (reg.GetDataType(name) == registry::ValueType::String) text = reg.ReadString(name);
                before.emplace_back(name, text);
            }
    }
    registry::TRegistry reg;
    if (!reg.OpenKey(kKey, true)) std::abort();
    reg.WriteString("Fuzzed", AnsiString("v\r\n\0%", 5));
    registry::Flush();
    registry::TRegistry again;
    if (!again.OpenKey(kKey, false) || again.ReadString("Fuzzed") != AnsiString("v\r\n\0%", 5)) std::abort();
    for (const auto& [name, text] : before)
        if (text && again.ReadString(name) != *text && name != "Fuzzed") std::abort();
    // The damaged copies the write kept are not needed again.
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(hive).parent_path()))
        if (entry.path().filename().string().find(".damaged") != std::string::npos) std::filesystem::remove(entry);
    return 0;
}
