#include "platform/files/files.h"

#include "platform/errors/Exception.h"
#include "platform/files/MappedWindow.h"

#include <QFile>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace files {
namespace {

std::optional<size_t> g_failWriteAfter;
AnsiString g_failReadsOf;

// Paths go into error texts in the program's code page.
AnsiString Displayed(const AnsiString& path) { return ansi::FromQString(QFile::decodeName(path.c_str())); }

// The error names the file and, on a line of its own, the system's reason
// for the failure (the code of errno), so that the user knows what to do.
[[noreturn]] void CannotCreate(const AnsiString& path, int error) {
    AnsiString message = ansi::Format("Cannot create file %s", Displayed(path));
    if (error) message += ".\n" + ansi::FromQString(QString::fromLocal8Bit(std::strerror(error)));
    throw EFCreateError(message);
}

// Temporary files of a replacement: the target's name, this marker, six
// letters or digits, and the suffix.
constexpr std::string_view kTempMarker = ".flickstow-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr size_t kTempRandom = 6;

AnsiString TempTemplate(const AnsiString& target) {
    return target + AnsiString(kTempMarker) + AnsiString(kTempRandom, 'X') + AnsiString(kTempSuffix);
}

bool WriteFully(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;  // no room for a single byte
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes the bytes and returns 0, or the system's error code. A write error
// injected by the test hook strikes once its byte count is used up, as a
// full disk.
int WriteAll(int fd, std::string_view bytes) {
    size_t limit = bytes.size();
    bool injected = false;
    if (g_failWriteAfter) {
        injected = *g_failWriteAfter < limit;
        limit = std::min(limit, *g_failWriteAfter);
        *g_failWriteAfter -= limit;
    }
    if (!WriteFully(fd, bytes.data(), limit)) return errno;
    return injected ? ENOSPC : 0;
}

// The file a replacement writes: the path itself, or where it leads when it
// is a symbolic link, also to a file not yet there. Empty when the links go
// round in a circle or cannot be read; error then says why.
AnsiString ResolvedTarget(const AnsiString& path, int* error = nullptr) {
    AnsiString current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::error_code ec;
        std::filesystem::path target = std::filesystem::read_symlink(current, ec);
        if (ec) {
            if (error) *error = ec.value();
            return {};
        }
        if (target.is_relative()) target = std::filesystem::path(current).parent_path() / target;
        current = target.string();
    }
    if (error) *error = ELOOP;
    return {};
}

// Makes sure a rename in the folder of path survives a crash.
void SyncFolderOf(const AnsiString& path) {
    size_t slash = path.rfind('/');
    AnsiString folder = slash == AnsiString::npos ? AnsiString(".") : path.substr(0, std::max<size_t>(slash, 1));
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A copy of the file at `from`, flushed to disk, as a new file at `to`.
bool CopyToNewFile(const AnsiString& from, const AnsiString& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    mode_t mode = ::fstat(in, &st) == 0 ? st.st_mode & 07777 : 0600;
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    bool ok = out >= 0;
    char buf[1 << 16];
    while (ok) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = WriteFully(out, buf, static_cast<size_t>(n));
    }
    ::close(in);
    if (out >= 0) ok = ::fsync(out) == 0 && ::close(out) == 0 && ok;
    return ok;
}

// The file a rename is about to put another in place of, held (without
// being opened for reading or writing) until ReleaseLater lets it go; -1
// when there is none. Only on the local file systems that free a large
// file slowly: a network file system would keep a file still held under a
// name of its own (NFS's .nfsXXXX) in the folder.
int HoldReplaced(const AnsiString& path) {
    constexpr decltype(statfs::f_type) kExt = 0xEF53, kXfs = 0x58465342, kBtrfs = 0x9123683E;
    const int held = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct statfs fs {};
    if (held >= 0 && ::fstatfs(held, &fs) == 0 && (fs.f_type == kExt || fs.f_type == kXfs || fs.f_type == kBtrfs))
        return held;
    if (held >= 0) ::close(held);
    return -1;
}

// Lets a replaced file go on a thread of its own. The system frees the
// space of a file with no name left when the last hold on it goes, and for
// a large file that takes a while (a tenth of a second for 200 MB on ext4):
// the save does not wait for it.
void ReleaseLater(int held) {
    if (held < 0) return;
    try {
        std::thread([held] { ::close(held); }).detach();
    } catch (const std::system_error&) {
        ::close(held);
    }
}

// Keeps the file that is about to be replaced under the backup name: a
// second name for the same bytes where the file system allows it (no copy,
// so saving a large catalogue costs no more), else a flushed copy. The
// backup appears by rename, so it is always a whole file.
void KeepBackup(const AnsiString& current, const AnsiString& backupPath) {
    if (!IsPlainFile(current)) return;
    AnsiString backup = ResolvedTarget(backupPath);
    if (backup.empty()) return;
    AnsiString temp = TempTemplate(backup);
    int fd = ::mkostemps(temp.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
    if (fd < 0) return;
    ::close(fd);
    ::unlink(temp.c_str());
    bool ok = ::link(current.c_str(), temp.c_str()) == 0 || CopyToNewFile(current, temp);
    const int previous = ok ? HoldReplaced(backup) : -1;
    if (!ok || ::rename(temp.c_str(), backup.c_str()) != 0) ::unlink(temp.c_str());
    ReleaseLater(previous);
}

mode_t NewFileMode(const AnsiString& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool FileExists(const AnsiString& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

PathKind KindOf(const AnsiString& path) {
    struct stat st;
    if (path.empty()) return PathKind::None;
    // Only nothing at all is missing (a link that leads nowhere too); what
    // stands there but cannot be reached is something that cannot be read.
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? PathKind::None : PathKind::Other;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Other;
}

bool IsPlainFile(const AnsiString& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Occupied(const AnsiString& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

namespace {

// The stretch of a file mapped at a time while it is read.
constexpr size_t kMappedWindow = size_t(4) << 20;

// Reads a regular file to its end, a block of at most blockSize bytes at a
// time: `sized` learns the file's size first, then `take` gets the blocks in
// order. An error `take` raises ends the reading and goes on. With an
// identity, it gets the file's as it was read (its hash from the blocks as
// they pass).
// Long by design, see docs/COMPLEXITY.md: reading around holes and interruptions.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void ReadInBlocks(const AnsiString& path, size_t blockSize, const std::function<void(size_t size)>& sized,
                  const BlockTaker& take, FileIdentity* identity) {
    auto fail = [&] { throw EFOpenError(ansi::Format("Cannot open file %s", Displayed(path))); };
    if (!g_failReadsOf.empty() && path == g_failReadsOf) fail();
    // Non-blocking, so that a pipe or device in the file's place cannot
    // hold the program; only a regular file is read.
    struct Descriptor {
        int fd;
        ~Descriptor() {
            if (fd >= 0) ::close(fd);
        }
    } file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) fail();
    struct stat st;
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) fail();
    if (sized && st.st_size > 0) sized(static_cast<size_t>(st.st_size));
    if (identity) *identity = StatIdentity(st);
    ContentHash hash;
    auto give = [&](std::string_view block) {
        if (identity) hash.Feed(block);
        take(block);
    };
    ::posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::unique_ptr<char[]> buffer, zeros;
    off_t at = 0;
    for (;;) {
        // A hole of a sparse file reads as NUL bytes: they are given as
        // such, without having the system make them one page after another.
        off_t data = ::lseek(file.fd, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO) data = ::lseek(file.fd, 0, SEEK_END);
        if (data > at) {
            if (!zeros) zeros = std::make_unique<char[]>(blockSize);
            const size_t n = static_cast<size_t>(std::min<off_t>(data - at, static_cast<off_t>(blockSize)));
            give(std::string_view(zeros.get(), n));
            at += static_cast<off_t>(n);
            continue;
        }
        // The bytes the file held when it was opened are read where the
        // system keeps them; any it gained since, with a copy.
        if (at < st.st_size) {
            const size_t length = static_cast<size_t>(
                std::min<off_t>(st.st_size - at, static_cast<off_t>(std::max(kMappedWindow, blockSize))));
            MappedWindow window(file.fd, at, length);
            if (window.Mapped()) {
                for (std::string_view rest = window.Bytes(); !rest.empty();
                     rest.remove_prefix(std::min(rest.size(), blockSize)))
                    give(rest.substr(0, blockSize));
                // Cut short by another program meanwhile: what was given
                // ends in NUL bytes the file never held.
                struct stat now;
                if (window.Lost() || ::fstat(file.fd, &now) != 0 || now.st_size < at + static_cast<off_t>(length))
                    fail();
                at += static_cast<off_t>(length);
                continue;
            }
        }
        if (!buffer) buffer = std::make_unique_for_overwrite<char[]>(blockSize);
        ssize_t n = ::pread(file.fd, buffer.get(), blockSize, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail();
        if (n == 0) break;
        give(std::string_view(buffer.get(), static_cast<size_t>(n)));
        at += n;
    }
    if (identity) identity->hash = hash.Value();
}

}  // namespace

AnsiString ReadWholeFile(const AnsiString& path, FileIdentity* identity) {
    AnsiString text;
    ReadInBlocks(
        path, size_t(1) << 16, [&](size_t size) { text.reserve(size); },
        [&](std::string_view block) { text.append(block); }, identity);
    return text;
}

void ReadBlocks(const AnsiString& path, const BlockTaker& take, FileIdentity* identity, size_t blockSize) {
    ReadInBlocks(path, std::max<size_t>(blockSize, 1), {}, take, identity);
}

Replacement::Replacement(const AnsiString& path, const AnsiString& backupPath) : path_(path), backup_(backupPath) {
    int error = ENOENT;
    if (!path.empty()) target_ = ResolvedTarget(path, &error);
    if (target_.empty()) CannotCreate(path, error);
    temp_ = TempTemplate(target_);
    fd_ = ::mkostemps(temp_.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
    if (fd_ < 0) CannotCreate(path, errno);
    // The lock tells RemoveStaleTemporaries that this file is still wanted.
    ::flock(fd_, LOCK_EX);
    ok_ = ::fchmod(fd_, NewFileMode(target_)) == 0;
    if (!ok_) error_ = errno;
}

Replacement::~Replacement() {
    if (fd_ < 0) return;
    ::unlink(temp_.c_str());
    ::close(fd_);
}

bool Replacement::Write(std::string_view bytes) {
    if (!ok_ || fd_ < 0) return false;
    error_ = WriteAll(fd_, bytes);
    ok_ = error_ == 0;
    hash_.Feed(bytes);
    // Start putting these bytes on disk while the next ones are made; the
    // fsync of Commit then has little left to wait for.
    ::sync_file_range(fd_, written_, static_cast<off_t>(bytes.size()), SYNC_FILE_RANGE_WRITE);
    written_ += static_cast<long long>(bytes.size());
    return ok_;
}

bool Replacement::Flushed() {
    if (fd_ < 0) CannotCreate(path_, error_);
    // (Only a test sets it; files written at once on several threads only read it.)
    if (g_failWriteAfter) g_failWriteAfter.reset();
    if (!ok_) return false;
    struct stat st;
    if (::fsync(fd_) != 0 || ::fstat(fd_, &st) != 0) {
        error_ = errno;
        return ok_ = false;
    }
    identity_ = StatIdentity(st);
    identity_.hash = hash_.Value();
    return true;
}

void Replacement::Commit() {
    int error = 0;
    auto failed = [&error](bool fine) {
        if (!fine && !error) error = errno;
        return !fine;
    };
    bool ok = Flushed();
    if (!ok) error = error_;
    if (ok && !backup_.empty()) KeepBackup(target_, backup_);
    // The data is on disk before the rename, so whichever name survives a
    // crash holds a complete file.
    const int replaced = ok ? HoldReplaced(target_) : -1;
    ok = ok && !failed(::rename(temp_.c_str(), target_.c_str()) == 0);
    ReleaseLater(replaced);
    if (!ok) ::unlink(temp_.c_str());
    ok = !failed(::close(fd_) == 0) && ok;
    fd_ = -1;
    if (!ok) CannotCreate(path_, error);
    SyncFolderOf(target_);
    RemoveStaleTemporaries(target_);
    if (!backup_.empty()) RemoveStaleTemporaries(backup_);
}

bool Replacement::CommitAsNew() {
    bool taken = Occupied(path_), placed = false;
    if (Flushed() && !taken) {
        // The name is given to the written file only where none is: the file
        // system refuses it when the name is taken, whoever took it when.
        placed = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) == 0;
        if (!placed && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            // File systems without that rename still refuse a link over a name.
            placed = ::link(temp_.c_str(), path_.c_str()) == 0;
            if (placed) ::unlink(temp_.c_str());
        }
        taken = !placed && errno == EEXIST;
        if (!placed) error_ = errno;
    }
    if (!placed) ::unlink(temp_.c_str());
    // The bytes are on disk already: a failing close loses nothing.
    ::close(fd_);
    fd_ = -1;
    if (taken) return false;
    if (!placed) CannotCreate(path_, error_);
    SyncFolderOf(path_);
    return true;
}

namespace {

using Pieces = std::function<std::optional<std::string_view>()>;

// The atomic replacement itself; next() gives the pieces in order and an
// empty optional after the last.
FileIdentity Replace(const AnsiString& path, const Pieces& next, const AnsiString& backupPath) {
    Replacement file(path, backupPath);
    while (std::optional<std::string_view> piece = next())
        if (!file.Write(*piece)) break;
    file.Commit();
    return file.Written();
}

bool CreateNew(const AnsiString& path, const Pieces& next) {
    // A name that is taken is not even tried.
    if (Occupied(path)) return false;
    Replacement file(path);
    while (std::optional<std::string_view> piece = next())
        if (!file.Write(*piece)) break;
    return file.CommitAsNew();
}

Pieces OnePiece(std::string_view bytes) {
    return [bytes, given = false]() mutable -> std::optional<std::string_view> {
        if (given) return std::nullopt;
        given = true;
        return bytes;
    };
}

// A producer's pieces, each made on a second thread while the one before is
// written, so that making and writing a large file share two cores. The
// thread making a piece is waited for before the maker goes (its future
// joins), also when the writing stops early.
class PiecesMadeAhead {
public:
    explicit PiecesMadeAhead(const Producer& produce) : produce_(produce) {}
    Pieces Next() {
        return [this]() -> std::optional<std::string_view> {
            if (!making_.valid()) making_ = Make(0);
            const int ready = slot_;
            if (!making_.get()) return std::nullopt;  // or the producer's exception
            slot_ ^= 1;
            making_ = Make(slot_);
            return std::string_view(pieces_[ready]);
        };
    }

private:
    std::future<bool> Make(int slot) {
        return std::async(std::launch::async, [this, slot] {
            pieces_[slot].clear();
            return produce_(pieces_[slot]);
        });
    }

    const Producer& produce_;
    AnsiString pieces_[2];
    int slot_ = 0;  // the piece being made
    std::future<bool> making_;
};

}  // namespace

FileIdentity ReplaceWholeFile(const AnsiString& path, std::string_view bytes) {
    return Replace(path, OnePiece(bytes), {});
}

FileIdentity ReplaceWholeFile(const AnsiString& path, const Producer& produce, const AnsiString& backupPath) {
    PiecesMadeAhead pieces(produce);
    return Replace(path, pieces.Next(), backupPath);
}

bool CreateNewFile(const AnsiString& path, std::string_view bytes) { return CreateNew(path, OnePiece(bytes)); }

bool CreateNewFile(const AnsiString& path, const Producer& produce) {
    PiecesMadeAhead pieces(produce);
    return CreateNew(path, pieces.Next());
}

AnsiString CreateNewFileIn(const AnsiString& folder, const std::function<AnsiString()>& choose,
                           const std::function<Producer()>& content) {
    // Each loss means another program made a file meanwhile; a name that
    // keeps being taken after it was seen free is given up on.
    AnsiString path;
    for (int tries = 0; tries < 100; ++tries) {
        AnsiString name = choose();
        path = JoinPath(folder, name);
        if (CreateNewFile(path, content())) return name;
    }
    CannotCreate(path, EEXIST);
}

AnsiString CreateNewFileIn(const AnsiString& folder, const std::function<AnsiString()>& choose,
                           std::string_view bytes) {
    return CreateNewFileIn(folder, choose, [bytes] { return BytesProducer(bytes); });
}

Producer BytesProducer(std::string_view bytes) {
    return [bytes, given = false](AnsiString& piece) mutable {
        if (given) return false;
        piece.assign(bytes);
        return given = true;
    };
}

void RemoveStaleTemporaries(const AnsiString& path) {
    AnsiString target = ResolvedTarget(path);
    if (target.empty()) return;
    size_t slash = target.rfind('/');
    AnsiString folder = slash == AnsiString::npos ? AnsiString(".") : target.substr(0, std::max<size_t>(slash, 1));
    AnsiString prefix = (slash == AnsiString::npos ? target : target.substr(slash + 1)) + AnsiString(kTempMarker);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + kTempRandom + kTempSuffix.size() || !name.starts_with(prefix) ||
            !name.ends_with(kTempSuffix))
            continue;
        std::string_view random = name.substr(prefix.size(), kTempRandom);
        if (!std::all_of(random.begin(), random.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            continue;
        AnsiString full = JoinPath(folder, name);
        if (!IsPlainFile(full)) continue;
        int fd = ::open(full.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // A file another program is still writing stays locked.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(full.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

bool DeleteFile(const AnsiString& path) { return FileExists(path) && ::unlink(path.c_str()) == 0; }

AnsiString JoinPath(const AnsiString& folder, std::string_view name) {
    AnsiString out = folder;
    if (out.empty() || out.back() != '/') out += '/';
    out.append(name);
    return out;
}

AnsiString ExtractFileName(std::string_view path) {
    size_t separator = path.find_last_of(std::string_view("/\\:\0", 4));
    return AnsiString(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

namespace test {
void FailNextWriteAfter(size_t bytes) { g_failWriteAfter = bytes; }
void FailReadsOf(const AnsiString& path) { g_failReadsOf = path; }
}  // namespace test

}  // namespace files
