#include "app/genres/TForm4.h"

#include "app/formats/GenreFile.h"
#include "app/forms/FormKeys.h"
#include "app/forms/SaveWithoutLoss.h"
#include "components/Vreg/Vreg.h"
#include "platform/dialogs/dialogs.h"
#include "platform/edits/edits.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"

#include <QKeyEvent>
#include <QToolButton>

TForm4::TForm4(QWidget* parent, TVReg* settings, const TImage* texture)
    : TDialogForm(parent, "Form4", "Edit Genres", QSize(295, 301), texture, 34), settings_(settings) {
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

AnsiString TForm4::FilePath() const { return GenreFilePath(settings_->AppDir()); }

void TForm4::FormShow() {
    GenreFile file = OpenGenreFile(FilePath());
    fileUnreadable_ = file.unreadable;
    known_ = file.identity;
    Keys().SkipNextKeyUp = false;
    text_ = std::move(file.text);
    Memo1->SetText(ShownGenreText(text_));
    Memo1->setFocus();
    if (!file.error.empty()) Keys().ShowError(file.error);
}

bool TForm4::FormKeyUp(QKeyEvent* key) {
    if (key->key() != Qt::Key_Escape) return false;
    close();
    return true;
}

void TForm4::BitBtn1Click() {
    AnsiString path = FilePath();
    try {
        if (fileUnreadable_) throw EFCreateError(ansi::Format("Cannot create file %s", path));
        GuardedFile file{path, known_, "Genre list changed", "genres", path + ".bak", false};
        const AnsiString text = GenreTextToWrite(Memo1->Text(), text_);
        SaveOutcome outcome = SaveWithoutLoss(Keys(), file, [&text] { return files::BytesProducer(text); });
        known_ = file.known;
        // Back to the list: the text stays for the user to go on with.
        if (outcome == SaveOutcome::Cancelled) return;
    } catch (const Exception& e) {
        // The key that answers the error box must not then close the
        // dialog and lose the text.
        Keys().ShowError(e.Message);
        return;
    }
    close();
}

void TForm4::SpeedButton1Click() { close(); }

void TForm4::FormClose() { text_ = AnsiString(); }
