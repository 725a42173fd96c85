#include "TestSupport.h"
#include "errors/Exception.h"
#include "files/files.h"

#include <QDir>
#include <sys/stat.h>

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
        QTest::newRow("committed") << "commit" << "one two";
        QTest::newRow("dropped") << "drop" << "old";
        QTest::newRow("failed write") << "fail" << "old";
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
        // A folder where the file should be cannot be replaced.
        AnsiString folder = InProgramDir("dir");
        QVERIFY(QDir().mkdir(QString::fromStdString(folder)));
        QVERIFY(!files::FileExists(folder));
        try {
            files::ReplaceWholeFile(folder, "x");
            QFAIL("no error");
        } catch (const EFCreateError& e) {
            QCOMPARE(e.Message, "Cannot create file " + folder);
        }
        QVERIFY_THROWS_EXCEPTION(EFCreateError, files::ReplaceWholeFile(InProgramDir("no/such/dir/x"), "x"));
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
        QTest::newRow("with separator") << "/films/" << "/films/data.vrx";
        QTest::newRow("without separator") << "/films" << "/films/data.vrx";
        QTest::newRow("root") << "/" << "/data.vrx";
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
        QTest::newRow("bare") << "t_cover417.jpg" << "t_cover417.jpg";
        QTest::newRow("parent") << "../x" << "x";
        QTest::newRow("backslashes") << "..\\..\\boot.ini" << "boot.ini";
        QTest::newRow("drive") << "C:x.jpg" << "x.jpg";
        QTest::newRow("absolute") << "/etc/passwd" << "passwd";
        QTest::newRow("folder only") << "pics/" << "";
        QTest::newRow("empty") << "" << "";
    }
    void extractFileName() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(files::ExtractFileName(path.toStdString())), name);
    }
};

FLICKSTOW_TEST_MAIN(TestFiles)
#include "test_files.moc"
