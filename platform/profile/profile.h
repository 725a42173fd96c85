#pragma once
// The per-user profile file "win.ini": sections of "key=value" lines, kept
// beside the registry file. Section and key names compare without regard to
// ASCII case. A change rewrites the file whole and atomically and keeps every
// other line as it was.

#include "platform/ansi/ansi.h"

#include <optional>

namespace profile {

// Full path of the current user's profile file.
AnsiString ProfileFilePath();

// The value of the key in the section; `fallback` when the file, the section
// or the key is missing. Leading and trailing blanks of a value are dropped.
AnsiString GetProfileString(const AnsiString& section, const AnsiString& key, const AnsiString& fallback);
// Whether the key is present at all (an empty value counts as present).
std::optional<AnsiString> FindProfileString(const AnsiString& section, const AnsiString& key);

// Sets the key (creating the section and the file when missing). Raises
// EFCreateError "Cannot create file %s" when the file cannot be written.
void WriteProfileString(const AnsiString& section, const AnsiString& key, const AnsiString& value);
// Removes the key; nothing happens when it is not there.
void DeleteProfileKey(const AnsiString& section, const AnsiString& key);

}  // namespace profile
