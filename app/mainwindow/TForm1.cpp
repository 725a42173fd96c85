#include "app/mainwindow/TForm1.h"

#include "app/about/TForm3.h"
#include "app/catalogue/Sorting.h"
#include "app/entryeditor/TForm2.h"
#include "app/formats/CatalogueFile.h"
#include "app/formats/Export.h"
#include "app/formats/GenreFile.h"
#include "app/forms/EnhancedForm1.h"
#include "app/forms/FormKeys.h"
#include "app/forms/SaveWithoutLoss.h"
#include "app/forms/TFrame5.h"
#include "app/forms/TImage.h"
#include "app/genres/TForm4.h"
#include "app/mainwindow/FilmFinder.h"
#include "app/mainwindow/FilmListView.h"
#include "app/mainwindow/Links.h"
#include "app/mainwindow/PrintList.h"
#include "app/mainwindow/WindowState.h"
#include "components/Printdib/Printdib.h"
#include "components/Vhtml/Vhtml.h"
#include "components/Vreg/Vreg.h"
#include "components/scansource/ScanSource.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/dialogs/PrinterSetupDialog.h"
#include "platform/dialogs/dialogs.h"
#include "platform/edits/edits.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/printer/printer.h"
#include "platform/registry/registry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QIcon Art(const char* name) { return QIcon(QString(":/") + name); }

// The film list's column widths as the window opens.
constexpr int kColumnWidths[FieldCount] = {200, 40, 100, 80, 50, 50, 80, 70, 50, 50, 50};

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    Q_INIT_RESOURCE(resources);
    setObjectName("Form1");
    setWindowTitle("Varnholt Flickstow 1.5");
    setWindowIcon(Art("logo.png"));
    // The sizes below are the whole window's, frame and caption included.
    EnhancedForm1 = AttachEnhancedForm(this);
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
    setMinimumSize(390, 322);
    resize(606, 479);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    VReg1 = new TVReg(this);
    VReg1->setObjectName("VReg1");
    VReg1->SetProgrammname("Flickstow");
    VReg1->SetFirmenname("varnholt");
    VHTML1 = new TVHTML(this);
    VHTML1->setObjectName("VHTML1");
    // Half a second after creation the scanner support starts.
    TwainInitTimer = new QTimer(this);
    TwainInitTimer->setObjectName("TwainInitTimer");
    TwainInitTimer->setSingleShot(true);
    TwainInitTimer->setInterval(500);
    connect(TwainInitTimer, &QTimer::timeout, this, dialogs::Guarded([this] { TwainInitTimerTimer(); }));
    TwainInitTimer->start();
    SaveDialog1 = new TSaveDialog(this);
    SaveDialog1->setObjectName("SaveDialog1");
    SaveDialog1->Title = "Export to CSV File";
    SaveDialog1->Filter = "Comma Seperated (*.csv)|*.csv|Textfile (*.txt)|*.txt|All fields, UTF-8 (*.csv)|*.csv";
    SaveDialog1->FilterIndex = 1;
    SaveDialog1->DefaultExt = "csv";
    SaveDialog1->OverwritePrompt = true;
    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->setObjectName("OpenDialog1");
    OpenDialog1->Title = "Import Films";
    OpenDialog1->Filter =
        "All supported (*.tc *.xml *.csv *.txt)|*.tc;*.xml;*.csv;*.txt|Tellico collection (*.tc "
        "*.xml)|*.tc;*.xml|Comma or semicolon separated (*.csv *.txt)|*.csv;*.txt";
    for (const char* image : {"il0_row", "il1_sortasc", "il2_sortdesc", "il3_exit", "il4_new", "il5_delete",
                              "il6_modify", "il7_print", "il8_web", "il9_export"})
        ImageList1.append(Art((QString(image) + ".png").toLatin1()));

    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(client);
    BuildCoolBar();
    layout->addWidget(CoolBar1);
    BuildListView();
    layout->addWidget(ListView1, 1);
    BuildFindField();
    BuildStatusBar();
    BuildActions();

    Image1 = new TImage(this);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(56, 48);
    Image1->SetPicture(QImage(":/texture.png"));
    Image1->hide();
    Image3 = new TImage(this);
    Image3->setObjectName("Image3");
    Image3->setFixedSize(32, 32);
    Image3->SetPicture(QImage(":/logo.png"));
    Image3->hide();
    BuildPrinting();

    keys_ = new FormKeys(this, [this](QKeyEvent* key) { return FormKeyUp(key); });
    // The film list is the window's one control that takes the keyboard
    // (Tab never walks the toolbar): it has the focus from the start, and
    // again whenever the window becomes active after a dialog or a box.
    for (QWidget* w : findChildren<QWidget*>())
        if (w != ListView1 && !ListView1->isAncestorOf(w)) w->setFocusPolicy(Qt::NoFocus);
    // The find field takes it when clicked or by Ctrl+F; Tab never gets there.
    FindEdit1->setFocusPolicy(Qt::ClickFocus);
    ListView1->setFocus();

    // The dialogs, in their order of creation; they live as long as the window.
    entryEditor_ = new TForm2(this, VReg1, Catalogue, Image1);
    aboutBox_ = new TForm3(this, Image1, VHTML1, kMakerPage.address, kCommunitySite.address);
    genreEditor_ = new TForm4(this, VReg1, Image1);
    RestoreWindowState();
}

