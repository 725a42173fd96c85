#include "app/entryeditor/CoverPicture.h"

#include "app/catalogue/CatalogueModel.h"
#include "app/entryeditor/TForm2.h"
#include "app/entryeditor/Thumbnails.h"
#include "app/forms/FormKeys.h"
#include "app/forms/TImage.h"
#include "components/Vreg/Vreg.h"
#include "components/Vsnapshot/Vsnapshot.h"
#include "components/scansource/ScanSource.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/dialogs/dialogs.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"
#include "platform/messagefilter/MessageFilter.h"
#include "platform/random/Random.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>
#include <functional>

namespace {

const char* const kReplacePicture =
    "Do you want to replace the current picture?\n\nIf you choose YES the current picture will be deleted and you "
    "may browse for a new one.";

// Whether a name is taken in the folder, by anything at all.
std::function<bool(const AnsiString&)> TakenIn(const AnsiString& dir) {
    return [dir](const AnsiString& name) { return files::Occupied(files::JoinPath(dir, name)); };
}

}  // namespace

void CoverPicture::RemoveCurrent() {
    // A name too long to be shown whole is no file's name: nothing to delete.
    AnsiString shown = ansi::FromQString(form_.Edit4->text());
    const std::string_view kept = form_.Kept(FieldPicture, shown);
    const AnsiString old = ansi::IsShownCut(kept) ? AnsiString() : AnsiString(kept);
    form_.Image2->ClearPicture();
    form_.Edit4->clear();
    if (form_.modifyMode_) {
        // The record loses its picture at once, even if the dialog is
        // cancelled afterwards; the catalogue has changed all the same.
        RecordStore::FieldViews record = form_.catalogue_->Fields(form_.modifiedItem_);
        record[FieldPicture] = {};
        form_.catalogue_->SetFields(form_.modifiedItem_, record);
        form_.nothingSaved_ = false;
    }
    // Only a thumbnail of the program's own is deleted; a field naming
    // anything else is emptied and its file left alone.
    DeleteThumbnail(form_.settings_->AppDir(), old);
}

