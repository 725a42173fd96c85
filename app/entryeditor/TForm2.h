#pragma once
// The entry editor "New / Modify Entry": the one dialog through which titles
// enter the catalogue and are changed. It writes straight into the catalogue
// it is given (appending rows, or overwriting the row it was opened for) and
// remembers the user's last choices in the settings store as defaults for the
// next new title.

#include "app/catalogue/RecordStore.h"
#include "app/forms/TDialogForm.h"

#include <memory>
#include <string_view>
#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;
class QTimer;
class QToolButton;
class CatalogueModel;
class CoverPicture;
class TImage;
class TOpenPictureDialog;
class TScanSource;
class TVReg;
class TVSnapShot;
namespace edits {
class TMemo;
}

class TForm2 : public TDialogForm {
    Q_OBJECT
public:
    // The parent is the main window; the catalogue and the settings store
    // are the ones it owns, the texture the picture the strip is tiled with.
    TForm2(QWidget* parent, TVReg* settings, CatalogueModel* catalogue, const TImage* texture);
    ~TForm2() override;

    // Shows the dialog modally for new entries, or for the catalogue's row
    // (further entries may be appended in the same run). True when something
    // was stored while it was open.
    bool NewEntry();
    bool ModifyEntry(int row);

    // True: the dialog changes row ModifiedItem of the catalogue; false: it
    // appends new rows.
    bool ModifyMode() const { return modifyMode_; }
    int ModifiedItem() const { return modifiedItem_; }
    // After the dialog has closed: true when nothing was stored while it was open.
    bool NothingSaved() const { return nothingSaved_; }

    // Controls.
    QTabWidget* PageControl1;                                                // the two pages
    QWidget *TabSheet1, *TabSheet2;                                          // "Movie Properties", "More Details"
    QFrame *Panel1, *Panel3;                                                 // the grey panels of the two pages
    QLineEdit* Edit1;                                                        // Title
    QSpinBox* CSpinEdit2;                                                    // MID
    QListWidget* ListBox1;                                                   // Genre
    QComboBox *ComboBox3, *ComboBox2, *ComboBox4, *ComboBox5;                // Media, Language, Status, Viewed
    QSpinBox* CSpinEdit1;                                                    // Disks
    QLineEdit* Edit2;                                                        // Rating
    edits::TMemo* Memo2;                                                     // Description
    QLineEdit* Edit4;                                                        // the thumbnail's file name
    QFrame* Panel2;                                                          // the preview's panel
    TImage* Image2;                                                          // the preview
    QToolButton *SpeedButton6, *Button1, *SpeedButton4;                      // scan, browse, clear
    QToolButton *SpeedButton1, *SpeedButton5, *SpeedButton2, *SpeedButton3;  // Cancel, Reset, Save & New, Save
    QTimer* SetFocusTimer;                                                   // the focus to the title once shown
    TOpenPictureDialog* OpenPictureDialog1;                                  // "Open Picture"
    TVSnapShot* VSnapShot1;                                                  // captures the preview as the thumbnail
    // Hidden: receives the scanned page.
    TImage* Image3;
    // The scanner; the main window starts it and lets the user choose the
    // source.
    TScanSource* TWAIN;

    // Operations.
    void LoadGenreList();
    void FillFromRecord();
    void FillDefaults();
    // Stores the entry; false when its title is blank. A list without a
    // selection stores an empty field.
    bool StoreEntry();
    // Index of the first item equal to the text, else the fallback.
    static int IndexOfItem(const QComboBox* list, std::string_view text, int fallback);
    // The same for the genre list, whose genres the list box shows cut.
    int IndexOfGenre(std::string_view genre, int fallback) const;

    // The cover picture (the work is CoverPicture's).
    // Shows a JPEG file in the preview, scaled to fit the panel (PreviewRect).
    // Raises EJPEG or EFOpenError when the file is no picture that can be
    // read; the preview is then empty.
    void LadeBild(const AnsiString& fileName);  // "load picture"
    // Makes the thumbnail of a picture file (a path in the file system's
    // bytes) under a free name with the number, and names it in Edit4. A
    // file whose name begins with "t_" is taken to be a thumbnail already and
    // copied unchanged; any other is shown in the preview, which is then
    // captured. A source that does not exist, or one not to be shown (an
    // empty scan file), gives the empty panel. Raises the error when the
    // picture cannot be read or the thumbnail not written; Edit4 and the
    // preview then stay empty and no file is left.
    void MakeThumbnail(const AnsiString& source, int number, bool shown = true);
    // The same without naming it in Edit4: the new thumbnail's name.
    AnsiString NewThumbnail(const AnsiString& source, int number, bool shown = true);
    // What a new entry gets from the remembered defaults (FillDefaults):
    // genre, language, media, disks, status, viewed and rating, as storing
    // it would write them; the other fields empty.
    MovieRecord NewEntryDefaults();

    // Handlers.
    void FormShow() override;
    void FormCloseQuery(bool& canClose) override;
    void FormClose() override;
    bool FormKeyUp(QKeyEvent* key) override;
    void SetFocusTimerTimer();  // puts the focus on the title
    void Button1Click();        // browse for a picture; also a double click on the preview
    void SpeedButton1Click();   // Cancel
    void SpeedButton2Click();   // Save & New
    void SpeedButton3Click();   // Save and Close
    void SpeedButton4Click();   // clear the picture
    void SpeedButton6Click();   // scan a picture
    void TWAINScanReady();      // the scanner is done
    void SpeedButton5Click();   // Reset Entries
    void ComboBox2Change();     // each remembers its default
    void ComboBox3Change();
    void ComboBox4Change();
    void ComboBox5Change();
    void CSpinEdit1Change();
    void Edit2Change();
    void ListBox1Click();  // also remembers the genre
    void ListBox1Exit();   // the focus leaves the genre list

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The cover picture's work changes the entry (its picture field) and
    // reads the controls the layout made.
    friend class CoverPicture;

    static constexpr int kClientWidth = 511, kClientHeight = 308;
    static constexpr int kStripHeight = 35;
    // The controls and components (TForm2Layout.cpp).
    void BuildControls();
    void BuildPropertiesPage();
    void BuildDetailsPage();
    void BuildButtonStrip();
    void ConnectHandlers();
    QFrame* AddPage(QWidget*& sheet, const char* sheetName, const char* panelName, const char* caption);

    // A remembered default as stored; empty when missing or not text.
    AnsiString Remembered(const char* name) const;
    // The selected genre (-1: none), and selecting one from code, which does
    // not count as the user's choice.
    int GenreIndex() const;
    void SelectGenre(int index);
    // The selected status item; -1 when the status field holds a text that
    // is not the selected item's.
    int StatusIndex() const;
    void RefuseStore();
    bool ShowFor(bool modify, int row);
    // The text to store for a field from what its control holds: the
    // record's own whole text while the control still holds it as it was
    // shown, cut (text is where the control's text is kept meanwhile).
    std::string_view Kept(int field, const AnsiString& text) const;

    TVReg* settings_;
    CatalogueModel* catalogue_;
    // The genre file's text while the dialog is open, and its genres as
    // views of it: whole, however much of them the list box shows.
    AnsiString genreText_;
    std::vector<std::string_view> genres_;
    bool modifyMode_ = false;
    int modifiedItem_ = -1;
    bool nothingSaved_ = true;
    bool SavedAndNew = false;
    // Browsing, scanning and clearing the cover picture.
    std::unique_ptr<CoverPicture> cover_;
};
