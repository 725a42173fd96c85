#include "app/catalogue/CatalogueModel.h"

#include <algorithm>

namespace {
const char* const kCaptions[FieldCount] = {"Titel",  "#",      "Genre",  "Language", "Media",      "Disks",
                                           "Status", "Viewed", "Rating", "Picture",  "Description"};
}

CatalogueModel::CatalogueModel(QObject* parent) : QAbstractTableModel(parent) { headerImages_.fill(-1); }

CatalogueModel::~CatalogueModel() { BeforeChange(); }

QIcon CatalogueModel::Image(int index) const { return index >= 0 && index < images_.size() ? images_[index] : QIcon(); }

int CatalogueModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(filtered_ ? shown_.size() : rows_.size());
}

int CatalogueModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FieldCount; }

QVariant CatalogueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return ansi::ToShownQString(Field(index.row(), index.column()));
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
    BeforeChange();
    int row = rowCount();
    beginInsertRows({}, row, row);
    rows_.Append(fields);
    if (filtered_) shown_.push_back(static_cast<uint32_t>(rows_.size() - 1));
    endInsertRows();
}

void CatalogueModel::AppendRows(const RecordStore& rows) {
    if (rows.empty()) return;
    BeforeChange();
    int row = rowCount();
    beginInsertRows({}, row, row + static_cast<int>(rows.size()) - 1);
    for (size_t i = 0; i < rows.size(); ++i) {
        rows_.Append(rows.Fields(i));
        // While a filter is active, the films added join those shown.
        if (filtered_) shown_.push_back(static_cast<uint32_t>(rows_.size() - 1));
    }
    endInsertRows();
}

void CatalogueModel::SetRecord(int row, const MovieRecord& record) { SetFields(row, RecordStore::Views(record)); }

void CatalogueModel::SetFields(int row, const RecordStore::FieldViews& fields) {
    BeforeChange();
    rows_.Set(FilmAt(row), fields);
    emit dataChanged(index(row, 0), index(row, FieldCount - 1));
}

void CatalogueModel::ResetRows(RecordStore rows) {
    BeforeChange();
    beginResetModel();
    rows_ = std::move(rows);
    filtered_ = false;
    shown_ = {};
    endResetModel();
}

void CatalogueModel::SetHeaderImage(int column, int image) {
    if (headerImages_[static_cast<size_t>(column)] == image) return;
    headerImages_[static_cast<size_t>(column)] = image;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void CatalogueModel::Reorder(const std::vector<uint32_t>& order) {
    BeforeChange();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    // The new place of each row, where rows shown or kept by the views
    // must follow their films.
    std::vector<int> placeOf;
    if (filtered_ || !before.isEmpty()) {
        placeOf.resize(order.size());
        for (size_t place = 0; place < order.size(); ++place) placeOf[order[place]] = static_cast<int>(place);
    }
    rows_.Reorder(order);
    // Shown, the films keep their order among themselves: the rows move
    // from the film's old place to the rank of its new one among them.
    std::vector<int> rowOf;
    if (filtered_) {
        std::vector<uint32_t> shownBefore = std::move(shown_);
        shown_.clear();
        for (uint32_t film : shownBefore) shown_.push_back(static_cast<uint32_t>(placeOf[film]));
        std::vector<uint32_t> byPlace(shown_);
        std::sort(shown_.begin(), shown_.end());
        // The new row of each old row.
        rowOf.resize(shownBefore.size());
        for (size_t r = 0; r < byPlace.size(); ++r)
            rowOf[r] = static_cast<int>(std::lower_bound(shown_.begin(), shown_.end(), byPlace[r]) - shown_.begin());
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before) {
        const size_t row = static_cast<size_t>(i.row());
        after.append(index(filtered_ ? rowOf[row] : placeOf[row], i.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CatalogueModel::RemoveFlagged(const std::vector<bool>& flagged) {
    BeforeChange();
    beginResetModel();
    if (!filtered_) {
        rows_.RemoveFlagged(flagged);
    } else {
        const std::vector<bool> films = FilmsAtRows(flagged);
        rows_.RemoveFlagged(films);
        // Each kept film moves up by the number of removed ones before it.
        std::vector<uint32_t> kept;
        size_t film = 0, removed = 0;
        for (size_t r = 0; r < shown_.size(); ++r) {
            for (; film < shown_[r]; ++film) removed += films[film];
            if (!flagged[r]) kept.push_back(static_cast<uint32_t>(shown_[r] - removed));
        }
        shown_ = std::move(kept);
    }
    endResetModel();
}

std::vector<bool> CatalogueModel::FilmsAtRows(const std::vector<bool>& rows) const {
    std::vector<bool> films(rows_.size());
    for (size_t r = 0; r < rows.size(); ++r)
        if (rows[r]) films[FilmAt(static_cast<int>(r))] = true;
    return films;
}

int CatalogueModel::RowOfFilm(size_t film) const {
    if (!filtered_) return film < rows_.size() ? static_cast<int>(film) : -1;
    const auto at = std::find(shown_.begin(), shown_.end(), film);
    return at == shown_.end() ? -1 : static_cast<int>(at - shown_.begin());
}

void CatalogueModel::ShowOnly(std::vector<uint32_t> films) {
    beginResetModel();
    filtered_ = true;
    shown_ = std::move(films);
    endResetModel();
}

void CatalogueModel::ShowAll() {
    if (!filtered_) return;
    beginResetModel();
    filtered_ = false;
    shown_ = {};
    endResetModel();
}
