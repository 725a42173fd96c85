#include "app/mainwindow/ImportDialog.h"

#include "app/catalogue/CatalogueModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>

namespace {

constexpr int kClientWidth = 760, kClientHeight = 470, kStripHeight = 35;
// The preview's columns: the list's first eight and the description.
constexpr int kShownFields[] = {FieldTitle, FieldMID,    FieldGenre,  FieldLanguage,   FieldMedia,
                                FieldDisks, FieldStatus, FieldViewed, FieldDescription};
// The fields a spreadsheet column can give: all but the picture.
constexpr int kMappedFields[] = {FieldTitle, FieldMID,    FieldGenre,  FieldLanguage, FieldMedia,
                                 FieldDisks, FieldStatus, FieldViewed, FieldRating,   FieldDescription};

QString Count(size_t n) { return QString::number(qulonglong(n)); }

// The film list's caption of a field's column.
QString Caption(int field) { return CatalogueModel().headerData(field, Qt::Horizontal, Qt::DisplayRole).toString(); }

}  // namespace

TImportDialog::TImportDialog(QWidget* parent, const ImportTable& table, const AnsiString& fileName,
                             const MovieRecord& defaults, const RecordStore& catalogue, const TImage* texture)
    : TDialogForm(parent, "ImportDialog", "", QSize(kClientWidth, kClientHeight), texture, kStripHeight), table_(table),
      defaults_(defaults), catalogue_(catalogue) {
    setWindowTitle("Import Films from " + ansi::ToQString(fileName));
    Summary = new QLabel(this);
    Summary->setObjectName("Summary");
    Summary->setGeometry(8, 6, kClientWidth - 16, 58);
    Summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Summary->setWordWrap(true);

    int top = 68;
    if (!table.Tellico) {
        // One drop-down per field, naming the file column it takes.
        QStringList names{"(none)"};
        for (size_t c = 0; c < table.Columns(); ++c)
            names << (c < table.Header.size() && !ansi::IsBlank(table.Header[c]) ? ansi::ToShownQString(table.Header[c])
                                                                                 : QString("Column %1").arg(c + 1));
        const ColumnMap guessed = GuessColumns(table);
        int k = 0;
        for (int f : kMappedFields) {
            const int x = 8 + (k % 5) * 150, y = top + (k / 5) * 42;
            auto* label = new QLabel(Caption(f) + " :", this);
            label->setGeometry(x, y, 140, 16);
            auto* box = new QComboBox(this);
            box->setObjectName(QString("Column%1").arg(f));
            box->addItems(names);
            box->setCurrentIndex(guessed[static_cast<size_t>(f)] + 1);
            box->setGeometry(x, y + 16, 140, 22);
            label->setBuddy(box);
            ColumnBoxes[static_cast<size_t>(f)] = box;
            connect(box, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
            ++k;
        }
        top += 2 * 42 + 4;
    }

    model_ = new QStandardItemModel(this);
    QStringList captions;
    for (int f : kShownFields) captions << Caption(f);
    model_->setHorizontalHeaderLabels(captions);
    Preview = new QTableView(this);
    Preview->setObjectName("Preview");
    Preview->setModel(model_);
    Preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Preview->setSelectionMode(QAbstractItemView::NoSelection);
    Preview->verticalHeader()->hide();
    Preview->verticalHeader()->setDefaultSectionSize(18);
    Preview->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {170, 40, 90, 70, 60, 40, 80, 50};
    for (int c = 0; c < int(std::size(widths)); ++c) Preview->setColumnWidth(c, widths[c]);
    const int previewBottom = kClientHeight - kStripHeight - 30;
    Preview->setGeometry(8, top, kClientWidth - 16, previewBottom - top);

    SkipPresent = new QCheckBox("&Skip films already in the catalogue", this);
    SkipPresent->setObjectName("SkipPresent");
    SkipPresent->setChecked(true);
    SkipPresent->setGeometry(8, previewBottom + 6, 400, 20);
    connect(SkipPresent, &QCheckBox::toggled, this, [this] { Refresh(); });

    const int buttonTop = kClientHeight - kStripHeight + 5;
    ImportButton = AddStripButton("ImportButton", "&Import", QRect(kClientWidth - 200, buttonTop, 90, 25));
    CancelButton = AddStripButton("CancelButton", "&Cancel", QRect(kClientWidth - 100, buttonTop, 90, 25));
    connect(ImportButton, &QToolButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QToolButton::clicked, this, &QDialog::reject);
    Refresh();
}

ColumnMap TImportDialog::Columns() const {
    if (table_.Tellico) return TellicoColumns();
    ColumnMap columns;
    columns.fill(-1);
    for (int f : kMappedFields)
        columns[static_cast<size_t>(f)] = ColumnBoxes[static_cast<size_t>(f)]->currentIndex() - 1;
    return columns;
}

bool TImportDialog::SkipDuplicates() const { return SkipPresent->isChecked(); }

void TImportDialog::Refresh() {
    // Only the films shown become records: a choice changed on a file of a
    // million rows only counts the rest again.
    films_ = BuildImport(table_, Columns(), defaults_, catalogue_, SkipDuplicates(), {}, size_t(kPreviewRows));
    QStringList lines;
    lines << QString("%1 films found in the file; %2 will be imported, %3 skipped as already in the catalogue.")
                 .arg(Count(table_.Rows() - films_.blank), Count(films_.counted), Count(films_.skipped));
    if (const size_t replaced = table_.ReplacedIn(Columns()))
        lines << QString("%1 characters the catalogue cannot hold will be stored as \"?\".").arg(Count(replaced));
    if (table_.BadCovers)
        lines << QString("%1 covers are missing or no picture: those films are imported without a cover.")
                     .arg(Count(table_.BadCovers));
    Summary->setText(lines.join('\n'));

    model_->setRowCount(0);
    for (size_t i = 0; i < films_.films.size(); ++i) {
        QList<QStandardItem*> row;
        for (int f : kShownFields) row << new QStandardItem(ansi::ToShownQString(films_.films.Field(i, f)));
        model_->appendRow(row);
    }
    ImportButton->setEnabled(films_.counted > 0);
}

bool TImportDialog::FormKeyUp(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (ImportButton->isEnabled()) accept();
        return true;
    case Qt::Key_Escape: reject(); return true;
    default: return false;
    }
}
