#pragma once
// The text of a printed page: each page is drawn as text and pictures on the
// 800 x 1200 page bitmap (logo, title, notice, date, "Page : k of P", the
// column header, then up to 50 rows of fixed-width columns), and placed on
// the printer page as high as it and centred across it.

#include "app/catalogue/RecordStore.h"
#include "platform/graphics/graphics.h"

#include <QImage>

inline constexpr int kRowsPerPage = 50;
inline constexpr int kPageBitmapWidth = 800, kPageBitmapHeight = 1200;

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
