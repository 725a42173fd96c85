#pragma once
// The catalogue in memory: the rows of the film list, in display order, as a
// table model with one column per field.

#include "catalogue/RecordStore.h"

#include <QAbstractTableModel>
#include <QIcon>

class CatalogueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CatalogueModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const RecordStore& Records() const { return rows_; }
    MovieRecord Record(int row) const { return rows_.Get(static_cast<size_t>(row)); }
    void AppendRecord(const MovieRecord& record);
    void SetRecord(int row, const MovieRecord& record);
    // Replaces all rows at once.
    void ResetRows(RecordStore rows);

    // The small picture shown in front of every title.
    void SetRowIcon(const QIcon& icon) { rowIcon_ = icon; }

private:
    RecordStore rows_;
    QIcon rowIcon_;
};
