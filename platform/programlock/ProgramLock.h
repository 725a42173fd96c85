#pragma once
// One program per program folder on one machine. The program that starts
// first on a folder holds the lock file "flickstow.lock" in it (process,
// host and program noted inside, so that the lock of a program that died is
// taken over) and listens on a local socket named from the folder's
// canonical path, in the user's runtime folder ($XDG_RUNTIME_DIR). A later
// start on the same folder asks it over that socket to come to the front,
// and ends. A lock another machine holds (a folder on a network share)
// stops no start: the checks before every save protect both programs then.

#include <QObject>
#include <QString>
#include <memory>
#include <string>

class QLockFile;
class QSocketNotifier;

class ProgramLock : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kFileName = "flickstow.lock";

    // How a start on the folder goes on.
    enum class Start {
        Alone,       // this program holds the lock and answers later starts
        Unlocked,    // another machine holds the lock, or none can be made:
                     // this program runs without it
        HandedOver,  // a program runs for the folder on this machine and
                     // was asked to come to the front: this one ends
        NoAnswer     // such a program holds the lock but does not answer
    };

    explicit ProgramLock(const QString& folder, QObject* parent = nullptr);
    // Removes the lock file and the socket again, if this program made them.
    ~ProgramLock() override;

    // Holds SIGTERM, SIGINT and SIGHUP back in the calling thread and in
    // every thread it starts from then on, until Claim returns: called
    // first thing in main, a signal never comes between the lock file's
    // making and the moment the program knows to take it away.
    static void HoldEndingSignals();

    // Reads and writes nothing but the lock file and the socket.
    Start Claim();

    // Where the socket for a folder lies.
    static QString SocketPath(const QString& folder);

    // What a later start said, read as lines: how many asked the program to
    // come to the front, and whether it said more than a request without
    // ending a line (it is let go then).
    struct Heard {
        size_t requests = 0;
        bool tooLong = false;
    };
    // Takes the whole lines out of what was said so far.
    static Heard TakeRequests(std::string& unread);

signals:
    // A later start on the folder asked this program to come to the front.
    void ActivationRequested();

private:
    // Asks a program that listens for the folder to come to the front,
    // trying for up to the given time; true when one took the request.
    bool HandOver(int milliseconds);
    void Listen();
    struct Caller;
    // Reads what a later start said, and answers its requests.
    void Hear(Caller* caller);
    // The lock file and the socket also go when a signal ends the program.
    void RemoveOnEndingSignals();

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    int listener_ = -1;  // the listening socket
    std::unique_ptr<QSocketNotifier> server_;
    bool listening_ = false;  // the socket file is this program's
};
