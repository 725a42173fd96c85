#include "genres/TForm4.h"

#include "Vreg/Vreg.h"
#include "dialogs/dialogs.h"
#include "edits/edits.h"
#include "errors/Exception.h"
#include "files/files.h"
#include "genres/GenreFile.h"
#include "mainwindow/TForm1.h"
#include "mainwindow/TImage.h"

#include <QKeyEvent>
#include <QToolButton>

TForm4::TForm4(TForm1* form1) : TDialogForm("Form4", "Edit Genres", QSize(295, 301)), form1_(form1) {
    Image1 = new TImage(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 301 - 34, 295, 34);

    Memo1 = new edits::TMemo(this);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(7, 8, 281, 249);
    QFont courier("Courier New");
    courier.setStyleHint(QFont::Monospace);
    courier.setPixelSize(13);
    Memo1->setFont(courier);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);

    BitBtn1 = AddStripButton("BitBtn1", "&Ok", QRect(122, 272, 80, 25), "il6_modify.png");
    SpeedButton1 = AddStripButton("SpeedButton1", "&Cancel", QRect(206, 272, 80, 25), "il3_exit.png");
    connect(BitBtn1, &QToolButton::clicked, this, dialogs::Guarded([this] { BitBtn1Click(); }));
    connect(SpeedButton1, &QToolButton::clicked, this, dialogs::Guarded([this] { SpeedButton1Click(); }));
}

AnsiString TForm4::FilePath() const { return GenreFilePath(form1_->VReg1->AppDir()); }

void TForm4::FormShow() {
    form1_->TileImage(form1_->Image1, Image1);
    GenreFile file = OpenGenreFile(FilePath());
    fileUnreadable_ = file.unreadable;
    skipNextKeyUp_ = file.reported;
    Memo1->SetText(file.text);
    Memo1->setFocus();
}

void TForm4::FormClose() { Image1->ClearPicture(); }

bool TForm4::FormKeyUp(QKeyEvent* key) {
    if (skipNextKeyUp_) {
        skipNextKeyUp_ = false;
        return false;
    }
    if (key->key() != Qt::Key_Escape) return false;
    close();
    return true;
}

void TForm4::BitBtn1Click() {
    AnsiString path = FilePath();
    // Should writing fail, the key that answers the error box must not
    // then close the dialog and lose the text.
    skipNextKeyUp_ = true;
    if (fileUnreadable_) throw EFCreateError(ansi::Format("Cannot create file %s", path));
    files::ReplaceWholeFile(path, Memo1->Text());
    skipNextKeyUp_ = false;
    close();
}

void TForm4::SpeedButton1Click() { close(); }
