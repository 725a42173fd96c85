#include "app/about/TForm3.h"

#include "app/forms/TImage.h"
#include "components/Vhtml/Vhtml.h"
#include "platform/dialogs/dialogs.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <functional>

namespace {

constexpr int kClientWidth = 370, kClientHeight = 246, kStripHeight = 35;

// A label that acts when it is clicked: pressed and released over it with
// the left button.
class ClickLabel : public QLabel {
public:
    ClickLabel(QWidget* parent, std::function<void()> onClick) : QLabel(parent), onClick_(std::move(onClick)) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = event->button() == Qt::LeftButton;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        pressed_ = false;
        event->accept();
        if (click) onClick_();
    }

private:
    std::function<void()> onClick_;
    bool pressed_ = false;
};

// "Arial Black": the heavy face of the family the program's texts use.
QFont ArialBlack(int pixelSize) {
    QFont font("Arial Black");
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Black);
    return font;
}

}  // namespace

TForm3::TForm3(QWidget* parent, const TImage* texture, TVHTML* html, const AnsiString& makerPage,
               const AnsiString& communitySite)
    : TDialogForm(parent, "Form3", "About Varnholt Flickstow", QSize(kClientWidth, kClientHeight), texture,
                  kStripHeight),
      html_(html), makerPage_(makerPage), communitySite_(communitySite) {
    // No control takes the keyboard: the box itself has it, for Enter and Escape.
    setFocusPolicy(Qt::StrongFocus);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(8, 8, 89, 193);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    QPalette black = Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(black);
    Image2 = new TImage(Panel1);
    Image2->setObjectName("Image2");
    Image2->setGeometry(8, 56, 73, 81);
    Image2->SetPicture(QImage(":/about_logo.png"));

    Label2 = AddLabel("Label2", "varnholt", QRect(108, 8, 254, 20));
    Label2->setFont(ArialBlack(13));
    QPalette navy = Label2->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label2->setPalette(navy);
    Label8 = AddLabel("Label8", "Flickstow", QRect(106, 24, 256, 42));
    Label8->setFont(ArialBlack(29));
    Label6 = AddLabel("Label6", "Version 1.5", QRect(108, 68, 254, 15));
    QFont bold = font();
    bold.setBold(true);
    Label6->setFont(bold);
    Label4 = AddLabel("Label4", "Written by Jonas Varnholt. Published 1999, 2001 and 2003.", QRect(108, 86, 193, 33));
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1 = AddLink("Label1", communitySite, QRect(108, 122, 254, 15), &TForm3::Label1Click);
    Label9 = AddLink("Label9", makerPage, QRect(108, 139, 254, 15), &TForm3::Label9Click);

    Image3 = new TImage(this);
    Image3->setObjectName("Image3");
    Image3->setGeometry(108, 166, 41, 33);
    Image3->SetPicture(QImage(":/about_note.png"));
    Label5 = AddLabel("Label5", "Made on Linux with C++ and Qt, between evenings at the cinema.",
                      QRect(155, 166, 207, 40));
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The strip along the bottom edge: the rights notice and the button.
    Label3 = AddStripLabel("Label3", QString::fromUtf8("\u00a9 1999-2003 varnholt. All rights reserved."),
                           QRect(8, kClientHeight - kStripHeight + 7, 262, 21));
    BitBtn1 = AddStripButton("BitBtn1", "&Close", QRect(282, kClientHeight - kStripHeight + 5, 80, 25), "il3_exit.png");
    connect(BitBtn1, &QToolButton::clicked, this, dialogs::Guarded([this] { BitBtn1Click(); }));
}

QLabel* TForm3::AddLabel(const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QLabel* TForm3::AddLink(const char* name, const AnsiString& address, const QRect& geometry, void (TForm3::*click)()) {
    auto* label = new ClickLabel(this, dialogs::Guarded([this, click] { (this->*click)(); }));
    label->setObjectName(name);
    label->setText(ansi::ToQString(address));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont underlined = font();
    underlined.setUnderline(true);
    label->setFont(underlined);
    QPalette blue = label->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(blue);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

void TForm3::FormShow() { setFocus(); }

bool TForm3::FormKeyUp(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: close(); return true;
    default: return false;
    }
}

void TForm3::BitBtn1Click() { close(); }

void TForm3::Label1Click() { html_->CallExternUrl(communitySite_); }

void TForm3::Label9Click() { html_->CallExternUrl(makerPage_); }
