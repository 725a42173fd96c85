#include "platform/files/FileIdentity.h"

#include "platform/errors/Exception.h"
#include "platform/files/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace files {
namespace {

// The multiplier and shift of the 64-bit MurmurHash mixing steps.
constexpr uint64_t kMul = 0xc6a4a7935bd1e995ull;
constexpr int kShift = 47;

uint64_t Mixed(uint64_t state, uint64_t word) {
    word *= kMul;
    word ^= word >> kShift;
    word *= kMul;
    return (state ^ word) * kMul;
}

// The two halves of the 128-bit product, folded: one multiplication takes
// in two words.
__extension__ using Wide = unsigned __int128;  // GCC's and Clang's, on 64-bit machines

uint64_t Folded(uint64_t a, uint64_t b) {
    const Wide product = static_cast<Wide>(a) * b;
    return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

// Odd constants with their bits evenly spread, one per lane.
constexpr uint64_t kLaneKeys[] = {0xa0761d6478bd642full, 0xe7037ed1a0b428dbull, 0x8ebc6af09c88c6e3ull,
                                  0x589965cc75374cc3ull};

}  // namespace

void ContentHash::MixBlock(const char* block) {
    static_assert(std::size(kLaneKeys) == kLanes);
    for (size_t lane = 0; lane < kLanes; ++lane) {
        uint64_t words[2];
        std::memcpy(words, block + lane * sizeof words, sizeof words);
        // The lane's state goes into the product, so the blocks' order
        // counts; it is added too, so a zero product forgets nothing.
        lanes_[lane] += Folded(words[0] ^ kLaneKeys[lane], words[1] ^ lanes_[lane]);
    }
}

void ContentHash::Feed(std::string_view bytes) {
    length_ += bytes.size();
    const char* p = bytes.data();
    size_t n = bytes.size();
    if (pendingSize_ > 0) {
        size_t take = std::min(n, kBlock - pendingSize_);
        std::memcpy(pending_ + pendingSize_, p, take);
        pendingSize_ += take;
        p += take;
        n -= take;
        if (pendingSize_ < kBlock) return;
        MixBlock(pending_);
        pendingSize_ = 0;
    }
    for (; n >= kBlock; p += kBlock, n -= kBlock) MixBlock(p);
    std::memcpy(pending_, p, n);
    pendingSize_ = n;
}

uint64_t ContentHash::Value() const {
    uint64_t h = lanes_[0];
    for (size_t lane = 1; lane < kLanes; ++lane) h = Mixed(h, lanes_[lane]);
    // The tail, in words padded with zero bytes.
    for (size_t at = 0; at < pendingSize_; at += sizeof(uint64_t)) {
        uint64_t tail = 0;
        std::memcpy(&tail, pending_ + at, std::min(sizeof tail, pendingSize_ - at));
        h = Mixed(h, tail);
    }
    // The length tells "abc" from "abc" and a zero byte.
    h ^= length_ * kMul;
    h ^= h >> kShift;
    h *= kMul;
    h ^= h >> kShift;
    return h;
}

bool FileIdentity::SameStat(const FileIdentity& other) const {
    return present == other.present && device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
}

FileIdentity StatIdentity(const struct stat& st) {
    FileIdentity id;
    id.present = true;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

namespace {

// The hash of the whole file; false when it cannot be read as a file.
bool HashOf(const AnsiString& path, uint64_t& hash) {
    try {
        FileIdentity read;
        ReadBlocks(
            path, [](std::string_view) {}, &read);
        hash = read.hash;
        return true;
    } catch (const EFOpenError&) {
        return false;
    }
}

}  // namespace

DiskChange ChangeOnDisk(const AnsiString& path, const FileIdentity& known) {
    // Only a file holds a version to lose: a folder in its place is no
    // catalogue, and writing there fails and says so.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return known.present ? DiskChange::Vanished : DiskChange::Unchanged;
    if (!known.present) return DiskChange::Changed;
    FileIdentity now = StatIdentity(st);
    if (now.SameStat(known)) return DiskChange::Unchanged;
    uint64_t hash = 0;
    if (now.size != known.size || !HashOf(path, hash) || hash != known.hash) return DiskChange::Changed;
    return DiskChange::Unchanged;
}

}  // namespace files
