#include "app/entryeditor/TForm2.h"

#include "app/catalogue/CatalogueModel.h"
#include "app/entryeditor/Defaults.h"
#include "app/entryeditor/Thumbnails.h"
#include "app/formats/CatalogueFile.h"
#include "app/formats/GenreFile.h"
#include "app/forms/FormKeys.h"
#include "app/forms/TImage.h"
#include "components/Vreg/Vreg.h"
#include "components/Vsnapshot/Vsnapshot.h"
#include "components/scansource/ScanSource.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/dialogs/dialogs.h"
#include "platform/edits/edits.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"
#include "platform/messagefilter/MessageFilter.h"
#include "platform/random/Random.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <optional>

namespace {

constexpr int kClientWidth = 511, kClientHeight = 308;
constexpr int kStripHeight = 35;
// The grey of the pages' panels: red, green and blue 209 each.
const QColor kPanelGrey(209, 209, 209);

const char* const kReplacePicture =
    "Do you want to replace the current picture?\n\nIf you choose YES the current picture will be deleted and you "
    "may browse for a new one.";

AnsiString Text(const QString& text) { return ansi::FromQString(text); }

// Whether a name is taken in the folder, by anything at all.
std::function<bool(const AnsiString&)> TakenIn(const AnsiString& dir) {
    return [dir](const AnsiString& name) { return files::Occupied(files::JoinPath(dir, name)); };
}

QLabel* AddLabel(QWidget* parent, const char* name, const char* text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QComboBox* AddList(QWidget* parent, const char* name, const QStringList& items, const QRect& geometry) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    list->setMaxVisibleItems(static_cast<int>(items.size()));
    list->setGeometry(geometry);
    return list;
}

QSpinBox* AddSpinEdit(QWidget* parent, const char* name, int minimum, int maximum, const QRect& geometry) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setSingleStep(1);
    spin->setGeometry(geometry);
    return spin;
}

// The genre list: while it has the keyboard it shows a dotted focus
// rectangle round its current item, or round its first line when it has
// none (an empty list too), whatever the style draws.
class GenreListBox : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    void paintEvent(QPaintEvent* event) override {
        QListWidget::paintEvent(event);
        if (!hasFocus()) return;
        QRect mark = currentItem() ? visualItemRect(currentItem())
                                   : QRect(0, 0, viewport()->width(), fontMetrics().height() + 2);
        const bool onSelection = currentItem() && currentItem()->isSelected();
        QPainter p(viewport());
        p.setPen(QPen(palette().color(onSelection ? QPalette::HighlightedText : QPalette::Text), 1, Qt::DotLine));
        p.drawRect(mark.adjusted(0, 0, -1, -1));
    }
};

// Index of the first item whose text is exactly the given text.
int IndexInModel(const QAbstractItemModel* model, std::string_view text, int fallback) {
    for (int i = 0, n = model->rowCount(); i < n; ++i)
        if (Text(model->index(i, 0).data(Qt::DisplayRole).toString()) == text) return i;
    return fallback;
}

}  // namespace

TForm2::TForm2(QWidget* parent, TVReg* settings, CatalogueModel* catalogue, const TImage* texture)
    : TDialogForm(parent, "Form2", "New / Modify Entry", QSize(kClientWidth, kClientHeight), texture, kStripHeight),
      settings_(settings), catalogue_(catalogue) {
    setWindowFlag(Qt::WindowStaysOnTopHint);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(4, 4, kClientWidth - 8, kClientHeight - kStripHeight - 6);
    BuildPropertiesPage();
    BuildDetailsPage();
    BuildButtonStrip();

    SetFocusTimer = new QTimer(this);
    SetFocusTimer->setObjectName("SetFocusTimer");
    SetFocusTimer->setSingleShot(true);
    SetFocusTimer->setInterval(10);

    OpenPictureDialog1 = new TOpenPictureDialog(this);
    OpenPictureDialog1->setObjectName("OpenPictureDialog1");
    OpenPictureDialog1->Title = "Open Picture";
    OpenPictureDialog1->Filter =
        "All (*.jpg;*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg";
    OpenPictureDialog1->FilterIndex = 1;
    VSnapShot1 = new TVSnapShot(this);
    VSnapShot1->setObjectName("VSnapShot1");
    Image3 = new TImage(this);
    Image3->setObjectName("Image3");
    Image3->hide();
    TWAIN = new TScanSource(this);
    TWAIN->setObjectName("TWAIN");
    TWAIN->SetProductname("Varnholt Flickstow");
    TWAIN->OnScanReady = [this](TScanSource*) { TWAINScanReady(); };
    ConnectHandlers();
}

