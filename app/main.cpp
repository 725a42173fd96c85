// Start-up: the application object, its title, the windows, the event loop.

#include "dialogs/Application.h"
#include "mainwindow/TForm1.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    dialogs::SetApplicationTitle(kApplicationTitle);
    try {
        // The main window makes its dialogs; all live until the end.
        TForm1 form1;
        form1.show();
        return app.exec();
    } catch (...) {
        dialogs::ShowCurrentException();
        return 1;
    }
}
