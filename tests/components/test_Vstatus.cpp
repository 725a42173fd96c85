#include "components/Vstatus/Vstatus.h"
#include "tests/support/TestSupport.h"

#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <memory>

using namespace testsupport;

class TestVstatus : public QObject {
    Q_OBJECT

    std::unique_ptr<QMainWindow> window;
    TVStatus* bar = nullptr;

    void Show() {
        window = std::make_unique<QMainWindow>();
        window->resize(400, 200);
        bar = new TVStatus(window.get());
        bar->setObjectName("VStatus1");
        window->setStatusBar(bar);
    }

private slots:
    void init() { FreshSandbox(); }
    void cleanup() {
        window.reset();
        bar = nullptr;
    }

    // A button placed on the bar before or after the bar is shown: it is the
    // bar's child at the place it was given, and goes where the bar goes.
    void placedControlFollowsTheBar_data() {
        QTest::addColumn<bool>("placedWhileShown");
        QTest::newRow("placed before showing") << false;
        QTest::newRow("placed on the shown bar") << true;
    }
    void placedControlFollowsTheBar() {
        QFETCH(bool, placedWhileShown);
        Show();
        if (placedWhileShown) window->show();
        QPointer<QPushButton> button = new QPushButton("Go", bar);
        button->setObjectName("Button1");
        button->setGeometry(40, 2, 60, 16);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(button->parentWidget(), static_cast<QWidget*>(bar));
        QCOMPARE(bar->findChild<QPushButton*>("Button1"), button.data());
        QTRY_VERIFY(button->isVisible());
        // The bar's own layout leaves it where it was put.
        bar->showMessage("Ready");
        QCOMPARE(button->geometry(), QRect(40, 2, 60, 16));
        QVERIFY(button->isVisible());
        QCOMPARE(button->mapTo(window.get(), QPoint(0, 0)), bar->pos() + QPoint(40, 2));

        // Moving with the bar: the window grows, the bar stays at its bottom.
        const QPoint before = button->mapTo(window.get(), QPoint(0, 0));
        window->resize(400, 300);
        QTRY_COMPARE(bar->pos().y() + bar->height(), window->height());
        QCOMPARE(button->mapTo(window.get(), QPoint(0, 0)), before + QPoint(0, 100));

        bar->hide();
        QVERIFY(!button->isVisible());
        bar->show();
        QVERIFY(button->isVisible());

        delete bar;
        bar = nullptr;
        QVERIFY(button.isNull());
    }

    // A control hidden on purpose when it is placed stays hidden.
    void hiddenControlStaysHidden() {
        Show();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* button = new QPushButton("Later", bar);
        button->hide();
        auto* shown = new QPushButton("Now", bar);
        QTRY_VERIFY(shown->isVisible());
        QVERIFY(!button->isVisible());
    }
};

FLICKSTOW_TEST_MAIN(TestVstatus)
#include "test_Vstatus.moc"
