#pragma once
// The per-user registry: a tree of keys holding typed named values, kept in
// one file under the user's configuration folder ($XDG_CONFIG_HOME, else
// ~/.config) as "varnholt/registry.reg". Key paths use "\" between their
// elements; key and value names compare without regard to ASCII case.
//
// Reads take the file's content as last read, re-reading it when another
// program has changed it since. Changes are visible to the next read at
// once and reach the file shortly after (a quarter of a second without
// further changes, when the application quits, or on Flush): each write
// locks the file, merges the changes into its current content and replaces
// it atomically, so two programs sharing the file never lose each other's
// values and a keystroke never waits for the disk.
//
// A file that cannot be read at all is never replaced; one with damaged
// lines keeps every line that reads, and before it is first rewritten the
// original is kept beside it as "registry.reg.damaged".

#include "platform/ansi/ansi.h"

#include <optional>

namespace registry {

enum class ValueType { String, DWord, Binary };

// Full path of the file that holds the current user's registry.
AnsiString HiveFilePath();

// Writes the changes not yet in the file. Raises ERegistryException
// "Failed to set data for '%s'" (the first unwritten value's name) when the
// file cannot be written; the changes stay pending then.
void Flush();

class TRegistry {
public:
    // Opens a key below HKEY_CURRENT_USER. With canCreate, a missing key and
    // its missing ancestors are created; false when the key is missing (and
    // may not be created) or could not be created.
    bool OpenKey(const AnsiString& key, bool canCreate);
    void CloseKey();
    bool KeyExists(const AnsiString& key) const;

    bool ValueExists(const AnsiString& name) const;
    std::optional<ValueType> GetDataType(const AnsiString& name) const;
    // The text of a string value; empty when the value is missing. Raises
    // ERegistryException "Invalid data type for '%s'" for another type.
    AnsiString ReadString(const AnsiString& name) const;
    // Raise ERegistryException "Failed to set data for '%s'" when no key is
    // open or the registry cannot be written.
    void WriteString(const AnsiString& name, const AnsiString& value);
    void WriteInteger(const AnsiString& name, int value);
    void WriteBinaryData(const AnsiString& name, const AnsiString& bytes);

private:
    void WriteValue(const AnsiString& name, ValueType type, const AnsiString& data);
    std::optional<AnsiString> openKey_;
};

}  // namespace registry
