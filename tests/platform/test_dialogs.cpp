#include "TestSupport.h"
#include "errors/Exception.h"

#include <QPushButton>
#include <QSignalSpy>

using namespace testsupport;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshSandbox(); }

    void errorBoxText_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("letter") << QByteArray("Cannot open file a.vrx") << QByteArray("Cannot open file a.vrx.");
        QTest::newRow("digit") << QByteArray("Error 5") << QByteArray("Error 5.");
        QTest::newRow("full stop") << QByteArray("Done.") << QByteArray("Done.");
        QTest::newRow("bracket") << QByteArray("Failed (disk)") << QByteArray("Failed (disk)");
        QTest::newRow("exclamation") << QByteArray("Stop!") << QByteArray("Stop!");
        QTest::newRow("quote") << QByteArray("Invalid data type for 'X'") << QByteArray("Invalid data type for 'X'");
        QTest::newRow("empty") << QByteArray("") << QByteArray("");
    }
    void errorBoxText() {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, shown);
        QCOMPARE(QByteArray::fromStdString(dialogs::ErrorBoxText(message.toStdString())), shown);
    }

    // An error escaping a handler is reported with the application's title
    // as caption, and the next handler still runs.
    void guardedHandlerReportsAndGoesOn() {
        QPushButton button;
        int runs = 0;
        QObject::connect(&button, &QPushButton::clicked, dialogs::Guarded([&] {
                             if (++runs == 1) throw EFOpenError("Cannot open file x");
                         }));
        dialogs::test::QueueAnswer(dialogs::IDOK);
        button.click();
        button.click();
        QCOMPARE(runs, 2);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].text, AnsiString("Cannot open file x."));
        QCOMPARE(Boxes()[0].caption, AnsiString("Varnholt Flickstow"));
        QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
        QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::OK);
    }

    void answersComeInOrder() {
        dialogs::test::QueueAnswer(dialogs::IDNO);
        dialogs::test::QueueAnswer(dialogs::IDYES);
        QCOMPARE(dialogs::MessageBox("a", "c", dialogs::Icon::Question, dialogs::Buttons::YesNo), int(dialogs::IDNO));
        QCOMPARE(dialogs::MessageBox("b", "c", dialogs::Icon::Question, dialogs::Buttons::YesNo), int(dialogs::IDYES));
        QCOMPARE(dialogs::test::PendingAnswers(), 0);
    }
};

FLICKSTOW_TEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
