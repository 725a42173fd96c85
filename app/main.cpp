// Start-up: the application object, its title, the windows, the event loop.

#include "app/mainwindow/TForm1.h"
#include "platform/dialogs/Application.h"
#include "platform/module/module.h"
#include "platform/programlock/ProgramLock.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <memory>

namespace {
// While the windows are made, Qt sees no plug-ins: the program's own
// pictures (PNG) are read by Qt's built-in reader, where Qt would otherwise
// load every image plug-in (JPEG with libjpeg, GIF, ...) to ask each whether
// it reads them. Afterwards the plug-ins are there for whatever needs them.
class BuiltInImageReadersOnly {
public:
    BuiltInImageReadersOnly() : paths_(QCoreApplication::libraryPaths()) { QCoreApplication::setLibraryPaths({}); }
    ~BuiltInImageReadersOnly() { QCoreApplication::setLibraryPaths(paths_); }

private:
    QStringList paths_;
};
}  // namespace

int main(int argc, char** argv) {
    ProgramLock::HoldEndingSignals();
    TApplication app(argc, argv);
    dialogs::SetApplicationTitle(kApplicationTitle);
    // One program per program folder: a second start brings the first one's
    // window to the front and ends before it reads or writes anything.
    const QString folder = QFileInfo(QFile::decodeName(module::ExecutablePath().c_str())).absolutePath();
    ProgramLock lock(folder);
    switch (lock.Claim()) {
    case ProgramLock::Start::HandedOver: return 0;
    case ProgramLock::Start::NoAnswer:
        // Hung, or not this program after all: the user is told, and no
        // second window works on the same files.
        dialogs::ShowErrorBox(ansi::FromQString("Flickstow already runs for the folder " + folder +
                                                ", but does not answer. End it, then start Flickstow again"));
        return 1;
    default: break;
    }
    try {
        // The main window makes its dialogs; all live until the end.
        // The style comes first: the desktop's may be a plug-in.
        QApplication::style();
        auto made = [] {
            BuiltInImageReadersOnly builtIn;
            return std::make_unique<TForm1>();
        };
        std::unique_ptr<TForm1> form1 = made();
        QObject::connect(&lock, &ProgramLock::ActivationRequested, form1.get(), &TForm1::BringToFront);
        form1->show();
        return app.exec();
    } catch (...) {
        dialogs::ShowCurrentException();
        return 1;
    }
}
