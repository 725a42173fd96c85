#include "platform/ansi/ansi.h"
#include "platform/errors/Exception.h"
#include "tests/support/TestSupport.h"

class TestAnsi : public QObject {
    Q_OBJECT
private slots:
    void strictInteger_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QByteArray("42") << true << 42;
        QTest::newRow("leading spaces") << QByteArray("  7") << true << 7;
        QTest::newRow("sign") << QByteArray("-3") << true << -3;
        QTest::newRow("plus") << QByteArray("+9") << true << 9;
        QTest::newRow("trailing space") << QByteArray("7 ") << false << 0;
        QTest::newRow("letters") << QByteArray("abc") << false << 0;
        QTest::newRow("digits then letters") << QByteArray("7x") << false << 0;
        QTest::newRow("empty") << QByteArray("") << false << 0;
        QTest::newRow("sign only") << QByteArray("-") << false << 0;
        QTest::newRow("tab before") << QByteArray("\t5") << false << 0;
        QTest::newRow("int max") << QByteArray("2147483647") << true << 2147483647;
        QTest::newRow("int min") << QByteArray("-2147483648") << true << int(-2147483647 - 1);
        QTest::newRow("overflow") << QByteArray("2147483648") << false << 0;
        QTest::newRow("huge") << QByteArray("99999999999999999999") << false << 0;
    }
    void strictInteger() {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        auto r = ansi::TryStrToInt(text.toStdString());
        QCOMPARE(r.has_value(), ok);
        if (ok) QCOMPARE(*r, value);
        if (!ok) QVERIFY_THROWS_EXCEPTION(EConvertError, ansi::StrToInt(text.toStdString()));
    }

    void trimAndCase() {
        QCOMPARE(ansi::Trim(" \t\x01 Drama \r\n"), AnsiString("Drama"));
        QCOMPARE(ansi::TrimLeft("  a "), AnsiString("a "));
        QCOMPARE(ansi::TrimRight("  a "), AnsiString("  a"));
        QVERIFY(ansi::IsBlank(" \t\x01\r\n"));
        QVERIFY(ansi::IsBlank(""));
        QVERIFY(!ansi::IsBlank("  x "));
        QVERIFY(!ansi::IsBlank("\xa0"));  // a no-break space is a character
        // Only ASCII letters change case; accented letters keep their code.
        QCOMPARE(ansi::UpperCase("abc\xe9z"), AnsiString("ABC\xe9Z"));
        QCOMPARE(ansi::LowerCase("ABC\xc9Z"), AnsiString("abc\xc9z"));
    }

    void codePageRoundTrip() {
        AnsiString all;
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
        QCOMPARE(ansi::FromQString(ansi::ToQString(all)), all);
        QCOMPARE(ansi::ToQString("\x80\xe9"), QString::fromUtf8("\u20ac\u00e9"));
        // A character the code page cannot hold is not silently kept.
        QCOMPARE(ansi::FromQString(QString::fromUtf8("a\u4e2db")), AnsiString("a?b"));
        QVERIFY(!ansi::CanEncode(QChar(0x4e2d)));
        QVERIFY(ansi::CanEncode(QChar(0x20ac)));
    }

    void format() {
        QCOMPARE(ansi::Format("Cannot open file %s", "/x/data.vrx"), AnsiString("Cannot open file /x/data.vrx"));
        QCOMPARE(ansi::Format("Invalid data type for '%s'", "DefGenre"),
                 AnsiString("Invalid data type for 'DefGenre'"));
    }
};

FLICKSTOW_TEST_MAIN(TestAnsi)
#include "test_ansi.moc"