QFrame* TForm2::AddPage(QWidget*& sheet, const char* sheetName, const char* panelName, const char* caption) {
    sheet = new QWidget;
    sheet->setObjectName(sheetName);
    PageControl1->addTab(sheet, caption);
    auto* panel = new QFrame(sheet);
    panel->setObjectName(panelName);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette grey = panel->palette();
    grey.setColor(QPalette::Window, kPanelGrey);
    panel->setPalette(grey);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(panel);
    return panel;
}

void TForm2::BuildPropertiesPage() {
    Panel1 = AddPage(TabSheet1, "TabSheet1", "Panel1", "Movie &Properties");
    QWidget* p = Panel1;
    AddLabel(p, "Label1", "Title :", QRect(8, 10, 52, 21));
    Edit1 = new QLineEdit(p);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(64, 10, 254, 21);
    edits::AcceptOnlyAnsi(Edit1, 50);
    AddLabel(p, "Label2", "MID :", QRect(326, 10, 40, 21));
    CSpinEdit2 = AddSpinEdit(p, "CSpinEdit2", 1, 10000, QRect(370, 10, 110, 21));

    AddLabel(p, "Label3", "Genre :", QRect(8, 42, 52, 21));
    ListBox1 = new GenreListBox(p);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setGeometry(64, 42, 170, 176);

    constexpr int labelX = 240, labelWidth = 60, fieldX = 304, fieldWidth = 176;
    auto row = [](int i) { return 42 + 32 * i; };
    AddLabel(p, "Label4", "Media :", QRect(labelX, row(0), labelWidth, 21));
    ComboBox3 = AddList(p, "ComboBox3",
                        {"VCD", "SVCD", "DVD", "VHS", "DIVX (CDROM)", "SVHS", "Video8", "BETA", "Other"},
                        QRect(fieldX, row(0), 96, 21));
    AddLabel(p, "Label5", "  Disks :", QRect(fieldX + 96, row(0), 36, 21));
    CSpinEdit1 = AddSpinEdit(p, "CSpinEdit1", 1, 100, QRect(fieldX + 134, row(0), fieldWidth - 134, 21));
    CSpinEdit1->setValue(1);
    AddLabel(p, "Label6", "Language :", QRect(labelX, row(1), labelWidth, 21));
    ComboBox2 = AddList(p, "ComboBox2", {"German", "English", "French", "Espaniol", "Other"},
                        QRect(fieldX, row(1), fieldWidth, 21));
    AddLabel(p, "Label7", "Status :", QRect(labelX, row(2), labelWidth, 21));
    ComboBox4 = AddList(p, "ComboBox4", {"Owned", "Lend To", "To Be Bought", "Borrowed From"},
                        QRect(fieldX, row(2), fieldWidth, 21));
    ComboBox4->setEditable(true);
    // What the user types stays as typed: no completion, no new items.
    ComboBox4->setInsertPolicy(QComboBox::NoInsert);
    ComboBox4->setCompleter(nullptr);
    edits::AcceptOnlyAnsi(ComboBox4->lineEdit(), 30);
    AddLabel(p, "Label8", "Viewed :", QRect(labelX, row(3), labelWidth, 21));
    ComboBox5 = AddList(p, "ComboBox5", {"Yes", "No"}, QRect(fieldX, row(3), fieldWidth, 21));
    AddLabel(p, "Label9", "Rating :", QRect(labelX, row(4), labelWidth, 21));
    Edit2 = new QLineEdit(p);
    Edit2->setObjectName("Edit2");
    Edit2->setGeometry(fieldX, row(4), fieldWidth, 21);
    edits::AcceptOnlyAnsi(Edit2);

    QWidget* order[] = {Edit1, CSpinEdit2, ListBox1, ComboBox3, CSpinEdit1, ComboBox2, ComboBox4, ComboBox5, Edit2};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm2::BuildDetailsPage() {
    Panel3 = AddPage(TabSheet2, "TabSheet2", "Panel3", "&More Details");
    QWidget* p = Panel3;
    auto* caption = new QLabel("Description (max. 255 chars) :", p);
    caption->setObjectName("Label10");
    caption->setGeometry(8, 6, 300, 16);
    Memo2 = new edits::TMemo(p);
    Memo2->setObjectName("Memo2");
    Memo2->setGeometry(8, 24, 300, 194);
    Memo2->SetMaxLength(255);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setTabChangesFocus(true);

    Panel2 = new QFrame(p);
    Panel2->setObjectName("Panel2");
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setGeometry(318, 6, 161, 157);
    auto* noPicture = new QLabel("(no picture)", Panel2);
    noPicture->setObjectName("Panel2Caption");
    noPicture->setAlignment(Qt::AlignCenter);
    noPicture->setGeometry(Panel2->rect());
    Image2 = new TImage(Panel2);
    Image2->setObjectName("Image2");
    Image2->SetStretch(true);
    Image2->setGeometry(8, 6, 145, 145);

    Edit4 = new QLineEdit(p);
    Edit4->setObjectName("Edit4");
    Edit4->setReadOnly(true);
    QFont small("Arial");
    small.setPixelSize(10);
    Edit4->setFont(small);
    QPalette grey = Edit4->palette();
    grey.setColor(QPalette::Base, palette().color(QPalette::Window));
    grey.setColor(QPalette::Text, palette().color(QPalette::Disabled, QPalette::Text));
    Edit4->setPalette(grey);
    Edit4->setGeometry(318, 166, 161, 17);

    SpeedButton6 = AddFlatButton(p, "SpeedButton6", "sc&an", QRect(318, 192, 44, 24));
    Button1 = AddFlatButton(p, "Button1", "&browse ...", QRect(364, 192, 66, 24));
    SpeedButton4 = AddFlatButton(p, "SpeedButton4", "&clear", QRect(432, 192, 47, 24));
    setTabOrder(Memo2, Edit4);
}

void TForm2::BuildButtonStrip() {
    int y = kClientHeight - kStripHeight + 5;
    SpeedButton1 = AddStripButton("SpeedButton1", "&Cancel", QRect(6, y, 80, 25), "il3_exit.png");
    SpeedButton5 = AddStripButton("SpeedButton5", "&Reset Entries", QRect(90, y, 100, 25));
    SpeedButton2 = AddStripButton("SpeedButton2", "Save && &New Entry", QRect(249, y, 132, 25), "il4_new.png");
    SpeedButton3 = AddStripButton("SpeedButton3", "&Save and Close", QRect(385, y, 120, 25), "il6_modify.png");
}

void TForm2::ConnectHandlers() {
    using dialogs::Guarded;
    connect(SpeedButton1, &QToolButton::clicked, this, Guarded([this] { SpeedButton1Click(); }));
    connect(SpeedButton2, &QToolButton::clicked, this, Guarded([this] { SpeedButton2Click(); }));
    connect(SpeedButton3, &QToolButton::clicked, this, Guarded([this] { SpeedButton3Click(); }));
    connect(SpeedButton4, &QToolButton::clicked, this, Guarded([this] { SpeedButton4Click(); }));
    connect(SpeedButton5, &QToolButton::clicked, this, Guarded([this] { SpeedButton5Click(); }));
    connect(Button1, &QToolButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(SpeedButton6, &QToolButton::clicked, this, Guarded([this] { SpeedButton6Click(); }));
    connect(SetFocusTimer, &QTimer::timeout, this, Guarded([this] { SetFocusTimerTimer(); }));
    // The lists report only the user's choices; the spin edit and the rating
    // report every change, also those the dialog makes itself.
    connect(ComboBox2, &QComboBox::activated, this, Guarded([this] { ComboBox2Change(); }));
    connect(ComboBox3, &QComboBox::activated, this, Guarded([this] { ComboBox3Change(); }));
    connect(ComboBox4, &QComboBox::activated, this, Guarded([this] { ComboBox4Change(); }));
    connect(ComboBox4->lineEdit(), &QLineEdit::textEdited, this, Guarded([this] { ComboBox4Change(); }));
    connect(ComboBox5, &QComboBox::activated, this, Guarded([this] { ComboBox5Change(); }));
    connect(CSpinEdit1, &QSpinBox::valueChanged, this, Guarded([this] { CSpinEdit1Change(); }));
    connect(Edit2, &QLineEdit::textChanged, this, Guarded([this] { Edit2Change(); }));
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, Guarded([this] { ListBox1Click(); }));
    ListBox1->installEventFilter(this);
    Image2->installEventFilter(this);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBox1 && event->type() == QEvent::FocusOut) {
        // Leaving the list for another control, not the window losing focus.
        Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            dialogs::Guard([this] { ListBox1Exit(); });
    }
    if (watched == Image2 && event->type() == QEvent::MouseButtonDblClick) {
        dialogs::Guard([this] { Button1Click(); });
        return true;
    }
    return TDialogForm::eventFilter(watched, event);
}

