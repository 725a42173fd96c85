#pragma once
// The main window: the film list under the toolbar, the menus, the status
// bar and the modified flag; it owns the catalogue and the settings store.

#include "app/catalogue/CatalogueModel.h"
#include "platform/files/FileIdentity.h"

#include <QMainWindow>
#include <optional>

class FilmFinder;
class FormKeys;
class QAction;
class QLineEdit;
class QKeyEvent;
class QLabel;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class TForm2;
class TForm3;
class TForm4;
class TFrame5;
class TImage;
class TPrintDIB;
class TPrinterSetupDialog;
class TOpenDialog;
class TSaveDialog;
class TVHTML;
class TEnhancedForm;
class TVReg;

inline constexpr const char* kApplicationTitle = "Varnholt Flickstow";

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    // The catalogue differs from the file; never cleared.
    bool DataModified = false;

    // The dialogs, made with the window and shown modally from here.
    TForm2* EntryEditor() const { return entryEditor_; }
    TForm3* AboutBox() const { return aboutBox_; }
    TForm4* GenreEditor() const { return genreEditor_; }
    // Key preview and the release rule (SkipNextKeyUp).
    FormKeys& Keys() const { return *keys_; }

    // Controls and components.
    QWidget* CoolBar1;   // the textured band behind the toolbar
    QToolBar* ToolBar1;  // the toolbar
    // New Entry, Modify, Delete, Print, Exit.
    QToolButton *ToolButton4, *ToolButton1, *ToolButton2, *ToolButton6, *ToolButton3;
    // The find field at the right end of the cool bar: the list shows the
    // films its words find (FilmFinder.h).
    QLineEdit* FindEdit1;
    QTableView* ListView1;   // the film list
    QStatusBar* StatusBar1;  // films, selected, modified
    TImage* Image1;          // texture tiled by the dialogs' bottom strips
    TImage* Image3;          // logo drawn on printed pages
    // Printing: the bitmap printer, the rows of the last job, the hidden
    // frame whose picture is the print page, the printer set-up.
    TPrintDIB* PrintDIB1;                      // the bitmap printer
    QTableView* PrintListView;                 // the rows of the last print job
    QWidget* Panel1;                           // hidden: holds the print page
    TFrame5* Frame51;                          // its picture is the print page
    TPrinterSetupDialog* PrinterSetupDialog1;  // File > Printer Setup ...
    TVReg* VReg1;                              // the settings store
    TEnhancedForm* EnhancedForm1;              // the painted caption bar
    TVHTML* VHTML1;                            // opens web addresses in the browser
    QTimer* TwainInitTimer;                    // starts the scanner after the first showing
    TSaveDialog* SaveDialog1;                  // the export's file dialog
    TOpenDialog* OpenDialog1;                  // the import's file dialog
    CatalogueModel* Catalogue;                 // the catalogue's table model
    // The small pictures: 0 row, 1 ascending mark, 2 descending mark, then
    // the menu pictures.
    QList<QIcon> ImageList1;

    // The column the list was last sorted by, and its direction.
    int SortColumn = 0;
    bool SortDescending = false;

    // Main menu items.
    QAction *New1, *Print1, *PrinterSetup1, *TWAINSource1, *Exort1, *Import1, *Exit1;  // File
    QAction *ModifyEntry1, *DeleteEntry1, *EditGenres1, *Find1;                        // Edit
    QAction *VarnholtWebpage1, *AboutFlickstow1;                                       // Help
    QList<QAction*> FurtherLinks;

    void LoadCatalogue();
    // False when the user chose to go back to the list (the file changed on
    // disk meanwhile) and nothing was written.
    bool SaveCatalogue();

    void UpdateStatusBar();
    QString StatusPanelText(int panel) const;
    // Another start on the program folder asked for this program: the
    // window comes to the front, un-minimized, with any dialog open over it.
    void BringToFront();

    // Handlers the toolbar, the menus and the list's keys run.
    // New entry, change the first selected entry, delete the selected ones.
    void SpeedButton1Click();  // New Entry: F2, Alt+N
    void SpeedButton4Click();  // Modify Entry: F3, Alt+M, Enter, a double click
    void SpeedButton3Click();  // Delete Entry: Alt+D, Delete
    // Print the selected films, or all after asking; the printer set-up.
    void SpeedButton2Click();               // Print: Alt+P
    void PrinterSetup1Click();              // File > Printer Setup ...
    void ListView1ColumnClick(int column);  // a click on a column header sorts
    void Exort1Click();                     // File > Export
    void Import1Click();                    // File > Import ...
    void TwainInitTimerTimer();             // opens the source manager
    void TWAINSource1Click();               // File > TWAIN Source ...
    void Find1Click();                      // Edit > Find ...: Ctrl+F, into the find field
    FilmFinder& Finder() const { return *finder_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void EditGenres1Click();              // Edit > Edit Genres
    void FormShow();                      // first showing: loads the catalogue
    void FormCloseQuery(bool& canClose);  // closing: "Save changes"
    bool FormKeyUp(QKeyEvent* key);       // Enter, Delete, Escape on the list
    bool FindKeyUp(QKeyEvent* key);       // Escape, Enter, Down in the find field
    void SpeedButton5Click();             // Exit: the button, File > Exit
    void Image1Click();                   // Help > the maker's page
    void AboutFlickstow1Click();          // Help > About...: F1
    void ListView1Change();               // the selection changed: the status bar

    // The catalogue file in the program folder.
    AnsiString CatalogueFilePath();
    // Place, size, sort and column widths of the last run, and keeping them
    // for the next (WindowState.h).
    void RestoreWindowState();
    void RememberWindowState();
    int SelectedRowCount() const;

    // The first selected row in display order; -1 when none is selected.
    int FirstSelectedRow() const;
    // The textured band with the empty toolbar; then every command of the
    // toolbar and the menus, from one table (MainWindowActions.cpp).
    void BuildCoolBar();
    void BuildActions();
    void BuildListView();
    void BuildStatusBar();
    void BuildPrinting();
    // One flag per row: is it selected?
    std::vector<bool> SelectedRows() const;
    void BuildFindField();
    // The film selected as the find text changes stays selected, and in
    // view, while it is shown; otherwise the list starts at its top.
    void KeepFoundFilm();
    void ShowFoundFilm();

    QLabel* panels_[3];
    FormKeys* keys_;
    FilmFinder* finder_;
    // Kept by KeepFoundFilm for ShowFoundFilm.
    bool showingFound_ = false;
    std::optional<size_t> foundFilm_;
    TForm2* entryEditor_;
    TForm3* aboutBox_;
    TForm4* genreEditor_;
    bool shown_ = false;
    // The catalogue file existed but could not be read: it is never replaced.
    bool catalogueUnreadable_ = false;
    // The catalogue file as it was read or last written.
    files::FileIdentity catalogueKnown_;
};