void TForm1::BuildListView() {
    Catalogue = new CatalogueModel(this);
    Catalogue->SetImages(ImageList1);
    Catalogue->SetRowImage(0);
    ListView1 = new FilmListView(this);
    ListView1->setObjectName("ListView1");
    ListView1->setModel(Catalogue);
    QFont arial("Arial");
    arial.setPixelSize(13);
    ListView1->setFont(arial);
    ListView1->setShowGrid(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setWordWrap(false);
    ListView1->setIconSize(QSize(16, 16));
    ListView1->setTabKeyNavigation(false);
    // The selection stays visible when the list loses the focus.
    QPalette pal = ListView1->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    ListView1->setPalette(pal);
    QHeaderView* rows = ListView1->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(arial).height() + 4);
    QHeaderView* columns = ListView1->horizontalHeader();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(false);
    connect(columns, &QHeaderView::sectionClicked, this, dialogs::Guarded([this](int c) { ListView1ColumnClick(c); }));
    // Any change of any row, selection changes included, refreshes the status bar.
    auto change = dialogs::Guarded([this] { ListView1Change(); });
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, change);
    connect(Catalogue, &QAbstractItemModel::dataChanged, this, change);
    connect(Catalogue, &QAbstractItemModel::rowsInserted, this, change);
    connect(Catalogue, &QAbstractItemModel::rowsRemoved, this, change);
    connect(Catalogue, &QAbstractItemModel::modelReset, this, change);
    connect(Catalogue, &QAbstractItemModel::layoutChanged, this, change);
    for (int c = 0; c < FieldCount; ++c) columns->resizeSection(c, kColumnWidths[c]);
    OnDoubleClick(ListView1, [this] { SpeedButton4Click(); });
}

void TForm1::BuildFindField() {
    FindEdit1 = new QLineEdit(CoolBar1);
    FindEdit1->setObjectName("FindEdit1");
    FindEdit1->setPlaceholderText("Find (Ctrl+F)");
    FindEdit1->setClearButtonEnabled(true);
    FindEdit1->setFixedWidth(180);
    FindEdit1->setFont(font());
    edits::AcceptOnlyAnsi(FindEdit1);
    // At the right end of the band, beside the toolbar.
    auto* band = static_cast<QBoxLayout*>(CoolBar1->layout());
    band->addStretch(1);
    band->addWidget(FindEdit1, 0, Qt::AlignVCenter);
    finder_ = new FilmFinder(Catalogue, this);
    connect(FindEdit1, &QLineEdit::textChanged, this,
            dialogs::Guarded([this](const QString& text) { finder_->Find(ansi::FromQString(text)); }));
    connect(finder_, &FilmFinder::AboutToShow, this, [this] { KeepFoundFilm(); });
    connect(finder_, &FilmFinder::Found, this, [this] { ShowFoundFilm(); });
}

void TForm1::KeepFoundFilm() {
    const QModelIndex current = ListView1->currentIndex();
    showingFound_ = true;
    foundFilm_.reset();
    if (current.isValid() && ListView1->selectionModel()->isRowSelected(current.row()))
        foundFilm_ = Catalogue->FilmAt(current.row());
}

