#pragma once
// The catalogue in memory: the rows of the film list, in display order, as a
// table model with one column per field. The list is handed the first
// characters of each text (ansi::kShownLength); the rows keep it whole.

#include "app/catalogue/RecordStore.h"

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
    // The same from views of texts, which may be the row's own.
    void AppendFields(const RecordStore::FieldViews& fields);
    void SetFields(int row, const RecordStore::FieldViews& fields);
    // Appends all of these rows at once.
    void AppendRows(const RecordStore& rows);
    // Replaces all rows at once.
    void ResetRows(RecordStore rows);
    // Puts the rows in the given order (entry i: the row that goes to place
    // i); selection and current row move with their rows.
    void Reorder(const std::vector<uint32_t>& order);
    // Removes the flagged rows; the others keep their order.
    void RemoveFlagged(const std::vector<bool>& flagged);

    // The small pictures: the row picture in front of every title, and the
    // picture shown in a column header (-1: none).
    void SetImages(const QList<QIcon>& images) { images_ = images; }
    void SetRowImage(int image) { rowImage_ = image; }
    int HeaderImage(int column) const { return headerImages_[static_cast<size_t>(column)]; }
    void SetHeaderImage(int column, int image);

private:
    QIcon Image(int index) const;

    RecordStore rows_;
    QList<QIcon> images_;
    int rowImage_ = -1;
    std::array<int, FieldCount> headerImages_;
};
