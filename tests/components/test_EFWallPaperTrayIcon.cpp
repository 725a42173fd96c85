#include "components/Enhancedform/Enhancedform.h"
#include "tests/support/TestSupport.h"

#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QWidget>

using namespace ef;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);

// What the notification area was asked to do.
struct TrayLog {
    struct Call {
        QString kind;
        QRgb colour;  // of the icon's middle; transparent shows alpha 0
        AnsiString tip;
    };
    std::vector<Call> calls;
    bool available = true;
    int failingAdds = 0;
    TTrayIconBackend* live = nullptr;

    QStringList Kinds() const {
        QStringList kinds;
        for (const Call& c : calls) kinds << c.kind;
        return kinds;
    }
    void Send(unsigned message) {
        QVERIFY(live);
        live->Callback(message);
    }
};

class FakeTray final : public TTrayIconBackend {
public:
    explicit FakeTray(TrayLog& log) : log_(log) { log_.live = this; }
    ~FakeTray() override {
        if (log_.live == this) log_.live = nullptr;
    }
    bool Add(const TNotifyIconData& data) override {
        Record("add", data);
        if (log_.failingAdds > 0) {
            --log_.failingAdds;
            return false;
        }
        return true;
    }
    bool Modify(const TNotifyIconData& data) override {
        Record("modify", data);
        return true;
    }
    bool Delete(const TNotifyIconData& data) override {
        Record("delete", data);
        return true;
    }
    bool Available() const override { return log_.available; }

private:
    void Record(const char* kind, const TNotifyIconData& data) {
        QVERIFY(!data.hIcon.isNull());
        QVERIFY(data.uID == 0 && data.uFlags == 7 && data.uCallbackMessage == 0x046F && data.cbSize == 488);
        log_.calls.push_back({kind, data.hIcon.pixmap(16, 16).toImage().pixel(8, 8), data.szTip});
    }
    TrayLog& log_;
};

QImage Solid(QSize size, QRgb colour, QRgb marker) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.setPixel(0, 0, marker);
    return image;
}

QIcon SolidIcon(QRgb colour) { return QIcon(QPixmap::fromImage(Solid(QSize(16, 16), colour, colour))); }

// A plain form with the component; its client area has the given size.
struct Form {
    QWidget widget;
    TEnhancedForm* enhancer;
    explicit Form(QSize client) {
        enhancer = new TEnhancedForm(&widget);
        widget.resize(client + QSize(8, 27));
        widget.move(20, 20);
    }
    QRect Client() const { return enhancer->ClientRect(); }
};

int Count(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) ++n;
    return n;
}

}  // namespace

class TestEFWallPaperTrayIcon : public QObject {
    Q_OBJECT

    TrayLog log_;

    TImageList* ThreeColours(QObject* owner) {
        auto* list = new TImageList(owner);
        for (QRgb c : {kRed, kGreen, kBlue}) list->Add(Solid(QSize(16, 16), c, c));
        return list;
    }
    // A shown form whose tray icon shows a red icon, ready to hide.
    void ShowWithIcon(Form& form) {
        form.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form.widget));
        form.enhancer->TrayIcon()->SetIcon(SolidIcon(kRed));
        QVERIFY(form.enhancer->TrayIcon()->Added());
    }