// ---- Opening and filling the dialog

bool TForm2::NewEntry() { return ShowFor(false, -1); }

bool TForm2::ModifyEntry(int row) { return ShowFor(true, row); }

bool TForm2::ShowFor(bool modify, int row) {
    modifyMode_ = modify;
    modifiedItem_ = row;
    exec();
    return !nothingSaved_;
}

void TForm2::FormShow() {
    PageControl1->setCurrentIndex(0);
    SavedAndNew = false;
    nothingSaved_ = true;
    Keys().SkipNextKeyUp = false;
    LoadGenreList();
    if (modifyMode_) FillFromRecord();
    else
        FillDefaults();
    SetFocusTimer->start();
}

void TForm2::SetFocusTimerTimer() {
    SetFocusTimer->stop();
    Edit1->setFocus();
}

void TForm2::LoadGenreList() {
    GenreFile file = OpenGenreFile(GenreFilePath(settings_->AppDir()));
    // The key that answers the error box must not act in the dialog.
    if (!file.error.empty()) Keys().ShowError(file.error);
    genreText_ = std::move(file.text);
    genres_ = GenreItems(genreText_);
    QStringList genres;
    for (std::string_view genre : genres_) genres << ansi::ToShownQString(genre);
    QSignalBlocker quiet(ListBox1);
    ListBox1->clear();
    ListBox1->addItems(genres);
}

