#pragma once
// What the program's dialogs share: a fixed client size, the program's
// font, a place in the middle of the screen, and keys that act when they are
// released (the window sees them before its controls). A press of Escape or
// Enter therefore does nothing of itself; the dialog's FormKeyUp decides.
// Every way of closing (a button, the close box) asks FormCloseQuery and
// then runs FormClose.

#include <QDialog>

class KeyPreview;
class QKeyEvent;
class QToolButton;

class TDialogForm : public QDialog {
    Q_OBJECT
public:
    // Handlers; each dialog overrides those it has.
    virtual void FormShow() {}
    virtual void FormCloseQuery(bool& canClose) { (void)canClose; }
    virtual void FormClose() {}
    // True when the key release is consumed.
    virtual bool FormKeyUp(QKeyEvent* key) {
        (void)key;
        return false;
    }

protected:
    TDialogForm(const char* name, const char* caption, QSize client);

    // A flat button without focus, as the dialogs' bottom strips carry them.
    QToolButton* AddFlatButton(QWidget* parent, const char* name, const char* caption, const QRect& geometry,
                               const char* image = nullptr);
    // The same on the dark tiled strip along the bottom edge: light text.
    QToolButton* AddStripButton(const char* name, const char* caption, const QRect& geometry,
                                const char* image = nullptr);

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    KeyPreview* keyPreview_;
};