private slots:
    void init() {
        testsupport::FreshSandbox();
        metrics::test::SetScreenSize(QSize(1024, 768));
        log_ = TrayLog();
        SetTrayIconBackendFactory([this] { return std::make_unique<FakeTray>(log_); });
    }
    void cleanup() {
        metrics::test::SetScreenSize({});
        SetTrayIconBackendFactory({});
    }

    // --- wallpaper ------------------------------------------------------------

    // Tiles start at the client area's top left corner, columns then rows;
    // the buffer covers the screen and the client area.
    void tiles_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QSize>("buffer");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("screen larger") << QSize(1024, 768) << QSize(300, 200) << QSize(1024, 768) << 11 << 10;
        QTest::newRow("client larger") << QSize(640, 480) << QSize(800, 600) << QSize(800, 600) << 8 << 8;
        QTest::newRow("client wider") << QSize(640, 480) << QSize(1000, 300) << QSize(1000, 480) << 10 << 6;
    }
    void tiles() {
        QFETCH(QSize, screen);
        QFETCH(QSize, client);
        QFETCH(QSize, buffer);
        QFETCH(int, columns);
        QFETCH(int, rows);
        metrics::test::SetScreenSize(screen);
        Form form(client);
        TEFWallPaper* paper = form.enhancer->WallPaper();
        paper->SetBitmap(Solid(QSize(100, 80), kGreen, kRed));
        QCOMPARE(paper->BufferBuilds(), 1);
        QCOMPARE(paper->Buffer().size(), buffer);
        QCOMPARE(Count(paper->Buffer(), kRed), columns * rows);
        for (int i = 0; i < columns; ++i)
            for (int j = 0; j < rows; ++j) QCOMPARE(paper->Buffer().pixel(100 * i, 80 * j), kRed);
        const QImage shot = form.widget.grab().toImage();
        const QPoint origin = form.Client().topLeft();
        QCOMPARE(shot.pixel(origin), kRed);
        QCOMPARE(shot.pixel(origin + QPoint(100, 80)), kRed);
        QCOMPARE(shot.pixel(origin + QPoint(1, 1)), kGreen);
        QCOMPARE(shot.pixel(origin - QPoint(1, 1)), qRgb(212, 208, 200));  // the frame stays
    }

    // Centred: the picture in the buffer's middle, the client area taken
    // from the buffer's middle, halves rounded toward zero.
    void centred_data() {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QPoint>("marker");  // in client coordinates
        QTest::newRow("even client") << QSize(300, 200) << QPoint(461 - 362, 343 - 284);
        QTest::newRow("odd client") << QSize(301, 201) << QPoint(461 - 361, 343 - 283);
    }
    void centred() {
        QFETCH(QSize, client);
        QFETCH(QPoint, marker);
        Form form(client);
        QPalette palette = form.widget.palette();
        palette.setColor(QPalette::Window, QColor(1, 2, 3));
        form.widget.setPalette(palette);
        TEFWallPaper* paper = form.enhancer->WallPaper();
        paper->SetDisplay(dwCenter);
        paper->SetBitmap(Solid(QSize(101, 81), kGreen, kRed));
        QCOMPARE(paper->Buffer().pixel(461, 343), kRed);
        QCOMPARE(paper->Buffer().pixel(460, 343), qRgb(1, 2, 3));
        QCOMPARE(Count(paper->Buffer(), kRed), 1);
        const QImage shot = form.widget.grab().toImage();
        QCOMPARE(shot.pixel(form.Client().topLeft() + marker), kRed);
        QCOMPARE(shot.pixel(form.Client().topLeft() + marker - QPoint(1, 0)), qRgb(1, 2, 3));
    }

    // No picture: no buffer, nothing painted.
    void emptyBitmap_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("null") << QSize();
        QTest::newRow("no width") << QSize(0, 10);
        QTest::newRow("no height") << QSize(10, 0);
    }
    void emptyBitmap() {
        QFETCH(QSize, size);
        Form form(QSize(200, 100));
        TEFWallPaper* paper = form.enhancer->WallPaper();
        paper->SetBitmap(size.isValid() ? QImage(size, QImage::Format_RGB32) : QImage());
        QCOMPARE(paper->BufferBuilds(), 0);
        QVERIFY(paper->Buffer().isNull());
        const QImage shot = form.widget.grab().toImage();
        QCOMPARE(shot.pixel(form.Client().center()), form.widget.palette().color(QPalette::Window).rgb());
    }

    // The buffer is built again when the client area outgrows it, not on
    // every paint; switching the display or switching it on builds it.
    void bufferRebuilds() {
        metrics::test::SetScreenSize(QSize(200, 150));
        Form form(QSize(300, 200));
        TEFWallPaper* paper = form.enhancer->WallPaper();
        paper->SetBitmap(Solid(QSize(50, 50), kGreen, kRed));
        QCOMPARE(paper->BufferBuilds(), 1);
        form.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form.widget));
        for (int i = 0; i < 3; ++i) form.widget.repaint();
        QCOMPARE(paper->BufferBuilds(), 1);
        form.widget.resize(QSize(400, 300) + QSize(8, 27));
        QTRY_COMPARE(paper->Buffer().size(), QSize(400, 300));
        QCOMPARE(paper->BufferBuilds(), 2);
        form.widget.repaint();
        form.widget.resize(QSize(350, 250) + QSize(8, 27));
        form.widget.repaint();
        QCOMPARE(paper->BufferBuilds(), 2);
        paper->SetEnabled(false);
        QCOMPARE(form.widget.grab().toImage().pixel(form.Client().topLeft()),
                 form.widget.palette().color(QPalette::Window).rgb());
        QCOMPARE(paper->BufferBuilds(), 2);
        paper->SetEnabled(true);
        QCOMPARE(paper->BufferBuilds(), 3);
        paper->SetDisplay(dwCenter);
        QCOMPARE(paper->BufferBuilds(), 4);
        paper->SetDisplay(dwCenter);
        QCOMPARE(paper->BufferBuilds(), 4);
    }

    // --- notification-area icon ---------------------------------------------------

    void hint_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("shown");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("126") << 126 << 126;
        QTest::newRow("127") << 127 << 127;
        QTest::newRow("128") << 128 << 127;
        QTest::newRow("200") << 200 << 127;
    }
    void hint() {
        QFETCH(int, length);
        QFETCH(int, shown);
        Form form(QSize(200, 100));
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        AnsiString hint;
        for (int i = 0; i < length; ++i) hint += char('a' + i % 26);
        tray->SetHint(hint);
        tray->SetIcon(SolidIcon(kRed));
        QCOMPARE(log_.calls.back().kind, QString("add"));
        QCOMPARE(log_.calls.back().tip, hint.substr(0, size_t(shown)));
        QCOMPARE(tray->Hint(), hint);
    }

    void iconListIndex_data() {
        QTest::addColumn<bool>("withList");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("animates");
        QTest::newRow("below -1 ignored") << true << int(itList) << -2 << -1 << true;
        QTest::newRow("a fixed image") << true << int(itList) << 1 << 1 << false;
        QTest::newRow("last image") << true << int(itList) << 2 << 2 << false;
        QTest::newRow("past the end animates") << true << int(itList) << 3 << -1 << true;
        QTest::newRow("single icon never animates") << true << int(itSingle) << 7 << -1 << false;
        QTest::newRow("no list") << false << int(itList) << 1 << -1 << false;
    }
    void iconListIndex() {
        QFETCH(bool, withList);
        QFETCH(int, type);
        QFETCH(int, value);
        QFETCH(int, index);
        QFETCH(bool, animates);
        Form form(QSize(200, 100));
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        tray->SetIconType(TTrayIconIconType(type));
        if (withList) tray->SetIconList(ThreeColours(&form.widget));
        tray->SetIconListIndex(value);
        QCOMPARE(tray->IconListIndex(), index);
        QCOMPARE(tray->ListPosition(), index);
        QCOMPARE(tray->Timer()->isActive(), animates);
    }

    // The animation steps through the list and wraps; before the first step
    // the icon is clear.
    void animation() {
        Form form(QSize(200, 100));
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        tray->SetIconInterval(1);
        QCOMPARE(tray->Timer()->interval(), 1);
        tray->SetIconList(ThreeColours(&form.widget));
        tray->SetIconType(itList);
        QVERIFY(tray->Timer()->isActive());
        // Switching to the list before it had images removed the icon; it
        // comes back clear until the first step (and again when the form's
        // start-up synchronises the animation), then the steps follow.
        auto steps = [this] {
            QList<QRgb> shown;
            for (size_t i = 2; i < log_.calls.size(); ++i)
                if (!shown.isEmpty() || qAlpha(log_.calls[i].colour)) shown << log_.calls[i].colour;
            return shown;
        };
        QTRY_VERIFY(steps().size() >= 4);
        QCOMPARE(log_.Kinds().mid(0, 2), (QStringList{"delete", "add"}));
        QCOMPARE(qAlpha(log_.calls[1].colour), 0);
        QCOMPARE(log_.Kinds().mid(2).count("modify"), log_.Kinds().size() - 2);
        const QList<QRgb> shown = steps().mid(0, 4);
        QCOMPARE(shown, (QList<QRgb>{kRed, kGreen, kBlue, kRed}));
    }

    // An interval of 0 means no animation steps, whether it is set before or
    // while the animation runs; another interval starts it again.
    void intervalZero_data() {
        QTest::addColumn<bool>("setFirst");
        QTest::newRow("set before the list") << true;
        QTest::newRow("set while animating") << false;
    }
    void intervalZero() {
        QFETCH(bool, setFirst);
        Form form(QSize(200, 100));
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        if (setFirst) tray->SetIconInterval(0);
        tray->SetIconList(ThreeColours(&form.widget));
        tray->SetIconType(itList);
        QCOMPARE(tray->Timer()->isActive(), !setFirst);
        tray->SetIconInterval(0);
        QVERIFY(!tray->Timer()->isActive());
        QCoreApplication::processEvents();  // the form's start-up shows the icon once more
        const size_t calls = log_.calls.size();
        // A timer of interval 0 would step on every pass of the event loop.
        for (int pass = 0; pass < 20; ++pass) QCoreApplication::processEvents();
        QCOMPARE(log_.calls.size(), calls);
        QCOMPARE(tray->ListPosition(), -1);
        tray->SetIconInterval(1);
        QVERIFY(tray->Timer()->isActive());
        QTRY_VERIFY(tray->ListPosition() >= 0);
    }

    // A list that shrank under the icon: the position is checked each time.
    void listShrinks() {
        Form form(QSize(200, 100));
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        TImageList* list = ThreeColours(&form.widget);
        tray->SetIconList(list);
        tray->SetIconType(itList);
        tray->SetIconListIndex(2);
        QCOMPARE(log_.calls.back().colour, kBlue);
        list->Delete(2);
        list->Delete(1);
        tray->SetHint("shrunk");
        QCOMPARE(log_.calls.back().kind, QString("modify"));
        QCOMPARE(qAlpha(log_.calls.back().colour), 0);
        // The next step wraps to the first image.
        QVERIFY(QMetaObject::invokeMethod(tray->Timer(), "timeout"));
        QCOMPARE(tray->ListPosition(), 0);
        QCOMPARE(log_.calls.back().colour, kRed);
    }

    // A list destroyed while the icon shows it: the icon goes, nothing reads it.
    void listDestroyed() {
        Form form(QSize(200, 100));
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        TImageList* list = ThreeColours(nullptr);
        tray->SetIconList(list);
        tray->SetIconType(itList);
        QVERIFY(tray->Added());
        delete list;
        QCOMPARE(tray->IconList(), nullptr);
        QCOMPARE(log_.calls.back().kind, QString("delete"));
        QVERIFY(!tray->Added());
        QVERIFY(!tray->Timer()->isActive());
        tray->SetHint("still fine");
        QCOMPARE(log_.calls.back().kind, QString("delete"));
    }

    // Minimizing hides the window into the notification area; the chosen
    // click brings it back (maximized if it was); every click raises its event.
    void openOn_data() {
        QTest::addColumn<int>("openOn");
        QTest::addColumn<uint>("message");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("click opens on click") << int(ooClick) << WM_LBUTTONUP << true << false;
        QTest::newRow("double click ignored on click") << int(ooClick) << WM_LBUTTONDBLCLK << false << false;
        QTest::newRow("click ignored on double click") << int(ooDblClick) << WM_LBUTTONUP << false << false;
        QTest::newRow("double click opens") << int(ooDblClick) << WM_LBUTTONDBLCLK << true << false;
        QTest::newRow("double click opens maximized") << int(ooDblClick) << WM_LBUTTONDBLCLK << true << true;
        QTest::newRow("none: click") << int(ooNone) << WM_LBUTTONUP << false << false;
        QTest::newRow("none: double click") << int(ooNone) << WM_LBUTTONDBLCLK << false << false;
        QTest::newRow("mouse move does nothing") << int(ooClick) << WM_MOUSEMOVE << false << false;
    }
    void openOn() {
        QFETCH(int, openOn);
        QFETCH(uint, message);
        QFETCH(bool, restored);
        QFETCH(bool, maximized);
        Form form(QSize(300, 200));
        ShowWithIcon(form);
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        tray->SetOpenAppOn(TTrayIconOpenAppOn(openOn));
        int clicks = 0, doubleClicks = 0;
        tray->OnClick = [&](QObject* sender) {
            QCOMPARE(sender, tray);
            ++clicks;
        };
        tray->OnDblClick = [&](QObject*) { ++doubleClicks; };
        if (maximized) form.widget.showMaximized();
        form.widget.showMinimized();
        QTRY_VERIFY(!form.widget.isVisible());
        log_.Send(message);
        QCOMPARE(clicks, message == WM_LBUTTONUP ? 1 : 0);
        QCOMPARE(doubleClicks, message == WM_LBUTTONDBLCLK ? 1 : 0);
        if (restored) {
            QTRY_VERIFY(form.widget.isVisible());
            QVERIFY(!form.widget.isMinimized());
            QCOMPARE(form.widget.isMaximized(), maximized);
        } else {
            QCoreApplication::processEvents();
            QVERIFY(!form.widget.isVisible());
        }
    }

    // The context click pops the menu up, or raises OnMouseUp without one.
    void contextClick_data() {
        QTest::addColumn<int>("menu");  // 0 none, 1 a menu, 2 a menu destroyed before the click
        QTest::addColumn<bool>("handler");
        QTest::newRow("menu") << 1 << true;
        QTest::newRow("no menu") << 0 << true;
        QTest::newRow("menu destroyed") << 2 << true;
        QTest::newRow("neither") << 0 << false;
    }
    void contextClick() {
        QFETCH(int, menu);
        QFETCH(bool, handler);
        Form form(QSize(300, 200));
        ShowWithIcon(form);
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        auto* popup = new QMenu;
        popup->addAction("Restore");
        if (menu) tray->SetPopupMenu(popup);
        if (menu != 1) delete popup;
        QList<QVariantList> ups;
        if (handler)
            tray->OnMouseUp = [&](QObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
                ups << QVariantList{QVariant::fromValue<QObject*>(sender), int(button), int(shift), x, y};
            };
        const QSize before = form.widget.size();
        log_.Send(WM_RBUTTONUP);
        if (menu == 1) {
            QTRY_VERIFY(popup->isVisible());
            QVERIFY(ups.isEmpty());
            popup->close();
            delete popup;
            return;
        }
        QCOMPARE(tray->PopupMenu(), nullptr);
        const QPoint at = QCursor::pos();
        if (handler)
            QCOMPARE(ups,
                     (QList<QVariantList>{{QVariant::fromValue<QObject*>(tray), int(mbRight), 0, at.x(), at.y()}}));
        QVERIFY(form.widget.isVisible());
        QCOMPARE(form.widget.size(), before);
    }

    // Without a notification area, or without an icon in it, a window is
    // never hidden: it could not come back.
    void noHidingWithoutTheArea_data() {
        QTest::addColumn<bool>("available");
        QTest::addColumn<int>("failingAdds");
        QTest::newRow("no notification area") << false << 0;
        QTest::newRow("the add failed") << true << 1;
    }
    void noHidingWithoutTheArea() {
        QFETCH(bool, available);
        QFETCH(int, failingAdds);
        log_.available = available;
        log_.failingAdds = failingAdds;
        Form form(QSize(300, 200));
        form.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form.widget));
        form.enhancer->TrayIcon()->SetIcon(SolidIcon(kRed));
        form.widget.showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(form.widget.isVisible());
        QVERIFY(form.widget.isMinimized());
    }

    // An add that failed does not count: the next change adds again.
    void failedAddIsRetried() {
        log_.failingAdds = 1;
        Form form(QSize(200, 100));
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        tray->SetIcon(SolidIcon(kRed));
        QVERIFY(!tray->Added());
        tray->SetHint("again");
        QVERIFY(tray->Added());
        tray->SetHint("changed");
        QCOMPARE(log_.Kinds(), (QStringList{"add", "add", "modify"}));
    }

    // The icon shows only while everything asks for it, and goes when the
    // component ends.
    void iconLifetime() {
        Form form(QSize(200, 100));
        TEFTrayIcon* tray = form.enhancer->TrayIcon();
        tray->SetHint("nothing to show");
        QCOMPARE(log_.Kinds(), QStringList{"delete"});
        tray->SetIcon(SolidIcon(kRed));
        tray->SetEnabled(false);
        tray->SetEnabled(true);
        form.enhancer->SetEnabled(false);
        tray->SetHint("component off");
        form.enhancer->SetEnabled(true);
        tray->SetHint("on again");
        QCOMPARE(log_.Kinds(), (QStringList{"delete", "add", "delete", "add", "delete", "add"}));
        delete form.enhancer;
        QCOMPARE(log_.Kinds().back(), QString("delete"));
        QCOMPARE(log_.live, nullptr);
    }

    // A form that starts minimized with an icon goes straight to the
    // notification area.
    void startsMinimized() {
        Form form(QSize(200, 100));
        form.enhancer->TrayIcon()->SetIcon(SolidIcon(kRed));
        form.widget.setWindowState(Qt::WindowMinimized);
        form.widget.show();
        QTRY_VERIFY(!form.widget.isVisible());
        log_.Send(WM_LBUTTONDBLCLK);
        QTRY_VERIFY(form.widget.isVisible());
    }
};

FLICKSTOW_TEST_MAIN(TestEFWallPaperTrayIcon)
#include "test_EFWallPaperTrayIcon.moc"
