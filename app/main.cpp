// Start-up: the application object, its title, the windows, the event loop.

#include "dialogs/Application.h"
#include "entryeditor/TForm2.h"
#include "genres/TForm4.h"
#include "mainwindow/TForm1.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    dialogs::SetApplicationTitle(kApplicationTitle);
    try {
        // The windows in their order of creation; all live until the end.
        TForm1 form1;
        TForm2 form2(&form1);
        TForm4 form4(&form1);
        form1.Form2 = &form2;
        form1.Form4 = &form4;
        form1.show();
        return app.exec();
    } catch (...) {
        dialogs::ShowCurrentException();
        return 1;
    }
}
