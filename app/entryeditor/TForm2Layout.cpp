// The entry editor's controls: its two pages, the button strip and the
// components it works with, at their places and in their tab order.

#include "app/entryeditor/TForm2.h"

#include "app/forms/TImage.h"
#include "components/Vsnapshot/Vsnapshot.h"
#include "components/scansource/ScanSource.h"
#include "platform/dialogs/FileDialogs.h"
#include "platform/edits/edits.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The grey of the pages' panels: red, green and blue 209 each.
const QColor kPanelGrey(209, 209, 209);

QLabel* AddLabel(QWidget* parent, const char* name, const char* text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QComboBox* AddList(QWidget* parent, const char* name, const QStringList& items, const QRect& geometry) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    list->setMaxVisibleItems(static_cast<int>(items.size()));
    list->setGeometry(geometry);
    return list;
}

QSpinBox* AddSpinEdit(QWidget* parent, const char* name, int minimum, int maximum, const QRect& geometry) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setSingleStep(1);
    spin->setGeometry(geometry);
    return spin;
}

// The genre list: while it has the keyboard it shows a dotted focus
// rectangle round its current item, or round its first line when it has
// none (an empty list too), whatever the style draws.
class GenreListBox : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    void paintEvent(QPaintEvent* event) override {
        QListWidget::paintEvent(event);
        if (!hasFocus()) return;
        QRect mark = currentItem() ? visualItemRect(currentItem())
                                   : QRect(0, 0, viewport()->width(), fontMetrics().height() + 2);
        const bool onSelection = currentItem() && currentItem()->isSelected();
        QPainter p(viewport());
        p.setPen(QPen(palette().color(onSelection ? QPalette::HighlightedText : QPalette::Text), 1, Qt::DotLine));
        p.drawRect(mark.adjusted(0, 0, -1, -1));
    }
};

}  // namespace

void TForm2::BuildControls() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(4, 4, kClientWidth - 8, kClientHeight - kStripHeight - 6);
    BuildPropertiesPage();
    BuildDetailsPage();
    BuildButtonStrip();

    SetFocusTimer = new QTimer(this);
    SetFocusTimer->setObjectName("SetFocusTimer");
    SetFocusTimer->setSingleShot(true);
    SetFocusTimer->setInterval(10);

    OpenPictureDialog1 = new TOpenPictureDialog(this);
    OpenPictureDialog1->setObjectName("OpenPictureDialog1");
    OpenPictureDialog1->Title = "Open Picture";
    OpenPictureDialog1->Filter =
        "All (*.jpg;*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg";
    OpenPictureDialog1->FilterIndex = 1;
    VSnapShot1 = new TVSnapShot(this);
    VSnapShot1->setObjectName("VSnapShot1");
    Image3 = new TImage(this);
    Image3->setObjectName("Image3");
    Image3->hide();
    TWAIN = new TScanSource(this);
    TWAIN->setObjectName("TWAIN");
    TWAIN->SetProductname("Varnholt Flickstow");
}

QFrame* TForm2::AddPage(QWidget*& sheet, const char* sheetName, const char* panelName, const char* caption) {
    sheet = new QWidget;
    sheet->setObjectName(sheetName);
    PageControl1->addTab(sheet, caption);
    auto* panel = new QFrame(sheet);
    panel->setObjectName(panelName);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette grey = panel->palette();
    grey.setColor(QPalette::Window, kPanelGrey);
    panel->setPalette(grey);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(panel);
    return panel;
}