int TForm2::IndexOfItem(const QComboBox* list, std::string_view text, int fallback) {
    return IndexInModel(list->model(), text, fallback);
}

int TForm2::IndexOfGenre(std::string_view genre, int fallback) const {
    auto found = std::find(genres_.begin(), genres_.end(), genre);
    return found == genres_.end() ? fallback : static_cast<int>(found - genres_.begin());
}

void TForm2::FillFromRecord() {
    // The record's texts as the catalogue holds them; the controls get
    // what they can show of each.
    const RecordStore::FieldViews entry = catalogue_->Fields(modifiedItem_);
    auto shown = [&entry](MovieField f) { return ansi::ToShownQString(entry[f]); };
    Edit1->setText(shown(FieldTitle));
    // A text that is not in a list selects its second item.
    SelectGenre(IndexOfGenre(entry[FieldGenre], 1));
    ComboBox3->setCurrentIndex(IndexOfItem(ComboBox3, entry[FieldMedia], 1));
    ComboBox2->setCurrentIndex(IndexOfItem(ComboBox2, entry[FieldLanguage], 1));
    int status = IndexOfItem(ComboBox4, entry[FieldStatus], -1);
    ComboBox4->setCurrentIndex(status);
    if (status < 0) ComboBox4->setEditText(shown(FieldStatus));
    ComboBox5->setCurrentIndex(IndexOfItem(ComboBox5, entry[FieldViewed], 1));
    CSpinEdit1->setValue(ansi::StrToIntDef(entry[FieldDisks], 1));
    std::optional<int> mid = ansi::TryStrToInt(entry[FieldMID]);
    CSpinEdit2->setValue(mid ? *mid : ansi::StrToIntDef(::NextFreeMID(catalogue_->Records()), 0));
    Edit2->setText(shown(FieldRating));
    Edit4->setText(shown(FieldPicture));
    // The stored thumbnail, when it is there. One that cannot be shown is
    // reported once the dialog is filled: the rest of the entry must not be
    // lost with it.
    Image2->ClearPicture();
    AnsiString problem;
    // A name too long to be shown whole is no file's name.
    AnsiString picture = PicturePath(settings_->AppDir(), ansi::ShownPart(entry[FieldPicture]));
    if (!ansi::IsShownCut(entry[FieldPicture]) && files::FileExists(picture)) {
        try {
            LadeBild(picture);
        } catch (const Exception& e) {
            problem = e.Message;
        }
    }
    Memo2->SetText(ansi::ShownPart(entry[FieldDescription]));
    if (!problem.empty()) Keys().ShowError(problem);
}

