#include "catalogue/CatalogueModel.h"

namespace {
const char* const kCaptions[FieldCount] = {"Titel",  "#",      "Genre",  "Language", "Media",      "Disks",
                                           "Status", "Viewed", "Rating", "Picture",  "Description"};
}

CatalogueModel::CatalogueModel(QObject* parent) : QAbstractTableModel(parent) {}

int CatalogueModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CatalogueModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FieldCount; }

QVariant CatalogueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return ansi::ToQString(rows_.Field(static_cast<size_t>(index.row()), index.column()));
    if (role == Qt::DecorationRole && index.column() == FieldTitle) return rowIcon_;
    return {};
}

QVariant CatalogueModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < FieldCount)
        return QString::fromLatin1(kCaptions[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void CatalogueModel::AppendRecord(const MovieRecord& record) {
    int row = rowCount();
    beginInsertRows({}, row, row);
    rows_.Append(record);
    endInsertRows();
}

void CatalogueModel::SetRecord(int row, const MovieRecord& record) {
    rows_.Set(static_cast<size_t>(row), record);
    emit dataChanged(index(row, 0), index(row, FieldCount - 1));
}

void CatalogueModel::ResetRows(RecordStore rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}
