#include "app/entryeditor/TForm2.h"

#include "app/catalogue/CatalogueModel.h"
#include "app/entryeditor/CoverPicture.h"
#include "app/entryeditor/Defaults.h"
#include "app/entryeditor/Thumbnails.h"
#include "app/formats/CatalogueFile.h"
#include "app/formats/GenreFile.h"
#include "app/forms/FormKeys.h"
#include "app/forms/TImage.h"
#include "components/Vreg/Vreg.h"
#include "components/scansource/ScanSource.h"
#include "platform/dialogs/dialogs.h"
#include "platform/edits/edits.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <optional>

namespace {

AnsiString Text(const QString& text) { return ansi::FromQString(text); }

// Index of the first item whose text is exactly the given text.
int IndexInModel(const QAbstractItemModel* model, std::string_view text, int fallback) {
    for (int i = 0, n = model->rowCount(); i < n; ++i)
        if (Text(model->index(i, 0).data(Qt::DisplayRole).toString()) == text) return i;
    return fallback;
}

}  // namespace

TForm2::TForm2(QWidget* parent, TVReg* settings, CatalogueModel* catalogue, const TImage* texture)
    : TDialogForm(parent, "Form2", "New / Modify Entry", QSize(kClientWidth, kClientHeight), texture, kStripHeight),
      settings_(settings), catalogue_(catalogue), cover_(std::make_unique<CoverPicture>(*this)) {
    setWindowFlag(Qt::WindowStaysOnTopHint);
    BuildControls();
    ConnectHandlers();
}

TForm2::~TForm2() = default;

void TForm2::ConnectHandlers() {
    using dialogs::Guarded;
    TWAIN->OnScanReady = [this](TScanSource*) { TWAINScanReady(); };
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

void TForm2::LadeBild(const AnsiString& fileName) { cover_->Show(fileName); }
void TForm2::MakeThumbnail(const AnsiString& source, int number, bool shown) {
    cover_->MakeThumbnail(source, number, shown);
}
AnsiString TForm2::NewThumbnail(const AnsiString& source, int number, bool shown) {
    return cover_->NewThumbnail(source, number, shown);
}
void TForm2::Button1Click() { cover_->Browse(); }
void TForm2::SpeedButton4Click() { cover_->Clear(); }
void TForm2::SpeedButton6Click() { cover_->Scan(); }
void TForm2::TWAINScanReady() { cover_->ScanReady(); }

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
