#include "registry/registry.h"

#include "errors/Exception.h"
#include "files/files.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

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

// Lines: [key] opens a key; "name"=type:"data" adds a value to it. Lines that
// do not read as either are skipped, so any bytes give a usable hive.
Hive Parse(const AnsiString& text) {
    Hive hive;
    Key* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == AnsiString::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            AnsiString path = Normalized(Unescape(line.substr(1, line.size() - 2)));
            Key& k = hive[ansi::LowerCase(path)];
            k.path = path;
            current = &k;
            continue;
        }
        if (!current || line.size() < 2 || line.front() != '"') continue;
        size_t nameEnd = line.find('"', 1);
        if (nameEnd == std::string_view::npos || line.substr(nameEnd + 1, 1) != "=") continue;
        std::string_view rest = line.substr(nameEnd + 2);
        size_t colon = rest.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view tag = rest.substr(0, colon), data = rest.substr(colon + 1);
        if (data.size() < 2 || data.front() != '"' || data.back() != '"') continue;
        Value v;
        v.name = Unescape(line.substr(1, nameEnd - 1));
        v.data = Unescape(data.substr(1, data.size() - 2));
        if (tag == "sz") v.type = ValueType::String;
        else if (tag == "dword") v.type = ValueType::DWord;
        else if (tag == "hex") v.type = ValueType::Binary;
        else continue;
        current->values[ansi::LowerCase(v.name)] = v;
    }
    return hive;
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

Hive Load() {
    AnsiString path = HiveFilePath();
    if (files::KindOf(path) == files::PathKind::None) return {};
    try {
        return Parse(files::ReadWholeFile(path));
    } catch (const Exception&) {
        return {};
    }
}

bool Save(const Hive& hive) {
    AnsiString path = HiveFilePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    try {
        files::ReplaceWholeFile(path, Serialize(hive));
        return true;
    } catch (const Exception&) {
        return false;
    }
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

const Value* FindValue(const Hive& hive, const std::optional<AnsiString>& key, const AnsiString& name) {
    if (!key) return nullptr;
    auto k = hive.find(ansi::LowerCase(*key));
    if (k == hive.end()) return nullptr;
    auto v = k->second.values.find(ansi::LowerCase(name));
    return v == k->second.values.end() ? nullptr : &v->second;
}

}  // namespace

AnsiString HiveFilePath() {
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

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate) {
    CloseKey();
    AnsiString path = Normalized(key);
    Hive hive = Load();
    if (!hive.count(ansi::LowerCase(path))) {
        if (!canCreate) return false;
        AddKey(hive, path);
        if (!Save(hive)) return false;
    }
    openKey_ = path;
    return true;
}

void TRegistry::CloseKey() { openKey_.reset(); }

bool TRegistry::KeyExists(const AnsiString& key) const { return Load().count(ansi::LowerCase(Normalized(key))) > 0; }

bool TRegistry::ValueExists(const AnsiString& name) const { return FindValue(Load(), openKey_, name) != nullptr; }

std::optional<ValueType> TRegistry::GetDataType(const AnsiString& name) const {
    const Hive hive = Load();
    const Value* v = FindValue(hive, openKey_, name);
    return v ? std::optional<ValueType>(v->type) : std::nullopt;
}

AnsiString TRegistry::ReadString(const AnsiString& name) const {
    const Hive hive = Load();
    const Value* v = FindValue(hive, openKey_, name);
    if (!v) return {};
    if (v->type != ValueType::String) throw ERegistryException(ansi::Format("Invalid data type for '%s'", name));
    return v->data;
}

void TRegistry::WriteValue(const AnsiString& name, ValueType type, const AnsiString& data) {
    auto fail = [&] { throw ERegistryException(ansi::Format("Failed to set data for '%s'", name)); };
    if (!openKey_) fail();
    Hive hive = Load();
    // Writing what is already there changes nothing.
    if (const Value* old = FindValue(hive, openKey_, name); old && old->name == name && old->type == type && old->data == data)
        return;
    AddKey(hive, *openKey_);
    hive[ansi::LowerCase(*openKey_)].values[ansi::LowerCase(name)] = Value{name, type, data};
    if (!Save(hive)) fail();
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
