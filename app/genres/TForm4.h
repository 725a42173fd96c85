#pragma once
// The genre editor "Edit Genres": the genre list file as free text in one
// memo. "&Ok" writes the memo back whatever it holds; "&Cancel" and Escape
// leave the file as it was.

#include "app/forms/TDialogForm.h"
#include "platform/ansi/ansi.h"
#include "platform/files/FileIdentity.h"

class TImage;
class TVReg;
class QToolButton;
namespace edits {
class TMemo;
}

class TForm4 : public TDialogForm {
    Q_OBJECT
public:
    // The parent is the main window; the settings store gives the program
    // folder, the texture is the picture the strip is tiled with.
    TForm4(QWidget* parent, TVReg* settings, const TImage* texture);

    edits::TMemo* Memo1;        // the genre file as free text
    QToolButton* BitBtn1;       // "&Ok": writes the memo back
    QToolButton* SpeedButton1;  // "&Cancel": the file stays

    // Handlers.
    void FormShow() override;
    bool FormKeyUp(QKeyEvent* key) override;
    void BitBtn1Click();       // "&Ok"
    void SpeedButton1Click();  // "&Cancel", Escape
    void FormClose() override;

private:
    AnsiString FilePath() const;

    TVReg* settings_;
    // The file's text while the dialog is open: the memo shows its lines
    // cut to what a control is handed, and "&Ok" writes those whole again.
    AnsiString text_;
    // The file exists but could not be read: "&Ok" must not replace it with
    // the empty memo.
    bool fileUnreadable_ = false;
    // The file as it was read or created when the dialog opened, or last saved.
    files::FileIdentity known_;
};
