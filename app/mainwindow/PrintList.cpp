#include "app/mainwindow/PrintList.h"

#include "components/Printdib/Printdib.h"
#include "platform/printer/printer.h"

#include <QApplication>
#include <QDate>
#include <QHeaderView>
#include <QLocale>
#include <QProgressDialog>
#include <QTableView>
#include <array>
#include <memory>

namespace {

struct PrintColumn {
    const char* caption;
    int width;
};
constexpr std::array<PrintColumn, 9> kPrintColumns = {{{"Titel", 200},
                                                       {"#", 50},
                                                       {"Genre", 100},
                                                       {"Language", 80},
                                                       {"Type", 50},
                                                       {"Disks", 50},
                                                       {"Status", 80},
                                                       {"Viewed", 70},
                                                       {"Rating", 50}}};
// The list holds the title and this many fields after it.
constexpr int kFilledFields = 8;

// The printed columns: field, width in characters, right-aligned.
struct PrintedColumn {
    MovieField field;
    int width;
    bool right;
};
constexpr std::array<PrintedColumn, 8> kPrintedColumns = {{{FieldMID, 4, true},
                                                           {FieldTitle, 29, false},
                                                           {FieldGenre, 14, false},
                                                           {FieldLanguage, 9, false},
                                                           {FieldMedia, 8, false},
                                                           {FieldDisks, 5, false},
                                                           {FieldStatus, 9, false},
                                                           {FieldViewed, 5, false}}};

const char* const kColumnHeader =
    " MID Title                         Genre          Language  Media    Disks Status    Viewed";
const char* const kNotice = "(c) 2003 Varnholt";

constexpr int kRowsLeft = 70, kRowsTop = 110, kRowStep = 20;

void SetFont(TCanvas& c, const char* name, TColor color, int points, bool bold) {
    c.Font.Name = name;
    c.Font.Color = color;
    c.Font.SetSize(points);
    c.Font.Bold = bold;
}

}  // namespace

// ---- the print list

int PrintListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PrintListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kPrintColumns.size());
}

QVariant PrintListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return ansi::ToQString(rows_.Field(static_cast<size_t>(index.row()), index.column()));
}

QVariant PrintListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return {};
    return QString(kPrintColumns[static_cast<size_t>(section)].caption);
}

void PrintListModel::Fill(const RecordStore& films, const std::vector<bool>* flagged) {
    beginResetModel();
    rows_.Clear();
    for (size_t i = 0; i < films.size(); ++i) {
        if (flagged && !(*flagged)[i]) continue;
        RecordStore::FieldViews fields = films.Fields(i);
        // The list holds what a page can show, not a copy of huge texts.
        for (std::string_view& field : fields) field = ansi::ShownPart(field);
        for (int f = kFilledFields; f < FieldCount; ++f) fields[static_cast<size_t>(f)] = {};
        rows_.Append(fields);
    }
    endResetModel();
}

QTableView* MakePrintListView(QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName("PrintListView");
    view->setModel(new PrintListModel(view));
    for (size_t c = 0; c < kPrintColumns.size(); ++c)
        view->horizontalHeader()->resizeSection(static_cast<int>(c), kPrintColumns[c].width);
    view->hide();
    return view;
}

PrintListModel& PrintRows(QTableView* printListView) { return *static_cast<PrintListModel*>(printListView->model()); }

// ---- the text of a page

AnsiString FitText(std::string_view text, int n, bool rightAlign) {
    const size_t width = static_cast<size_t>(std::max(n, 0));
    if (text.size() > width)
        return AnsiString(text.substr(0, width >= 2 ? width - 2 : 0)) + AnsiString(std::min<size_t>(width, 2), '.');
    AnsiString padding(width - text.size(), ' ');
    return rightAlign ? padding + AnsiString(text) : AnsiString(text) + padding;
}

int PageCount(size_t rows) { return static_cast<int>(std::max<size_t>(1, (rows + kRowsPerPage - 1) / kRowsPerPage)); }

AnsiString PrintedLine(const RecordStore& rows, size_t row) {
    AnsiString line;
    for (const PrintedColumn& c : kPrintedColumns) {
        if (!line.empty()) line += ' ';
        line += FitText(rows.Field(row, c.field), c.width, c.right);
    }
    return line;
}

void DrawPageHeader(TBitmap& page, const QImage& logo, int k, int pageCount) {
    page.Clear(kPageBitmapWidth, kPageBitmapHeight);
    TCanvas& c = page.Canvas();
    c.StretchImage(1, 20, logo.width(), logo.height(), logo, logo.rect());
    SetFont(c, "Verdana", graphics::Rgb(0, 0, 255), 12, true);
    c.TextOut(50, 20, "Varnholt Flickstow 1.3");
    c.TextOut(1, 60, AnsiString(80, '_'));
    SetFont(c, "Verdana", graphics::Rgb(0, 0, 255), 8, false);
    c.TextOut(50, 40, kNotice);
    c.Font.Color = clBlack;
    const AnsiString date = ansi::FromQString(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    c.TextOut(
        500, 40,
        "   Date : " + date + "                    Page : " + ansi::IntToStr(k) + " of " + ansi::IntToStr(pageCount));
    SetFont(c, "Courier New", clBlack, 10, true);
    c.TextOut(70, 100, kColumnHeader);
    c.Font.Bold = false;
}

void DrawPageRows(TBitmap& page, const RecordStore& rows, int k) {
    TCanvas& c = page.Canvas();
    SetFont(c, "Courier New", clBlack, 10, false);
    for (int l = 1; l <= kRowsPerPage; ++l) {
        const size_t row = static_cast<size_t>(k - 1) * kRowsPerPage + static_cast<size_t>(l - 1);
        if (row >= rows.size()) break;
        c.TextOut(kRowsLeft, kRowsTop + kRowStep * l, PrintedLine(rows, row));
    }
}

// ---- printing

PagePlacement PlacePage(int pageWidth, int pageHeight, int bitmapWidth, int bitmapHeight) {
    // 64-bit products: printer pages run to tens of thousands of pixels.
    long long width = 0, height = 0;
    if (pageWidth != pageHeight && bitmapHeight < bitmapWidth) {
        width = pageWidth;
        height = static_cast<long long>(bitmapHeight) * pageWidth / bitmapWidth;
    } else if (pageWidth != pageHeight && bitmapWidth < bitmapHeight) {
        height = pageHeight;
        width = static_cast<long long>(bitmapWidth) * pageHeight / bitmapHeight;
    }
    return {static_cast<int>((pageWidth - width) / 2), static_cast<int>((pageHeight - height) / 2),
            static_cast<int>(width), static_cast<int>(height)};
}

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
            progress = std::make_unique<QProgressDialog>("", "Cancel", 0, pages, job.window);
            progress->setObjectName("PrintProgress");
            progress->setWindowTitle(kPrintJobTitle);
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->show();
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