void TForm2::FillDefaults() {
    // A remembered index: 0 when absent, not a number or negative. One
    // beyond the end of its list leaves the list without a selection.
    auto index = [this](const char* name) { return std::max(ansi::StrToIntDef(Remembered(name), 0), 0); };
    Edit1->clear();
    Edit4->clear();
    Memo2->clear();
    Image2->ClearPicture();
    SelectGenre(index(defaults::Genre));
    ComboBox3->setCurrentIndex(index(defaults::Type));
    int disks = ansi::StrToIntDef(Remembered(defaults::Disks), 1);
    CSpinEdit1->setValue(disks > 0 ? disks : 1);
    CSpinEdit2->setValue(ansi::StrToIntDef(::NextFreeMID(catalogue_->Records()), 0));
    Edit2->setText(ansi::ToQString(Remembered(defaults::Rating)));
    ComboBox2->setCurrentIndex(index(defaults::Language));
    ComboBox4->setCurrentIndex(index(defaults::Status));
    ComboBox5->setCurrentIndex(index(defaults::Viewed));
}

MovieRecord TForm2::NewEntryDefaults() {
    LoadGenreList();
    FillDefaults();
    MovieRecord r;
    if (int genre = GenreIndex(); genre >= 0) r.Genre = genres_[static_cast<size_t>(genre)];
    r.Language = Text(ComboBox2->currentText());
    r.Media = Text(ComboBox3->currentText());
    r.Disks = ansi::IntToStr(CSpinEdit1->value());
    r.Status = Text(ComboBox4->currentText());
    r.Viewed = Text(ComboBox5->currentText());
    r.Rating = Text(Edit2->text());
    return r;
}

AnsiString TForm2::Remembered(const char* name) const {
    // A value stored as anything but text (by another program, an older
    // version, a hand edit) is no default: the built-in one stays in force,
    // and the dialog fills every other field as usual.
    try {
        return settings_->Pop(name);
    } catch (const ERegistryException&) {
        return {};
    }
}

int TForm2::GenreIndex() const {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.front());
}

void TForm2::SelectGenre(int index) {
    QSignalBlocker quiet(ListBox1);
    if (index >= 0 && index < ListBox1->count()) {
        ListBox1->setCurrentRow(index);
    } else {
        ListBox1->setCurrentRow(-1);
        ListBox1->clearSelection();
    }
}

int TForm2::StatusIndex() const {
    int i = ComboBox4->currentIndex();
    return i >= 0 && ComboBox4->itemText(i) == ComboBox4->currentText() ? i : -1;
}

// ---- Storing

std::string_view TForm2::Kept(int field, const AnsiString& text) const {
    if (!modifyMode_) return text;
    std::string_view whole = catalogue_->Field(modifiedItem_, field);
    return ansi::IsShownCut(whole) && text == ansi::ShownPart(whole) ? whole : std::string_view(text);
}

