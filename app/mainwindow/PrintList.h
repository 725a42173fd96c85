#pragma once
// The printed film list. Each page is drawn as text and pictures on the
// 800 x 1200 page bitmap (logo, title, notice, date, "Page : k of P", the
// column header, then up to 50 rows of fixed-width columns) and that bitmap
// is printed through the bitmap printer, as high as the printer page and
// centred across it.

#include "app/catalogue/RecordStore.h"
#include "platform/graphics/graphics.h"

#include <QAbstractTableModel>
#include <QImage>
#include <vector>

class QTableView;
class QWidget;
class TPrintDIB;
class TPrinter;

inline constexpr int kRowsPerPage = 50;
inline constexpr int kPageBitmapWidth = 800, kPageBitmapHeight = 1200;
// Jobs of more pages than this show their progress and can be cancelled.
inline constexpr int kQuietPages = 3;
inline constexpr const char* kPrintJobTitle = "Varnholt Flickstow 1.5";

// The rows to print, with the print list's columns: the title and the
// first seven fields after it (MID to Viewed); Rating stays empty.
class PrintListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Empties the list and copies in the films whose flag is set (all of
    // them without flags), in display order, each text cut to what a
    // control is handed (ansi::kShownLength).
    void Fill(const RecordStore& films, const std::vector<bool>* flagged = nullptr);
    const RecordStore& Rows() const { return rows_; }

private:
    RecordStore rows_;
};

// The invisible report list holding the rows of the last job.
QTableView* MakePrintListView(QWidget* parent);
PrintListModel& PrintRows(QTableView* printListView);

// The text in exactly n characters: a longer one cut to its first n - 2
// followed by "..", a shorter one padded with spaces (on the left when
// right-aligned).
AnsiString FitText(std::string_view text, int n, bool rightAlign = false);
// Pages for N rows: N / 50 rounded up, at least 1.
int PageCount(size_t rows);
// The line printed for a row: MID, Title, Genre, Language, Media, Disks,
// Status and Viewed fitted to 4 (right-aligned), 29, 14, 9, 8, 5, 9 and 5
// characters, one space between them.
AnsiString PrintedLine(const RecordStore& rows, size_t row);

// Clears the page bitmap and draws the header of page k of P.
void DrawPageHeader(TBitmap& page, const QImage& logo, int k, int pageCount);
// The rows of page k, the first at y = 130, every 20 pixels.
void DrawPageRows(TBitmap& page, const RecordStore& rows, int k);

// Where the page bitmap goes on a printer page of PW x PH device pixels:
// as high as the page and centred across it (as wide and centred down it
// for a bitmap wider than high); nothing at all on a square page.
struct PagePlacement {
    int x, y, width, height;
};
PagePlacement PlacePage(int pageWidth, int pageHeight, int bitmapWidth, int bitmapHeight);
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
