#pragma once
// What identifies the content of a file a window read or wrote, so that a
// later save can tell whether another program changed the file meanwhile:
// its size, modification time, device and inode, and a 64-bit hash of its
// bytes, computed while they pass anyway (no second reading).

#include "platform/ansi/ansi.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

struct stat;

namespace files {

// A running 64-bit hash of bytes that arrive in pieces: the same bytes give
// the same value however they are cut into pieces.
class ContentHash {
public:
    void Feed(std::string_view bytes);
    uint64_t Value() const;

private:
    // Blocks of eight words feed four independent lanes, two words each, so
    // that the multiplications of one block overlap (a file is hashed at
    // about the speed it is copied).
    static constexpr size_t kLanes = 4, kBlock = 2 * kLanes * sizeof(uint64_t);
    void MixBlock(const char* block);

    uint64_t lanes_[kLanes] = {0x243f6a8885a308d3ull, 0x13198a2e03707344ull, 0xa4093822299f31d0ull,
                               0x082efa98ec4e6c89ull};
    uint64_t length_ = 0;
    char pending_[kBlock] = {};
    size_t pendingSize_ = 0;
};

struct FileIdentity {
    bool present = false;  // false: there was no file
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modifiedNs = 0;  // nanoseconds since 1970
    uint64_t hash = 0;

    // Size, time, device and inode are those of the other.
    bool SameStat(const FileIdentity& other) const;
};

// The stat part of a file's identity (the hash is left at 0).
FileIdentity StatIdentity(const struct stat& st);

// How the file at a path stands against what a window knew of it.
enum class DiskChange {
    Unchanged,  // the same content (also when only its time or place changed)
    Changed,    // other bytes, or a file where there was none
    Vanished    // there was a file, and now there is none (or a folder,
                // or anything else that is not a file)
};
// Compares stat first; the bytes are read and hashed only when size, time,
// device or inode differ. A file that cannot be read counts as changed.
DiskChange ChangeOnDisk(const AnsiString& path, const FileIdentity& known);

}  // namespace files
