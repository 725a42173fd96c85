// Start-up: the application object, its title, the windows, the event loop.

#include "app/mainwindow/TForm1.h"
#include "platform/dialogs/Application.h"
#include "platform/module/module.h"
#include "platform/programlock/ProgramLock.h"

#include <QFile>
#include <QFileInfo>

int main(int argc, char** argv) {
    ProgramLock::HoldEndingSignals();
    TApplication app(argc, argv);
    dialogs::SetApplicationTitle(kApplicationTitle);
    // One program per program folder: a second start brings the first one's
    // window to the front and ends before it reads or writes anything.
    const QString folder = QFileInfo(QFile::decodeName(module::ExecutablePath().c_str())).absolutePath();
    ProgramLock lock(folder);
    switch (lock.Claim()) {
    case ProgramLock::Start::HandedOver:
        return 0;
    case ProgramLock::Start::NoAnswer:
        // Hung, or not this program after all: the user is told, and no
        // second window works on the same files.
        dialogs::ShowErrorBox(ansi::FromQString("Flickstow already runs for the folder " + folder +
                                                ", but does not answer. End it, then start Flickstow again"));
        return 1;
    default:
        break;
    }
    try {
        // The main window makes its dialogs; all live until the end.
        TForm1 form1;
        QObject::connect(&lock, &ProgramLock::ActivationRequested, &form1, &TForm1::BringToFront);
        form1.show();
        return app.exec();
    } catch (...) {
        dialogs::ShowCurrentException();
        return 1;
    }
}
