#pragma once
// "Import Films from <file name>": what an import will do before it does
// it. The first films as they will be stored, how many the file holds, how
// many are skipped as already in the catalogue, what the catalogue cannot
// hold; for a spreadsheet, the file column each field takes. "&Import"
// (Enter) accepts, "&Cancel" (Escape) leaves everything as it was.

#include "app/formats/Import.h"
#include "app/forms/TDialogForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QStandardItemModel;
class QTableView;

class TImportDialog : public TDialogForm {
    Q_OBJECT
public:
    TImportDialog(QWidget* parent, const ImportTable& table, const AnsiString& fileName, const MovieRecord& defaults,
                  const RecordStore& catalogue, const TImage* texture);

    // The choices to import with: the column of each field, and whether
    // films already in the catalogue are left out.
    ColumnMap Columns() const;
    bool SkipDuplicates() const;

    // The preview shows at most this many films.
    static constexpr int kPreviewRows = 100;

    QLabel* Summary;                                   // films found, skipped, characters replaced, covers
    QTableView* Preview;                               // the first films as they will be stored
    std::array<QComboBox*, FieldCount> ColumnBoxes{};  // spreadsheets: the column of each field
    QCheckBox* SkipPresent;                            // "&Skip films already in the catalogue"
    QToolButton *ImportButton, *CancelButton;

    bool FormKeyUp(QKeyEvent* key) override;

private:
    // Shows the first films the choices make, and counts them all.
    void Refresh();

    const ImportTable& table_;
    const MovieRecord defaults_;
    const RecordStore& catalogue_;
    QStandardItemModel* model_;
    ImportedFilms films_;  // the first kPreviewRows of them, and the counts
};
