// What a later start says over the program lock's socket is any bytes, in
// pieces of any size: every whole line "front" is one request, whatever
// the pieces; nothing of a whole line is kept; and a caller is let go
// exactly when it says more than 64 bytes without ending a line.

#include "platform/programlock/ProgramLock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte sets the size of the pieces the rest arrives in.
    const size_t piece = data[0] % 32 + 1;
    const std::string_view said(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string unread;
    size_t requests = 0, given = 0;
    bool letGo = false;
    while (given < said.size() && !letGo) {
        unread.append(said.substr(given, piece));
        given = std::min(said.size(), given + piece);
        const ProgramLock::Heard heard = ProgramLock::TakeRequests(unread);
        requests += heard.requests;
        letGo = heard.tooLong;
        if (unread.find('\n') != std::string::npos || heard.tooLong != (unread.size() > 64)) std::abort();
    }
    if (letGo) return 0;
    // Heard to the end: the requests are the whole lines "front" of it all.
    size_t lines = 0;
    for (size_t from = 0, end = 0; (end = said.find('\n', from)) != std::string_view::npos; from = end + 1)
        lines += said.substr(from, end - from) == "front";
    if (requests != lines) std::abort();
    return 0;
}