void TForm1::ShowFoundFilm() {
    if (!showingFound_) return;
    const int row = foundFilm_ ? Catalogue->RowOfFilm(*foundFilm_) : -1;
    showingFound_ = false;
    foundFilm_.reset();
    if (row < 0) {
        ListView1->scrollToTop();
        return;
    }
    const QModelIndex at = Catalogue->index(row, 0);
    ListView1->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ListView1->scrollTo(at, QAbstractItemView::PositionAtCenter);
}

void TForm1::Find1Click() {
    FindEdit1->setFocus(Qt::ShortcutFocusReason);
    FindEdit1->selectAll();
}

bool TForm1::FindKeyUp(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Escape:
        // Every film again, and the keyboard back to the list; the window
        // stays open.
        FindEdit1->clear();
        ListView1->setFocus(Qt::OtherFocusReason);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
        ListView1->setFocus(Qt::OtherFocusReason);
        if (Catalogue->rowCount() > 0) ListView1->setCurrentIndex(Catalogue->index(0, 0));
        return true;
    default: return false;
    }
}

void TForm1::BuildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(25);
    setStatusBar(StatusBar1);
    static constexpr int kWidths[3] = {55, 120, 50};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(StatusBar1);
        panels_[i]->setObjectName(QString("StatusPanel%1").arg(i));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The last panel runs to the end of the bar.
        if (i < 2) panels_[i]->setFixedWidth(kWidths[i]);
        else
            panels_[i]->setMinimumWidth(kWidths[i]);
        StatusBar1->addWidget(panels_[i], i == 2 ? 1 : 0);
    }
}

AnsiString TForm1::CatalogueFilePath() { return files::JoinPath(VReg1->AppDir(), kCatalogueFileName); }

void TForm1::LoadCatalogue() {
    AnsiString path = CatalogueFilePath();
    RecordStore rows;
    catalogueKnown_ = {};
    // A folder (or links in a circle) in the file's place is unreadable,
    // not missing: it is reported, and a later save never tries to replace
    // it. Nor does a save replace a file that failed to load half-way.
    if (files::KindOf(path) != files::PathKind::None) {
        try {
            ReadCatalogueFile(path, rows, &catalogueKnown_);
        } catch (...) {
            catalogueUnreadable_ = true;
            throw;
        }
    }
    Catalogue->ResetRows(std::move(rows));
    finder_->Refresh();
    UpdateStatusBar();
}

bool TForm1::SaveCatalogue() {
    AnsiString path = CatalogueFilePath();
    if (catalogueUnreadable_) throw EFCreateError(ansi::Format("Cannot create file %s", path));
    GuardedFile file{path, catalogueKnown_, "Catalogue changed", "films", CatalogueBackupPath(path), true};
    const RecordStore& rows = Catalogue->Records();
    SaveOutcome outcome = SaveWithoutLoss(*keys_, file, [&rows] { return CataloguePieces(rows); });
    catalogueKnown_ = file.known;
    return outcome != SaveOutcome::Cancelled;
}

void TForm1::UpdateStatusBar() {
    panels_[0]->setText(DataModified ? "  Modified" : "");
    panels_[1]->setText(QString("  %1 Filmes listed").arg(Catalogue->rowCount()));
    panels_[2]->setText(QString("  %1 Filmes selected").arg(SelectedRowCount()));
}

int TForm1::SelectedRowCount() const {
    // Counted from the selection's ranges, which may overlap: a million
    // selected rows are a handful of ranges, not a million indexes.
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& r : ListView1->selectionModel()->selection())
        spans.emplace_back(r.top(), r.bottom());
    std::sort(spans.begin(), spans.end());
    int count = 0, end = -1;
    for (auto [top, bottom] : spans) {
        top = std::max(top, end + 1);
        if (bottom >= top) count += bottom - top + 1;
        end = std::max(end, bottom);
    }
    return count;
}

QString TForm1::StatusPanelText(int panel) const { return panels_[panel]->text(); }

void TForm1::BringToFront() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->raise();
        dialog->activateWindow();
    }
}

void TForm1::FormShow() {
    // A save that was killed half-way leaves its temporary file behind;
    // the first thing the program does is clear such leftovers away.
    AnsiString catalogue = CatalogueFilePath();
    for (const AnsiString& path :
         {catalogue, CatalogueBackupPath(catalogue), GenreFilePath(VReg1->AppDir()), registry::HiveFilePath()})
        files::RemoveStaleTemporaries(path);
    LoadCatalogue();
    // The list comes back sorted as it was when the last run ended.
    if (Catalogue->HeaderImage(SortColumn) > 0)
        Catalogue->Reorder(SortOrder(Catalogue->Records(), SortColumn, SortDescending));
}

