#pragma once
// The entry editor's cover picture: browsing for a JPEG file, scanning a
// page, clearing the picture, the preview and the thumbnail that the
// entry's picture field names. The editor owns one and forwards its
// handlers (Button1Click, SpeedButton4Click, SpeedButton6Click,
// TWAINScanReady, LadeBild, MakeThumbnail) to it; the controls it works on
// (Image2, Panel2, Edit4, Image3, TWAIN, ...) are the editor's.

#include "platform/ansi/ansi.h"

class QEventLoop;
class TForm2;

class CoverPicture {
public:
    explicit CoverPicture(TForm2& form) : form_(form) {}
    CoverPicture(const CoverPicture&) = delete;
    CoverPicture& operator=(const CoverPicture&) = delete;

    // Asks before replacing a picture, then takes a JPEG file from the
    // picture dialog and makes its thumbnail.
    void Browse();
    // Asks, then removes the picture.
    void Clear();
    // Scans a page with the editor's scanner, keeps it in a scan file and,
    // when the user agrees, makes it the thumbnail.
    void Scan();
    // The scanner is done, with or without a page.
    void ScanReady();

    // Shows a JPEG file in the preview, scaled to fit the panel.
    void Show(const AnsiString& fileName);
    // Makes the thumbnail of a picture file under a free name with the
    // number, and names it in Edit4 (see TForm2::MakeThumbnail).
    void MakeThumbnail(const AnsiString& source, int number, bool shown);
    // The same without naming it in Edit4: the new thumbnail's name.
    AnsiString NewThumbnail(const AnsiString& source, int number, bool shown);

    // While a scan runs: set once the scanner is done; and the file the page
    // is kept in until it is a thumbnail.
    bool ScanDone() const { return scanDone_; }
    const AnsiString& ScanFileName() const { return scanFileName_; }

private:
    // Empties the preview and Edit4; in modify mode the record loses its
    // picture at once. Deletes the old thumbnail when it is the program's.
    void RemoveCurrent();
    // The preview panel as the bytes of the thumbnail's JPEG file.
    AnsiString CaptureThumbnail();
    // Writes the scanned page into the scan file (an empty file when no page
    // came) and empties Image3.
    void WriteScanFile();
    // Waits in the event loop until the scanner is done, raised an error
    // (raised here in turn), is gone, or the application quits. False when
    // the dialog itself went meanwhile: nothing of it may be touched then.
    bool WaitForScan();

    TForm2& form_;
    bool scanDone_ = false;
    AnsiString scanFileName_;
    // The wait for the scanner while one runs.
    QEventLoop* scanWait_ = nullptr;
};
