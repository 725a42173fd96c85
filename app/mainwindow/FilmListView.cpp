#include "app/mainwindow/FilmListView.h"

#include "platform/dialogs/dialogs.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {
// Cells never show the keyboard focus: the film list shows it around the
// whole focused row instead.
class NoCellFocus : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

class ListDoubleClick : public QObject {
public:
    ListDoubleClick(QTableView* list, std::function<void()> handler)
        : QObject(list), list_(list), handler_(std::move(handler)) {
        list->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        // Only the left button's double click opens the editor.
        if (event->type() == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return true;
            dialogs::Guard(handler_);
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress &&
            !list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).isValid()) {
            list_->setFocus(Qt::MouseFocusReason);
            return true;
        }
        return false;
    }

private:
    QTableView* list_;
    std::function<void()> handler_;
};
}  // namespace

void OnDoubleClick(QTableView* list, std::function<void()> handler) { new ListDoubleClick(list, std::move(handler)); }

FilmListView::FilmListView(QWidget* parent) : QTableView(parent) { setItemDelegate(new NoCellFocus(this)); }

void FilmListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const int across = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(across);
}

void FilmListView::keyboardSearch(const QString& search) {
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.column() != 0)
        selectionModel()->setCurrentIndex(current.siblingAtColumn(0), QItemSelectionModel::NoUpdate);
    QTableView::keyboardSearch(search);
}

QModelIndex FilmListView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int rows = model()->rowCount(rootIndex());
    if (rows == 0) return {};
    const QModelIndex current = currentIndex();
    int row = current.isValid() ? current.row() : 0;
    if (current.isValid()) {
        const int page = RowsInView();
        const int top = FirstRowInView(), bottom = std::min(top + page - 1, rows - 1);
        const int step = std::max(page - 1, 1);
        switch (action) {
        case MoveHome: row = 0; break;
        case MoveEnd: row = rows - 1; break;
        case MoveUp: --row; break;
        case MoveDown: ++row; break;
        case MovePageUp: row = row > top ? top : row - step; break;
        case MovePageDown: row = row < bottom ? bottom : row + step; break;
        default: break;
        }
    }
    return model()->index(std::clamp(row, 0, rows - 1), 0, rootIndex());
}

QItemSelectionModel::SelectionFlags FilmListView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
    // Home and End select also with Ctrl.
    if (event && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) &&
            key->modifiers().testFlag(Qt::ControlModifier)) {
            const QKeyEvent plain(QEvent::KeyPress, key->key(), key->modifiers() & ~Qt::ControlModifier);
            return QTableView::selectionCommand(index, &plain);
        }
    }
    return QTableView::selectionCommand(index, event);
}

void FilmListView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        horizontalScrollBar()->triggerAction(key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                                 : QAbstractSlider::SliderSingleStepAdd);
        event->accept();
        return;
    }
    static constexpr int kMoves[] = {Qt::Key_Home, Qt::Key_End,    Qt::Key_Up,
                                     Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
    const QPersistentModelIndex before = currentIndex();
    QTableView::keyPressEvent(event);
    if (std::find(std::begin(kMoves), std::end(kMoves), key) == std::end(kMoves)) return;
    event->accept();
    if (!before.isValid() || currentIndex() != before) return;
    const QItemSelectionModel::SelectionFlags command = selectionCommand(before, event);
    if (command.testFlag(QItemSelectionModel::Current)) {
        if (!selectionModel()->hasSelection())
            selectionModel()->select(before, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    } else if (command != QItemSelectionModel::NoUpdate) {
        setCurrentIndex(before);  // selects its row alone, and anchors there
    }
}

// The focus frame goes around the focused row, across every column.
void FilmListView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !hasFocus()) return;
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.state |= QStyle::State_KeyboardFocusChange;
    frame.rect = RowRect(current.row());
    frame.backgroundColor = palette().color(
        selectionModel()->isRowSelected(current.row(), rootIndex()) ? QPalette::Highlight : QPalette::Base);
    QPainter painter(viewport());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

void FilmListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    RepaintRow(previous);
    RepaintRow(current);
}

void FilmListView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    RepaintRow(currentIndex());
}

void FilmListView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    RepaintRow(currentIndex());
}

int FilmListView::RowsInView() const {
    return std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
}

int FilmListView::FirstRowInView() const {
    const int top = std::max(rowAt(0), 0);
    return rowViewportPosition(top) < 0 ? top + 1 : top;
}

QRect FilmListView::RowRect(int row) const {
    return QRect(-horizontalOffset(), rowViewportPosition(row), horizontalHeader()->length(), rowHeight(row))
        .adjusted(0, 0, -1, -1);
}

void FilmListView::RepaintRow(const QModelIndex& index) {
    if (index.isValid()) viewport()->update(RowRect(index.row()));
}
