#include "app/mainwindow/PrintJob.h"

#include "components/Printdib/Printdib.h"
#include "platform/dialogs/dialogs.h"
#include "platform/printer/printer.h"

#include <QApplication>
#include <QProgressDialog>
#include <memory>

void PrintPageImage(TPrinter& printer, TPrintDIB& printDIB, TBitmap& page) {
    const PagePlacement at = PlacePage(printer.PageWidth(), printer.PageHeight(), page.Width(), page.Height());
    printDIB.StretchDrawDIB(printer.Canvas(), at.x, at.y, at.width, at.height, page);
}

bool PrintFilmList(const PrintJob& job) {
    const size_t rows = job.rows.size();
    const int pages = PageCount(rows);
    job.printer.Title = kPrintJobTitle;
    job.printer.BeginDoc();
    try {
        std::unique_ptr<QProgressDialog> progress;
        if (pages > kQuietPages) {
            progress = dialogs::ProgressBox(job.window, "PrintProgress", kPrintJobTitle, "", pages);
        }
        for (int k = 1; k <= pages; ++k) {
            if (progress) {
                progress->setLabelText(QString("Printing page %1 of %2").arg(k).arg(pages));
                progress->setValue(k - 1);
                QApplication::processEvents();
                if (progress->wasCanceled()) {
                    job.printer.Abort();
                    return false;
                }
            }
            DrawPageHeader(job.page, job.logo, k, pages);
            DrawPageRows(job.page, job.rows, k);
            PrintPageImage(job.printer, job.printDIB, job.page);
            job.page.Clear(kPageBitmapWidth, kPageBitmapHeight);
            if (static_cast<size_t>(k) * kRowsPerPage >= rows) break;
            job.printer.NewPage();
        }
        job.printer.EndDoc();
    } catch (...) {
        job.printer.Abort();
        throw;
    }
    return true;
}
