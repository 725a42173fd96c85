#pragma once
// A stretch of a file mapped for reading, so that its bytes are read where
// the system keeps them, without copying them into a buffer first.
//
// A mapping has one danger a read does not: when another program cuts the
// file short while it is mapped, touching a page past the new end raises
// SIGBUS, which would end the program. While a window is open, such a page
// is replaced by one of NUL bytes and the window remembers the loss; the
// reader then treats the whole reading as failed.

#include <cstddef>
#include <string_view>
#include <sys/types.h>

namespace files {

class MappedWindow {
public:
    // Maps size bytes of the open file fd from offset on. When that is not
    // possible (a file system that cannot map, too many windows open at
    // once), Mapped() is false and the caller reads the bytes instead.
    MappedWindow(int fd, off_t offset, size_t size);
    ~MappedWindow();
    MappedWindow(const MappedWindow&) = delete;
    MappedWindow& operator=(const MappedWindow&) = delete;

    bool Mapped() const { return map_ != nullptr; }
    // The bytes from offset on; valid while the window is open.
    std::string_view Bytes() const { return {map_ + lead_, size_}; }
    // Whether a page was gone when touched: the file was cut short.
    bool Lost() const;

private:
    char* map_ = nullptr;  // the mapping, from offset rounded down to a page
    size_t lead_ = 0;      // bytes before offset in the mapping
    size_t size_ = 0;
    int slot_ = -1;  // the window's entry among the open ones
};

}  // namespace files
