#include "platform/programlock/ProgramLock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <csignal>
#include <cstring>
#include <iterator>
#include <pthread.h>
#include <unistd.h>

namespace {

// What a later start says over the socket, and what the program answers
// once it has come to the front.
const QByteArray kRequest = "front\n";
const QByteArray kAnswer = "done\n";

// What a program ended by a signal (logging out, closing its terminal)
// takes away as it goes, as it would when it ends by itself. Kept as plain
// bytes: the handler may only call what is safe in one.
char g_lockFile[4096];
char g_socketFile[4096];
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_before[std::size(kEndingSignals)];
bool g_handling = false;

void RemoveOnSignal(int signal) {
    if (g_lockFile[0]) ::unlink(g_lockFile);
    if (g_socketFile[0]) ::unlink(g_socketFile);
    // The handler was for once only: the signal now ends the program.
    ::raise(signal);
}

// Sets whether the calling thread holds the ending signals back.
void HoldBack(int how) {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kEndingSignals) sigaddset(&set, signal);
    pthread_sigmask(how, &set, nullptr);
}

void Remember(char (&into)[4096], const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    into[0] = 0;
    const size_t size = static_cast<size_t>(bytes.size());
    if (size < sizeof into) std::memcpy(into, bytes.constData(), size + 1);
}

}  // namespace

ProgramLock::ProgramLock(const QString& folder, QObject* parent) : QObject(parent), folder_(folder) {}

ProgramLock::~ProgramLock() {
    // The files go first: a signal that comes meanwhile finds them gone.
    lock_.reset();
    if (server_) server_->close();
    if (g_handling) {
        for (size_t i = 0; i < std::size(kEndingSignals); ++i) ::sigaction(kEndingSignals[i], &g_before[i], nullptr);
        g_handling = false;
    }
    g_lockFile[0] = g_socketFile[0] = 0;
}

void ProgramLock::HoldEndingSignals() { HoldBack(SIG_BLOCK); }

QString ProgramLock::SocketPath(const QString& folder) {
    QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) canonical = QDir::cleanPath(QDir(folder).absolutePath());
    // A socket's path is short (108 bytes): the folder goes in as a digest.
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha256).toHex().left(32);
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return dir + "/flickstow-" + QString::fromLatin1(digest) + ".socket";
}

ProgramLock::Start ProgramLock::Claim() {
    // Whatever the start comes to, an ending signal held back until now
    // is delivered once this returns, the handler knowing what to remove.
    struct Deliver {
        ~Deliver() { HoldBack(SIG_UNBLOCK); }
    } deliver;
    // A program that answers for the folder holds it, whatever the lock
    // file says.
    if (HandOver(0)) return Start::HandedOver;
    lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(kFileName));
    // Only a process that is gone makes its lock stale, never the lock's
    // age: a program may run for days.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        Remember(g_lockFile, lock_->fileName());
        RemoveOnEndingSignals();
        Listen();
        return Start::Alone;
    }
    qint64 pid = 0;
    QString host, program;
    const bool held = lock_->error() == QLockFile::LockFailedError && lock_->getLockInfo(&pid, &host, &program);
    if (held && (host.isEmpty() || host == QSysInfo::machineHostName())) {
        // A program of this machine holds it; it listens once it has it.
        lock_.reset();
        return HandOver(1500) ? Start::HandedOver : Start::NoAnswer;
    }
    lock_.reset();
    // Later starts on this machine still come here.
    Listen();
    return Start::Unlocked;
}

bool ProgramLock::HandOver(int milliseconds) {
    const QString path = SocketPath(folder_);
    QDeadlineTimer deadline(milliseconds);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(250)) {
            socket.write(kRequest);
            if (!socket.waitForBytesWritten(1000)) return false;
            // The answer comes once the window is in front; a program busy
            // with something long has the request all the same.
            socket.waitForReadyRead(1000);
            return true;
        }
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
}

void ProgramLock::Listen() {
    const QString path = SocketPath(folder_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Known before the socket is there: a signal may come at any moment.
    Remember(g_socketFile, path);
    RemoveOnEndingSignals();
    // Nobody answered on the socket: one lying there is a dead program's.
    if (!server_->listen(path)) {
        QLocalServer::removeServer(path);
        server_->listen(path);
    }
    if (!server_->isListening()) g_socketFile[0] = 0;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    if (socket->readLine() != kRequest) continue;
                    emit ActivationRequested();
                    socket->write(kAnswer);
                    socket->flush();
                }
                // Requests are short lines; anything else is not listened to.
                if (socket->bytesAvailable() > 64) socket->abort();
            });
        }
    });
}

void ProgramLock::RemoveOnEndingSignals() {
    if (g_handling) return;
    struct sigaction action = {};
    action.sa_handler = RemoveOnSignal;
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
        ::sigaction(kEndingSignals[i], nullptr, &g_before[i]);
        // A signal the program was started to ignore stays ignored.
        if (g_before[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &action, nullptr);
    }
    g_handling = true;
}
