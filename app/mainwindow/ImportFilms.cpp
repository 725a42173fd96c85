// File > Import ...: films from a Tellico collection or a spreadsheet,
// appended all at once after a preview, or not at all.

#include "app/catalogue/Sorting.h"
#include "app/entryeditor/TForm2.h"
#include "app/entryeditor/Thumbnails.h"
#include "app/formats/Export.h"
#include "app/formats/Import.h"
#include "app/forms/TImage.h"
#include "app/mainwindow/ImportDialog.h"
#include "app/mainwindow/TForm1.h"
#include "components/Vreg/Vreg.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/dialogs/dialogs.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"
#include "platform/random/Random.h"

#include <QApplication>
#include <QImage>
#include <QItemSelectionModel>
#include <QProgressDialog>
#include <QTableView>
#include <QTemporaryDir>
#include <filesystem>
#include <optional>

namespace {

// Work on more films or covers than these, or a file larger than this,
// shows its progress.
constexpr size_t kQuietFilms = 50000, kQuietCovers = 20;
constexpr uintmax_t kQuietBytes = uintmax_t(8) << 20;
constexpr size_t kFilmsPerStep = 8192;
constexpr int kReadSteps = 1000;

// Writes a cover into the folder as a JPEG file the entry editor takes: a
// JPEG as it is, another picture (PNG, GIF, BMP) encoded as one. Raises
// when the bytes are no picture.
AnsiString CoverFile(const ImportTable::Cover& cover, const AnsiString& folder) {
    AnsiString name = files::ExtractFileName(PictureFileName(cover.name));
    // A name "t_..." would be taken for one of our thumbnails and copied.
    if (name.empty() || name.starts_with("t_")) name = "cover_" + name;
    const AnsiString lower = ansi::LowerCase(name);
    const bool isJpeg = std::string_view(cover.bytes).starts_with("\xFF\xD8\xFF");
    if (!isJpeg || !(lower.ends_with(".jpg") || lower.ends_with(".jpeg"))) name += ".jpg";
    const AnsiString path = files::JoinPath(folder, name);
    if (isJpeg) {
        files::ReplaceWholeFile(path, cover.bytes);
    } else {
        QImage image = QImage::fromData(QByteArray::fromRawData(cover.bytes.data(), qsizetype(cover.bytes.size())));
        if (image.isNull()) throw jpeg::EJPEG("The cover " + cover.name + " is no picture.");
        files::ReplaceWholeFile(path, jpeg::Encode(image, 90));
    }
    return path;
}

// A progress dialog for long work; none for short work.
std::unique_ptr<QProgressDialog> Progress(QWidget* window, const QString& label, size_t steps, bool large) {
    if (!large) return nullptr;
    return dialogs::ProgressBox(window, "ImportProgress", "Import Films", label, int(steps));
}

// False when the user cancelled.
bool Step(QProgressDialog* progress, size_t done) {
    if (!progress) return true;
    progress->setValue(int(done));
    QApplication::processEvents();
    return !progress->wasCanceled();
}

// Reads the file, showing how far the reading has come when it is large
// (a wait cursor otherwise); nothing when the user cancelled.
std::optional<ImportTable> ReadShowingProgress(QWidget* window, const AnsiString& path, const AnsiString& fileName) {
    std::error_code unknown;
    const uintmax_t size = std::filesystem::file_size(path, unknown);
    std::unique_ptr<QProgressDialog> reading = Progress(window, "Reading " + ansi::ToQString(fileName) + " ...",
                                                        kReadSteps, !unknown && size > kQuietBytes);
    ReadProgress told;
    if (reading) told = [&reading](double done) { return Step(reading.get(), size_t(done * kReadSteps)); };
    else
        QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Cursor {
        bool waiting;
        ~Cursor() {
            if (waiting) QApplication::restoreOverrideCursor();
        }
    } cursor{!reading};
    try {
        return ReadImportFile(path, told);
    } catch (const EImportCancelled&) {
        return std::nullopt;
    }
}

// The films' covers made thumbnails by the entry editor, as for "&browse
// ...", each one's name into `pictures` and `made`; false when the user
// cancelled.
bool MakeThumbnails(TForm2* editor, const ImportTable& table, const ImportedFilms& films, QProgressDialog* progress,
                    size_t& done, std::vector<AnsiString>& pictures, std::vector<AnsiString>& made) {
    // Laid out as when it shows, off the screen.
    struct OffScreen {
        QWidget* editor;
        explicit OffScreen(QWidget* e) : editor(e) {
            editor->setAttribute(Qt::WA_DontShowOnScreen);
            editor->show();
        }
        ~OffScreen() {
            editor->hide();
            editor->setAttribute(Qt::WA_DontShowOnScreen, false);
        }
    } offScreen(editor);
    QTemporaryDir scratch;
    const AnsiString folder = QFile::encodeName(scratch.path()).toStdString();
    rng::Randomize();
    for (size_t i = 0; i < films.films.size(); ++i) {
        const ImportTable::Cover& cover = table.Covers[films.sourceRows[i]];
        if (cover.bytes.empty()) continue;
        if (!Step(progress, done++)) return false;
        // A cover that turns out no picture leaves the film without one.
        try {
            pictures[i] = editor->NewThumbnail(CoverFile(cover, folder), rng::Random(1000));
            made.push_back(pictures[i]);
        } catch (const Exception&) {
        }
    }
    return true;
}

}  // namespace

