#include "platform/edits/edits.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

using namespace testsupport;

class TestEdits : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshSandbox(); }

    void lineEditTakesOnlyCodePageText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        // clang-format off
        QTest::newRow("plain") << "Solaris" << "Solaris";
        // clang-format on
        QTest::newRow("accents and euro") << QString::fromUtf8("Amélie €5") << QString::fromUtf8("Amélie €5");
        QTest::newRow("greek dropped") << QString::fromUtf8("aΩb") << "ab";
        QTest::newRow("cjk dropped") << QString::fromUtf8("x七y") << "xy";
    }
    void lineEditTakesOnlyCodePageText() {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QLineEdit edit;
        edits::AcceptOnlyAnsi(&edit);
        TypeText(&edit, typed);
        QCOMPARE(edit.text(), kept);
    }

    // A limited line edit takes typed and pasted text up to its limit, cut
    // to the room left; a longer text the program put in stays whole, can
    // be shortened, and takes nothing more.
    void lineEditLimit_data() {
        QTest::addColumn<QString>("start");  // put in by the program
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");  // over the whole text when "start" is empty
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("typing stops at the limit") << "" << "abcdefg" << "" << "abcde";
        QTest::newRow("paste cut to the room") << "" << "ab" << "12345" << "ab123";
        QTest::newRow("paste over all, cut") << "" << "" << "1234567" << "12345";
        QTest::newRow("foreign characters do not count") << "" << "" << QString::fromUtf8("1七2345") << "12345";
        QTest::newRow("longer text shortened") << "abcdefgh" << "<Backspace>" << "" << "abcdefg";
        QTest::newRow("longer text takes no more") << "abcdefgh" << "x" << "" << "abcdefgh";
        // clang-format on
    }
    void lineEditLimit() {
        QFETCH(QString, start);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, text);
        QLineEdit edit;
        edits::AcceptOnlyAnsi(&edit, 5);
        edit.setText(start);
        QCOMPARE(edit.text(), start);
        edit.end(false);
        if (typed == "<Backspace>") QTest::keyClick(&edit, Qt::Key_Backspace);
        else
            TypeText(&edit, typed);
        if (!pasted.isEmpty()) {
            if (start.isEmpty() && typed.isEmpty()) edit.selectAll();
            QApplication::clipboard()->setText(pasted);
            edit.paste();
        }
        QCOMPARE(edit.text(), text);
    }

    void memoTypingAndPasting_data() {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("foreign characters dropped")
            << 0 << QString::fromUtf8("aΩ") << QString::fromUtf8("七b\r\nc") << QByteArray("ab\r\nc");
        // clang-format off
        QTest::newRow("typing stops at the limit") << 5 << "abcdefg" << "" << QByteArray("abcde");
        QTest::newRow("line break counts one") << 4 << "a\rb" << "cdef" << QByteArray("a\r\nbc");
        QTest::newRow("paste cut to the room") << 6 << "abc" << "12345" << QByteArray("abc123");
        // clang-format on
    }
    void memoTypingAndPasting() {
        QFETCH(int, limit);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QByteArray, text);
        edits::TMemo memo;
        memo.SetMaxLength(limit);
        for (QChar c : typed) {
            if (c == QLatin1Char('\r')) QTest::keyClick(&memo, Qt::Key_Return);
            else
                TypeText(&memo, QString(c));
        }
        if (!pasted.isEmpty()) {
            QApplication::clipboard()->setText(pasted);
            memo.paste();
        }
        QCOMPARE(QByteArray::fromStdString(memo.Text()), text);
    }

    // Every byte of the code page, line ends included, comes back as it went in.
    void memoKeepsTheBytes() {
        AnsiString all;
        for (int b = 1; b < 256; ++b)
            if (b != '\r' && b != '\n') all += static_cast<char>(b);
        edits::TMemo memo;
        AnsiString text = "A" + all + "\r\nB\xA0 \r\n\r\nC\r\n";
        memo.SetText(text);
        QCOMPARE(memo.Text(), text);
        memo.SetText("x\ry\nz");
        QCOMPARE(memo.Text(), AnsiString("x\r\ny\r\nz"));
    }
};

FLICKSTOW_TEST_MAIN(TestEdits)
#include "test_edits.moc"
