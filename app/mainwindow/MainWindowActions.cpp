// The main window's commands: the textured band with the toolbar, the
// menus, and the one table that wires every command to its handler.

#include "app/mainwindow/Links.h"
#include "app/mainwindow/TForm1.h"
#include "components/Vhtml/Vhtml.h"
#include "platform/dialogs/dialogs.h"

#include <QHBoxLayout>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <variant>

namespace {
QIcon Art(const char* name) { return QIcon(QString(":/") + name); }

enum class Place { ToolBar, File, Edit, Help };

// A shortcut of 0 leaves a tool button's caption its Alt+letter;
// kNoShortcut takes even that away.
constexpr int kNoShortcut = -1;

// One command where it appears. A row without a name is a separator.
struct ActionRow {
    Place place;
    QString name;                   // the object's name
    const char* caption = nullptr;  // "&" marks the Alt+letter
    const char* image = nullptr;    // a picture of the resources, or none
    int shortcut = 0;
    std::function<void()> handler;
    // Where the window keeps the action or button made for the row.
    std::variant<std::monostate, QAction**, QToolButton**, QList<QAction*>*> kept;
};

ActionRow Separator(Place place) { return {place, {}, nullptr, nullptr, 0, {}, {}}; }

// The row's button on the toolbar: its picture above its caption.
QToolButton* AddToolButton(QToolBar* bar, const ActionRow& row) {
    auto* button = new QToolButton(bar);
    button->setObjectName(row.name);
    button->setText(row.caption);
    button->setIcon(Art(row.image));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(62, 52);
    button->setFont(bar->font());
    if (row.shortcut) button->setShortcut(row.shortcut == kNoShortcut ? QKeySequence() : row.shortcut);
    bar->addWidget(button);
    return button;
}
}  // namespace

void TForm1::BuildCoolBar() {
    CoolBar1 = new QWidget(this);
    CoolBar1->setObjectName("CoolBar1");
    CoolBar1->setFixedHeight(61);
    CoolBar1->setAttribute(Qt::WA_StyledBackground);
    CoolBar1->setStyleSheet("#CoolBar1 { border-image: url(:/coolbar.png) 0 0 0 0 stretch stretch; }");
    ToolBar1 = new QToolBar(CoolBar1);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setStyleSheet("QToolBar { background: transparent; border: none; spacing: 0px; }");
    QFont captions = font();
    captions.setPixelSize(9);
    ToolBar1->setFont(captions);
    ToolBar1->setIconSize(QSize(32, 32));
    // The toolbar sits 3 pixels inside its band.
    auto* band = new QHBoxLayout(CoolBar1);
    band->setContentsMargins(2, 3, 2, 1);
    band->addWidget(ToolBar1);
}

void TForm1::BuildActions() {
    using P = Place;
    // Alt+E belongs to the menu bar's "&Edit": two owners of one letter would
    // leave it acting on neither. Exit stays on the button, in the File menu
    // and on Escape.
    std::vector<ActionRow> rows = {
        {P::ToolBar, "ToolButton4", "&New Entry", "tb0_new.png", 0, [this] { SpeedButton1Click(); }, &ToolButton4},
        Separator(P::ToolBar),
        {P::ToolBar, "ToolButton1", "&Modify", "tb1_modify.png", 0, [this] { SpeedButton4Click(); }, &ToolButton1},
        {P::ToolBar, "ToolButton2", "&Delete", "tb2_delete.png", 0, [this] { SpeedButton3Click(); }, &ToolButton2},
        Separator(P::ToolBar),
        {P::ToolBar, "ToolButton6", "&Print", "tb3_print.png", 0, [this] { SpeedButton2Click(); }, &ToolButton6},
        Separator(P::ToolBar),
        {P::ToolBar, "ToolButton3", "&Exit", "tb4_exit.png", kNoShortcut, [this] { SpeedButton5Click(); },
         &ToolButton3},

        {P::File, "New1", "&New Entry", "il4_new.png", Qt::Key_F2, [this] { SpeedButton1Click(); }, &New1},
        Separator(P::File),
        {P::File, "Print1", "&Print", "il7_print.png", 0, [this] { SpeedButton2Click(); }, &Print1},
        {P::File, "PrinterSetup1", "&Printer Setup ...", nullptr, 0, [this] { PrinterSetup1Click(); }, &PrinterSetup1},
        Separator(P::File),
        {P::File, "TWAINSource1", "TWAIN Source ...", nullptr, 0, [this] { TWAINSource1Click(); }, &TWAINSource1},
        Separator(P::File),
        {P::File, "Exort1", "E&xport", "il9_export.png", 0, [this] { Exort1Click(); }, &Exort1},
        {P::File, "Import1", "&Import ...", nullptr, 0, [this] { Import1Click(); }, &Import1},
        Separator(P::File),
        {P::File, "Exit1", "&Exit", "il3_exit.png", 0, [this] { SpeedButton5Click(); }, &Exit1},

        {P::Edit, "ModifyEntry1", "&Modify Entry", "il6_modify.png", Qt::Key_F3, [this] { SpeedButton4Click(); },
         &ModifyEntry1},
        {P::Edit, "DeleteEntry1", "&Delete Entry", "il5_delete.png", 0, [this] { SpeedButton3Click(); }, &DeleteEntry1},
        Separator(P::Edit),
        {P::Edit, "EditGenres1", "Edit Genres", nullptr, 0, [this] { EditGenres1Click(); }, &EditGenres1},
        Separator(P::Edit),
        {P::Edit, "Find1", "&Find ...", nullptr, (Qt::CTRL | Qt::Key_F).toCombined(), [this] { Find1Click(); }, &Find1},

        {P::Help, "VarnholtWebpage1", kMakerPage.caption, "il8_web.png", 0, [this] { Image1Click(); },
         &VarnholtWebpage1},
        Separator(P::Help),
    };
    int links = 0;
    for (const WebLink& web : kFurtherLinks)
        rows.push_back({P::Help, QString("Link%1").arg(++links), web.caption, "il8_web.png", 0,
                        [this, address = web.address] { VHTML1->CallExternUrl(address); }, &FurtherLinks});
    rows.push_back(Separator(P::Help));
    rows.push_back({P::Help, "AboutFlickstow1", "A&bout...", nullptr, Qt::Key_F1, [this] { AboutFlickstow1Click(); },
                    &AboutFlickstow1});

    QMenu* menus[] = {nullptr, menuBar()->addMenu("&File"), menuBar()->addMenu("&Edit"), menuBar()->addMenu("&Help")};
    for (const ActionRow& row : rows) {
        if (row.place == P::ToolBar) {
            if (row.name.isEmpty()) {
                ToolBar1->addSeparator();
                continue;
            }
            QToolButton* button = AddToolButton(ToolBar1, row);
            connect(button, &QToolButton::clicked, this, dialogs::Guarded(row.handler));
            if (auto* kept = std::get_if<QToolButton**>(&row.kept)) **kept = button;
            continue;
        }
        QMenu* menu = menus[static_cast<int>(row.place)];
        if (row.name.isEmpty()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(row.caption);
        action->setObjectName(row.name);
        if (row.image) action->setIcon(Art(row.image));
        if (row.shortcut) action->setShortcut(row.shortcut);
        connect(action, &QAction::triggered, this, dialogs::Guarded(row.handler));
        if (auto* kept = std::get_if<QAction**>(&row.kept)) **kept = action;
        if (auto* kept = std::get_if<QList<QAction*>*>(&row.kept)) (*kept)->append(action);
    }
}
