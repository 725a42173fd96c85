#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshSandbox(); }

    void replaceThenRead() {
        AnsiString path = InProgramDir("a.txt");
        AnsiString bytes("x\0y\r\n", 5);
        files::ReplaceWholeFile(path, bytes);
        QCOMPARE(files::ReadWholeFile(path), bytes);
        files::ReplaceWholeFile(path, "");
        QCOMPARE(files::ReadWholeFile(path), AnsiString());
        QVERIFY(files::FileExists(path));
    }

    void interruptedReplaceKeepsOldFile() {
        AnsiString path = InProgramDir("data.vrx");
        WriteFile(path, "old content\r\n");
        files::test::FailNextWriteAfter(3);
        QVERIFY_THROWS_EXCEPTION(EFCreateError, files::ReplaceWholeFile(path, "new content that is longer\r\n"));
        QCOMPARE(ReadFile(path), AnsiString("old content\r\n"));
        // No temporary file is left behind.
        QCOMPARE(QDir(QString::fromStdString(ProgramDir())).entryList(QDir::Files), QStringList{"data.vrx"});
    }

    // Content made piece by piece arrives whole; a failure in any piece, or
    // an error raised by the producer, leaves the old file and no temporary.
    void replaceFromPieces() {
        AnsiString path = InProgramDir("data.vrx");
        auto pieces = [](int count) {
            return [count, next = 0](AnsiString& piece) mutable {
                if (next == count) return false;
                piece.append("piece ").append(ansi::IntToStr(next++)).append("\r\n");
                return true;
            };
        };
        files::ReplaceWholeFile(path, pieces(3));
        QCOMPARE(ReadFile(path), AnsiString("piece 0\r\npiece 1\r\npiece 2\r\n"));
        files::test::FailNextWriteAfter(12);  // inside the second piece
        QVERIFY_THROWS_EXCEPTION(EFCreateError, files::ReplaceWholeFile(path, pieces(5)));
        QCOMPARE(ReadFile(path), AnsiString("piece 0\r\npiece 1\r\npiece 2\r\n"));
        int calls = 0;
        QVERIFY_THROWS_EXCEPTION(Exception, files::ReplaceWholeFile(path, [&](AnsiString& piece) -> bool {
                                     if (++calls == 2) throw Exception("stop");
                                     piece.push_back('x');
                                     return true;
                                 }));
        QCOMPARE(ReadFile(path), AnsiString("piece 0\r\npiece 1\r\npiece 2\r\n"));
        QCOMPARE(QDir(QString::fromStdString(ProgramDir())).entryList(QDir::Files), QStringList{"data.vrx"});
    }

    // Bytes pushed in pieces replace the file only on Commit; a replacement
    // dropped before, or one whose write failed, leaves the old file and no
    // temporary behind.
    void replacementPushed_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("after");
        // clang-format off
        QTest::newRow("committed") << "commit" << "one two";
        QTest::newRow("dropped") << "drop" << "old";
        QTest::newRow("failed write") << "fail" << "old";
        // clang-format on
    }
    void replacementPushed() {
        QFETCH(QString, how);
        QFETCH(QString, after);
        AnsiString path = InProgramDir("list.pdf");
        WriteFile(path, "old");
        {
            files::Replacement r(path);
            if (how == "fail") files::test::FailNextWriteAfter(2);
            bool written = r.Write("one");
            QCOMPARE(written, how != "fail");
            QCOMPARE(r.Write(" two"), how != "fail");
            QCOMPARE(ReadFile(path), AnsiString("old"));
            if (how == "commit") r.Commit();
            if (how == "fail") QVERIFY_THROWS_EXCEPTION(EFCreateError, r.Commit());
        }
        QCOMPARE(QString::fromStdString(ReadFile(path)), after);
        QCOMPARE(QDir(QString::fromStdString(ProgramDir())).entryList(QDir::Files), QStringList{"list.pdf"});
    }

    void replaceKeepsPermissions() {
        AnsiString path = InProgramDir("p.txt");
        WriteFile(path, "a");
        QCOMPARE(::chmod(path.c_str(), 0640), 0);
        files::ReplaceWholeFile(path, "b");
        struct stat st;
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
    }

    void errorsNameThePath() {
        AnsiString missing = InProgramDir("missing.txt");
        try {
            files::ReadWholeFile(missing);
            QFAIL("no error");
        } catch (const EFOpenError& e) {
            QCOMPARE(e.Message, "Cannot open file " + missing);
        }
    }

    // A write that fails names the file and, on a line of its own, the
    // system's reason, so that the user knows what to do.
    void writeErrorsSayWhy_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("reason");
        QTest::newRow("folder in its place") << "folder" << EISDIR;
        QTest::newRow("folder missing") << "missing" << ENOENT;
        QTest::newRow("disk full") << "full" << ENOSPC;
        QTest::newRow("links in a circle") << "loop" << ELOOP;
    }
    void writeErrorsSayWhy() {
        QFETCH(QString, fault);
        QFETCH(int, reason);
        AnsiString path = InProgramDir("data.vrx");
        if (fault == "folder") QVERIFY(QDir().mkdir(QString::fromStdString(path)));
        if (fault == "missing") path = InProgramDir("no/such/dir/data.vrx");
        if (fault == "full") files::test::FailNextWriteAfter(2);
        if (fault == "loop") {
            QCOMPARE(::symlink("data.vrx", path.c_str()), 0);
            // Read, the links are a file that cannot be opened, not a missing one.
            QCOMPARE(files::KindOf(path), files::PathKind::Other);
            QVERIFY_THROWS_EXCEPTION(EFOpenError, files::ReadWholeFile(path));
        }
        try {
            files::ReplaceWholeFile(path, "some text");
            QFAIL("no error");
        } catch (const EFCreateError& e) {
            QCOMPARE(QString::fromStdString(e.Message), QString::fromStdString("Cannot create file " + path + ".\n") +
                                                            QString::fromLocal8Bit(std::strerror(reason)));
        }
        QVERIFY(fault == "folder" ? files::KindOf(path) == files::PathKind::Folder : !files::FileExists(path));
    }

    // Files the program makes get the usual permissions: 0666 less the umask.
    void newFilesFollowTheUmask_data() {
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("mode");
        QTest::newRow("022") << 022 << 0644;
        QTest::newRow("027") << 027 << 0640;
        QTest::newRow("002") << 002 << 0664;
    }
    void newFilesFollowTheUmask() {
        QFETCH(int, umask);
        QFETCH(int, mode);
        mode_t old = ::umask(static_cast<mode_t>(umask));
        AnsiString path = InProgramDir("films.csv");
        files::ReplaceWholeFile(path, "x");
        ::umask(old);
        struct stat st;
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), mode);
    }

    // A save killed half-way leaves its temporary file; the next successful
    // save of the same file (or a clean-up at start) removes it. Files of
    // similar names, other files' temporaries, folders and a temporary that
    // another program is still writing stay.
    void staleTemporariesAreRemoved_data() {
        QTest::addColumn<bool>("bySave");
        QTest::newRow("by the next save") << true;
        QTest::newRow("by the clean-up at start") << false;
    }
    void staleTemporariesAreRemoved() {
        QFETCH(bool, bySave);
        AnsiString path = InProgramDir("data.vrx");
        WriteFile(path, "old");
        const char* stale[] = {"data.vrx.flickstow-AbC123.tmp", "data.vrx.flickstow-000000.tmp"};
        const char* kept[] = {"data.vrx.flickstow-AbC12.tmp",    "data.vrx.flickstow-AbC1234.tmp",
                              "data.vrx.flickstow-AbC1_3.tmp",   "data.vrx.flickstow-AbC123.tmpx",
                              "genres.vrx.flickstow-AbC123.tmp", "data.vrx.AbC123",
                              "xdata.vrx.flickstow-AbC123.tmp",  "data.vrx.bak"};
        for (const char* name : stale) WriteFile(InProgramDir(name), "half a catalogue");
        for (const char* name : kept) WriteFile(InProgramDir(name), "someone else's");
        QVERIFY(QDir().mkdir(QString::fromStdString(InProgramDir("data.vrx.flickstow-Folder.tmp"))));
        QCOMPARE(::symlink("data.vrx", InProgramDir("data.vrx.flickstow-LinkTo.tmp").c_str()), 0);
        // A save in progress in another program holds a lock on its file.
        AnsiString busy = InProgramDir("data.vrx.flickstow-Busy00.tmp");
        WriteFile(busy, "being written");
        int fd = ::open(busy.c_str(), O_RDONLY);
        QCOMPARE(::flock(fd, LOCK_EX), 0);
        if (bySave) files::ReplaceWholeFile(path, "new");
        else
            files::RemoveStaleTemporaries(path);
        ::close(fd);
        QStringList left = QDir(QString::fromStdString(ProgramDir()))
                               .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const char* name : stale) QVERIFY2(!left.contains(name), name);
        for (const char* name : kept) QVERIFY2(left.contains(name), name);
        for (const char* name :
             {"data.vrx.flickstow-Folder.tmp", "data.vrx.flickstow-LinkTo.tmp", "data.vrx.flickstow-Busy00.tmp"})
            QVERIFY2(left.contains(name), name);
        QCOMPARE(ReadFile(path), AnsiString(bySave ? "new" : "old"));
    }

    // With a backup path, each replacement keeps the file it replaces there;
    // a failed replacement touches neither the file nor the backup, and a
    // backup that cannot be made does not stop the save.
    void backupKeepsThePreviousFile() {
        AnsiString path = InProgramDir("data.vrx"), bak = InProgramDir("data.vrx.bak");
        auto save = [&](const char* text) {
            files::ReplaceWholeFile(
                path,
                [text, done = false](AnsiString& piece) mutable {
                    if (done) return false;
                    piece = text;
                    return done = true;
                },
                bak);
        };
        save("first");
        QVERIFY(!files::FileExists(bak));
        save("second");
        QCOMPARE(ReadFile(bak), AnsiString("first"));
        save("third");
        QCOMPARE(ReadFile(bak), AnsiString("second"));
        QCOMPARE(ReadFile(path), AnsiString("third"));
        files::test::FailNextWriteAfter(2);
        QVERIFY_THROWS_EXCEPTION(EFCreateError, save("fourth"));
        QCOMPARE(ReadFile(path), AnsiString("third"));
        QCOMPARE(ReadFile(bak), AnsiString("second"));
        // The backup is a file of its own: writing it does not change the file.
        WriteFile(bak, "edited backup");
        QCOMPARE(ReadFile(path), AnsiString("third"));
        QVERIFY(QFile::remove(QString::fromStdString(bak)));
        QVERIFY(QDir().mkdir(QString::fromStdString(bak)));
        save("fifth");
        QCOMPARE(ReadFile(path), AnsiString("fifth"));
        QCOMPARE(files::KindOf(bak), files::PathKind::Folder);
        QCOMPARE(QDir(QString::fromStdString(ProgramDir())).entryList(QDir::Files), QStringList{"data.vrx"});
    }

    // The files a save replaced (the file and the previous backup) are let
    // go soon after, so that their space is given back to the disk.
    void replacedFilesAreLetGo() {
        const AnsiString path = InProgramDir("data.vrx"), bak = InProgramDir("data.vrx.bak");
        for (const char* text : {"first", "second", "third"})
            files::ReplaceWholeFile(path, files::BytesProducer(text), bak);
        QCOMPARE(ReadFile(bak), AnsiString("second"));
        // Descriptors of the program's on files of the folder that have no name left.
        auto heldDeleted = [] {
            int held = 0;
            const QDir fds("/proc/self/fd");
            for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
                char target[4096];
                const ssize_t n = ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target);
                const std::string_view link(target, n > 0 ? static_cast<size_t>(n) : 0);
                held += link.starts_with(ProgramDir()) && link.ends_with(" (deleted)");
            }
            return held;
        };
        QTRY_COMPARE_WITH_TIMEOUT(heldDeleted(), 0, 5000);
    }

    // A file that is a symbolic link is saved through the link: the target
    // gets the new content, and the link stays a link.
    void replaceThroughLink() {
        QVERIFY(QDir().mkpath(QString::fromStdString(InProgramDir("elsewhere"))));
        AnsiString target = InProgramDir("elsewhere/films.vrx"), link = InProgramDir("data.vrx");
        WriteFile(target, "old");
        QCOMPARE(::symlink("elsewhere/films.vrx", link.c_str()), 0);
        files::ReplaceWholeFile(link, "new");
        struct stat st;
        QCOMPARE(::lstat(link.c_str(), &st), 0);
        QVERIFY(S_ISLNK(st.st_mode));
        QCOMPARE(ReadFile(target), AnsiString("new"));
        QCOMPARE(files::ReadWholeFile(link), AnsiString("new"));
        // A link to a file not yet there creates it.
        QCOMPARE(::symlink("elsewhere/genres.vrx", InProgramDir("genres.vrx").c_str()), 0);
        files::ReplaceWholeFile(InProgramDir("genres.vrx"), "Drama\r\n");
        QCOMPARE(ReadFile(InProgramDir("elsewhere/genres.vrx")), AnsiString("Drama\r\n"));
        // Links that go round in a circle are an error, not a hang.
        QCOMPARE(::symlink("loop2", InProgramDir("loop1").c_str()), 0);
        QCOMPARE(::symlink("loop1", InProgramDir("loop2").c_str()), 0);
        QVERIFY_THROWS_EXCEPTION(EFCreateError, files::ReplaceWholeFile(InProgramDir("loop1"), "x"));
    }

    // Only regular files are read: a folder or a pipe in a file's place is
    // an error, never a hang.
    void readOnlyRegularFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("pipe") << "pipe";
    }
    void readOnlyRegularFiles() {
        QFETCH(QString, kind);
        AnsiString path = InProgramDir("data.vrx");
        if (kind == "folder") QVERIFY(QDir().mkdir(QString::fromStdString(path)));
        else
            QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        QCOMPARE(files::KindOf(path), kind == "folder" ? files::PathKind::Folder : files::PathKind::Other);
        QVERIFY_THROWS_EXCEPTION(EFOpenError, files::ReadWholeFile(path));
        QVERIFY_THROWS_EXCEPTION(EFOpenError, files::ReadBlocks(path, [](std::string_view) {}));
    }

    // A large file read a block at a time comes in several pieces, in
    // order, none larger than asked; a hole in a sparse file comes as the
    // NUL bytes it reads as. The identity hashes the bytes as they pass.
    void readInBlocks_data() {
        QTest::addColumn<bool>("sparse");
        QTest::newRow("written") << false;
        QTest::newRow("with a hole") << true;
    }
    void readInBlocks() {
        QFETCH(bool, sparse);
        AnsiString bytes(300000, '\0'), joined;
        for (size_t i = 0; i < bytes.size(); ++i)
            if (!sparse || i < 1000 || i >= 290000) bytes[i] = static_cast<char>(i % 251 + 1);
        const AnsiString path = InProgramDir("large");
        if (sparse) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            QVERIFY(fd >= 0);
            QCOMPARE(::pwrite(fd, bytes.data(), 1000, 0), ssize_t(1000));
            QCOMPARE(::pwrite(fd, bytes.data() + 290000, 10000, 290000), ssize_t(10000));
            ::close(fd);
        } else {
            WriteFile(path, bytes);
        }
        int blocks = 0;
        size_t largest = 0;
        files::FileIdentity identity;
        files::ReadBlocks(
            path,
            [&](std::string_view block) { joined.append(block), ++blocks, largest = std::max(largest, block.size()); },
            &identity, 1 << 16);
        QVERIFY(blocks > 1);
        QVERIFY(largest <= 1 << 16);
        QVERIFY(joined == bytes);
        files::ContentHash hash;
        hash.Feed(bytes);
        QCOMPARE(identity.hash, hash.Value());
    }

    // Another program changes the file while it is read. Cut short, the
    // reading fails (never a crash, never a shorter file taken as whole)
    // and the next reading gets what is left; grown, the reading gets the
    // bytes added too.
    void fileChangedWhileRead_data() {
        QTest::addColumn<qint64>("size");  // after the change, of 3,000,000
        QTest::addColumn<bool>("fails");
        QTest::newRow("cut to nothing") << qint64(0) << true;
        QTest::newRow("cut within the first pages") << qint64(70000) << true;
        QTest::newRow("cut near the end") << qint64(2999000) << true;
        QTest::newRow("grown") << qint64(3100000) << false;
    }
    void fileChangedWhileRead() {
        QFETCH(qint64, size);
        QFETCH(bool, fails);
        AnsiString bytes(3000000, 'x');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
        const AnsiString path = InProgramDir("data.vrx");
        WriteFile(path, bytes);
        AnsiString joined;
        auto read = [&] {
            files::ReadBlocks(
                path,
                [&](std::string_view block) {
                    if (joined.empty()) {
                        QCOMPARE(::truncate(path.c_str(), std::min<qint64>(size, 3000000)), 0);
                        if (size > 3000000) {
                            const AnsiString more(size_t(size - 3000000), 'y');
                            const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
                            QCOMPARE(::write(fd, more.data(), more.size()), ssize_t(more.size()));
                            ::close(fd);
                        }
                    }
                    joined.append(block);
                },
                nullptr, 1 << 16);
        };
        if (fails) {
            QVERIFY_THROWS_EXCEPTION(EFOpenError, read());
            QCOMPARE(files::ReadWholeFile(path), bytes.substr(0, size_t(size)));
        } else {
            read();
            QVERIFY(joined == bytes + AnsiString(size_t(size) - bytes.size(), 'y'));
        }
    }

    // A name is occupied by anything standing there, also a link that
    // leads nowhere (writing through it would make a file elsewhere).
    void occupied_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("occupied");
        QTest::newRow("nothing") << "nothing" << false;
        QTest::newRow("file") << "file" << true;
        QTest::newRow("folder") << "folder" << true;
        QTest::newRow("pipe") << "pipe" << true;
        QTest::newRow("link to a file") << "link" << true;
        QTest::newRow("link leading nowhere") << "dangling" << true;
    }
    void occupied() {
        QFETCH(QString, what);
        QFETCH(bool, occupied);
        const AnsiString path = InProgramDir("t_cover1.jpg");
        WriteFile(InProgramDir("other"), "x");
        if (what == "file") WriteFile(path, "x");
        if (what == "folder") QVERIFY(QDir().mkdir(QString::fromStdString(path)));
        if (what == "pipe") QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        if (what == "link") QCOMPARE(::symlink("other", path.c_str()), 0);
        if (what == "dangling") QCOMPARE(::symlink("../elsewhere/t_cover1.jpg", path.c_str()), 0);
        QCOMPARE(files::Occupied(path), occupied);
        QVERIFY(!files::Occupied(""));
    }

    // The content hash depends on the bytes alone: cut into pieces of any
    // size it is the same, and any one byte changed, a zero byte more, or
    // two stretches of the file swapped, changes it.
    void contentHashOfPieces() {
        AnsiString bytes;
        for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7 + 3);
        files::ContentHash whole;
        whole.Feed(bytes);
        for (size_t cut = 1; cut <= 70; ++cut) {
            files::ContentHash pieces;
            for (size_t at = 0; at < bytes.size(); at += cut) pieces.Feed(std::string_view(bytes).substr(at, cut));
            QCOMPARE(pieces.Value(), whole.Value());
        }
        for (size_t at = 0; at <= bytes.size(); ++at) {
            AnsiString other = bytes;
            if (at < bytes.size()) other[at] = static_cast<char>(other[at] ^ 1);
            else
                other.push_back('\0');
            files::ContentHash changed;
            changed.Feed(other);
            QVERIFY2(changed.Value() != whole.Value(), std::to_string(at).c_str());
        }
        for (size_t length : {size_t(8), size_t(16), size_t(64), size_t(128)}) {
            AnsiString swapped = bytes.substr(length, length) + bytes.substr(0, length) + bytes.substr(2 * length);
            files::ContentHash changed;
            changed.Feed(swapped);
            QVERIFY2(changed.Value() != whole.Value(), std::to_string(length).c_str());
        }
    }

    // What a window read or wrote is told from a change by another program:
    // stat first, the bytes only when stat differs. The hash is the same for
    // the same bytes however they were cut while reading or writing.
    void changeOnDisk_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("seen");
        const int unchanged = int(files::DiskChange::Unchanged), changed = int(files::DiskChange::Changed);
        QTest::newRow("untouched") << "none" << unchanged;
        QTest::newRow("only the time") << "time" << unchanged;
        QTest::newRow("same bytes in a new file") << "copy" << unchanged;
        QTest::newRow("other bytes, same size") << "bytes" << changed;
        QTest::newRow("other bytes, longer") << "longer" << changed;
        QTest::newRow("folder in its place") << "folder" << int(files::DiskChange::Vanished);
        QTest::newRow("removed") << "remove" << int(files::DiskChange::Vanished);
    }
    void changeOnDisk() {
        QFETCH(QString, change);
        QFETCH(int, seen);
        const AnsiString path = InProgramDir("data.vrx"), text = "Solaris\r\nStalker\r\nMirror\r\n";
        const files::FileIdentity written = files::ReplaceWholeFile(path,
                                                                    [&text, at = size_t(0)](AnsiString& piece) mutable {
                                                                        if (at >= text.size()) return false;
                                                                        piece = text.substr(at, 5);
                                                                        at += 5;
                                                                        return true;
                                                                    });
        files::FileIdentity read;
        QCOMPARE(files::ReadWholeFile(path, &read), text);
        QVERIFY(read.SameStat(written));
        QCOMPARE(read.hash, written.hash);
        const QString qpath = QString::fromStdString(path);
        struct timespec later[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
        // A time of its own: writes within one tick of the clock get the same.
        if (change == "bytes") WriteFile(path, "Solaris\r\nStalker\r\nMirroR\r\n");
        if (change == "time" || change == "bytes") QCOMPARE(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
        if (change == "copy") files::ReplaceWholeFile(path, text);
        if (change == "longer") WriteFile(path, text + "Nostalghia\r\n");
        if (change == "folder" || change == "remove") QVERIFY(QFile::remove(qpath));
        if (change == "folder") QVERIFY(QDir().mkdir(qpath));
        QCOMPARE(int(files::ChangeOnDisk(path, read)), seen);
        // A file that was not there when read: any file now is a change.
        QCOMPARE(files::ChangeOnDisk(path, files::FileIdentity{}),
                 change == "remove" || change == "folder" ? files::DiskChange::Unchanged : files::DiskChange::Changed);
    }

    // A new file never takes the place of anything: not a file, a folder or
    // a link, not even one that leads nowhere.
    void createNewFileNeverReplaces_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("nothing there") << "nothing";
        QTest::newRow("file") << "file";
        QTest::newRow("folder") << "folder";
        QTest::newRow("link leading nowhere") << "dangling";
    }
    void createNewFileNeverReplaces() {
        QFETCH(QString, what);
        const AnsiString path = InProgramDir("t_cover1.jpg");
        if (what == "file") WriteFile(path, "mine");
        if (what == "folder") QVERIFY(QDir().mkdir(QString::fromStdString(path)));
        if (what == "dangling") QCOMPARE(::symlink("elsewhere/t_cover1.jpg", path.c_str()), 0);
        QCOMPARE(files::CreateNewFile(path, "new"), what == "nothing");
        if (what == "nothing") QCOMPARE(ReadFile(path), AnsiString("new"));
        if (what == "file") QCOMPARE(ReadFile(path), AnsiString("mine"));
        if (what == "folder") QCOMPARE(files::KindOf(path), files::PathKind::Folder);
        if (what == "dangling") QVERIFY(!QFileInfo::exists(QString::fromStdString(InProgramDir("elsewhere"))));
        QCOMPARE(QDir(QString::fromStdString(ProgramDir()))
                     .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
                 QStringList{"t_cover1.jpg"});
    }

    void deleteFile() {
        AnsiString path = InProgramDir("t.jpg");
        WriteFile(path, "x");
        QVERIFY(files::DeleteFile(path));
        QVERIFY(!files::FileExists(path));
        QVERIFY(!files::DeleteFile(path));
    }

    void joinPath_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("joined");
        // clang-format off
        QTest::newRow("with separator") << "/films/" << "/films/data.vrx";
        QTest::newRow("without separator") << "/films" << "/films/data.vrx";
        QTest::newRow("root") << "/" << "/data.vrx";
        // clang-format on
    }
    void joinPath() {
        QFETCH(QString, folder);
        QFETCH(QString, joined);
        QCOMPARE(QString::fromStdString(files::JoinPath(folder.toStdString(), "data.vrx")), joined);
    }

    // A name taken from a record never leads out of the folder it is joined to.
    void extractFileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        // clang-format off
        QTest::newRow("bare") << "t_cover417.jpg" << "t_cover417.jpg";
        QTest::newRow("parent") << "../x" << "x";
        QTest::newRow("backslashes") << "..\\..\\boot.ini" << "boot.ini";
        QTest::newRow("drive") << "C:x.jpg" << "x.jpg";
        QTest::newRow("absolute") << "/etc/passwd" << "passwd";
        QTest::newRow("folder only") << "pics/" << "";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }
    void extractFileName() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(files::ExtractFileName(path.toStdString())), name);
    }
};

FLICKSTOW_TEST_MAIN(TestFiles)
#include "test_files.moc"
