#include "platform/dialogs/PrinterSetupDialog.h"

#include "platform/dialogs/dialogs.h"
#include "platform/printer/printer.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPushButton>
#include <deque>

namespace dialogs::test {
namespace {
struct SetupQueue {
    std::deque<PrinterSetupAnswer> answers;
    int shown = 0;
};
SetupQueue& Queue() {
    static SetupQueue queue;
    return queue;
}
}  // namespace
void QueuePrinterSetupAnswer(PrinterSetupAnswer answer) { Queue().answers.push_back(answer); }
int PrinterSetupShown() { return Queue().shown; }
void ResetPrinterSetup() { Queue() = {}; }
}  // namespace dialogs::test

bool TPrinterSetupDialog::Execute() {
    if (dialogs::test::Enabled()) {
        auto& q = dialogs::test::Queue();
        ++q.shown;
        if (q.answers.empty()) qFatal("Printer set-up shown without a queued answer");
        const dialogs::test::PrinterSetupAnswer a = q.answers.front();
        q.answers.pop_front();
        if (a == dialogs::test::PrinterSetupAnswer::CannotShow)
            throw EPrinter("There is no default printer currently selected");
        return a == dialogs::test::PrinterSetupAnswer::OK;
    }
    auto* system = dynamic_cast<TSystemPrinter*>(&printer::Printer());
    if (!system) throw EPrinter("There is no default printer currently selected");
    QPrintDialog dialog(&system->Settings(), QApplication::activeWindow());
    dialog.setWindowTitle("Printer Setup");
    // Printer, paper and orientation only: every job prints all its pages.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    // It chooses a printer; it prints nothing.
    for (QDialogButtonBox* buttons : dialog.findChildren<QDialogButtonBox*>())
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setText("OK");
    if (dialog.exec() != QDialog::Accepted) return false;
    system->SetChosen();
    return true;
}
