#include "app/mainwindow/PrintPage.h"

#include <QDate>
#include <QLocale>
#include <algorithm>
#include <array>

namespace {

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
