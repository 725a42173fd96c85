#include "app/forms/TImage.h"
#include "app/mainwindow/Links.h"
#include "components/Enhancedform/Enhancedform.h"
#include "tests/app/Windows.h"
#include "tests/support/SampleFilms.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UrlSink.h"

#include <QAction>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QTableView>
#include <QToolButton>
#include <QUrl>

using namespace testsupport;

class TestTForm3 : public QObject {
    Q_OBJECT

    Windows w;
    TForm1* f1 = nullptr;
    TForm3* f3 = nullptr;

    // The main window with two films, active, the first film selected (so
    // that Enter there would open the editor), the list holding the keys.
    void Start() {
        f1 = w.Create({kSolaris, kStalker});
        f3 = w.form3;
        Activate(f1);
        f1->ListView1->selectRow(0);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f1->ListView1));
    }
    // Opens the About box with F1 in the main window and runs the steps in it.
    void WithAbout(const std::function<void()>& steps) {
        bool ran = false;
        auto open = WhileOpen(f3, [&] {
            steps();
            ran = true;
        });
        UserKey(Qt::Key_F1);
        QVERIFY(open.Opened());
        QVERIFY(ran);
    }
    // After the box has closed: the program goes on as before, and the
    // main window takes no key of the box for its own.
    void MainWindowUntouched() {
        QVERIFY(!f3->isVisible());
        QVERIFY(f1->isVisible());
        QVERIFY(!f1->DataModified);
        QCOMPARE(f1->Catalogue->rowCount(), 2);
        QVERIFY(Boxes().empty());
    }

