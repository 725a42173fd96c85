#include "files/files.h"

#include "errors/Exception.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace files {
namespace {

std::optional<size_t> g_failWriteAfter;
AnsiString g_failReadsOf;

// Paths go into error texts in the program's code page.
AnsiString Displayed(const AnsiString& path) { return ansi::FromQString(QFile::decodeName(path.c_str())); }

[[noreturn]] void CannotCreate(const AnsiString& path) {
    throw EFCreateError(ansi::Format("Cannot create file %s", Displayed(path)));
}

// Writes the bytes; a write error injected by the test hook strikes once
// its byte count is used up.
bool WriteAll(int fd, std::string_view bytes) {
    size_t limit = bytes.size();
    bool injected = false;
    if (g_failWriteAfter) {
        injected = *g_failWriteAfter < limit;
        limit = std::min(limit, *g_failWriteAfter);
        *g_failWriteAfter -= limit;
    }
    size_t done = 0;
    while (done < limit) {
        ssize_t n = ::write(fd, bytes.data() + done, limit - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return !injected;
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

AnsiString ReadWholeFile(const AnsiString& path) {
    auto fail = [&] { throw EFOpenError(ansi::Format("Cannot open file %s", Displayed(path))); };
    if (!g_failReadsOf.empty() && path == g_failReadsOf) fail();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail();
    AnsiString text;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) text.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            fail();
        }
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

Replacement::Replacement(const AnsiString& path) : path_(path) {
    if (path.empty()) CannotCreate(path);
    temp_ = path + ".XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) CannotCreate(path);
    ok_ = ::fchmod(fd_, NewFileMode(path)) == 0;
}

Replacement::~Replacement() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(temp_.c_str());
}

bool Replacement::Write(std::string_view bytes) {
    if (!ok_ || fd_ < 0) return false;
    ok_ = WriteAll(fd_, bytes);
    // Start putting these bytes on disk while the next ones are made; the
    // fsync of Commit then has little left to wait for.
    ::sync_file_range(fd_, written_, static_cast<off_t>(bytes.size()), SYNC_FILE_RANGE_WRITE);
    written_ += static_cast<long long>(bytes.size());
    return ok_;
}

void Replacement::Commit() {
    if (fd_ < 0) CannotCreate(path_);
    g_failWriteAfter.reset();
    bool ok = ok_ && ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    // The data is on disk before the rename, so whichever name survives a
    // crash holds a complete file.
    if (!ok || ::rename(temp_.c_str(), path_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        CannotCreate(path_);
    }
}

namespace {

// The atomic replacement itself; next() gives the pieces in order and an
// empty optional after the last.
void Replace(const AnsiString& path, const std::function<std::optional<std::string_view>()>& next) {
    Replacement file(path);
    while (std::optional<std::string_view> piece = next())
        if (!file.Write(*piece)) break;
    file.Commit();
}

}  // namespace

void ReplaceWholeFile(const AnsiString& path, std::string_view bytes) {
    bool given = false;
    Replace(path, [&]() -> std::optional<std::string_view> {
        if (given) return std::nullopt;
        given = true;
        return bytes;
    });
}

void ReplaceWholeFile(const AnsiString& path, const Producer& produce) {
    AnsiString piece;
    Replace(path, [&]() -> std::optional<std::string_view> {
        piece.clear();
        if (!produce(piece)) return std::nullopt;
        return std::string_view(piece);
    });
}

bool DeleteFile(const AnsiString& path) { return FileExists(path) && ::unlink(path.c_str()) == 0; }

AnsiString JoinPath(const AnsiString& folder, std::string_view name) {
    AnsiString out = folder;
    if (out.empty() || out.back() != '/') out += '/';
    out.append(name);
    return out;
}

AnsiString ExtractFileName(std::string_view path) {
    size_t separator = path.find_last_of("/\\:");
    return AnsiString(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

namespace test {
void FailNextWriteAfter(size_t bytes) { g_failWriteAfter = bytes; }
void FailReadsOf(const AnsiString& path) { g_failReadsOf = path; }
}  // namespace test

}  // namespace files