void CoverPicture::Show(const AnsiString& fileName) {
    TImage* image = form_.Image2;
    image->ClearPicture();
    const QSize panel = form_.Panel2->size();
    jpeg::Picture picture = jpeg::DecodeFile(fileName,
                                             [panel](QSize natural) { return PreviewRect(natural, panel).size(); });
    const QRect place = PreviewRect(picture.natural, panel);
    if (place.isNull()) return;
    image->setGeometry(place);
    image->SetStretch(true);
    if (!place.isEmpty())
        image->SetPicture(picture.image.scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

AnsiString CoverPicture::CaptureThumbnail() {
    // The panel as it shows on its page, without its bevel.
    form_.PageControl1->setCurrentWidget(form_.TabSheet2);
    struct FlatWhileCaptured {
        QFrame* panel;
        explicit FlatWhileCaptured(QFrame* p) : panel(p) { panel->setFrameShape(QFrame::NoFrame); }
        ~FlatWhileCaptured() { panel->setFrameShape(QFrame::Panel); }
    } flat(form_.Panel2);
    // The offsets move the panel's place on its page to its place in the dialog.
    const QPoint offset = form_.Panel2->parentWidget()->mapTo(&form_, QPoint(0, 0));
    return form_.VSnapShot1->JPEGBytes(80, &form_, form_.Panel2, offset.x(), offset.y());
}

void CoverPicture::MakeThumbnail(const AnsiString& source, int number, bool shown) {
    form_.Edit4->setText(ansi::ToQString(NewThumbnail(source, number, shown)));
}

AnsiString CoverPicture::NewThumbnail(const AnsiString& source, int number, bool shown) {
    const AnsiString dir = form_.settings_->AppDir();
    // The source's name as the catalogue holds text.
    const AnsiString sourceName = ansi::FromQString(QFileInfo(QFile::decodeName(source.c_str())).fileName());
    AnsiString name;
    try {
        AnsiString bytes;
        if (!sourceName.starts_with("t_")) {
            if (shown && files::FileExists(source)) Show(source);
            else
                form_.Image2->ClearPicture();
            bytes = CaptureThumbnail();
        } else {
            // Already one of our thumbnails: kept as it is.
            bytes = ThumbnailCopyBytes(source);
        }
        // A name already in the folder (another entry's thumbnail, or
        // anything else) is never overwritten.
        name = files::CreateNewFileIn(
            dir, [&] { return FreeThumbnailName(sourceName, number, TakenIn(dir), rng::Random); }, bytes);
    } catch (...) {
        form_.Image2->ClearPicture();
        throw;
    }
    return name;
}

void CoverPicture::Browse() {
    rng::Randomize();
    const int number = rng::Random(1000);
    if (!form_.Edit4->text().isEmpty()) {
        if (form_.Keys().MessageBox(kReplacePicture, "Warning", dialogs::Icon::Question, dialogs::Buttons::YesNo) !=
            dialogs::IDYES)
            return;
        RemoveCurrent();
    }
    if (!form_.OpenPictureDialog1->Execute()) return;
    try {
        MakeThumbnail(form_.OpenPictureDialog1->FileName, number, true);
    } catch (const Exception& e) {
        form_.Keys().ShowError(e.Message);
    }
}

void CoverPicture::Clear() {
    if (form_.Edit4->text().isEmpty()) return;
    if (form_.Keys().MessageBox("Do you really want to delete the current picture?", "Warning", dialogs::Icon::Question,
                                dialogs::Buttons::YesNo) != dialogs::IDYES)
        return;
    RemoveCurrent();
}

void CoverPicture::Scan() {
    rng::Randomize();
    const int first = rng::Random(1000);
    const int second = rng::Random(1000);
    TImage* page = form_.Image3;
    page->ClearPicture();
    const AnsiString dir = form_.settings_->AppDir();
    // A file of that name (a page declined earlier, or anything else) is
    // never overwritten.
    scanFileName_ = files::JoinPath(dir, FreeScanName(first, TakenIn(dir), rng::Random));
    scanDone_ = false;
    form_.setEnabled(false);
    bool stillHere = true;
    try {
        form_.TWAIN->Acquire(page->Bitmap());
        stillHere = WaitForScan();
    } catch (const Exception& e) {
        // Nothing was scanned, or the scan failed: the dialog is usable
        // again, no file is made and nothing is asked.
        form_.setEnabled(true);
        page->ClearPicture();
        form_.Keys().ShowError(e.Message);
        return;
    }
    if (!stillHere) return;
    form_.setEnabled(true);
    // Left without the scanner's word: it is gone, or the program ends.
    if (!scanDone_) {
        page->ClearPicture();
        return;
    }
    const bool pageArrived = !page->Picture().isNull();
    try {
        WriteScanFile();
    } catch (const Exception& e) {
        // Without the file there is nothing to make a thumbnail of: the
        // current picture stays.
        form_.Keys().ShowError(e.Message);
        return;
    }
    if (form_.Keys().MessageBox(kReplacePicture, "Warning", dialogs::Icon::Question, dialogs::Buttons::YesNo) !=
        dialogs::IDYES)
        return;  // the page stays in its file
    RemoveCurrent();
    // Without a page the file is empty, and the thumbnail the empty panel.
    MakeThumbnail(scanFileName_, second, pageArrived);
    // The page is in its thumbnail now; the file was made by this scan.
    files::DeleteFile(scanFileName_);
}

bool CoverPicture::WaitForScan() {
    // The scanner's window is the only thing the user can use meanwhile; its
    // page (or its closing) arrives through the application's events, and
    // so do its errors.
    QPointer<TForm2> alive(&form_);
    std::exception_ptr failure;
    QEventLoop wait;
    messagefilter::ErrorCatcher caught([&](std::exception_ptr error) {
        if (!failure) failure = std::move(error);
        wait.quit();
    });
    QObject::connect(form_.TWAIN, &QObject::destroyed, &wait, &QEventLoop::quit);
    scanWait_ = &wait;
    // The loop also ends when the application quits.
    if (!scanDone_) wait.exec();
    // The dialog, and this with it, may be gone now.
    if (!alive) return false;
    scanWait_ = nullptr;
    if (failure) std::rethrow_exception(failure);
    return true;
}

void CoverPicture::ScanReady() {
    scanDone_ = true;
    if (scanWait_) scanWait_->quit();
}

void CoverPicture::WriteScanFile() {
    struct EmptiedAfterwards {
        TImage* image;
        ~EmptiedAfterwards() { image->ClearPicture(); }
    } emptied{form_.Image3};
    const QImage& page = form_.Image3->Picture();
    const AnsiString bytes = page.isNull() ? AnsiString() : jpeg::Encode(page, 90, false);
    // The name chosen before the scan, unless another program has taken it.
    const AnsiString dir = form_.settings_->AppDir(), chosen = files::ExtractFileName(scanFileName_);
    auto choose = [&] {
        return files::Occupied(scanFileName_) ? FreeScanName(rng::Random(1000), TakenIn(dir), rng::Random) : chosen;
    };
    scanFileName_ = files::JoinPath(dir, files::CreateNewFileIn(dir, choose, bytes));
}