void TForm2::BuildPropertiesPage() {
    Panel1 = AddPage(TabSheet1, "TabSheet1", "Panel1", "Movie &Properties");
    QWidget* p = Panel1;
    AddLabel(p, "Label1", "Title :", QRect(8, 10, 52, 21));
    Edit1 = new QLineEdit(p);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(64, 10, 254, 21);
    edits::AcceptOnlyAnsi(Edit1, 50);
    AddLabel(p, "Label2", "MID :", QRect(326, 10, 40, 21));
    CSpinEdit2 = AddSpinEdit(p, "CSpinEdit2", 1, 10000, QRect(370, 10, 110, 21));

    AddLabel(p, "Label3", "Genre :", QRect(8, 42, 52, 21));
    ListBox1 = new GenreListBox(p);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setGeometry(64, 42, 170, 176);

    constexpr int labelX = 240, labelWidth = 60, fieldX = 304, fieldWidth = 176;
    auto row = [](int i) { return 42 + 32 * i; };
    AddLabel(p, "Label4", "Media :", QRect(labelX, row(0), labelWidth, 21));
    ComboBox3 = AddList(p, "ComboBox3",
                        {"VCD", "SVCD", "DVD", "VHS", "DIVX (CDROM)", "SVHS", "Video8", "BETA", "Other"},
                        QRect(fieldX, row(0), 96, 21));
    AddLabel(p, "Label5", "  Disks :", QRect(fieldX + 96, row(0), 36, 21));
    CSpinEdit1 = AddSpinEdit(p, "CSpinEdit1", 1, 100, QRect(fieldX + 134, row(0), fieldWidth - 134, 21));
    CSpinEdit1->setValue(1);
    AddLabel(p, "Label6", "Language :", QRect(labelX, row(1), labelWidth, 21));
    ComboBox2 = AddList(p, "ComboBox2", {"German", "English", "French", "Espaniol", "Other"},
                        QRect(fieldX, row(1), fieldWidth, 21));
    AddLabel(p, "Label7", "Status :", QRect(labelX, row(2), labelWidth, 21));
    ComboBox4 = AddList(p, "ComboBox4", {"Owned", "Lend To", "To Be Bought", "Borrowed From"},
                        QRect(fieldX, row(2), fieldWidth, 21));
    ComboBox4->setEditable(true);
    // What the user types stays as typed: no completion, no new items.
    ComboBox4->setInsertPolicy(QComboBox::NoInsert);
    ComboBox4->setCompleter(nullptr);
    edits::AcceptOnlyAnsi(ComboBox4->lineEdit(), 30);
    AddLabel(p, "Label8", "Viewed :", QRect(labelX, row(3), labelWidth, 21));
    ComboBox5 = AddList(p, "ComboBox5", {"Yes", "No"}, QRect(fieldX, row(3), fieldWidth, 21));
    AddLabel(p, "Label9", "Rating :", QRect(labelX, row(4), labelWidth, 21));
    Edit2 = new QLineEdit(p);
    Edit2->setObjectName("Edit2");
    Edit2->setGeometry(fieldX, row(4), fieldWidth, 21);
    edits::AcceptOnlyAnsi(Edit2);

    QWidget* order[] = {Edit1, CSpinEdit2, ListBox1, ComboBox3, CSpinEdit1, ComboBox2, ComboBox4, ComboBox5, Edit2};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm2::BuildDetailsPage() {
    Panel3 = AddPage(TabSheet2, "TabSheet2", "Panel3", "&More Details");
    QWidget* p = Panel3;
    auto* caption = new QLabel("Description (max. 255 chars) :", p);
    caption->setObjectName("Label10");
    caption->setGeometry(8, 6, 300, 16);
    Memo2 = new edits::TMemo(p);
    Memo2->setObjectName("Memo2");
    Memo2->setGeometry(8, 24, 300, 194);
    Memo2->SetMaxLength(255);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setTabChangesFocus(true);

    Panel2 = new QFrame(p);
    Panel2->setObjectName("Panel2");
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setGeometry(318, 6, 161, 157);
    auto* noPicture = new QLabel("(no picture)", Panel2);
    noPicture->setObjectName("Panel2Caption");
    noPicture->setAlignment(Qt::AlignCenter);
    noPicture->setGeometry(Panel2->rect());
    Image2 = new TImage(Panel2);
    Image2->setObjectName("Image2");
    Image2->SetStretch(true);
    Image2->setGeometry(8, 6, 145, 145);

    Edit4 = new QLineEdit(p);
    Edit4->setObjectName("Edit4");
    Edit4->setReadOnly(true);
    QFont small("Arial");
    small.setPixelSize(10);
    Edit4->setFont(small);
    QPalette grey = Edit4->palette();
    grey.setColor(QPalette::Base, palette().color(QPalette::Window));
    grey.setColor(QPalette::Text, palette().color(QPalette::Disabled, QPalette::Text));
    Edit4->setPalette(grey);
    Edit4->setGeometry(318, 166, 161, 17);

    SpeedButton6 = AddFlatButton(p, "SpeedButton6", "sc&an", QRect(318, 192, 44, 24));
    Button1 = AddFlatButton(p, "Button1", "&browse ...", QRect(364, 192, 66, 24));
    SpeedButton4 = AddFlatButton(p, "SpeedButton4", "&clear", QRect(432, 192, 47, 24));
    setTabOrder(Memo2, Edit4);
}

void TForm2::BuildButtonStrip() {
    int y = kClientHeight - kStripHeight + 5;
    SpeedButton1 = AddStripButton("SpeedButton1", "&Cancel", QRect(6, y, 80, 25), "il3_exit.png");
    SpeedButton5 = AddStripButton("SpeedButton5", "&Reset Entries", QRect(90, y, 100, 25));
    SpeedButton2 = AddStripButton("SpeedButton2", "Save && &New Entry", QRect(249, y, 132, 25), "il4_new.png");
    SpeedButton3 = AddStripButton("SpeedButton3", "&Save and Close", QRect(385, y, 120, 25), "il6_modify.png");
}
