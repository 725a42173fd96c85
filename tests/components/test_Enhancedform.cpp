#include "components/Enhancedform/ClassicPaint.h"
#include "components/Enhancedform/Enhancedform.h"
#include "platform/errors/Exception.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>

using namespace ef;
using namespace metrics;

namespace {

const QRgb kFace = qRgb(212, 208, 200);
const QRgb kActive = qRgb(10, 36, 106);
const QRgb kInactive = qRgb(128, 128, 128);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kDark = qRgb(64, 64, 64);

QIcon SolidIcon(QColor color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// A main window like the program's: menu, client widget, status bar,
// resizable with all caption buttons; it counts its close queries.
class MainForm : public QMainWindow {
public:
    int closeQueries = 0;
    bool allowClose = true;
    TEnhancedForm* enhancer;
    explicit MainForm(Qt::WindowFlags flags = {}) : QMainWindow(nullptr, flags) {
        enhancer = new TEnhancedForm(this);
        setWindowTitle("Varnholt Flickstow 1.5");
        setWindowIcon(SolidIcon(Qt::red));
        menuBar()->addMenu("&File");
        setCentralWidget(new QLabel("client"));
        statusBar()->showMessage("status");
        setMinimumSize(390, 322);
        resize(606, 479);
        move(40, 30);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closeQueries;
        if (allowClose) QMainWindow::closeEvent(event);
        else
            event->ignore();
    }
};

// A dialog like the program's: fixed client size, only a close button,
// child controls placed by position.
class DialogForm : public QDialog {
public:
    TEnhancedForm* enhancer;
    QLabel* label;
    explicit DialogForm(Qt::WindowFlags hints = Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                                Qt::WindowCloseButtonHint) {
        setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | hints);
        setWindowTitle("Edit Genres");
        setWindowIcon(SolidIcon(Qt::red));
        setFixedSize(295, 301);
        enhancer = new TEnhancedForm(this);
        label = new QLabel("Memo", this);
        label->setGeometry(7, 8, 100, 20);
        move(60, 50);
    }
};

QImage Shot(QWidget* w) { return w->grab().toImage(); }

void ShowActive(QWidget* w) {
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTRY_VERIFY(w->isActiveWindow());
}

// The pixels of the caption between two columns that show the text colour.
int TextPixels(const QImage& shot, int top, int from, int to, QRgb text) {
    int n = 0;
    for (int y = top + 1; y < top + 18; ++y)
        for (int x = from; x < to; ++x)
            if (shot.pixel(x, y) == text) ++n;
    return n;
}

}  // namespace

class TestEnhancedform : public QObject {
    Q_OBJECT
private slots:
    void init() { testsupport::FreshSandbox(); }

    // --- the caption arithmetic -------------------------------------------

