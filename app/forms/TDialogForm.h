#pragma once
// What the program's dialogs share: a fixed client size, the program's font,
// the main window as parent, a place in the middle of the screen at every
// showing (wherever the dialog or the main window stood), keys that act when
// they are released (FormKeys), and the decorative strip along the bottom
// edge, tiled with the main window's texture on every showing and emptied on
// closing. Every way of closing (a button, the close box) asks
// FormCloseQuery and then runs FormClose.

#include <QDialog>

class FormKeys;
class TEnhancedForm;
class QKeyEvent;
class QLabel;
class QToolButton;
class TImage;

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

    FormKeys& Keys() const { return *keys_; }

    void setVisible(bool visible) override;

    // The decorative strip along the bottom edge.
    TImage* Image1;
    // The painted caption bar.
    TEnhancedForm* EnhancedForm1;

protected:
    // The texture is the main window's picture that the strip is tiled with.
    TDialogForm(QWidget* parent, const char* name, const char* caption, QSize client, const TImage* texture,
                int stripHeight);

    // A flat button without focus, as the dialogs' bottom strips carry them.
    QToolButton* AddFlatButton(QWidget* parent, const char* name, const char* caption, const QRect& geometry,
                               const char* image = nullptr);
    // The same on the dark tiled strip along the bottom edge: light text.
    QToolButton* AddStripButton(const char* name, const char* caption, const QRect& geometry,
                                const char* image = nullptr);
    // A bold notice on the strip: light text on the same dark veil as the
    // strip's buttons.
    QLabel* AddStripLabel(const char* name, const QString& text, const QRect& geometry);

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CentreOnScreen();

    const TImage* texture_;
    FormKeys* keys_;
};
