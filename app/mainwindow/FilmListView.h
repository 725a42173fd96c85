#pragma once
// The film list's view. Its keys act on rows, as in a report list: Home and
// End (with or without Ctrl) select the first and the last film, Page Up and
// Page Down the first or last whole row in view and then a page further, Up
// and Down the next row; Shift extends the selection from its anchor, Ctrl
// with the arrows and page keys moves the focus only, and Ctrl+Space toggles
// the focused row. Left and Right scroll sideways; nothing moves the columns
// into view but the user. The key that reaches the row already focused
// selects it all the same (the list opens with the first row focused and
// nothing selected, and Home there must select it). Cells never show the
// keyboard focus: the frame goes around the whole focused row.

#include <QTableView>
#include <functional>

class FilmListView : public QTableView {
public:
    explicit FilmListView(QWidget* parent);

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    // Typing finds a title, whichever cell the mouse last chose.
    void keyboardSearch(const QString& search) override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The rows the view shows whole, at least one, and the first of them.
    int RowsInView() const;
    int FirstRowInView() const;
    QRect RowRect(int row) const;
    void RepaintRow(const QModelIndex& index);
};

// A double click anywhere in the list runs the handler (it opens the first
// selected row). A click on the empty space below the rows leaves the
// selection as it is, so that a double click there still finds the row the
// user selected.
void OnDoubleClick(QTableView* list, std::function<void()> handler);
