#include "platform/programlock/ProgramLock.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace {

// What a later start says over the socket, and what the program answers
// once it has come to the front.
constexpr std::string_view kRequest = "front\n";
constexpr std::string_view kAnswer = "done\n";
// Requests are short lines; a caller that says more is not listened to.
constexpr size_t kMostUnread = 64;

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

// A socket file descriptor, closed as it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// The address of a socket file; false when the path is too long for one.
bool AddressOf(const QString& path, sockaddr_un& address) {
    const QByteArray bytes = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (size_t(bytes.size()) >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

sockaddr* Generic(sockaddr_un& address) { return reinterpret_cast<sockaddr*>(&address); }

// Waits up to the time given for the socket to be ready for what is asked.
bool Ready(int fd, short events, int milliseconds) {
    pollfd wanted{fd, events, 0};
    int n = 0;
    do n = ::poll(&wanted, 1, milliseconds);
    while (n < 0 && errno == EINTR);
    return n > 0 && (wanted.revents & events) != 0;
}

}  // namespace

// A later start that connected, and what it said so far; a child of the
// lock, so that it goes with it.
struct ProgramLock::Caller : QObject {
    Caller(int socket, QObject* parent)
        : QObject(parent), fd(socket), notifier(new QSocketNotifier(socket, QSocketNotifier::Read, this)) {}
    // The notifier goes before the socket closes.
    ~Caller() override { delete notifier; }
    Caller(const Caller&) = delete;
    Caller& operator=(const Caller&) = delete;

    Descriptor fd;
    QSocketNotifier* notifier;
    std::string unread;
};

ProgramLock::ProgramLock(const QString& folder, QObject* parent) : QObject(parent), folder_(folder) {}

ProgramLock::~ProgramLock() {
    // The files go first: a signal that comes meanwhile finds them gone.
    lock_.reset();
    if (listening_) ::unlink(g_socketFile);
    qDeleteAll(findChildren<Caller*>(Qt::FindDirectChildrenOnly));
    server_.reset();
    if (listener_ >= 0) ::close(listener_);
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
    sockaddr_un address;
    if (!AddressOf(SocketPath(folder_), address)) return false;
    QDeadlineTimer deadline(milliseconds);
    for (;;) {
        // Never waiting to connect: a program that listens but takes no
        // calls (its queue full) is asked again until the time is up.
        Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (socket.get() < 0) return false;
        if (::connect(socket.get(), Generic(address), sizeof address) == 0) {
            if (!Ready(socket.get(), POLLOUT, 1000) ||
                ::send(socket.get(), kRequest.data(), kRequest.size(), MSG_NOSIGNAL) != ssize_t(kRequest.size()))
                return false;
            // The answer comes once the window is in front; a program busy
            // with something long has the request all the same.
            Ready(socket.get(), POLLIN, 1000);
            return true;
        }
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
}

void ProgramLock::Listen() {
    const QString path = SocketPath(folder_);
    // Known before the socket is there: a signal may come at any moment.
    Remember(g_socketFile, path);
    RemoveOnEndingSignals();
    sockaddr_un address;
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    bool bound = socket.get() >= 0 && AddressOf(path, address);
    if (bound && ::bind(socket.get(), Generic(address), sizeof address) != 0) {
        // Nobody answered on the socket: one lying there is a dead
        // program's. Anything else there is left alone.
        struct stat there;
        bound = errno == EADDRINUSE && ::lstat(address.sun_path, &there) == 0 && S_ISSOCK(there.st_mode) &&
                ::unlink(address.sun_path) == 0 && ::bind(socket.get(), Generic(address), sizeof address) == 0;
    }
    // Only this user may ask; nobody can before it listens.
    listening_ = bound && ::chmod(address.sun_path, S_IRUSR | S_IWUSR) == 0 && ::listen(socket.get(), 8) == 0;
    if (!listening_) {
        if (bound) ::unlink(address.sun_path);
        g_socketFile[0] = 0;
        return;
    }
    listener_ = socket.release();
    server_ = std::make_unique<QSocketNotifier>(listener_, QSocketNotifier::Read);
    connect(server_.get(), &QSocketNotifier::activated, this, [this] {
        int fd = -1;
        while ((fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
            auto* caller = new Caller(fd, this);
            connect(caller->notifier, &QSocketNotifier::activated, this, [this, caller] { Hear(caller); });
        }
    });
}

ProgramLock::Heard ProgramLock::TakeRequests(std::string& unread) {
    Heard heard;
    size_t from = 0;
    for (size_t end = 0; (end = unread.find('\n', from)) != std::string::npos; from = end + 1)
        heard.requests += std::string_view(unread).substr(from, end + 1 - from) == kRequest;
    unread.erase(0, from);
    heard.tooLong = unread.size() > kMostUnread;
    return heard;
}

void ProgramLock::Hear(Caller* caller) {
    char bytes[256];
    ssize_t n = 0;
    while ((n = ::recv(caller->fd.get(), bytes, sizeof bytes, 0)) > 0) caller->unread.append(bytes, size_t(n));
    const bool ended = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    const Heard heard = TakeRequests(caller->unread);
    for (size_t k = 0; k < heard.requests; ++k) {
        emit ActivationRequested();
        ::send(caller->fd.get(), kAnswer.data(), kAnswer.size(), MSG_NOSIGNAL);
    }
    if (!ended && !heard.tooLong) return;
    // Gone, or saying too much: let go of it once its notifier is done.
    caller->notifier->setEnabled(false);
    caller->deleteLater();
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
