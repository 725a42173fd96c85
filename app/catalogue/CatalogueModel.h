#pragma once
// The catalogue in memory: the rows of the film list, in display order, as a
// table model with one column per field. The list is handed the first
// characters of each text (ansi::kShownLength); the rows keep it whole.
//
// A filter makes the list's rows a part of the films: the model's rows
// (and every row number taken or given here) are then the films shown, in
// display order, while Records() always holds every film. Films added while
// a filter is active are shown at the end; changing a film keeps it shown;
// sorting orders every film and shows the same ones.

#include "app/catalogue/RecordStore.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <functional>

class CatalogueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CatalogueModel(QObject* parent = nullptr);
    // Runs the hook of SetBeforeChange: the films are going.
    ~CatalogueModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Every film, shown or not.
    const RecordStore& Records() const { return rows_; }
    MovieRecord Record(int row) const { return rows_.Get(FilmAt(row)); }
    RecordStore::FieldViews Fields(int row) const { return rows_.Fields(FilmAt(row)); }
    std::string_view Field(int row, int field) const { return rows_.Field(FilmAt(row), field); }
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

    // The filter: only the films at these places of Records() (in store
    // order) are rows of the list; or every film again.
    void ShowOnly(std::vector<uint32_t> films);
    void ShowAll();
    bool Filtered() const { return filtered_; }
    // The places of the films shown (only while Filtered()).
    const std::vector<uint32_t>& Shown() const { return shown_; }
    // The place in Records() of the film at a row of the list.
    size_t FilmAt(int row) const { return filtered_ ? shown_[static_cast<size_t>(row)] : static_cast<size_t>(row); }
    // The row that shows the film, -1 when none does.
    int RowOfFilm(size_t film) const;
    // One flag per film of Records(): set for the films at the flagged rows.
    std::vector<bool> FilmsAtRows(const std::vector<bool>& rows) const;
    // Runs before anything changes the films (a search reading them on
    // another thread must stop first).
    void SetBeforeChange(std::function<void()> hook) { beforeChange_ = std::move(hook); }

    // The small pictures: the row picture in front of every title, and the
    // picture shown in a column header (-1: none).
    void SetImages(const QList<QIcon>& images) { images_ = images; }
    void SetRowImage(int image) { rowImage_ = image; }
    int HeaderImage(int column) const { return headerImages_[static_cast<size_t>(column)]; }
    void SetHeaderImage(int column, int image);

private:
    QIcon Image(int index) const;
    void BeforeChange() {
        if (beforeChange_) beforeChange_();
    }

    RecordStore rows_;
    bool filtered_ = false;
    std::vector<uint32_t> shown_;
    std::function<void()> beforeChange_;
    QList<QIcon> images_;
    int rowImage_ = -1;
    std::array<int, FieldCount> headerImages_;
};
