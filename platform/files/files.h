#pragma once
// The file system as the program uses it: whole files read in one piece and
// replaced in one piece, atomically.

#include "platform/ansi/ansi.h"
#include "platform/files/FileIdentity.h"

#include <cstddef>
#include <functional>
#include <string_view>

namespace files {

// True when a file (not a folder) exists at the path.
bool FileExists(const AnsiString& path);

// What lies at a path, symbolic links followed: nothing (also a link that
// leads nowhere), a file, a folder, or something else: a device, a pipe, or
// something that cannot be reached (links that go round in a circle, a
// folder on the way that may not be searched).
enum class PathKind { None, File, Folder, Other };
PathKind KindOf(const AnsiString& path);
// A regular file that is not itself a symbolic link.
bool IsPlainFile(const AnsiString& path);
// Anything at all stands at the path: a file, a folder, a link (also one
// that leads nowhere), a device. A name that is not occupied is free to take.
bool Occupied(const AnsiString& path);

// The whole content of a file. Raises EFOpenError "Cannot open file %s",
// also when a folder or anything but a regular file stands at the path.
// With an identity, it gets the file's as it was read.
AnsiString ReadWholeFile(const AnsiString& path, FileIdentity* identity = nullptr);
// The same content one block of at most blockSize bytes after another,
// handed to `take` in order, so that a large file is never whole in memory.
// Raises as ReadWholeFile; an error `take` raises ends the reading and goes
// on.
using BlockTaker = std::function<void(std::string_view block)>;
void ReadBlocks(const AnsiString& path, const BlockTaker& take, FileIdentity* identity = nullptr,
                size_t blockSize = size_t(1) << 20);

// Replaces the file's whole content: the bytes go to a temporary file in the
// same folder, which is flushed to disk and then renamed over the target, so
// a failure at any point leaves the previous file as it was. An existing
// file keeps its permission bits; a new one gets 0666 less the umask. A path
// that is a symbolic link is saved through the link: its target is replaced
// and the link stays. Raises EFCreateError "Cannot create file %s." followed
// by the system's reason on a line of its own ("No space left on device").
// Returns the identity of the file as written.
//
// Temporary files carry the target's name followed by ".flickstow-" six
// letters or digits and ".tmp", and are locked while they are written; a
// successful replacement removes stale ones of the same target.
FileIdentity ReplaceWholeFile(const AnsiString& path, std::string_view bytes);
// The same for content made piece by piece: each call of the producer puts
// the next piece into the (emptied) buffer and returns true, or returns false
// when nothing more follows. A large file is written without ever being
// whole in memory. The producer runs on a second thread, one call at a time,
// making the next piece while the last is written; the caller waits for the
// end, so the producer may read the caller's data but must not touch a
// widget.
// With a backup path, the file being replaced is kept there (replacing the
// previous backup) just before the new content takes its place, as safely as
// the replacement itself; the save goes on when no backup can be made.
using Producer = std::function<bool(AnsiString& piece)>;
// The bytes as one piece (they must outlive the producer).
Producer BytesProducer(std::string_view bytes);
FileIdentity ReplaceWholeFile(const AnsiString& path, const Producer& produce, const AnsiString& backupPath = {});

// Makes a new file at the path, written as safely as a replacement, but
// only where nothing stands yet (not even a link that leads nowhere): two
// programs making the same name at the same moment never write one file.
// False, and nothing written, when the name is taken. Raises EFCreateError
// "Cannot create file %s" for any other failure.
bool CreateNewFile(const AnsiString& path, std::string_view bytes);
bool CreateNewFile(const AnsiString& path, const Producer& produce);

// Makes a new file in the folder under the name choose() gives, never over
// anything already there: when another program made a file of that name
// since it was chosen (both drew the same free name), choose() is asked
// again. content() gives the bytes afresh for each try. Returns the name
// the file got. Raises EFCreateError "Cannot create file %s".
AnsiString CreateNewFileIn(const AnsiString& folder, const std::function<AnsiString()>& choose,
                           const std::function<Producer()>& content);
AnsiString CreateNewFileIn(const AnsiString& folder, const std::function<AnsiString()>& choose, std::string_view bytes);

// Removes the temporary files that an interrupted replacement of path left
// behind: only names of the form above, only plain files, only those no
// running program is writing. Anything else is left alone.
void RemoveStaleTemporaries(const AnsiString& path);

// A file being replaced by bytes written in any number of pieces, for
// writers that push their output: the same temporary file, backup and
// rename as the whole-file replacement above, which is made of it. Commit
// puts the bytes in the file's place; dropped without Commit (an error, an
// aborted job), the temporary file goes and the file stays as it was.
// Raises EFCreateError (as above, with the reason) when the temporary file
// cannot be made and when Commit fails, also after a failed Write.
class Replacement {
public:
    explicit Replacement(const AnsiString& path, const AnsiString& backupPath = {});
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // False once a write has failed; the bytes are then lost.
    bool Write(std::string_view bytes);
    void Commit();
    // Puts the bytes in place only when nothing stands at the path (not
    // even a link): false, and the temporary file gone, when something does.
    bool CommitAsNew();
    // The file as written, once committed.
    const FileIdentity& Written() const { return identity_; }

private:
    // Flushes the bytes to disk and notes the file's identity; false on failure.
    bool Flushed();

    AnsiString path_, target_, backup_, temp_;
    int fd_ = -1;
    bool ok_ = true;
    int error_ = 0;  // the system's error code of the first failure
    long long written_ = 0;
    ContentHash hash_;
    FileIdentity identity_;
};

// Deletes a file; false when there was none or it could not be deleted.
bool DeleteFile(const AnsiString& path);

// Joins a folder and a file name, adding the separator only when the folder
// does not already end in one.
AnsiString JoinPath(const AnsiString& folder, std::string_view name);

// The file-name part of a path: what follows the last '/', '\\', ':' or NUL.
AnsiString ExtractFileName(std::string_view path);

namespace test {
// The next ReplaceWholeFile fails after writing this many bytes, as a full
// disk would make it (the reason given is the full disk's).
void FailNextWriteAfter(size_t bytes);
// ReadWholeFile of this path fails as an unreadable file would (empty: none).
void FailReadsOf(const AnsiString& path);
}  // namespace test

}  // namespace files
