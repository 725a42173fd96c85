#pragma once
// The About box "About Varnholt Flickstow": logo, product name, version,
// credit, two web links (opened in the desktop's browser; the box stays
// open), a note on how the program was made, and the textured strip with
// the rights notice and "&Close". Enter or Escape closes it on release.

#include "app/forms/TDialogForm.h"
#include "platform/ansi/ansi.h"

class QFrame;
class QLabel;
class QToolButton;
class TImage;
class TVHTML;

class TForm3 : public TDialogForm {
    Q_OBJECT
public:
    // The parent is the main window; the texture is the picture the strip
    // is tiled with; the links open their addresses through `html`: the
    // maker's page and the community site of the Help menu.
    TForm3(QWidget* parent, const TImage* texture, TVHTML* html, const AnsiString& makerPage,
           const AnsiString& communitySite);

    // Controls.
    QFrame* Panel1;                             // the white panel
    TImage* Image2;                             // the logo
    QLabel *Label2, *Label8, *Label6, *Label4;  // maker, product, version, credit
    QLabel* Label1;                             // link to the community site
    QLabel* Label9;                             // link to the maker's page
    TImage* Image3;                             // the note's picture
    QLabel *Label5, *Label3;                    // the note, the rights notice
    QToolButton* BitBtn1;                       // "&Close"

    // Handlers.
    void FormShow() override;
    bool FormKeyUp(QKeyEvent* key) override;
    void BitBtn1Click();  // "&Close", Enter, Escape
    void Label1Click();   // opens the community site
    void Label9Click();   // opens the maker's page

private:
    QLabel* AddLabel(const char* name, const QString& text, const QRect& geometry);
    QLabel* AddLink(const char* name, const AnsiString& address, const QRect& geometry, void (TForm3::*click)());

    TVHTML* html_;
    AnsiString makerPage_, communitySite_;
};
