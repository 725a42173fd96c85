#pragma once
// The rows of a print job: the films to print, held in the invisible report
// list with the print list's columns.

#include "app/catalogue/RecordStore.h"

#include <QAbstractTableModel>
#include <vector>

class QTableView;
class QWidget;

// The rows to print, with the print list's columns: the title and the
// first seven fields after it (MID to Viewed); Rating stays empty.
class PrintListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Empties the list and copies in the films whose flag is set (all of
    // them without flags), in display order, each text cut to what a
    // control is handed (ansi::kShownLength).
    void Fill(const RecordStore& films, const std::vector<bool>* flagged = nullptr);
    const RecordStore& Rows() const { return rows_; }

private:
    RecordStore rows_;
};

// The invisible report list holding the rows of the last job.
QTableView* MakePrintListView(QWidget* parent);
PrintListModel& PrintRows(QTableView* printListView);
