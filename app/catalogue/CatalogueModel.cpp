#include "app/catalogue/CatalogueModel.h"

namespace {
const char* const kCaptions[FieldCount] = {"Titel",  "#",      "Genre",  "Language", "Media",      "Disks",
                                           "Status", "Viewed", "Rating", "Picture",  "Description"};
}

CatalogueModel::CatalogueModel(QObject* parent) : QAbstractTableModel(parent) { headerImages_.fill(-1); }

QIcon CatalogueModel::Image(int index) const { return index >= 0 && index < images_.size() ? images_[index] : QIcon(); }

int CatalogueModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CatalogueModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FieldCount; }

QVariant CatalogueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole)
        return ansi::ToShownQString(rows_.Field(static_cast<size_t>(index.row()), index.column()));
    if (role == Qt::DecorationRole && index.column() == FieldTitle) return Image(rowImage_);
    return {};
}

QVariant CatalogueModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < FieldCount)
        return QString::fromLatin1(kCaptions[section]);
    if (orientation == Qt::Horizontal && role == Qt::DecorationRole && section >= 0 && section < FieldCount)
        return Image(HeaderImage(section));
    return QAbstractTableModel::headerData(section, orientation, role);
}

void CatalogueModel::AppendRecord(const MovieRecord& record) { AppendFields(RecordStore::Views(record)); }

void CatalogueModel::AppendFields(const RecordStore::FieldViews& fields) {
    int row = rowCount();
    beginInsertRows({}, row, row);
    rows_.Append(fields);
    endInsertRows();
}

void CatalogueModel::AppendRows(const RecordStore& rows) {
    if (rows.empty()) return;
    int row = rowCount();
    beginInsertRows({}, row, row + static_cast<int>(rows.size()) - 1);
    for (size_t i = 0; i < rows.size(); ++i) rows_.Append(rows.Fields(i));
    endInsertRows();
}

void CatalogueModel::SetRecord(int row, const MovieRecord& record) { SetFields(row, RecordStore::Views(record)); }

void CatalogueModel::SetFields(int row, const RecordStore::FieldViews& fields) {
    rows_.Set(static_cast<size_t>(row), fields);
    emit dataChanged(index(row, 0), index(row, FieldCount - 1));
}

void CatalogueModel::ResetRows(RecordStore rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void CatalogueModel::SetHeaderImage(int column, int image) {
    if (headerImages_[static_cast<size_t>(column)] == image) return;
    headerImages_[static_cast<size_t>(column)] = image;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void CatalogueModel::Reorder(const std::vector<uint32_t>& order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> placeOf(order.size());
    for (size_t place = 0; place < order.size(); ++place) placeOf[order[place]] = static_cast<int>(place);
    rows_.Reorder(order);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before) after.append(index(placeOf[static_cast<size_t>(i.row())], i.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CatalogueModel::RemoveFlagged(const std::vector<bool>& flagged) {
    beginResetModel();
    rows_.RemoveFlagged(flagged);
    endResetModel();
}
