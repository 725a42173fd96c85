#include "app/mainwindow/PrintListModel.h"

#include <QHeaderView>
#include <QTableView>
#include <array>

namespace {

struct PrintColumn {
    const char* caption;
    int width;
};
constexpr std::array<PrintColumn, 9> kPrintColumns = {{{"Titel", 200},
                                                       {"#", 50},
                                                       {"Genre", 100},
                                                       {"Language", 80},
                                                       {"Type", 50},
                                                       {"Disks", 50},
                                                       {"Status", 80},
                                                       {"Viewed", 70},
                                                       {"Rating", 50}}};
// The list holds the title and this many fields after it.
constexpr int kFilledFields = 8;

}  // namespace

int PrintListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PrintListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kPrintColumns.size());
}

QVariant PrintListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return ansi::ToQString(rows_.Field(static_cast<size_t>(index.row()), index.column()));
}

QVariant PrintListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return {};
    return QString(kPrintColumns[static_cast<size_t>(section)].caption);
}

void PrintListModel::Fill(const RecordStore& films, const std::vector<bool>* flagged) {
    beginResetModel();
    rows_.Clear();
    for (size_t i = 0; i < films.size(); ++i) {
        if (flagged && !(*flagged)[i]) continue;
        RecordStore::FieldViews fields = films.Fields(i);
        // The list holds what a page can show, not a copy of huge texts.
        for (std::string_view& field : fields) field = ansi::ShownPart(field);
        for (int f = kFilledFields; f < FieldCount; ++f) fields[static_cast<size_t>(f)] = {};
        rows_.Append(fields);
    }
    endResetModel();
}

QTableView* MakePrintListView(QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName("PrintListView");
    view->setModel(new PrintListModel(view));
    for (size_t c = 0; c < kPrintColumns.size(); ++c)
        view->horizontalHeader()->resizeSection(static_cast<int>(c), kPrintColumns[c].width);
    view->hide();
    return view;
}

PrintListModel& PrintRows(QTableView* printListView) { return *static_cast<PrintListModel*>(printListView->model()); }
