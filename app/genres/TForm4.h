#pragma once
// The genre editor "Edit Genres": the genre list file as free text in one
// memo. "&Ok" writes the memo back whatever it holds; "&Cancel" and Escape
// leave the file as it was.

#include "ansi/ansi.h"
#include "mainwindow/TDialogForm.h"

class TForm1;
class TImage;
class QToolButton;
namespace edits {
class TMemo;
}

class TForm4 : public TDialogForm {
    Q_OBJECT
public:
    explicit TForm4(TForm1* form1);

    edits::TMemo* Memo1;
    QToolButton* BitBtn1;
    QToolButton* SpeedButton1;
    TImage* Image1;

    // Handlers.
    void FormShow() override;
    void FormClose() override;
    bool FormKeyUp(QKeyEvent* key) override;
    void BitBtn1Click();
    void SpeedButton1Click();

private:
    AnsiString FilePath() const;

    TForm1* form1_;
    // The file exists but could not be read: "&Ok" must not replace it with
    // the empty memo.
    bool fileUnreadable_ = false;
    // The next key release is ignored (the one that answered an error box).
    bool skipNextKeyUp_ = false;
};
