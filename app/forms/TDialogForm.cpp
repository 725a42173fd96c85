#include "app/forms/TDialogForm.h"

#include "app/forms/EnhancedForm1.h"
#include "app/forms/FormKeys.h"
#include "app/forms/TImage.h"
#include "platform/dialogs/dialogs.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>

TDialogForm::TDialogForm(QWidget* parent, const char* name, const char* caption, QSize client, const TImage* texture,
                         int stripHeight)
    : QDialog(parent), texture_(texture) {
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(client);
    EnhancedForm1 = AttachEnhancedForm(this);
    Image1 = new TImage(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, client.height() - stripHeight, client.width(), stripHeight);
    keys_ = new FormKeys(this, [this](QKeyEvent* key) { return FormKeyUp(key); });
}

QToolButton* TDialogForm::AddFlatButton(QWidget* parent, const char* name, const char* caption, const QRect& geometry,
                                        const char* image) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    if (image) {
        button->setIcon(QIcon(QString(":/") + image));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    button->setGeometry(geometry);
    return button;
}

namespace {
// What the strip's buttons and notices stand on, to stand out from the texture.
const QString kStripVeil = "rgba(32, 38, 48, 170)";
}  // namespace

QToolButton* TDialogForm::AddStripButton(const char* name, const char* caption, const QRect& geometry,
                                         const char* image) {
    QToolButton* button = AddFlatButton(this, name, caption, geometry, image);
    button->setStyleSheet(
        "QToolButton { color: white; background: " + kStripVeil +
        "; border: 1px solid transparent;"
        " border-radius: 3px; padding: 1px 3px; }"
        "QToolButton:hover { border-color: rgba(255, 255, 255, 150); background: rgba(32, 38, 48, 220); }"
        "QToolButton:pressed { background: rgba(0, 0, 0, 70); }"
        "QToolButton:disabled { color: rgba(255, 255, 255, 110); }");
    // A styled button polished after it has moved into the caption bar's
    // client area would take the application's font; it keeps the dialog's.
    button->setFont(font());
    return button;
}

QLabel* TDialogForm::AddStripLabel(const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setStyleSheet("QLabel { color: white; background: " + kStripVeil +
                         "; border-radius: 3px; padding: 0px 4px; }");
    QFont bold = font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

void TDialogForm::setVisible(bool visible) {
    if (visible && !isVisible()) CentreOnScreen();
    QDialog::setVisible(visible);
}

void TDialogForm::CentreOnScreen() {
    // The screen the main window is on. The dialog's size is its whole
    // window's, painted frame and caption included; a place set here also
    // keeps the dialog from placing itself over its parent.
    const QScreen* screen = (parentWidget() ? parentWidget()->window() : this)->screen();
    if (!screen) return;
    QRect place(QPoint(), frameGeometry().size());
    place.moveCenter(screen->availableGeometry().center());
    move(place.topLeft());
}

void TDialogForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    dialogs::Guard([this] {
        TileImage(texture_, Image1);
        FormShow();
    });
}

void TDialogForm::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    dialogs::Guard([&] { FormCloseQuery(canClose); });
    if (!canClose) {
        event->ignore();
        return;
    }
    dialogs::Guard([this] {
        FormClose();
        Image1->ClearPicture();
    });
    QDialog::closeEvent(event);
}

void TDialogForm::keyPressEvent(QKeyEvent* event) {
    // Escape and Enter act on their release (FormKeyUp), never on the press.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter: event->accept(); return;
    default: QDialog::keyPressEvent(event);
    }
}
