#include "app/mainwindow/TForm1.h"
#include "platform/programlock/ProgramLock.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <sys/stat.h>

using namespace testsupport;

namespace {

QString Folder() { return QFile::decodeName(ProgramDir().c_str()); }
QString LockFile() { return Folder() + ProgramLock::kFileName; }
// The process the lock file names (0: none).
qint64 LockHolder() {
    QFile lock(LockFile());
    return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
}
// A program listens on the socket (connecting asks nothing of it).
bool Listening(const QString& socket) {
    QLocalSocket probe;
    probe.connectToServer(socket);
    return probe.waitForConnected(100);
}
// The files a process has mapped, from /proc/PID/maps.
QStringList Mapped(qint64 pid) {
    QFile maps(QString("/proc/%1/maps").arg(pid));
    QStringList files;
    if (!maps.open(QIODevice::ReadOnly)) return files;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        qsizetype at = line.indexOf('/');
        if (at >= 0 && !files.contains(QString::fromLocal8Bit(line.mid(at))))
            files << QString::fromLocal8Bit(line.mid(at));
    }
    return files;
}

QStringList FolderEntries() { return QDir(Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

// The program itself, as copied into the test's program folder, started
// there with the test's settings and runtime folders.
struct Program : QProcess {
    Program() {
        start(Folder() + "flickstow", {});
        waitForStarted();
    }
    ~Program() override {
        kill();
        waitForFinished();
    }
    bool EndedWithin(int milliseconds) {
        return QTest::qWaitFor([this] { return state() == QProcess::NotRunning; }, milliseconds);
    }
};

}  // namespace

class TestProgramLock : public QObject {
    Q_OBJECT

private slots:
    void init() {
        FreshSandbox();
        const QString runtime = Folder() + "../runtime";
        QVERIFY(QDir().mkdir(runtime));
        QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(QDir(runtime).canonicalPath()));
        QVERIFY(QFile::copy(FLICKSTOW_BINARY, Folder() + "flickstow"));
    }

    // A second start on the folder brings the running program's window to
    // the front, un-minimized, and ends at once with status 0, having made
    // no window and read or written nothing.
    void secondStartHandsOver() {
        PutCatalogue("Solaris\r\n");
        ProgramLock lock(Folder());
        QCOMPARE(lock.Claim(), ProgramLock::Start::Alone);
        TForm1 form;
        connect(&lock, &ProgramLock::ActivationRequested, &form, &TForm1::BringToFront);
        form.showMinimized();
        QWidget elsewhere;
        Activate(&elsewhere);
        const QStringList before = FolderEntries();
        // A caller that says too much, or other than the request, is let go
        // unanswered, and the program goes on answering.
        for (const QByteArray& said : {QByteArray(100, 'x'), QByteArray("back\n")}) {
            QLocalSocket talker;
            talker.connectToServer(ProgramLock::SocketPath(Folder()));
            QVERIFY(talker.waitForConnected(1000));
            talker.write(said);
            QVERIFY(talker.waitForBytesWritten(1000));
            if (said.endsWith('\n')) QVERIFY(!talker.waitForReadyRead(300));
            else
                QTRY_COMPARE(talker.state(), QLocalSocket::UnconnectedState);
        }
        QVERIFY(!form.isActiveWindow());
        Program second;
        QVERIFY(second.EndedWithin(2000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(form.isActiveWindow());
        QVERIFY(!form.isMinimized());
        QCOMPARE(FolderEntries(), before);
        QCOMPARE(QDir(QString::fromStdString(ConfigHome())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
        QCOMPARE(second.readAllStandardError(), QByteArray());
    }

    // The program started twice: the second ends within 2 s with status 0,
    // the first goes on. A lock left by a killed program is taken over, and
    // a program ended by a signal takes its lock and socket away.
    void twoProgramsOneFolder() {
        const QString socket = ProgramLock::SocketPath(Folder());
        {
            Program first;
            QTRY_VERIFY(LockHolder() == first.processId() && Listening(socket));
            // Only this user can ask the program anything.
            QCOMPARE(QFileInfo(socket).permissions() &
                         ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                     QFile::Permissions());
            Program second;
            QVERIFY(second.EndedWithin(2000));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            QCOMPARE(first.state(), QProcess::Running);
        }
        QVERIFY(QFile::exists(LockFile()));
        Program third;
        QTRY_VERIFY(LockHolder() == third.processId() && Listening(socket));
        third.terminate();
        QVERIFY(third.EndedWithin(5000));
        QVERIFY(!QFile::exists(LockFile()));
        QVERIFY(!QFile::exists(socket));
    }

    // A program ended by a signal at the very moment its lock file appears
    // leaves neither the lock file nor the socket behind.
    void endedAsTheLockAppears() {
        for (int round = 0; round < 20; ++round) {
            Program program;
            // Looked for without a pause, to end it as close to the moment as can be.
            const QByteArray lock = QFile::encodeName(LockFile());
            struct stat seen;
            QDeadlineTimer deadline(10000);
            while (::stat(lock.constData(), &seen) != 0 && !deadline.hasExpired()) {
            }
            program.terminate();
            QVERIFY(!deadline.hasExpired());
            QVERIFY(program.EndedWithin(5000));
            QCOMPARE(FolderEntries(), QStringList{"flickstow"});
            QVERIFY(!QFile::exists(ProgramLock::SocketPath(Folder())));
        }
    }

    // A start that only shows the list maps none of the libraries of
    // printing, pictures, HTML pages, Tellico collections, scanners or
    // networks, nor an image plug-in,
    // also once the scanner's source manager is loaded (500 ms after the
    // window is shown).
    void startMapsNoFeatureLibrary() {
        PutCatalogue("Solaris\r\nDrama\r\n");
        Program program;
        QTRY_VERIFY_WITH_TIMEOUT(Mapped(program.processId()).filter("libtwain_32.so").size() == 1, 20000);
        const QStringList mapped = Mapped(program.processId());
        for (const char* library :
             {"libcups.so", "libjpeg.so", "libgumbo.so", "libzip.so", "/imageformats/", "libsane", "libQt6Network"})
            QVERIFY2(mapped.filter(library).isEmpty(), qPrintable(mapped.filter(library).join(", ")));
        QCOMPARE(program.state(), QProcess::Running);
    }

    // The lock goes when the program ends, and a live program's lock is
    // never taken, even when it does not answer. A lock another machine
    // holds (a folder on a network share) stops no start and stays as it is.
    void lockOfThisMachineOnly() {
        {
            ProgramLock lock(Folder());
            QCOMPARE(lock.Claim(), ProgramLock::Start::Alone);
            QVERIFY(QFile::exists(LockFile()));
        }
        QVERIFY(!QFile::exists(LockFile()));
        {
            QLockFile silent(LockFile());
            QVERIFY(silent.tryLock(0));
            QCOMPARE(ProgramLock(Folder()).Claim(), ProgramLock::Start::NoAnswer);
        }
        const AnsiString foreign = "4242\nflickstow\nfilm-server-in-the-cellar\n";
        WriteFile(InProgramDir(ProgramLock::kFileName), foreign);
        {
            ProgramLock lock(Folder());
            QCOMPARE(lock.Claim(), ProgramLock::Start::Unlocked);
        }
        QCOMPARE(ReadFile(InProgramDir(ProgramLock::kFileName)), foreign);
        // Only a dead program's socket is taken away, never another file.
        QFile other(ProgramLock::SocketPath(Folder()));
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("not ours") == 8);
        other.close();
        QFile::remove(LockFile());
        {
            ProgramLock lock(Folder());
            QCOMPARE(lock.Claim(), ProgramLock::Start::Alone);
        }
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("not ours"));
    }
};

FLICKSTOW_TEST_MAIN(TestProgramLock)
#include "test_programlock.moc"