    void captionRect_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("minimized");
        QTest::addColumn<QRect>("rect");  // left, top, right, bottom (exclusive)
        QTest::newRow("none") << int(bsNone) << false << QRect(QPoint(0, 0), QPoint(0, 0));
        QTest::newRow("single") << int(bsSingle) << false << QRect(QPoint(3, 3), QPoint(597, 21));
        QTest::newRow("sizeable") << int(bsSizeable) << false << QRect(QPoint(4, 4), QPoint(596, 22));
        QTest::newRow("dialog") << int(bsDialog) << false << QRect(QPoint(3, 3), QPoint(597, 21));
        QTest::newRow("tool window") << int(bsToolWindow) << false << QRect(QPoint(3, 3), QPoint(597, 18));
        QTest::newRow("sizeable tool window") << int(bsSizeToolWin) << false << QRect(QPoint(4, 4), QPoint(596, 19));
        QTest::newRow("minimized sizeable") << int(bsSizeable) << true << QRect(QPoint(3, 3), QPoint(597, 21));
    }
    void captionRect() {
        QFETCH(int, style);
        QFETCH(bool, minimized);
        QFETCH(QRect, rect);
        FrameState frame;
        frame.borderStyle = TFormBorderStyle(style);
        frame.minimized = minimized;
        frame.windowSize = QSize(600, 400);
        const TRect r = CaptionRect(frame);
        QCOMPARE(QRect(QPoint(r.Left, r.Top), QPoint(r.Right, r.Bottom)), rect);
    }

    void buttons_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icons");
        QTest::addColumn<int>("visible");
        QTest::addColumn<int>("cell");
        QTest::addColumn<int>("width");
        const int sys = biSystemMenu, min = biMinimize, max = biMaximize, help = biHelp;
        const int close = cbClose, minmax = cbMinimize | cbMaximize;
        QTest::newRow("main window") << int(bsSizeable) << (sys | min | max) << (close | minmax) << 14 << 42;
        QTest::newRow("sizeable, close only") << int(bsSizeable) << sys << close << 14 << 14;
        QTest::newRow("sizeable with help") << int(bsSizeable) << (sys | help) << (close | int(cbHelp)) << 14 << 26;
        QTest::newRow("help gives way to minimize")
            << int(bsSizeable) << (sys | min | help) << (close | minmax) << 14 << 42;
        QTest::newRow("no system menu") << int(bsSizeable) << max << minmax << 14 << 30;
        QTest::newRow("single") << int(bsSingle) << (sys | max) << (close | minmax) << 14 << 42;
        QTest::newRow("dialog") << int(bsDialog) << (sys | min | max | help) << (close | int(cbHelp)) << 14 << 26;
        QTest::newRow("dialog without icons") << int(bsDialog) << 0 << 0 << 14 << 2;
        QTest::newRow("tool window") << int(bsToolWindow) << (sys | min | max | help) << close << 8 << 8;
        QTest::newRow("sizeable tool window") << int(bsSizeToolWin) << 0 << 0 << 8 << 2;
        QTest::newRow("none") << int(bsNone) << (sys | min | max) << 0 << 14 << 2;
    }
    void buttons() {
        QFETCH(int, style);
        QFETCH(int, icons);
        QFETCH(int, visible);
        QFETCH(int, cell);
        QFETCH(int, width);
        FrameState frame;
        frame.borderStyle = TFormBorderStyle(style);
        frame.borderIcons = TBorderIcons::fromInt(static_cast<unsigned>(icons));
        frame.windowSize = QSize(606, 479);
        QCOMPARE(int(VisibleButtons(frame)), visible);
        QCOMPARE(ButtonCellWidth(frame.borderStyle), cell);
        QCOMPARE(ButtonsWidth(frame), width);
    }

    // The buttons from right to left: close, a gap, maximize, minimize.
    void buttonPlaces_data() {
        QTest::addColumn<int>("icons");
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<QList<int>>("lefts");
        QTest::addColumn<QList<int>>("glyphs");
        QTest::addColumn<QList<bool>>("inactive");
        const int all = biSystemMenu | biMinimize | biMaximize;
        QTest::newRow("normal") << all << false << QList<int>{584, 566, 550}
                                << QList<int>{int(Glyph::Close), int(Glyph::Maximize), int(Glyph::Minimize)}
                                << QList<bool>{false, false, false};
        QTest::newRow("maximized shows restore")
            << all << true << QList<int>{584, 566, 550}
            << QList<int>{int(Glyph::Close), int(Glyph::Restore), int(Glyph::Minimize)}
            << QList<bool>{false, false, false};
        QTest::newRow("no maximize greys it")
            << int(biSystemMenu | biMinimize) << false << QList<int>{584, 566, 550}
            << QList<int>{int(Glyph::Close), int(Glyph::Maximize), int(Glyph::Minimize)}
            << QList<bool>{false, true, false};
    }
    void buttonPlaces() {
        QFETCH(int, icons);
        QFETCH(bool, maximized);
        QFETCH(QList<int>, lefts);
        QFETCH(QList<int>, glyphs);
        QFETCH(QList<bool>, inactive);
        FrameState frame;
        frame.borderIcons = TBorderIcons::fromInt(static_cast<unsigned>(icons));
        frame.maximized = maximized;
        frame.windowSize = QSize(606, 479);
        QList<int> gotLefts, gotGlyphs;
        QList<bool> gotInactive;
        for (const ButtonPlace& b : ButtonPlaces(frame)) {
            QCOMPARE(b.rect.Width(), 16);
            QCOMPARE(b.rect.Top, 6);
            QCOMPARE(b.rect.Bottom, 20);
            gotLefts << b.rect.Left;
            gotGlyphs << int(b.glyph);
            gotInactive << b.inactive;
        }
        QCOMPARE(gotLefts, lefts);
        QCOMPARE(gotGlyphs, glyphs);
        QCOMPARE(gotInactive, inactive);
    }

    // With the automatic band count, at most 256 bands, each 3 or 4 pixels
    // wide on a 1000-pixel gradient, never fewer than 2, never one of
    // negative width, and the bands meet without gaps.
    void bandWidths_data() {
        QTest::addColumn<int>("nbOfColors");
        QTest::addColumn<int>("gradientWidth");
        QTest::addColumn<int>("bands");
        QTest::addColumn<int>("narrowest");
        QTest::addColumn<int>("widest");
        QTest::newRow("1000 pixels, automatic") << 0 << 1000 << 256 << 3 << 4;
        QTest::newRow("200 pixels, automatic") << 0 << 200 << 200 << 1 << 1;
        QTest::newRow("1 pixel") << 0 << 1 << 2 << 0 << 1;
        QTest::newRow("no width") << 0 << 0 << 2 << 0 << 0;
        QTest::newRow("narrower than the buttons") << 0 << -30 << 2 << 0 << 0;
        QTest::newRow("64 colours") << 64 << 1000 << 64 << 15 << 16;
    }
    void bandWidths() {
        QFETCH(int, nbOfColors);
        QFETCH(int, gradientWidth);
        QFETCH(int, bands);
        QFETCH(int, narrowest);
        QFETCH(int, widest);
        const TRect r0{4, 4, 4 + gradientWidth + 42, 22};
        const std::vector<Band> all = GradientBands(gtLeftToRight, nbOfColors, r0, 42, kActive, qRgb(0, 0, 0));
        QCOMPARE(int(all.size()), bands + 1);
        int lo = INT_MAX, hi = INT_MIN, at = r0.Left;
        for (int i = 0; i < bands; ++i) {
            QCOMPARE(all[size_t(i)].Left, at);
            at = all[size_t(i)].Right;
            lo = std::min(lo, all[size_t(i)].Right - all[size_t(i)].Left);
            hi = std::max(hi, all[size_t(i)].Right - all[size_t(i)].Left);
        }
        QCOMPARE(lo, narrowest);
        QCOMPARE(hi, widest);
        QCOMPARE(at, r0.Left + std::max(0, gradientWidth));
        // Then the strip under the buttons, in the caption colour.
        QCOMPARE(all.back().Right, r0.Right);
        QCOMPARE(all.back().Left, std::max(r0.Left, r0.Right - 42));
        QCOMPARE(all.back().color, kActive);
    }

    // Each channel steps by MulDiv: rounded to the nearest, halves away
    // from zero, also when the channel falls.
    void bandColours_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("nbOfColors");
        QTest::addColumn<QRgb>("color");
        QTest::addColumn<QList<QRgb>>("colours");
        const QRgb white = kWhite, black = qRgb(0, 0, 0);
        QTest::newRow("black to caption, 3 bands")
            << int(gtLeftToRight) << 3 << black << QList<QRgb>{black, qRgb(5, 18, 53), kActive};
        QTest::newRow("white to caption, falling halves")
            << int(gtLeftToRight) << 3 << white << QList<QRgb>{white, qRgb(132, 145, 180), kActive};
        QTest::newRow("256 bands ends") << int(gtLeftToRight) << 256 << black << QList<QRgb>{};
        QTest::newRow("no gradient") << int(gtNone) << 2 << white << QList<QRgb>{kActive, kActive};
        QTest::newRow("centre to border, odd count")
            << int(gtCenterToBorder) << 5 << white
            << QList<QRgb>{kActive, qRgb(133, 146, 181), white, qRgb(132, 145, 180), kActive};
    }
    void bandColours() {
        QFETCH(int, type);
        QFETCH(int, nbOfColors);
        QFETCH(QRgb, color);
        QFETCH(QList<QRgb>, colours);
        const TRect r0{4, 4, 604, 22};
        std::vector<Band> bands = GradientBands(TGradientType(type), nbOfColors, r0, 42, kActive, color);
        bands.pop_back();
        QCOMPARE(int(bands.size()), nbOfColors);
        if (colours.isEmpty()) {
            QCOMPARE(bands.front().color, color);
            QCOMPARE(bands[128].color, qRgb(5, 18, 53));
            QCOMPARE(bands.back().color, kActive);
            return;
        }
        QList<QRgb> got;
        for (const Band& b : bands) got << b.color;
        QCOMPARE(got, colours);
        if (type == gtCenterToBorder) {
            // The second half starts at the middle and meets the right end.
            QCOMPARE(bands[2].Left, r0.Left + MulDiv(2, 600 - 42, 5));
            QCOMPARE(bands.back().Right, bands[2].Left + MulDiv(3, 600 - 42, 5));
        }
    }

    // Three texts from left to right; the company text goes first when they
    // do not fit, then the application text; the caption always stays.
    void texts_data() {
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QList<bool>>("counts");
        QTest::addColumn<bool>("titleBarOn");
        QTest::addColumn<QList<int>>("lefts");
        const QList<bool> all{true, true, true};
        const int no = TextPlaces::kNotDrawn;
        QTest::newRow("all fit") << 200 << int(taLeftJustify) << all << true << QList<int>{3, 33, 73};
        QTest::newRow("exactly full drops the company")
            << 120 << int(taLeftJustify) << all << true << QList<int>{no, 3, 43};
        QTest::newRow("application dropped") << 90 << int(taLeftJustify) << all << true << QList<int>{no, no, 3};
        QTest::newRow("caption stays when too long")
            << 20 << int(taLeftJustify) << all << true << QList<int>{no, no, 3};
        QTest::newRow("right") << 200 << int(taRightJustify) << all << true << QList<int>{83, 113, 153};
        QTest::newRow("centre, odd remainder") << 181 << int(taCenter) << all << true << QList<int>{33, 63, 103};
        QTest::newRow("centre, too long, rounds toward zero")
            << 29 << int(taCenter) << QList<bool>{false, false, true} << true << QList<int>{no, no, -7};
        QTest::newRow("right, too long") << 20 << int(taRightJustify) << all << true << QList<int>{no, no, -27};
        QTest::newRow("right, application dropped")
            << 90 << int(taRightJustify) << all << true << QList<int>{no, no, 43};
        QTest::newRow("title bar off keeps left")
            << 200 << int(taRightJustify) << all << false << QList<int>{3, 33, 73};
        QTest::newRow("empty company") << 200 << int(taLeftJustify) << QList<bool>{false, true, true} << true
                                       << QList<int>{no, 3, 43};
    }
    void texts() {
        QFETCH(int, right);
        QFETCH(int, alignment);
        QFETCH(QList<bool>, counts);
        QFETCH(bool, titleBarOn);
        QFETCH(QList<int>, lefts);
        // Advances: company 30, application 40, caption 50.
        const TextPlaces places = LayOutTexts({30, 40, 50}, {counts[0], counts[1], counts[2]}, 0, right,
                                              TAlignment(alignment), titleBarOn);
        QCOMPARE((QList<int>{places.left[0], places.left[1], places.left[2]}), lefts);
    }

    void hitTest_data() {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("hit");
        QTest::newRow("icon") << QPoint(10, 12) << int(Hit::Icon);
        QTest::newRow("caption") << QPoint(200, 12) << int(Hit::Caption);
        QTest::newRow("close") << QPoint(592, 13) << int(Hit::CloseButton);
        QTest::newRow("gap beside close") << QPoint(583, 13) << int(Hit::Caption);
        QTest::newRow("maximize") << QPoint(574, 13) << int(Hit::MaxButton);
        QTest::newRow("minimize") << QPoint(558, 13) << int(Hit::MinButton);
        QTest::newRow("client") << QPoint(300, 200) << int(Hit::Client);
        QTest::newRow("left edge") << QPoint(1, 200) << int(Hit::Left);
        QTest::newRow("right edge") << QPoint(604, 200) << int(Hit::Right);
        QTest::newRow("top edge") << QPoint(300, 1) << int(Hit::Top);
        QTest::newRow("bottom edge") << QPoint(300, 477) << int(Hit::Bottom);
        QTest::newRow("bottom right corner") << QPoint(600, 477) << int(Hit::BottomRight);
        QTest::newRow("top left corner, on the side") << QPoint(1, 10) << int(Hit::TopLeft);
        QTest::newRow("line under the caption") << QPoint(300, 22) << int(Hit::Border);
        // The corners reach `corner` pixels along each edge, and no further.
        FrameState frame;
        frame.windowSize = QSize(606, 479);
        const int corner = GetSystemMetrics(SM_CXSIZE) + FrameSize(frame).width();
        const int right = 606 - 1, bottom = 479 - 1;
        QTest::newRow("top edge at the corner size") << QPoint(corner, 1) << int(Hit::Top);
        QTest::newRow("top left corner's last column") << QPoint(corner - 1, 1) << int(Hit::TopLeft);
        QTest::newRow("bottom edge at the corner size") << QPoint(corner, bottom - 1) << int(Hit::Bottom);
        QTest::newRow("bottom left corner's last column") << QPoint(corner - 1, bottom - 1) << int(Hit::BottomLeft);
        QTest::newRow("top edge before the right corner") << QPoint(right - corner, 1) << int(Hit::Top);
        QTest::newRow("top right corner's first column") << QPoint(right - corner + 1, 1) << int(Hit::TopRight);
        QTest::newRow("bottom edge before the right corner") << QPoint(right - corner, bottom) << int(Hit::Bottom);
        QTest::newRow("bottom right corner's first column")
            << QPoint(right - corner + 1, bottom) << int(Hit::BottomRight);
        QTest::newRow("left edge at the corner size") << QPoint(0, corner) << int(Hit::Left);
        QTest::newRow("right edge at the corner size") << QPoint(right, bottom - corner) << int(Hit::Right);
    }
    void hitTest() {
        QFETCH(QPoint, at);
        QFETCH(int, hit);
        FrameState frame;
        frame.windowSize = QSize(606, 479);
        QCOMPARE(int(HitTest(frame, true, at)), hit);
    }

    // --- the component ---------------------------------------------------------

    void nbOfColors_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("kept");
        QTest::newRow("1 ignored") << 1 << 64;
        QTest::newRow("257 ignored") << 257 << 64;
        QTest::newRow("-1 ignored") << -1 << 64;
        QTest::newRow("0 taken") << 0 << 0;
        QTest::newRow("2 taken") << 2 << 2;
        QTest::newRow("256 taken") << 256 << 256;
    }
    void nbOfColors() {
        QFETCH(int, value);
        QFETCH(int, kept);
        MainForm form;
        QCOMPARE(form.enhancer->TitleBar()->NbOfColors(), 0);
        form.enhancer->TitleBar()->SetNbOfColors(64);
        form.enhancer->TitleBar()->SetNbOfColors(value);
        QCOMPARE(form.enhancer->TitleBar()->NbOfColors(), kept);
    }

    void defaults() {
        MainForm form;
        TEFTitleBar* bar = form.enhancer->TitleBar();
        QVERIFY(form.enhancer->Enabled());
        QCOMPARE(bar->Alignment(), taLeftJustify);
        QCOMPARE(bar->Color(), clBlack);
        QCOMPARE(bar->Type(), gtLeftToRight);
        QCOMPARE(bar->ApplicationInfo()->FontStyle(), TFontStyles(fsBold));
        QCOMPARE(bar->CompanyInfo()->FontStyle(), fsBold | fsItalic);
        QVERIFY(bar->ApplicationInfo()->Caption().empty() && bar->ApplicationInfo()->Enabled());
        QCOMPARE(bar->CaptionFont().family(), QString("Tahoma"));
        QCOMPARE(bar->CaptionFont().pixelSize(), 11);
        QVERIFY(bar->CaptionFont().bold());
        QVERIFY(!form.enhancer->WallPaper()->Buffer().width());
        QVERIFY(!form.enhancer->TrayIcon()->Added());
    }

    // The caption font is read again when the system's colours or display
    // change; without the caption font the stock font stands in.
    void captionFontFollowsTheSystem() {
        MainForm form;
        test::FailNonClientMetrics(true);
        QEvent change(QEvent::ApplicationPaletteChange);
        QApplication::sendEvent(&form, &change);
        test::FailNonClientMetrics(false);
        QCOMPARE(form.enhancer->TitleBar()->CaptionFont().family(), QString("System"));
        QVERIFY(form.enhancer->TitleBar()->CaptionFont().bold());
        QEvent again(QEvent::ApplicationPaletteChange);
        QApplication::sendEvent(&form, &again);
        QCOMPARE(form.enhancer->TitleBar()->CaptionFont().family(), QString("Tahoma"));
    }

    void constructionErrors_data() {
        QTest::addColumn<int>("owner");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a widget") << 0 << "The owner of a TEnhancedForm component must be a form...";
        QTest::newRow("a control, not a form") << 1 << "The owner of a TEnhancedForm component must be a form...";
        QTest::newRow("second instance") << 2 << "Only one instance of TEnhancedForm per form is allowed...";
    }
    void constructionErrors() {
        QFETCH(int, owner);
        QFETCH(QString, message);
        MainForm form;
        QObject plain;
        QWidget* control = form.centralWidget();
        QObject* owners[] = {&plain, control, &form};
        QObject* target = owners[owner];
        const QObjectList before = target->children();
        const Qt::WindowFlags flags = control->windowFlags();
        try {
            new TEnhancedForm(target);
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(QString::fromStdString(e.Message), message);
        }
        // Nothing was left behind: no new children, nothing hooked.
        QCOMPARE(target->children(), before);
        QCOMPARE(control->windowFlags(), flags);
        if (owner == 2) {
            // Only the first component changed the form: ending it gives
            // the window manager's frame back.
            delete form.enhancer;
            QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
            QCOMPARE(form.contentsMargins(), QMargins());
        }
    }

    // Sizes set after the component came are whole-window sizes; sizes set
    // before it (a dialog's client size) stay the client area's.
    void windowAndClientSizes() {
        MainForm main;
        QVERIFY(main.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(main.size(), QSize(606, 479));
        QCOMPARE(main.enhancer->ClientRect(), QRect(4, 23, 598, 452));
        QCOMPARE(main.minimumSize(), QSize(390, 322));
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QTRY_COMPARE(main.menuBar()->geometry().topLeft(), QPoint(4, 23));

        DialogForm dialog;
        QCOMPARE(dialog.size(), QSize(301, 326));
        QCOMPARE(dialog.enhancer->ClientRect(), QRect(3, 22, 295, 301));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.enhancer->BorderStyle(), bsDialog);
        // Child controls keep their places within the client area, also
        // those made after the component, and a hidden one stays hidden.
        auto* late = new QLabel("late", &dialog);
        late->setGeometry(10, 260, 80, 20);
        auto* hidden = new QLabel("hidden", &dialog);
        hidden->hide();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_COMPARE(late->mapTo(&dialog, QPoint()), QPoint(13, 282));
        QCOMPARE(dialog.label->geometry(), QRect(7, 8, 100, 20));
        QCOMPARE(dialog.label->mapTo(&dialog, QPoint()), QPoint(10, 30));
        QVERIFY(dialog.label->isVisible() && late->isVisible());
        QVERIFY(hidden->isHidden());
    }

    // Switching the component off gives the window manager's frame back and
    // keeps the client area; switching it on again takes the frame again.
    void enabledSwitchesTheFrame() {
        DialogForm dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.enhancer->SetEnabled(false);
        QVERIFY(!(dialog.windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.size(), QSize(295, 301));
        QCOMPARE(dialog.label->mapTo(&dialog, QPoint()), QPoint(7, 8));
        dialog.enhancer->SetEnabled(true);
        QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(dialog.size(), QSize(301, 326));
        QCOMPARE(dialog.label->mapTo(&dialog, QPoint()), QPoint(10, 30));
    }

    // The title bar switched off does not repaint at once; the frame goes
    // back to the window manager at the next repaint.
    void titleBarOffAtNextRepaint() {
        MainForm form;
        ShowActive(&form);
        form.enhancer->TitleBar()->SetEnabled(false);
        QVERIFY(form.enhancer->DrawsFrame());
        form.update();
        QTRY_VERIFY(!form.enhancer->DrawsFrame());
        QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
        form.enhancer->TitleBar()->SetEnabled(true);
        QVERIFY(form.enhancer->DrawsFrame());
    }

    // Ending the component gives the form its own events back, even with
    // another event filter installed after it.
    void removalRestoresTheForm() {
        MainForm form;
        ShowActive(&form);
        struct Counter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++paints;
                return false;
            }
        } counter;
        form.installEventFilter(&counter);
        QCOMPARE(Shot(&form).pixel(4, 10), qRgb(0, 0, 0));
        delete form.enhancer;
        QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
        QCOMPARE(form.contentsMargins(), QMargins());
        QTRY_COMPARE(form.menuBar()->geometry().topLeft(), QPoint(0, 0));
        // No caption is drawn any more, and the later filter still works.
        const int paints = counter.paints;
        const QImage shot = Shot(&form);
        QVERIFY(counter.paints > paints);
        QVERIFY(shot.pixel(4, 10) != qRgb(0, 0, 0));
        QVERIFY(!form.hasMouseTracking());
    }

    // The main window: icon and three buttons; a dialog: no icon, close only.
    void looks_data() {
        QTest::addColumn<bool>("main");
        QTest::newRow("main window") << true;
        QTest::newRow("dialog") << false;
    }
    void looks() {
        QFETCH(bool, main);
        std::unique_ptr<QWidget> form;
        if (main) form = std::make_unique<MainForm>();
        else
            form = std::make_unique<DialogForm>();
        ShowActive(form.get());
        const QImage shot = Shot(form.get());
        const int right = form->width() - (main ? 4 : 3);  // R0.right
        const int top = main ? 4 : 3;
        // The icon (red) beside the left end of the gradient (black).
        QCOMPARE(shot.pixel(top + 2 + 8, top + 1 + 8) == qRgb(255, 0, 0), main);
        QCOMPARE(shot.pixel(top, top + 8), qRgb(0, 0, 0));
        // Buttons: the raised edge and the face of each.
        auto isButton = [&](int left) {
            return shot.pixel(left, top + 2) == kWhite && shot.pixel(left + 2, top + 4) == kFace &&
                   shot.pixel(left + 15, top + 15) == kDark;
        };
        QVERIFY(isButton(right - 2 - 16));
        QCOMPARE(isButton(right - 2 - 16 - 18), main);
        QCOMPARE(isButton(right - 2 - 16 - 18 - 16), main);
        // The frame around the client area.
        QCOMPARE(shot.pixel(0, form->height() / 2), kFace);
        QCOMPARE(shot.pixel(1, form->height() / 2), kWhite);
        QCOMPARE(shot.pixel(form->width() - 1, form->height() / 2), kDark);
        // The caption text in the caption text colour.
        QVERIFY(TextPixels(shot, top, top + 20, right - 60, kWhite) > 40);
    }

    // The maximize button shows the restore symbol while maximized.
    void maximizedShowsRestore() {
        MainForm form;
        ShowActive(&form);
        auto glyphTop = [&form] { return Shot(&form).pixel(566 + 3, 6 + 2); };  // the maximize box's top line
        QCOMPARE(glyphTop(), qRgb(0, 0, 0));
        form.showMaximized();
        QTRY_VERIFY(form.isMaximized());
        const int left = form.width() - 4 - 2 - 16 - 18;
        QCOMPARE(Shot(&form).pixel(left + 3, 6 + 2), kFace);
        QCOMPARE(Shot(&form).pixel(left + 3 + 2, 6 + 1), qRgb(0, 0, 0));
    }

    // A new caption shows at once; a long one runs on to the end of the text
    // rectangle, where it is cut with "..."; the buttons stay whole over it.
    void titleChange() {
        MainForm form;
        ShowActive(&form);
        form.setWindowTitle("A");
        const int shortText = TextPixels(Shot(&form), 4, 20, 550, kWhite);
        form.setWindowTitle(QString(30, 'W'));
        const int longText = TextPixels(Shot(&form), 4, 20, 550, kWhite);
        QVERIFY2(longText > 5 * shortText, qPrintable(QString("%1 %2").arg(shortText).arg(longText)));
        form.setWindowTitle(QString(200, 'W'));
        form.resize(390, 322);
        const QImage shot = Shot(&form);
        // The minimize button stays whole: its face shows above its glyph.
        const int minLeft = 390 - 4 - 2 - 16 - 18 - 16;
        for (int x = minLeft + 2; x < minLeft + 14; ++x)
            for (int y = 8; y < 13; ++y) QCOMPARE(shot.pixel(x, y), kFace);
        // The text fills the room up to the buttons.
        int last = 0;
        for (int x = 20; x < minLeft; ++x)
            for (int y = 5; y < 21; ++y)
                if (shot.pixel(x, y) == kWhite) last = x;
        QVERIFY2(last > minLeft - 16, qPrintable(QString::number(last)));
    }

    // However the texts are aligned, a caption that fits shows whole and one
    // wider than the room still shows, cut with "..." at the end of the text
    // rectangle under the buttons.
    void captionAlignment_data() {
        QTest::addColumn<int>("alignment");
        QTest::newRow("left") << int(taLeftJustify);
        QTest::newRow("centre") << int(taCenter);
        QTest::newRow("right") << int(taRightJustify);
    }
    void captionAlignment() {
        QFETCH(int, alignment);
        DialogForm form;
        ShowActive(&form);
        const int buttonLeft = form.width() - 3 - 2 - 16;
        // The caption's strokes (text-coloured pixels) between the frame and
        // the close button, cut to the columns they take.
        auto strokes = [&] {
            const QImage shot = Shot(&form);
            QRect box;
            for (int y = 4; y < 21; ++y)
                for (int x = 3; x < buttonLeft; ++x)
                    if (shot.pixel(x, y) == kWhite) box |= QRect(x, y, 1, 1);
            QImage mask(box.width(), 17, QImage::Format_Mono);
            mask.fill(0);
            for (int y = 0; y < 17; ++y)
                for (int x = 0; x < box.width(); ++x) mask.setPixel(x, y, shot.pixel(box.left() + x, 4 + y) == kWhite);
            return mask;
        };
        const QImage whole = strokes();
        const int wholePixels = TextPixels(Shot(&form), 3, 0, buttonLeft, kWhite);
        form.enhancer->TitleBar()->SetAlignment(TAlignment(alignment));
        // The same strokes wherever the caption stands, the whole caption:
        // right-aligned, its last few columns may lie under the button.
        const QImage aligned = strokes();
        QVERIFY2(aligned.width() >= whole.width() - 4, qPrintable(QString::number(aligned.width())));
        QCOMPARE(aligned, whole.copy(0, 0, aligned.width(), 17));
        form.setWindowTitle(QString(200, 'W'));
        QVERIFY(TextPixels(Shot(&form), 3, 0, buttonLeft, kWhite) > 4 * wholePixels);
    }

    // The active caption colour while active, the inactive one once another
    // window is active, and the texts in the matching colours.
    void activationColours() {
        // No caption buttons: the gradient runs to the right end.
        DialogForm form(Qt::WindowTitleHint | Qt::CustomizeWindowHint);
        QCOMPARE(int(VisibleButtons(form.enhancer->FrameState())), 0);
        ShowActive(&form);
        const int right = form.width() - 3;
        QImage shot = Shot(&form);
        QCOMPARE(shot.pixel(3, 10), qRgb(0, 0, 0));
        QCOMPARE(shot.pixel(right - 3, 10), kActive);
        QCOMPARE(shot.pixel(right - 1, 10), kActive);
        QVERIFY(TextPixels(shot, 3, 3, 100, kWhite) > 40);
        QWidget other;
        ShowActive(&other);
        QTRY_VERIFY(!form.isActiveWindow());
        shot = Shot(&form);
        QCOMPARE(shot.pixel(3, 10), qRgb(0, 0, 0));
        QCOMPARE(shot.pixel(right - 3, 10), kInactive);
        QCOMPARE(TextPixels(shot, 3, 3, 100, kWhite), 0);
        QVERIFY(TextPixels(shot, 3, 3, 100, qRgb(212, 208, 200)) > 40);
    }

    // The caption and the frame are drawn after the form's own painting.
    void paintsAfterTheForm() {
        class RedForm : public QWidget {
        public:
            void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::red); }
        } form;
        new TEnhancedForm(&form);
        form.resize(400, 300);
        const QImage shot = Shot(&form);
        QCOMPARE(shot.pixel(4, 10), qRgb(0, 0, 0));
        QCOMPARE(shot.pixel(0, 150), kFace);
        QCOMPARE(shot.pixel(200, 150), qRgb(255, 0, 0));
    }

    // Moving the mouse over the caption repaints it from the composed bar;
    // resizing by one pixel composes it once.
    void composedOnce() {
        MainForm form;
        ShowActive(&form);
        TEFTitleBar* bar = form.enhancer->TitleBar();
        QTRY_VERIFY(bar->Compositions() > 0);
        QCoreApplication::processEvents();
        const int composed = bar->Compositions();
        for (int x = 100; x < 300; x += 20) QTest::mouseMove(&form, QPoint(x, 12));
        QCoreApplication::processEvents();
        QCOMPARE(bar->Compositions(), composed);
        form.resize(form.width() + 1, form.height());
        QTRY_COMPARE(bar->Compositions(), composed + 1);
        Shot(&form);
        QCOMPARE(bar->Compositions(), composed + 1);
    }

    // --- the mouse on the frame ------------------------------------------------

    // Each caption button acts when it is released over itself, and not
    // when the mouse has left it; while held over it, it looks pushed.
    void captionButtons_data() {
        QTest::addColumn<QPoint>("button");
        QTest::addColumn<bool>("leaveFirst");
        QTest::addColumn<QString>("result");
        QTest::newRow("close") << QPoint(592, 13) << false << "close query";
        QTest::newRow("close, released elsewhere") << QPoint(592, 13) << true << "nothing";
        QTest::newRow("maximize") << QPoint(574, 13) << false << "maximized";
        QTest::newRow("minimize") << QPoint(558, 13) << false << "minimized";
        QTest::newRow("minimize, released elsewhere") << QPoint(558, 13) << true << "nothing";
    }
    void captionButtons() {
        QFETCH(QPoint, button);
        QFETCH(bool, leaveFirst);
        QFETCH(QString, result);
        MainForm form;
        form.allowClose = false;
        ShowActive(&form);
        const QPoint corner(button.x() - 8, 6);
        QTest::mousePress(&form, Qt::LeftButton, {}, button);
        QCOMPARE(form.enhancer->PushedButton() != TCaptionButton{}, true);
        QCOMPARE(Shot(&form).pixel(corner), kDark);  // pushed: dark top-left edge
        if (leaveFirst) {
            QTest::mouseMove(&form, QPoint(300, 13));
            QCOMPARE(Shot(&form).pixel(corner), kWhite);
            QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(300, 13));
        } else {
            QTest::mouseRelease(&form, Qt::LeftButton, {}, button);
        }
        QString got = "nothing";
        if (form.closeQueries) got = "close query";
        if (form.isMaximized()) got = "maximized";
        if (form.isMinimized()) got = "minimized";
        QCOMPARE(got, result);
        QCOMPARE(form.closeQueries, result == "close query" ? 1 : 0);
        QVERIFY(form.isVisible());
    }

    void maximizeToggles() {
        MainForm form;
        ShowActive(&form);
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(574, 13));
        QTRY_VERIFY(form.isMaximized());
        const QPoint restore(form.width() - 4 - 2 - 16 - 18 + 8, 13);
        QTest::mouseClick(&form, Qt::LeftButton, {}, restore);
        QTRY_VERIFY(!form.isMaximized());
        // A double click on the caption does the same.
        QTest::mouseDClick(&form, Qt::LeftButton, {}, QPoint(200, 13));
        QTRY_VERIFY(form.isMaximized());
        QTest::mouseDClick(&form, Qt::LeftButton, {}, QPoint(200, 13));
        QTRY_VERIFY(!form.isMaximized());
    }

    // A dialog: the close button closes, a double click on the caption does nothing.
    void dialogCaption() {
        DialogForm dialog;
        ShowActive(&dialog);
        QTest::mouseDClick(&dialog, Qt::LeftButton, {}, QPoint(100, 12));
        QVERIFY(!dialog.isMaximized());
        QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(301 - 3 - 2 - 8, 12));
        QTRY_VERIFY(!dialog.isVisible());
    }

    // A greyed-out maximize button does nothing.
    void inactiveButton() {
        MainForm form(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                      Qt::WindowCloseButtonHint);
        ShowActive(&form);
        QCOMPARE(form.enhancer->BorderIcons(), biSystemMenu | biMinimize);
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(574, 13));
        QVERIFY(!form.isMaximized());
        QCOMPARE(form.enhancer->PushedButton(), TCaptionButton{});
    }

    // Dragging the caption moves the window, dragging an edge resizes it
    // (by hand where the window manager does not do it), within the limits.
    void dragging_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("caption") << QPoint(200, 12) << QPoint(40, 25) << QRect(80, 55, 606, 479);
        QTest::newRow("right edge") << QPoint(604, 200) << QPoint(30, 10) << QRect(40, 30, 636, 479);
        QTest::newRow("bottom right corner") << QPoint(604, 477) << QPoint(-16, 21) << QRect(40, 30, 590, 500);
        QTest::newRow("left edge, down to the minimum") << QPoint(1, 200) << QPoint(400, 0) << QRect(256, 30, 390, 479);
        QTest::newRow("top edge") << QPoint(300, 1) << QPoint(0, -20) << QRect(40, 10, 606, 499);
    }
    void dragging() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, by);
        QFETCH(QRect, geometry);
        MainForm form;
        ShowActive(&form);
        QCOMPARE(form.geometry(), QRect(40, 30, 606, 479));
        // The mouse moves on the screen; the window moves under it.
        const QPoint start = form.mapToGlobal(from);
        QTest::mousePress(&form, Qt::LeftButton, {}, from);
        QTest::mouseMove(&form, form.mapFromGlobal(start + by / 2));
        QTest::mouseMove(&form, form.mapFromGlobal(start + by));
        QTest::mouseRelease(&form, Qt::LeftButton, {}, form.mapFromGlobal(start + by));
        QTRY_COMPARE(form.geometry(), geometry);
    }

    void edgeCursors_data() {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("shape");
        QTest::newRow("right edge") << QPoint(604, 200) << int(Qt::SizeHorCursor);
        QTest::newRow("bottom edge") << QPoint(300, 477) << int(Qt::SizeVerCursor);
        QTest::newRow("top left") << QPoint(1, 1) << int(Qt::SizeFDiagCursor);
        QTest::newRow("bottom left") << QPoint(1, 477) << int(Qt::SizeBDiagCursor);
        QTest::newRow("caption") << QPoint(200, 12) << int(Qt::ArrowCursor);
    }
    void edgeCursors() {
        QFETCH(QPoint, at);
        QFETCH(int, shape);
        MainForm form;
        ShowActive(&form);
        QTest::mouseMove(&form, at);
        QTRY_COMPARE(int(form.cursor().shape()), shape);
    }
};

FLICKSTOW_TEST_MAIN(TestEnhancedform)
#include "test_Enhancedform.moc"
