#include "Enhancedform/Enhancedform.h"
#include "TestSupport.h"
#include "Windows.h"

using namespace ef;
using namespace testsupport;

// Every window of the program carries one form enhancer, EnhancedForm1,
// with the program's settings, and draws its own frame around a client
// area of the documented size.
class TestWindowFrames : public QObject {
    Q_OBJECT
    Windows w;

private slots:
    void init() { FreshSandbox(); }
    void cleanup() { w.Destroy(); }

    void frames_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QSize>("whole");
        QTest::newRow("main window") << 0 << int(bsSizeable) << int(cbClose | cbMinimize | cbMaximize)
                                     << QSize(598, 452) << QSize(606, 479);
        QTest::newRow("entry editor") << 1 << int(bsDialog) << int(cbClose) << QSize(511, 308) << QSize(517, 333);
        QTest::newRow("genre editor") << 2 << int(bsDialog) << int(cbClose) << QSize(295, 301) << QSize(301, 326);
    }
    void frames() {
        QFETCH(int, window);
        QFETCH(int, style);
        QFETCH(int, buttons);
        QFETCH(QSize, client);
        QFETCH(QSize, whole);
        w.Create(nullptr);
        QWidget* windows[] = {w.form1.get(), w.form2, w.form4};
        QWidget* form = windows[window];
        const auto enhancers = form->findChildren<TEnhancedForm*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(enhancers.size(), 1);
        TEnhancedForm* e = enhancers.front();
        QCOMPARE(e->objectName(), QString("EnhancedForm1"));
        TEFTitleBar* bar = e->TitleBar();
        QCOMPARE(bar->ApplicationInfo()->FontStyle(), TFontStyles(fsBold));
        QCOMPARE(bar->CompanyInfo()->FontStyle(), fsBold | fsItalic);
        QCOMPARE(bar->NbOfColors(), 0);
        QVERIFY(bar->ApplicationInfo()->Caption().empty() && bar->CompanyInfo()->Caption().empty());
        // Wallpaper and notification-area icon stay unused.
        QVERIFY(e->WallPaper()->Bitmap().isNull() && e->WallPaper()->Buffer().isNull());
        QVERIFY(e->TrayIcon()->Icon().isNull() && !e->TrayIcon()->Added());

        QVERIFY(e->DrawsFrame());
        QVERIFY(form->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(int(e->BorderStyle()), style);
        QCOMPARE(int(VisibleButtons(e->FrameState())), buttons);
        QCOMPARE(e->ClientRect().size(), client);
        QCOMPARE(form->size(), whole);
    }
};

FLICKSTOW_TEST_MAIN(TestWindowFrames)
#include "test_windowframes.moc"
