#pragma once
// The print job: every page of the film list drawn on the page bitmap and
// printed through the bitmap printer, with its progress shown for long jobs.

#include "app/mainwindow/PrintPage.h"

class QWidget;
class TPrintDIB;
class TPrinter;

// Jobs of more pages than this show their progress and can be cancelled.
inline constexpr int kQuietPages = 3;
inline constexpr const char* kPrintJobTitle = "Varnholt Flickstow 1.5";

// Draws the page bitmap onto the printer's current page.
void PrintPageImage(TPrinter& printer, TPrintDIB& printDIB, TBitmap& page);

// What a print job needs.
struct PrintJob {
    TPrinter& printer;
    TPrintDIB& printDIB;
    TBitmap& page;       // the page bitmap, fresh for each page
    const QImage& logo;  // drawn at the top left of every page
    const RecordStore& rows;
    QWidget* window;  // parent of the progress dialog
};
// Prints every row as a job on the printer. A job of more than a few pages
// shows its progress with a Cancel button; false when the user cancelled
// and the job was dropped. A failing printer raises, after the job was
// dropped.
bool PrintFilmList(const PrintJob& job);
