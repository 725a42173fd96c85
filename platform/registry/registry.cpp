#include "platform/registry/registry.h"

#include "platform/dialogs/dialogs.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

namespace registry {
namespace {

struct Value {
    AnsiString name;
    ValueType type = ValueType::String;
    AnsiString data;
};
struct Key {
    AnsiString path;
    std::map<AnsiString, Value> values;  // by lower-case name
};
// Keys by lower-case path; a key's ancestors are keys of their own.
using Hive = std::map<AnsiString, Key>;

// A change not yet in the file: a key made (with its ancestors), or a value
// set in a key.
struct Change {
    AnsiString key;
    std::optional<Value> value;
};

// "Software\\a\\\\b\\" -> "Software\\a\\b": empty elements are dropped.
AnsiString Normalized(const AnsiString& key) {
    AnsiString out;
    size_t i = 0;
    while (i <= key.size()) {
        size_t j = key.find('\\', i);
        if (j == AnsiString::npos) j = key.size();
        if (j > i) {
            if (!out.empty()) out += '\\';
            out.append(key, i, j - i);
        }
        i = j + 1;
    }
    return out;
}

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Text in the file is printable ASCII; everything else is written %HH.
AnsiString Escape(const AnsiString& text) {
    AnsiString out;
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x7F || c == '%' || c == '"' || c == ']' || c == '=') {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

AnsiString Unescape(std::string_view text) {
    AnsiString out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

const char* TypeTag(ValueType t) {
    switch (t) {
    case ValueType::String: return "sz";
    case ValueType::DWord: return "dword";
    case ValueType::Binary: return "hex";
    }
    return "sz";
}

// Adds the key and every missing ancestor to the hive.
void AddKey(Hive& hive, const AnsiString& path) {
    size_t i = 0;
    for (;;) {
        size_t j = path.find('\\', i);
        AnsiString prefix = path.substr(0, j);
        Key& k = hive[ansi::LowerCase(prefix)];
        if (k.path.empty()) k.path = prefix;
        if (j == AnsiString::npos) break;
        i = j + 1;
    }
}

void Apply(Hive& hive, const Change& change) {
    AddKey(hive, change.key);
    if (change.value) hive[ansi::LowerCase(change.key)].values[ansi::LowerCase(change.value->name)] = *change.value;
}

struct Parsed {
    Hive hive;
    // Some line did not read as a key or a value of a key.
    bool damaged = false;
};

// Lines: [key] opens a key; "name"=type:"data" adds a value to it; blank
// lines are allowed. A line that reads as neither is skipped, and so are the
// values after a key line that does not read: a damaged line or key loses
// only itself, and any bytes give a usable hive.
// Long by design, see docs/COMPLEXITY.md: the hive file's lines, damage kept local.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
Parsed Parse(const AnsiString& text) {
    Parsed out;
    Key* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == AnsiString::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (line.front() == '[') {
            current = nullptr;
            if (line.size() < 2 || line.back() != ']') {
                out.damaged = true;
                continue;
            }
            AnsiString path = Normalized(Unescape(line.substr(1, line.size() - 2)));
            Key& k = out.hive[ansi::LowerCase(path)];
            k.path = path;
            current = &k;
            continue;
        }
        auto damaged = [&] { out.damaged = true; };
        if (!current || line.size() < 2 || line.front() != '"') {
            damaged();
            continue;
        }
        size_t nameEnd = line.find('"', 1);
        if (nameEnd == std::string_view::npos || line.substr(nameEnd + 1, 1) != "=") {
            damaged();
            continue;
        }
        std::string_view rest = line.substr(nameEnd + 2);
        size_t colon = rest.find(':');
        if (colon == std::string_view::npos) {
            damaged();
            continue;
        }
        std::string_view tag = rest.substr(0, colon), data = rest.substr(colon + 1);
        if (data.size() < 2 || data.front() != '"' || data.back() != '"') {
            damaged();
            continue;
        }
        Value v;
        v.name = Unescape(line.substr(1, nameEnd - 1));
        v.data = Unescape(data.substr(1, data.size() - 2));
        if (tag == "sz") v.type = ValueType::String;
        else if (tag == "dword")
            v.type = ValueType::DWord;
        else if (tag == "hex")
            v.type = ValueType::Binary;
        else {
            damaged();
            continue;
        }
        current->values[ansi::LowerCase(v.name)] = v;
    }
    return out;
}

AnsiString Serialize(const Hive& hive) {
    AnsiString out;
    for (const auto& [lower, key] : hive) {
        out.append("[").append(Escape(key.path)).append("]\n");
        for (const auto& [n, v] : key.values) {
            out.append("\"").append(Escape(v.name)).append("\"=").append(TypeTag(v.type));
            out.append(":\"").append(Escape(v.data)).append("\"\n");
        }
    }
    return out;
}

// What identifies one version of the file on disk.
struct Stamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtime = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const AnsiString& path) {
    Stamp s;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return s;
}

// The file as read from disk.
struct Disk {
    Hive hive;
    AnsiString bytes;
    Stamp stamp;
    bool damaged = false;
    bool unreadable = false;
};

Disk ReadDisk(const AnsiString& path) {
    Disk d;
    d.stamp = StampOf(path);
    if (files::KindOf(path) == files::PathKind::None) return d;
    try {
        d.bytes = files::ReadWholeFile(path);
    } catch (const Exception&) {
        d.unreadable = true;
        return d;
    }
    Parsed p = Parse(d.bytes);
    d.hive = std::move(p.hive);
    d.damaged = p.damaged;
    return d;
}

[[noreturn]] void FailToSet(const AnsiString& name) {
    throw ERegistryException(ansi::Format("Failed to set data for '%s'", name));
}

constexpr int kFlushDelayMs = 250;

// The one cache of the current user's hive in this process.
class Store {
public:
    ~Store() {
        // Changes still pending at exit are written if their folder is
        // still there; an error can no longer be reported.
        try {
            if (!pending_.empty() && files::KindOf(Folder(path_)) == files::PathKind::Folder) Flush();
        } catch (...) {
        }
    }