void TForm1::FormCloseQuery(bool& canClose) {
    if (!DataModified) return;
    int answer = keys_->MessageBox("Data was modified.\nDo you want to save the changes?", "Save changes",
                                   dialogs::Icon::Question, dialogs::Buttons::YesNoCancel);
    if (answer == dialogs::IDCANCEL) {
        canClose = false;
    } else if (answer == dialogs::IDYES) {
        // A failed save raises, and the window then stays open; so it does
        // when the user goes back to the list rather than decide about a
        // catalogue another program changed.
        if (!SaveCatalogue()) canClose = false;
    }
}

bool TForm1::FormKeyUp(QKeyEvent* key) {
    if (FindEdit1->hasFocus()) return FindKeyUp(key);
    if (!ListView1->hasFocus()) return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: SpeedButton4Click(); return true;
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_Delete: SpeedButton3Click(); return true;
    default: return false;
    }
}

void TForm1::SpeedButton5Click() { close(); }

void TForm1::Image1Click() { VHTML1->CallExternUrl(kMakerPage.address); }

void TForm1::AboutFlickstow1Click() { aboutBox_->exec(); }

void TForm1::ListView1ColumnClick(int column) {
    SortColumn = column;
    for (int c = 0; c < FieldCount; ++c)
        if (c != column) Catalogue->SetHeaderImage(c, -1);
    SortDescending = Catalogue->HeaderImage(column) == 1;
    Catalogue->SetHeaderImage(column, SortDescending ? 2 : 1);
    Catalogue->Reorder(SortOrder(Catalogue->Records(), SortColumn, SortDescending));
}

void TForm1::ListView1Change() { UpdateStatusBar(); }

std::vector<bool> TForm1::SelectedRows() const {
    std::vector<bool> flagged(static_cast<size_t>(Catalogue->rowCount()));
    for (const QItemSelectionRange& r : ListView1->selectionModel()->selection())
        std::fill(flagged.begin() + r.top(), flagged.begin() + r.bottom() + 1, true);
    return flagged;
}

void TForm1::SpeedButton3Click() {
    if (!ListView1->selectionModel()->hasSelection()) return;
    if (keys_->MessageBox("Do you really want to delete all selected titles?", "Confirm deletion",
                          dialogs::Icon::Warning, dialogs::Buttons::YesNo) != dialogs::IDYES)
        return;
    // The selection is read once: a million selected rows are as many ranges.
    std::vector<bool> flagged = SelectedRows();
    const int firstRow = static_cast<int>(std::find(flagged.begin(), flagged.end(), true) - flagged.begin());
    int scrolled = ListView1->verticalScrollBar()->value();
    Catalogue->RemoveFlagged(flagged);
    DataModified = true;
    UpdateStatusBar();
    // Keep the place in the list: the row after the first deleted one
    // becomes the current row, unselected.
    ListView1->verticalScrollBar()->setValue(scrolled);
    if (int rows = Catalogue->rowCount())
        ListView1->selectionModel()->setCurrentIndex(Catalogue->index(std::min(firstRow, rows - 1), 0),
                                                     QItemSelectionModel::NoUpdate);
}

void TForm1::Exort1Click() {
    SaveDialog1->FileName.clear();
    SaveDialog1->InitialDir = VReg1->Pop("LastExportDir");
    if (!SaveDialog1->Execute()) return;
    AnsiString path = SaveDialog1->FileName;
    VReg1->Push("LastExportDir", ExportFolderOf(path));
    ExportKind kind = ExportKindOfType(SaveDialog1->FilterIndex);
    // While a filter is active, the films shown.
    WriteExportFile(WithExportExtension(path, kind), Catalogue->Records(), kind,
                    Catalogue->Filtered() ? &Catalogue->Shown() : nullptr);
}

void TForm1::TwainInitTimerTimer() {
    TwainInitTimer->stop();
    entryEditor_->TWAIN->InitTWAIN();
}

