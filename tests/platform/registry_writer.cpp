// Writes values into the current user's registry file, one at a time and
// each straight to the file, as another running program would: for the test
// of two programs writing the same file at once.
//
//   registry_writer <name prefix> <count>

#include "platform/registry/registry.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const AnsiString prefix = argv[1];
    const int count = std::atoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        registry::TRegistry reg;
        if (!reg.OpenKey("Software\\varnholt\\Flickstow", true)) return 1;
        reg.WriteString(prefix + ansi::IntToStr(i), ansi::IntToStr(i));
        registry::Flush();
    }
    return 0;
}