    // The hive as this process sees it: the file's content with the changes
    // not yet written on top.
    const Hive& Current() {
        Follow();
        Stamp now = StampOf(path_);
        if (!loaded_ || !(now == stamp_)) {
            Disk d = ReadDisk(path_);
            hive_ = std::move(d.hive);
            stamp_ = d.stamp;
            unreadable_ = d.unreadable;
            for (const Pending& p : pending_) Apply(hive_, p.change);
            loaded_ = true;
        }
        return hive_;
    }

    void Make(const Change& change, const AnsiString& valueName) {
        Current();
        // A file that exists but cannot be read is never replaced, and a
        // folder that cannot hold the file fails now, not later.
        if (unreadable_ || !FolderUsable()) FailToSet(valueName);
        Apply(hive_, change);
        pending_.push_back({change, valueName});
        Schedule();
    }

    void Flush() {
        if (pending_.empty()) return;
        const AnsiString& firstName = pending_.front().name;
        if (!FolderUsable()) FailToSet(firstName);
        QLockFile lock(QString::fromStdString(path_ + ".lock"));
        lock.setStaleLockTime(30000);
        if (!lock.tryLock(10000)) FailToSet(firstName);
        // Merge into the file as it is now: another program may have
        // written other values since this one last read it.
        Disk d = ReadDisk(path_);
        if (d.unreadable) FailToSet(firstName);
        if (d.damaged) KeepDamaged(d.bytes);
        for (const auto& p : pending_) Apply(d.hive, p.change);
        try {
            files::ReplaceWholeFile(path_, Serialize(d.hive));
        } catch (const Exception&) {
            FailToSet(firstName);
        }
        pending_.clear();
        hive_ = std::move(d.hive);
        stamp_ = StampOf(path_);
        unreadable_ = false;
        loaded_ = true;
    }

private:
    struct Pending {
        Change change;
        AnsiString name;  // for the error text
    };

    static AnsiString Folder(const AnsiString& path) { return path.substr(0, path.rfind('/')); }

    // The user's configuration folder may change (tests give each case its
    // own): the changes meant for the old file go there first.
    void Follow() {
        AnsiString path = HiveFilePath();
        if (path == path_) return;
        try {
            if (files::KindOf(Folder(path_)) == files::PathKind::Folder) Flush();
        } catch (const Exception&) {
        }
        pending_.clear();
        path_ = path;
        loaded_ = false;
        folderReady_ = false;
    }

    bool FolderUsable() {
        if (folderReady_ && files::KindOf(Folder(path_)) == files::PathKind::Folder) return true;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(Folder(path_)), ec);
        folderReady_ = files::KindOf(Folder(path_)) == files::PathKind::Folder;
        return folderReady_;
    }