void TForm1::TWAINSource1Click() { entryEditor_->TWAIN->SelectDataSource(); }

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    dialogs::Guard([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool canClose = false;
    dialogs::Guard([&] {
        bool query = true;
        FormCloseQuery(query);
        canClose = query;
    });
    event->setAccepted(canClose);
    if (canClose) dialogs::Guard([this] { RememberWindowState(); });
}

void TForm1::RestoreWindowState() {
    const MainWindowState state = ReadMainWindowState(*VReg1, FieldCount);
    // A place off every screen now (one since removed, say) gives the
    // centred start.
    if (state.geometry && ReachableOnScreen(*state.geometry)) setGeometry(*state.geometry);
    if (state.maximized) setWindowState(windowState() | Qt::WindowMaximized);
    if (state.sortColumn) {
        SortColumn = *state.sortColumn;
        SortDescending = state.sortDescending;
        Catalogue->SetHeaderImage(SortColumn, SortDescending ? 2 : 1);
    }
    for (size_t c = 0; c < state.columnWidths.size(); ++c)
        ListView1->horizontalHeader()->resizeSection(static_cast<int>(c), state.columnWidths[c]);
}

void TForm1::RememberWindowState() {
    MainWindowState state;
    state.geometry = normalGeometry();
    state.maximized = isMaximized();
    if (Catalogue->HeaderImage(SortColumn) > 0) {
        state.sortColumn = SortColumn;
        state.sortDescending = SortDescending;
    }
    // Widths only when the user changed them.
    std::vector<int> widths;
    for (int c = 0; c < FieldCount; ++c) widths.push_back(ListView1->horizontalHeader()->sectionSize(c));
    if (!std::equal(widths.begin(), widths.end(), std::begin(kColumnWidths))) state.columnWidths = widths;
    WriteMainWindowState(*VReg1, state);
}

// ---- New, modify, genres

int TForm1::FirstSelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& r : ListView1->selectionModel()->selection())
        if (first < 0 || r.top() < first) first = r.top();
    return first;
}

void TForm1::SpeedButton1Click() {
    if (entryEditor_->NewEntry()) DataModified = true;
    UpdateStatusBar();
}

void TForm1::SpeedButton4Click() {
    int row = FirstSelectedRow();
    if (row < 0) return;
    if (entryEditor_->ModifyEntry(row)) DataModified = true;
    UpdateStatusBar();
}

void TForm1::EditGenres1Click() { genreEditor_->exec(); }

// ---- Printing

void TForm1::BuildPrinting() {
    PrintDIB1 = new TPrintDIB(this);
    PrintDIB1->setObjectName("PrintDIB1");
    PrinterSetupDialog1 = new TPrinterSetupDialog(this);
    PrinterSetupDialog1->setObjectName("PrinterSetupDialog1");
    PrintListView = MakePrintListView(this);
    // The print page: the picture of a hidden frame's image.
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->hide();
    Frame51 = new TFrame5(Panel1);
    Frame51->Image1->setFixedSize(kPageBitmapWidth, kPageBitmapHeight);
}

void TForm1::SpeedButton2Click() {
    // The job always ends with a box; the key that answers it must not act.
    keys_->SkipNextKeyUp = true;
    PrintListModel& rows = PrintRows(PrintListView);
    if (SelectedRowCount() > 0) {
        const std::vector<bool> flagged = Catalogue->FilmsAtRows(SelectedRows());
        rows.Fill(Catalogue->Records(), &flagged);
    } else {
        if (keys_->MessageBox("You do not have selected any filmes.\nDo you want to print out all filmes?",
                              "Confirm printing", dialogs::Icon::Question, dialogs::Buttons::YesNo) != dialogs::IDYES)
            return;
        // All films: while a filter is active, those shown.
        if (Catalogue->Filtered()) {
            const std::vector<bool> shown = Catalogue->FilmsAtRows(
                std::vector<bool>(static_cast<size_t>(Catalogue->rowCount()), true));
            rows.Fill(Catalogue->Records(), &shown);
        } else {
            rows.Fill(Catalogue->Records());
        }
    }
    if (!PrintFilmList(
            {printer::Printer(), *PrintDIB1, Frame51->Image1->Picture(), Image3->Picture(), rows.Rows(), this}))
        return;
    keys_->MessageBox("Filmlist successfully printed.", "Varnholt Flickstow", dialogs::Icon::Information,
                      dialogs::Buttons::OK);
}

void TForm1::PrinterSetup1Click() {
    try {
        PrinterSetupDialog1->Execute();
    } catch (const EPrinter&) {
        keys_->MessageBox("There was no default printer found on your system.", "Error", dialogs::Icon::Error,
                          dialogs::Buttons::OK);
    }
}
