#pragma once
// The file system as the program uses it: whole files read in one piece and
// replaced in one piece, atomically.

#include "ansi/ansi.h"

#include <cstddef>
#include <functional>
#include <string_view>

namespace files {

// True when a file (not a folder) exists at the path.
bool FileExists(const AnsiString& path);

// The whole content of a file. Raises EFOpenError "Cannot open file %s".
AnsiString ReadWholeFile(const AnsiString& path);

// Replaces the file's whole content: the bytes go to a temporary file in the
// same folder, which is flushed to disk and then renamed over the target, so
// a failure at any point leaves the previous file as it was. An existing
// file keeps its permission bits. Raises EFCreateError "Cannot create file %s".
void ReplaceWholeFile(const AnsiString& path, std::string_view bytes);
// The same for content made piece by piece: each call of the producer puts
// the next piece into the (emptied) buffer and returns true, or returns false
// when nothing more follows. A large file is written without ever being
// whole in memory.
using Producer = std::function<bool(AnsiString& piece)>;
void ReplaceWholeFile(const AnsiString& path, const Producer& produce);

// A file being replaced by bytes written in any number of pieces, for
// writers that push their output: the bytes go to a temporary file beside
// the target, which Commit flushes to disk and renames over it. Dropped
// without Commit (an error, an aborted job), the temporary file goes and the
// target stays as it was. Raises EFCreateError "Cannot create file %s" when
// the temporary file cannot be made and when Commit fails, also after a
// failed Write.
class Replacement {
public:
    explicit Replacement(const AnsiString& path);
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // False once a write has failed; the bytes are then lost.
    bool Write(std::string_view bytes);
    void Commit();
    const AnsiString& Path() const { return path_; }

private:
    AnsiString path_, temp_;
    int fd_ = -1;
    bool ok_ = true;
    long long written_ = 0;
};

// Deletes a file; false when there was none or it could not be deleted.
bool DeleteFile(const AnsiString& path);

// Joins a folder and a file name, adding the separator only when the folder
// does not already end in one.
AnsiString JoinPath(const AnsiString& folder, std::string_view name);

// The file-name part of a path: what follows the last '/', '\\' or ':'.
AnsiString ExtractFileName(std::string_view path);

namespace test {
// The next ReplaceWholeFile fails after writing this many bytes, as a full
// disk would make it.
void FailNextWriteAfter(size_t bytes);
// ReadWholeFile of this path fails as an unreadable file would (empty: none).
void FailReadsOf(const AnsiString& path);
}  // namespace test

}  // namespace files
