#include "components/Enhancedform/Enhancedform.h"
#include "platform/dialogs/dialogs.h"
#include "tests/app/Windows.h"
#include "tests/support/TestSupport.h"

#include <QMessageBox>
#include <QScopeGuard>

#include <QAction>
#include <QScreen>
#include <QToolButton>
#include <array>

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

    // A message box wears the program's caption bar: close button only, a
    // double click on the caption leaves it as it is, and the close button
    // answers as Escape does.
    void messageBoxCaption() {
        w.Create(nullptr);
        bool checked = false;
        QTimer::singleShot(0, [&] {
            QMessageBox* box = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(top); b && b->isVisible()) box = b;
            QVERIFY(box);
            // A check that fails still lets the box, and the test, end.
            auto closed = qScopeGuard([box] {
                if (box->isVisible()) box->reject();
            });
            auto* e = box->findChild<TEnhancedForm*>(QString(), Qt::FindDirectChildrenOnly);
            QVERIFY(e && e->DrawsFrame());
            QVERIFY(box->windowFlags() & Qt::FramelessWindowHint);
            QCOMPARE(int(e->BorderStyle()), int(bsDialog));
            QCOMPARE(int(VisibleButtons(e->FrameState())), int(cbClose));
            const QSize size = box->size();
            QTest::mouseDClick(box, Qt::LeftButton, {}, QPoint(40, 12));
            QVERIFY(!box->isMaximized());
            QCOMPARE(box->size(), size);
            checked = true;
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(size.width() - 3 - 2 - 8, 12));
        });
        dialogs::test::Disable();
        const int answer = dialogs::MessageBox("Do you really want to delete the selected entries?", "Confirm deletion",
                                               dialogs::Icon::Question, dialogs::Buttons::YesNo);
        dialogs::test::Enable();
        QVERIFY(checked);
        QCOMPARE(answer, int(dialogs::IDNO));
    }

    // Every dialog opens in the middle of the screen at every showing,
    // however it was closed before, wherever the user dragged it, wherever
    // the main window stands.
    void dialogsCentred_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("closing");
        for (const char* closing : {"click", "Alt+C", "Escape"})
            for (int window : {1, 2, 3})
                QTest::newRow(qPrintable(QString("window %1, %2").arg(window).arg(closing))) << window << closing;
    }
    void dialogsCentred() {
        QFETCH(int, window);
        QFETCH(QString, closing);
        TForm1* f = w.Create(nullptr);
        Activate(f);
        const auto i = static_cast<size_t>(window);
        QDialog* dialog = std::array<QDialog*, 4>{nullptr, w.form2, w.form3, w.form4}[i];
        QAction* opens = std::array{f->New1, f->New1, f->AboutFlickstow1, f->EditGenres1}[i];
        auto* button = dialog->findChild<QToolButton*>(window == 2 ? "BitBtn1" : "SpeedButton1");
        for (int showing = 1; showing <= 3; ++showing) {
            QRect at;
            auto open = WhileOpen(dialog, [&] {
                at = dialog->frameGeometry();
                if (showing == 1) dialog->move(5, 5);
                if (closing == "click") button->click();
                else if (closing == "Escape")
                    UserKey(Qt::Key_Escape);
                else
                    UserKey(Qt::Key_C, Qt::AltModifier);
                QTRY_VERIFY(!dialog->isVisible());
            });
            opens->trigger();
            QVERIFY2(open.Opened() && (at.center() - f->screen()->availableGeometry().center()).manhattanLength() <= 1,
                     qPrintable(QString("showing %1 at %2,%3").arg(showing).arg(at.x()).arg(at.y())));
            if (showing == 2) f->move(0, 0);
        }
    }
};

FLICKSTOW_TEST_MAIN(TestWindowFrames)
#include "test_windowframes.moc"
