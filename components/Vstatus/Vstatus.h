#pragma once
// TVStatus: a status bar that holds other controls as its children. A control
// placed on the bar keeps the position it is given, moves, shows and hides
// with the bar and is deleted with it; one placed on a bar already shown
// appears at once, unless it was hidden on purpose.

#include <QStatusBar>

class TVStatus : public QStatusBar {
    Q_OBJECT
public:
    explicit TVStatus(QWidget* owner = nullptr);

protected:
    void childEvent(QChildEvent* event) override;
};
