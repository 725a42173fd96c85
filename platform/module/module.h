#pragma once
// The running executable's file name: the source of the program folder.

#include "ansi/ansi.h"

namespace module {

// Full path of the running executable, in the file system's own bytes.
AnsiString ExecutablePath();

namespace test {
// Makes ExecutablePath answer with this path (tests put the program in a
// temporary folder this way).
void SetExecutablePath(const AnsiString& path);
}  // namespace test

}  // namespace module
