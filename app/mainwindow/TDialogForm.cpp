#include "mainwindow/TDialogForm.h"

#include "dialogs/dialogs.h"
#include "keypreview/KeyPreview.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>

TDialogForm::TDialogForm(const char* name, const char* caption, QSize client) {
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(client);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    keyPreview_ = new KeyPreview(this, [this](QKeyEvent* key) { return FormKeyUp(key); });
}

QToolButton* TDialogForm::AddFlatButton(QWidget* parent, const char* name, const char* caption,
                                        const QRect& geometry, const char* image) {
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

QToolButton* TDialogForm::AddStripButton(const char* name, const char* caption, const QRect& geometry,
                                         const char* image) {
    QToolButton* button = AddFlatButton(this, name, caption, geometry, image);
    button->setStyleSheet(
        "QToolButton { color: white; background: rgba(32, 38, 48, 170); border: 1px solid transparent;"
        " border-radius: 3px; padding: 1px 3px; }"
        "QToolButton:hover { border-color: rgba(255, 255, 255, 150); background: rgba(32, 38, 48, 220); }"
        "QToolButton:pressed { background: rgba(0, 0, 0, 70); }"
        "QToolButton:disabled { color: rgba(255, 255, 255, 110); }");
    return button;
}

void TDialogForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) dialogs::Guard([this] { FormShow(); });
}

void TDialogForm::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    dialogs::Guard([&] { FormCloseQuery(canClose); });
    if (!canClose) {
        event->ignore();
        return;
    }
    dialogs::Guard([this] { FormClose(); });
    QDialog::closeEvent(event);
}

void TDialogForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
