#pragma once
// The running executable's file name: the source of the program folder.

#include "platform/ansi/ansi.h"

namespace module {

// Full path of the running executable, in the file system's own bytes.
// Started through a symbolic link to the executable (the package's launcher
// starts each user's ~/Flickstow/flickstow this way), it is the path of that
// link, made absolute: the catalogue lives beside the link. Started from the
// file itself, it is the executable's own path with every link resolved.
AnsiString ExecutablePath();

// What the start of the process tells about the file it was started from.
struct StartFacts {
    AnsiString execFn;  // the file name handed to execve (AT_EXECFN)
    AnsiString argv0;   // the first argument, as given
    AnsiString cwd;     // the working folder at start
    AnsiString path;    // PATH at start
    AnsiString exe;     // the executable, every link resolved (/proc/self/exe)
};

// The name the process was started by, made absolute, when it ends in a
// symbolic link to the executable `exe` names: the file name handed to
// execve, else the first argument (looked up on PATH as execvp does when it
// has no "/"). Empty when neither is such a link.
AnsiString StartedThroughLink(const StartFacts& facts);

namespace test {
// Makes ExecutablePath answer with this path (tests put the program in a
// temporary folder this way).
void SetExecutablePath(const AnsiString& path);
}  // namespace test

}  // namespace module