private slots:
    void init() { FreshSandbox(); }
    void cleanup() { w.Destroy(); }

    void looks() {
        Start();
        WithAbout([this] {
            QCOMPARE(f3->windowTitle(), QString("About Varnholt Flickstow"));
            QCOMPARE(f3->EnhancedForm1->ClientRect().size(), QSize(370, 246));
            QCOMPARE(f3->minimumSize(), f3->maximumSize());
            QVERIFY(f3->isModal());
            QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget*>(f3));
            QCOMPARE(f3->Label2->text(), QString("varnholt"));
            QCOMPARE(f3->Label8->text(), QString("Flickstow"));
            QCOMPARE(f3->Label6->text(), QString("Version 1.5"));
            QVERIFY(f3->Label6->font().bold());
            QVERIFY(f3->Label3->font().bold());
            QVERIFY(!f3->Label4->text().isEmpty() && f3->Label4->wordWrap());
            QCOMPARE(f3->Label4->size(), QSize(193, 33));
            QVERIFY(!f3->Label5->text().isEmpty() && f3->Label5->wordWrap());
            QVERIFY(f3->Label3->text().contains(QString::fromUtf8("\u00a9")));
            QCOMPARE(f3->BitBtn1->text(), QString("&Close"));
            QCOMPARE(f3->Label2->palette().color(QPalette::WindowText), QColor(0, 0, 128));
            // The pictures and the panel.
            QCOMPARE(f3->Panel1->geometry(), QRect(8, 8, 89, 193));
            QCOMPARE(f3->Panel1->palette().color(QPalette::Window), QColor(Qt::black));
            QCOMPARE(f3->Image2->size(), QSize(73, 81));
            QCOMPARE(f3->Image2->Picture().size(), QSize(73, 81));
            QCOMPARE(f3->Image3->size(), QSize(41, 33));
            QCOMPARE(f3->Image3->Picture().size(), QSize(41, 33));
            QCOMPARE(f3->Image1->geometry(), QRect(0, 211, 370, 35));
            // The links look like links and show their addresses.
            for (QLabel* link : {f3->Label1, f3->Label9}) {
                QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
                QVERIFY(link->font().underline());
                QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            }
            QCOMPARE(f3->Label1->text(), QString(kCommunitySite.address));
            QCOMPARE(f3->Label9->text(), QString(kMakerPage.address));
        });
        MainWindowUntouched();
    }

    // The fonts asked for resolve to installed faces of the same weight, and
    // every text fits its label: nothing is cut off, nothing runs into the
    // strip but the rights notice, which lies in it.
    void nothingClipped() {
        Start();
        WithAbout([this] {
            for (QLabel* heavy : {f3->Label2, f3->Label8}) {
                QCOMPARE(heavy->font().family(), QString("Arial Black"));
                QFontInfo resolved(heavy->font());
                QVERIFY2(resolved.family() == "DejaVu Sans" || resolved.family() == "Liberation Sans",
                         qPrintable(resolved.family()));
                QVERIFY(resolved.bold());
            }
            QCOMPARE(QFontInfo(f3->Label6->font()).family(), QString("Liberation Sans"));
            // Positions are within the client area, below the caption bar.
            const QRect client(QPoint(0, 0), f3->EnhancedForm1->ClientRect().size());
            const QRect strip = f3->Image1->geometry();
            const QList<QLabel*> labels = f3->findChildren<QLabel*>();
            QCOMPARE(labels.size(), 8);
            for (QLabel* label : labels) {
                const QRect at = label->geometry();
                const QString name = label->objectName();
                QVERIFY2(client.contains(at), qPrintable(name));
                if (label == f3->Label3) QVERIFY(strip.contains(at));
                else
                    QVERIFY2(at.bottom() < strip.top(), qPrintable(name));
                const QSize needed = label->wordWrap() ? QSize(at.width(), label->heightForWidth(at.width()))
                                                       : label->sizeHint();
                QVERIFY2(needed.width() <= at.width() && needed.height() <= at.height(),
                         qPrintable(QString("%1 needs %2 x %3, has %4 x %5")
                                        .arg(name)
                                        .arg(needed.width())
                                        .arg(needed.height())
                                        .arg(at.width())
                                        .arg(at.height())));
            }
            QVERIFY(f3->BitBtn1->sizeHint().width() <= f3->BitBtn1->width());
            QVERIFY(strip.contains(f3->BitBtn1->geometry()));
        });
    }

    // Both links open the Help menu's addresses (the maker's page, the
    // community site) in the desktop's browser, and the box stays open.
    void linksOpenTheHelpMenusAddresses_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("menuItem");
        // clang-format off
        QTest::newRow("maker's page") << "Label9" << "VarnholtWebpage1";
        QTest::newRow("community site") << "Label1" << "Link4";
        // clang-format on
    }
    void linksOpenTheHelpMenusAddresses() {
        QFETCH(QString, link);
        QFETCH(QString, menuItem);
        UrlSink sink;
        Start();
        f1->findChild<QAction*>(menuItem)->trigger();
        QCOMPARE(sink.opened.size(), 1);
        WithAbout([&] {
            auto* label = f3->findChild<QLabel*>(link);
            QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
            QVERIFY(f3->isVisible());
            // A press that ends beside the link opens nothing.
            QTest::mousePress(label, Qt::LeftButton, {}, label->rect().center());
            QTest::mouseRelease(label, Qt::LeftButton, {}, label->rect().bottomRight() + QPoint(5, 5));
            QVERIFY(f3->isVisible());
            f3->BitBtn1->click();
        });
        QCOMPARE(sink.opened.size(), 2);
        QCOMPARE(sink.opened[1], sink.opened[0]);
        MainWindowUntouched();
    }

    // Enter, Escape and the button close the box; the keys act on their
    // release, which never reaches the main window (where Escape would end
    // the program and Enter open the editor). The strip is tiled with the
    // main window's texture on every showing and emptied on closing.
    void closing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Enter") << "Enter";
        QTest::newRow("keypad Enter") << "keypad Enter";
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("Close button") << "button";
        QTest::newRow("close box") << "close box";
    }
    void closing() {
        QFETCH(QString, how);
        Start();
        for (int showing = 0; showing < 2; ++showing) {
            QVERIFY(f3->Image1->Picture().isNull());
            WithAbout([&] {
                const QImage& strip = f3->Image1->Picture();
                const QImage& texture = f1->Image1->Picture();
                QCOMPARE(strip.size(), QSize(370, 35));
                for (QPoint p : {QPoint(0, 0), QPoint(60, 10), QPoint(369, 34)})
                    QCOMPARE(strip.pixel(p), texture.pixel(p.x() % texture.width(), p.y() % texture.height()));
                // The box has the keyboard; a pressed key does nothing yet.
                QCOMPARE(FocusedNow(), static_cast<QWidget*>(f3));
                if (how != "button" && how != "close box") {
                    Qt::Key key = how == "Escape" ? Qt::Key_Escape : how == "Enter" ? Qt::Key_Return : Qt::Key_Enter;
                    Qt::KeyboardModifiers modifiers = how == "keypad Enter" ? Qt::KeypadModifier : Qt::NoModifier;
                    QTest::keyPress(FocusedNow(), key, modifiers);
                    QVERIFY(f3->isVisible());
                    QTest::keyRelease(FocusedNow(), key, modifiers);
                } else if (how == "button") {
                    f3->BitBtn1->click();
                } else {
                    f3->close();
                }
                QVERIFY(!f3->isVisible());
            });
            QVERIFY(f3->Image1->Picture().isNull());
            MainWindowUntouched();
            auto editor = WhileOpen(w.form2, [] {});
            QVERIFY(editor.NeverOpened());
            Activate(f1);
        }
    }

    // Other keys leave the box open.
    void otherKeysDoNothing() {
        Start();
        WithAbout([this] {
            for (Qt::Key key : {Qt::Key_Space, Qt::Key_Delete, Qt::Key_F1, Qt::Key_C, Qt::Key_Tab}) {
                UserKey(key);
                QVERIFY(f3->isVisible());
            }
            UserKey(Qt::Key_Escape);
        });
        MainWindowUntouched();
    }

    // A key pressed in one window and released in the other acts in
    // neither: Enter held in the main window while F1 opens the box is
    // released there without closing it; Enter pressed in the box and
    // released in the main window after the box closed opens no editor.
    void keysCrossingWindowsActNowhere_data() {
        QTest::addColumn<bool>("pressedInMainWindow");
        QTest::newRow("pressed in the main window") << true;
        QTest::newRow("pressed in the About box") << false;
    }
    void keysCrossingWindowsActNowhere() {
        QFETCH(bool, pressedInMainWindow);
        Start();
        if (pressedInMainWindow) QTest::keyPress(FocusedNow(), Qt::Key_Return);
        WithAbout([&] {
            if (pressedInMainWindow) {
                ReleaseOnly(Qt::Key_Return);
                QVERIFY(f3->isVisible());
                UserKey(Qt::Key_Escape);
            } else {
                QTest::keyPress(FocusedNow(), Qt::Key_Return);
                QVERIFY(f3->isVisible());
                f3->BitBtn1->click();
            }
        });
        MainWindowUntouched();
        Activate(f1);
        QCOMPARE(FocusedNow(), static_cast<QWidget*>(f1->ListView1));
        {
            auto editor = WhileOpen(w.form2, [] {});
            if (!pressedInMainWindow) ReleaseOnly(Qt::Key_Return);
            QVERIFY(editor.NeverOpened());
        }
        // The next Enter in the main window is the user's own and opens it.
        auto editor = WhileOpen(w.form2, [this] { w.form2->SpeedButton1->click(); });
        UserKey(Qt::Key_Return);
        QVERIFY(editor.Opened());
    }
};

FLICKSTOW_TEST_MAIN(TestTForm3)
#include "test_TForm3.moc"