bool TForm2::StoreEntry() {
    AnsiString titleText = Text(Edit1->text());
    const std::string_view title = Kept(FieldTitle, titleText);
    if (ansi::IsBlank(title)) return false;
    // A list left without a selection (an empty genre list, a remembered
    // index beyond a list) stores an empty field.
    int genre = GenreIndex();
    // The description is one line: line breaks are dropped, not replaced.
    AnsiString description = Memo2->Text();
    std::erase_if(description, [](char c) { return c == '\r' || c == '\n'; });
    Memo2->SetText(description);

    // Texts a control shows cut are stored whole unless they were edited;
    // the record's own texts are read while it is stored again.
    const AnsiString mid = ansi::IntToStr(CSpinEdit2->value()), language = Text(ComboBox2->currentText()),
                     media = Text(ComboBox3->currentText()), disks = ansi::IntToStr(CSpinEdit1->value()),
                     viewed = Text(ComboBox5->currentText());
    // The selected item, or the text typed in its place.
    AnsiString status = Text(ComboBox4->currentText()), rating = Text(Edit2->text()), picture = Text(Edit4->text());
    RecordStore::FieldViews record;
    record[FieldTitle] = title;
    record[FieldMID] = mid;
    if (genre >= 0) record[FieldGenre] = genres_[static_cast<size_t>(genre)];
    record[FieldLanguage] = language;
    record[FieldMedia] = media;
    record[FieldDisks] = disks;
    record[FieldStatus] = Kept(FieldStatus, status);
    record[FieldViewed] = viewed;
    record[FieldRating] = Kept(FieldRating, rating);
    record[FieldPicture] = Kept(FieldPicture, picture);
    record[FieldDescription] = Kept(FieldDescription, description);
    if (modifyMode_) catalogue_->SetFields(modifiedItem_, record);
    else
        catalogue_->AppendFields(record);
    return true;
}

void TForm2::RefuseStore() {
    Keys().MessageBox("You forgot to enter some information, please correct this issue!",
                      "Error adding/modifying entry", dialogs::Icon::Error, dialogs::Buttons::OK);
}

void TForm2::SpeedButton3Click() {
    if (!StoreEntry()) {
        RefuseStore();
        return;
    }
    nothingSaved_ = false;
    close();
}

void TForm2::SpeedButton2Click() {
    PageControl1->setCurrentIndex(0);
    if (!StoreEntry()) {
        RefuseStore();
        return;
    }
    // From now on every store appends.
    modifyMode_ = false;
    FillDefaults();
    SetFocusTimer->start();
    SavedAndNew = true;
}

void TForm2::SpeedButton1Click() {
    // A new entry's picture belongs to nobody once the entry is dropped. In
    // modify mode picture changes have already been applied to the record.
    if (!modifyMode_) DeleteThumbnail(settings_->AppDir(), Text(Edit4->text()));
    close();
}

void TForm2::SpeedButton5Click() {
    SpeedButton4Click();
    Edit1->clear();
    SelectGenre(0);
    for (QComboBox* list : {ComboBox3, ComboBox2, ComboBox4, ComboBox5}) list->setCurrentIndex(0);
    CSpinEdit1->setValue(1);
    Edit2->clear();
    Memo2->clear();
    TVReg* reg = settings_;
    reg->Push(defaults::Genre, ansi::IntToStr(GenreIndex()));
    reg->Push(defaults::Viewed, ansi::IntToStr(ComboBox5->currentIndex()));
    reg->Push(defaults::Status, ansi::IntToStr(StatusIndex()));
    reg->Push(defaults::Type, ansi::IntToStr(ComboBox3->currentIndex()));
    reg->Push(defaults::Language, ansi::IntToStr(ComboBox2->currentIndex()));
    reg->Push(defaults::Rating, Text(Edit2->text()));
    reg->Push(defaults::Disks, ansi::IntToStr(CSpinEdit1->value()));
}

// ---- The cover picture

void TForm2::RemoveCurrentPicture() {
    // A name too long to be shown whole is no file's name: nothing to delete.
    AnsiString shown = Text(Edit4->text());
    const std::string_view kept = Kept(FieldPicture, shown);
    const AnsiString old = ansi::IsShownCut(kept) ? AnsiString() : AnsiString(kept);
    Image2->ClearPicture();
    Edit4->clear();
    if (modifyMode_) {
        // The record loses its picture at once, even if the dialog is
        // cancelled afterwards; the catalogue has changed all the same.
        RecordStore::FieldViews record = catalogue_->Fields(modifiedItem_);
        record[FieldPicture] = {};
        catalogue_->SetFields(modifiedItem_, record);
        nothingSaved_ = false;
    }
    // Only a thumbnail of the program's own is deleted; a field naming
    // anything else is emptied and its file left alone.
    DeleteThumbnail(settings_->AppDir(), old);
}

