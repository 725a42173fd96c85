#pragma once
// The printer set-up dialog: printer (a CUPS destination or a PDF file),
// paper and orientation of the current printer. In tests it is not shown:
// each Execute is counted and answered from a queue.

#include <QObject>

class TPrinterSetupDialog : public QObject {
    Q_OBJECT
public:
    explicit TPrinterSetupDialog(QObject* owner = nullptr) : QObject(owner) {}

    // Shows the dialog; true when the user chose OK, and the choice then
    // holds for the rest of the run. Raises EPrinter when there is no
    // printer whose settings it could show.
    bool Execute();
};

namespace dialogs::test {
enum class PrinterSetupAnswer { OK, Cancel, CannotShow };
void QueuePrinterSetupAnswer(PrinterSetupAnswer answer);
// How often the dialog was asked for since the last reset.
int PrinterSetupShown();
// Forgets the count and every answer still queued.
void ResetPrinterSetup();
}  // namespace dialogs::test