void TForm1::Import1Click() {
    OpenDialog1->FileName.clear();
    OpenDialog1->InitialDir = VReg1->Pop("LastImportDir");
    if (!OpenDialog1->Execute()) return;
    const AnsiString path = OpenDialog1->FileName;
    VReg1->Push("LastImportDir", ExportFolderOf(path));
    const AnsiString fileName = ansi::FromQString(QFile::decodeName(files::ExtractFileName(path).c_str()));
    std::optional<ImportTable> read = ReadShowingProgress(this, path, fileName);
    if (!read) return;
    const ImportTable& table = *read;
    const MovieRecord defaults = entryEditor_->NewEntryDefaults();
    TImportDialog preview(this, table, fileName, defaults, Catalogue->Records(), Image1);
    if (preview.exec() != QDialog::Accepted) return;

    // The films as chosen last in the preview.
    const size_t buildSteps = (table.Rows() + kFilmsPerStep - 1) / kFilmsPerStep;
    std::unique_ptr<QProgressDialog> progress = Progress(this, "Importing films ...", buildSteps,
                                                         table.Rows() > kQuietFilms);
    const ImportedFilms films = BuildImport(
        table, preview.Columns(), defaults, Catalogue->Records(), preview.SkipDuplicates(),
        [&progress](size_t done) { return Step(progress.get(), done / kFilmsPerStep); });
    const size_t count = films.films.size();
    if (films.cancelled || count == 0) return;

    // The covers become thumbnails first: a cancel or an error removes
    // those made, and the list stays as it was.
    std::vector<AnsiString> pictures(count), made;
    const AnsiString dir = VReg1->AppDir();
    size_t covers = 0;
    if (!table.Covers.empty())
        for (size_t i = 0; i < count; ++i) covers += !table.Covers[films.sourceRows[i]].bytes.empty();
    const size_t steps = buildSteps + covers + (count + kFilmsPerStep - 1) / kFilmsPerStep;
    if (progress) progress->setMaximum(int(steps));
    else
        progress = Progress(this, "Importing films ...", steps, covers > kQuietCovers);
    auto removeMade = [&] {
        for (const AnsiString& name : made) DeleteThumbnail(dir, name);
    };
    RecordStore rows;
    try {
        size_t done = buildSteps;
        if (covers && !MakeThumbnails(entryEditor_, table, films, progress.get(), done, pictures, made)) {
            removeMade();
            return;
        }
        for (size_t i = 0; i < count; ++i) {
            if (i % kFilmsPerStep == 0 && !Step(progress.get(), done++)) {
                removeMade();
                return;
            }
            RecordStore::FieldViews fields = films.films.Fields(i);
            fields[FieldPicture] = pictures[i];
            rows.Append(fields);
        }
    } catch (...) {
        removeMade();
        throw;
    }
    progress.reset();

    // All at once; the imported films are selected, and the list's sort
    // applies to them (the selection moves with its rows).
    const int first = Catalogue->rowCount();
    Catalogue->AppendRows(rows);
    DataModified = true;
    ListView1->clearSelection();
    ListView1->selectionModel()->select(
        QItemSelection(Catalogue->index(first, 0), Catalogue->index(Catalogue->rowCount() - 1, FieldCount - 1)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ListView1->selectionModel()->setCurrentIndex(Catalogue->index(first, 0), QItemSelectionModel::NoUpdate);
    if (Catalogue->HeaderImage(SortColumn) > 0)
        Catalogue->Reorder(SortOrder(Catalogue->Records(), SortColumn, SortDescending));
    ListView1->scrollTo(ListView1->selectionModel()->currentIndex());
    UpdateStatusBar();
}