    // Before a file with damaged lines is first rewritten, its bytes are kept
    // beside it under a name not yet taken, so nothing the user had is lost.
    void KeepDamaged(const AnsiString& bytes) {
        AnsiString name = path_ + ".damaged";
        for (int n = 2; files::KindOf(name) != files::PathKind::None && n < 1000; ++n)
            name = path_ + ".damaged" + ansi::IntToStr(n);
        files::ReplaceWholeFile(name, bytes);
    }

    // Writes soon, on the application's thread; without a running
    // application (a tool, a test of the unit alone) at once.
    void Schedule() {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || QThread::currentThread() != app->thread()) {
            Flush();
            return;
        }
        if (!timer_) {
            timer_ = new QTimer(app);
            timer_->setSingleShot(true);
            timer_->setInterval(kFlushDelayMs);
            QObject::connect(timer_, &QTimer::timeout, app, [this] { dialogs::Guard([this] { Flush(); }); });
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [this] { dialogs::Guard([this] { Flush(); }); });
        }
        timer_->start();
    }

    AnsiString path_;
    Hive hive_;
    Stamp stamp_;
    bool loaded_ = false;
    bool unreadable_ = false;
    bool folderReady_ = false;
    std::vector<Pending> pending_;
    QTimer* timer_ = nullptr;
};

Store& TheStore() {
    static Store store;
    return store;
}

const Value* FindValue(const Hive& hive, const std::optional<AnsiString>& key, const AnsiString& name) {
    if (!key) return nullptr;
    auto k = hive.find(ansi::LowerCase(*key));
    if (k == hive.end()) return nullptr;
    auto v = k->second.values.find(ansi::LowerCase(name));
    return v == k->second.values.end() ? nullptr : &v->second;
}

}  // namespace

AnsiString HiveFilePath() {
    // A relative $XDG_CONFIG_HOME is invalid and ignored, as the XDG rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    AnsiString base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = files::JoinPath(home ? home : "", ".config");
    }
    return files::JoinPath(files::JoinPath(base, "varnholt"), "registry.reg");
}

void Flush() { TheStore().Flush(); }

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate) {
    CloseKey();
    AnsiString path = Normalized(key);
    if (!TheStore().Current().count(ansi::LowerCase(path))) {
        if (!canCreate) return false;
        try {
            TheStore().Make({path, std::nullopt}, path);
        } catch (const ERegistryException&) {
            return false;
        }
    }
    openKey_ = path;
    return true;
}

void TRegistry::CloseKey() { openKey_.reset(); }

bool TRegistry::KeyExists(const AnsiString& key) const {
    return TheStore().Current().count(ansi::LowerCase(Normalized(key))) > 0;
}

bool TRegistry::ValueExists(const AnsiString& name) const {
    return FindValue(TheStore().Current(), openKey_, name) != nullptr;
}

std::optional<ValueType> TRegistry::GetDataType(const AnsiString& name) const {
    const Value* v = FindValue(TheStore().Current(), openKey_, name);
    return v ? std::optional<ValueType>(v->type) : std::nullopt;
}

AnsiString TRegistry::ReadString(const AnsiString& name) const {
    const Value* v = FindValue(TheStore().Current(), openKey_, name);
    if (!v) return {};
    if (v->type != ValueType::String) throw ERegistryException(ansi::Format("Invalid data type for '%s'", name));
    return v->data;
}

void TRegistry::WriteValue(const AnsiString& name, ValueType type, const AnsiString& data) {
    if (!openKey_) FailToSet(name);
    // Writing what is already there changes nothing.
    if (const Value* old = FindValue(TheStore().Current(), openKey_, name);
        old && old->name == name && old->type == type && old->data == data)
        return;
    TheStore().Make({*openKey_, Value{name, type, data}}, name);
}

void TRegistry::WriteString(const AnsiString& name, const AnsiString& value) {
    WriteValue(name, ValueType::String, value);
}

void TRegistry::WriteInteger(const AnsiString& name, int value) {
    WriteValue(name, ValueType::DWord, ansi::IntToStr(value));
}

void TRegistry::WriteBinaryData(const AnsiString& name, const AnsiString& bytes) {
    WriteValue(name, ValueType::Binary, bytes);
}

}  // namespace registry