void TForm2::LadeBild(const AnsiString& fileName) {
    Image2->ClearPicture();
    const QSize panel = Panel2->size();
    jpeg::Picture picture = jpeg::DecodeFile(fileName,
                                             [panel](QSize natural) { return PreviewRect(natural, panel).size(); });
    const QRect place = PreviewRect(picture.natural, panel);
    if (place.isNull()) return;
    Image2->setGeometry(place);
    Image2->SetStretch(true);
    if (!place.isEmpty())
        Image2->SetPicture(picture.image.scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

AnsiString TForm2::CaptureThumbnail() {
    // The panel as it shows on its page, without its bevel.
    PageControl1->setCurrentWidget(TabSheet2);
    struct FlatWhileCaptured {
        QFrame* panel;
        explicit FlatWhileCaptured(QFrame* p) : panel(p) { panel->setFrameShape(QFrame::NoFrame); }
        ~FlatWhileCaptured() { panel->setFrameShape(QFrame::Panel); }
    } flat(Panel2);
    // The offsets move the panel's place on its page to its place in the dialog.
    const QPoint offset = Panel2->parentWidget()->mapTo(this, QPoint(0, 0));
    return VSnapShot1->JPEGBytes(80, this, Panel2, offset.x(), offset.y());
}

void TForm2::MakeThumbnail(const AnsiString& source, int number, bool shown) {
    Edit4->setText(ansi::ToQString(NewThumbnail(source, number, shown)));
}

AnsiString TForm2::NewThumbnail(const AnsiString& source, int number, bool shown) {
    const AnsiString dir = settings_->AppDir();
    // The source's name as the catalogue holds text.
    const AnsiString sourceName = ansi::FromQString(QFileInfo(QFile::decodeName(source.c_str())).fileName());
    AnsiString name;
    try {
        AnsiString bytes;
        if (!sourceName.starts_with("t_")) {
            if (shown && files::FileExists(source)) LadeBild(source);
            else
                Image2->ClearPicture();
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
        Image2->ClearPicture();
        throw;
    }
    return name;
}

void TForm2::Button1Click() {
    rng::Randomize();
    const int number = rng::Random(1000);
    if (!Edit4->text().isEmpty()) {
        if (Keys().MessageBox(kReplacePicture, "Warning", dialogs::Icon::Question, dialogs::Buttons::YesNo) !=
            dialogs::IDYES)
            return;
        RemoveCurrentPicture();
    }
    if (!OpenPictureDialog1->Execute()) return;
    try {
        MakeThumbnail(OpenPictureDialog1->FileName, number);
    } catch (const Exception& e) {
        Keys().ShowError(e.Message);
    }
}

void TForm2::SpeedButton4Click() {
    if (Edit4->text().isEmpty()) return;
    if (Keys().MessageBox("Do you really want to delete the current picture?", "Warning", dialogs::Icon::Question,
                          dialogs::Buttons::YesNo) != dialogs::IDYES)
        return;
    RemoveCurrentPicture();
}

void TForm2::SpeedButton6Click() {
    rng::Randomize();
    const int first = rng::Random(1000);
    const int second = rng::Random(1000);
    Image3->ClearPicture();
    const AnsiString dir = settings_->AppDir();
    // A file of that name (a page declined earlier, or anything else) is
    // never overwritten.
    ScanFileName = files::JoinPath(dir, FreeScanName(first, TakenIn(dir), rng::Random));
    ScanDone = false;
    setEnabled(false);
    bool stillHere = true;
    try {
        TWAIN->Acquire(Image3->Bitmap());
        stillHere = WaitForScan();
    } catch (const Exception& e) {
        // Nothing was scanned, or the scan failed: the dialog is usable
        // again, no file is made and nothing is asked.
        setEnabled(true);
        Image3->ClearPicture();
        Keys().ShowError(e.Message);
        return;
    }
    if (!stillHere) return;
    setEnabled(true);
    // Left without the scanner's word: it is gone, or the program ends.
    if (!ScanDone) {
        Image3->ClearPicture();
        return;
    }
    const bool pageArrived = !Image3->Picture().isNull();
    try {
        WriteScanFile();
    } catch (const Exception& e) {
        // Without the file there is nothing to make a thumbnail of: the
        // current picture stays.
        Keys().ShowError(e.Message);
        return;
    }
    if (Keys().MessageBox(kReplacePicture, "Warning", dialogs::Icon::Question, dialogs::Buttons::YesNo) !=
        dialogs::IDYES)
        return;  // the page stays in its file
    RemoveCurrentPicture();
    // Without a page the file is empty, and the thumbnail the empty panel.
    MakeThumbnail(ScanFileName, second, pageArrived);
    // The page is in its thumbnail now; the file was made by this scan.
    files::DeleteFile(ScanFileName);
}

bool TForm2::WaitForScan() {
    // The scanner's window is the only thing the user can use meanwhile; its
    // page (or its closing) arrives through the application's events, and
    // so do its errors.
    QPointer<TForm2> alive(this);
    std::exception_ptr failure;
    QEventLoop wait;
    messagefilter::ErrorCatcher caught([&](std::exception_ptr error) {
        if (!failure) failure = std::move(error);
        wait.quit();
    });
    connect(TWAIN, &QObject::destroyed, &wait, &QEventLoop::quit);
    scanWait_ = &wait;
    // The loop also ends when the application quits.
    if (!ScanDone) wait.exec();
    if (!alive) return false;
    scanWait_ = nullptr;
    if (failure) std::rethrow_exception(failure);
    return true;
}

void TForm2::TWAINScanReady() {
    ScanDone = true;
    if (scanWait_) scanWait_->quit();
}

void TForm2::WriteScanFile() {
    struct EmptiedAfterwards {
        TImage* image;
        ~EmptiedAfterwards() { image->ClearPicture(); }
    } emptied{Image3};
    const QImage& page = Image3->Picture();
    const AnsiString bytes = page.isNull() ? AnsiString() : jpeg::Encode(page, 90, false);
    // The name chosen before the scan, unless another program has taken it.
    const AnsiString dir = settings_->AppDir(), chosen = files::ExtractFileName(ScanFileName);
    auto choose = [&] {
        return files::Occupied(ScanFileName) ? FreeScanName(rng::Random(1000), TakenIn(dir), rng::Random) : chosen;
    };
    ScanFileName = files::JoinPath(dir, files::CreateNewFileIn(dir, choose, bytes));
}

// ---- Remembered defaults: each change is written at once

void TForm2::ComboBox2Change() { settings_->Push(defaults::Language, ansi::IntToStr(ComboBox2->currentIndex())); }
void TForm2::ComboBox3Change() { settings_->Push(defaults::Type, ansi::IntToStr(ComboBox3->currentIndex())); }
void TForm2::ComboBox4Change() { settings_->Push(defaults::Status, ansi::IntToStr(StatusIndex())); }
void TForm2::ComboBox5Change() { settings_->Push(defaults::Viewed, ansi::IntToStr(ComboBox5->currentIndex())); }
void TForm2::CSpinEdit1Change() { settings_->Push(defaults::Disks, ansi::IntToStr(CSpinEdit1->value())); }
void TForm2::Edit2Change() { settings_->Push(defaults::Rating, Text(Edit2->text())); }
void TForm2::ListBox1Click() { settings_->Push(defaults::Genre, ansi::IntToStr(GenreIndex())); }
void TForm2::ListBox1Exit() { ListBox1Click(); }

// ---- Keys and closing

bool TForm2::FormKeyUp(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifyMode_) SpeedButton3Click();
        else
            SpeedButton2Click();
        return true;
    case Qt::Key_Escape: SpeedButton1Click(); return true;
    default: return false;
    }
}

void TForm2::FormCloseQuery(bool&) {
    if (SavedAndNew) nothingSaved_ = false;
}

void TForm2::FormClose() {
    Image2->ClearPicture();
    // The genre file is read again at the next showing.
    genres_.clear();
    genreText_ = AnsiString();
}
