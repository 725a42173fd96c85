#include "components/Vparser/Vparser.h"
#include "platform/errors/Exception.h"
#include "platform/numformat/numformat.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

using namespace testsupport;

namespace {

// What one CreateTree + Evaluate gave: "no tree", "error: <message>", or
// the value's ErgebnisString.
QString Outcome(TVParser& p) {
    if (!p.CreateTree()) return "no tree";
    try {
        p.Evaluate();
    } catch (const Exception& e) {
        return "error: " + QString::fromStdString(e.Message);
    }
    return QString::fromStdString(p.ErgebnisString());
}

QString Outcome(const QString& expression, const QString& x = {}) {
    TVParser p;
    p.SetExpression(expression.toStdString());
    p.SetX(x.toStdString());
    return Outcome(p);
}

QString DivisionByZero() { return QString("error: ") + TVParser::kDivisionByZero; }
QString NegativeRoot() { return QString("error: ") + TVParser::kNegativeRoot; }
QString LogOfNonPositive() { return QString("error: ") + TVParser::kLogOfNonPositive; }
QString Overflow() { return QString("error: ") + TVParser::kOverflow; }

}  // namespace

class TestVparser : public QObject {
    Q_OBJECT

private slots:
    void init() {
        FreshSandbox();
        numformat::test::SetDecimalSeparator(',');
    }
    void cleanupTestCase() { numformat::test::Reset(); }

    void defaults() {
        TVParser p;
        QCOMPARE(p.property("Precision").toInt(), 8);
        QCOMPARE(p.property("ConvertAllColonsAndDots").toBool(), false);
        for (const char* name : {"Expression", "X", "A", "B", "C", "D", "OverwriteDecimalSymbol", "ErgebnisString"})
            QCOMPARE(p.property(name).value<std::string>(), std::string());
        // Before any CreateTree the tree is an empty leaf, worth 0.
        QCOMPARE(p.Evaluate(), 0.0L);
        QCOMPARE(p.ErgebnisString(), AnsiString("0"));
        // The published properties are reachable by name, as in a designer.
        QVERIFY(p.setProperty("X", QVariant::fromValue(std::string("2"))));
        QCOMPARE(p.X(), AnsiString("2"));
    }

    // Expressions as the user types them, under the separator ",".
    void outcomes_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("outcome");
        // clang-format off
        QTest::newRow("operator after operator") << "2*-3" << "" << "no tree";
        QTest::newRow("negative in parentheses") << "2*(-3)" << "" << "-6";
        QTest::newRow("minus before power") << "-2^2" << "" << "-4";
        QTest::newRow("minus left to right") << "10-4-3" << "" << "3";
        QTest::newRow("power right to left") << "2^3^2" << "" << "512";
        QTest::newRow("power left in parentheses") << "(2^3)^2" << "" << "64";
        QTest::newRow("division left to right") << "100/10/5" << "" << "2";
        QTest::newRow("division then product") << "8/2*4" << "" << "16";
        QTest::newRow("product before sum") << "2+3*4" << "" << "14";
        QTest::newRow("parentheses first") << "(2+3)*4" << "" << "20";
        QTest::newRow("power before product") << "2*3^2" << "" << "18";
        QTest::newRow("minus before squared") << "-3^2+1" << "" << "-8";
        QTest::newRow("negative exponent") << "2^(-1)" << "" << "0,5";
        QTest::newRow("mod") << "7 mod 3" << "" << "1";
        QTest::newRow("MOD") << "7 MOD 3" << "" << "1";
        QTest::newRow("mod of negative") << "-7 mod 3" << "" << "-1";
        QTest::newRow("mod by 0") << "7 mod 0" << "" << "0";
        QTest::newRow("mod of fraction") << "5,5 mod 2" << "" << "1,5";
        QTest::newRow("mod before power") << "3 mod 2^2" << "" << "3";
        QTest::newRow("mod far beyond 64 bits") << "1E27 mod 7" << "" << "6";
        QTest::newRow("negative mod beyond 64 bits") << "-1E27 mod 7" << "" << "-6";
        // The extended value nearest 10^30 is 10^30 + 24696061952.
        QTest::newRow("1E30 mod 7") << "1E30 mod 7" << "" << "3";
        QTest::newRow("sin") << "sin(0)" << "" << "0";
        QTest::newRow("SIN") << "SIN(0)" << "" << "0";
        QTest::newRow("Sin with space") << "Sin (0)" << "" << "0";
        QTest::newRow("cos") << "cos(0)" << "" << "1";
        QTest::newRow("tan") << "tan(0)" << "" << "0";
        QTest::newRow("lg") << "lg(1000)" << "" << "3";
        QTest::newRow("ln of e") << "ln(e)" << "" << "0,99999999";
        QTest::newRow("abs") << "abs(-3)" << "" << "3";
        QTest::newRow("function without parentheses") << "sinx^2" << "0" << "0";
        QTest::newRow("function of a sum") << "abs(x-5)*2" << "1" << "8";
        QTest::newRow("pi") << "pi" << "" << "3,1415927";
        QTest::newRow("PI") << "2*PI" << "" << "6,2831854";
        QTest::newRow("E") << "E" << "" << "2,7182818";
        QTest::newRow("two pairs of parentheses") << "((5))" << "" << "no tree";
        QTest::newRow("one pair") << "(5)" << "" << "5";
        QTest::newRow("variable") << "x*2" << "1,5" << "3";
        QTest::newRow("variable upper case") << "X*X" << "-1,5" << "2,25";
        QTest::newRow("empty variable") << "x+1" << "" << "1";
        QTest::newRow("zero plus") << "0+5" << "" << "5";
        QTest::newRow("zero times") << "0*5" << "" << "0";
        QTest::newRow("ln 0") << "ln(0)" << "" << LogOfNonPositive();
        QTest::newRow("lg of negative") << "lg(-1)" << "" << LogOfNonPositive();
        QTest::newRow("1/0") << "1/0" << "" << DivisionByZero();
        QTest::newRow("by zero variable") << "1/x" << "0" << DivisionByZero();
        QTest::newRow("right operand first") << "ln(0)+1/0" << "" << DivisionByZero();
        QTest::newRow("right operand first, swapped") << "1/0+ln(0)" << "" << LogOfNonPositive();
        QTest::newRow("root of negative") << "(-8)^(1/3)" << "" << NegativeRoot();
        QTest::newRow("negative to integral power") << "(-2)^3" << "" << "-8";
        QTest::newRow("0 to a negative power") << "0^(-1)" << "" << DivisionByZero();
        QTest::newRow("0 to the 0") << "0^0" << "" << "1";
        QTest::newRow("power overflow") << "10^400" << "" << Overflow();
        QTest::newRow("product overflow") << "1E4000*1E4000" << "" << Overflow();
        QTest::newRow("beyond double") << "1E300*1E300" << "" << Overflow();
        QTest::newRow("point under comma") << "2.5*2" << "" << "no tree";
        QTest::newRow("trailing zero") << "2,50*2" << "" << "no tree";
        QTest::newRow("leading zero") << "007" << "" << "no tree";
        QTest::newRow("unknown word") << "max(1,2)" << "" << "no tree";
        QTest::newRow("missing operand") << "1+" << "" << "no tree";
        QTest::newRow("open parenthesis") << "(1+2" << "" << "no tree";
        QTest::newRow("close parenthesis") << "1+2)" << "" << "no tree";
        QTest::newRow("implicit product") << "2pi" << "" << "no tree";
        QTest::newRow("empty") << "" << "" << "no tree";
        // clang-format on
    }
    void outcomes() {
        QFETCH(QString, expression);
        QFETCH(QString, x);
        QFETCH(QString, outcome);
        TVParser p;
        p.SetExpression("123");
        QVERIFY(p.CreateTree());
        p.Evaluate();
        p.SetExpression(expression.toStdString());
        p.SetX(x.toStdString());
        QCOMPARE(Outcome(p), outcome);
        // A failure leaves the previous result text.
        if (!outcome.at(0).isDigit() && !outcome.startsWith('-')) QCOMPARE(p.ErgebnisString(), AnsiString("123"));
    }

    void variablesAndConstants() {
        TVParser p;
        p.SetExpression("a*1000+b*100+c*10+d-cos(c)");
        p.SetA("1");
        p.SetB("2");
        p.SetC("0");
        p.SetD("4");
        QVERIFY(p.CreateTree());
        // c is a variable and, before "(", the cosine.
        QCOMPARE(p.Evaluate(), 1203.0L);
        QCOMPARE(p.property("ErgebnisString").value<std::string>(), std::string("1203"));
    }

    void preparedExpression_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("convertAll");
        QTest::addColumn<QString>("prepared");
        QTest::newRow("function and spaces") << "sin(x) + 1" << false << "s#(x)+1";
        QTest::newRow("every name") << "COS(x)/Tan(x)*ln(x)-LG(x) mod ABS(x)" << false
                                    << "c#(x)/t#(x)*n#(x)-g#(x)mr#(x)";
        QTest::newRow("outer parentheses") << "(1+2)" << false << "1+2";
        QTest::newRow("one pair only") << "((1+2))" << false << "(1+2)";
        QTest::newRow("separate pairs stay") << "(1)+(2)" << false << "(1)+(2)";
        QTest::newRow("other characters stay") << "x\t+ 1" << false << "x\t+1";
        QTest::newRow("points and commas") << "1.5+1,5" << true << "1,5+1,5";
        QTest::newRow("kept without conversion") << "1.5+1,5" << false << "1.5+1,5";
    }
    void preparedExpression() {
        QFETCH(QString, typed);
        QFETCH(bool, convertAll);
        QFETCH(QString, prepared);
        TVParser p;
        p.SetExpression(typed.toStdString());
        p.SetConvertAllColonsAndDots(convertAll);
        p.CreateTree();
        QCOMPARE(QString::fromStdString(p.Expression()), prepared);
    }

    // A number is a leaf only when written exactly as the system writes its
    // value, with the system's separator.
    void isZahl_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<bool>("number");
        QTest::newRow("2,5") << "2,5" << QChar(',') << true;
        QTest::newRow("2,50") << "2,50" << QChar(',') << false;
        QTest::newRow(",5") << ",5" << QChar(',') << false;
        QTest::newRow("007") << "007" << QChar(',') << false;
        QTest::newRow("2.5 under comma") << "2.5" << QChar(',') << false;
        QTest::newRow("2.5 under point") << "2.5" << QChar('.') << true;
        QTest::newRow("2,5 under point") << "2,5" << QChar('.') << false;
        QTest::newRow("0") << "0" << QChar(',') << true;
        QTest::newRow("-0") << "-0" << QChar(',') << false;
        QTest::newRow("-3") << "-3" << QChar(',') << true;
        QTest::newRow("+3") << "+3" << QChar(',') << false;
        QTest::newRow("blank") << " 3" << QChar(',') << false;
        QTest::newRow("1E20") << "1E20" << QChar(',') << true;
        QTest::newRow("1e20") << "1e20" << QChar(',') << false;
        QTest::newRow("1E+20") << "1E+20" << QChar(',') << false;
        QTest::newRow("1E15") << "1E15" << QChar(',') << true;
        QTest::newRow("1E14 in digits") << "100000000000000" << QChar(',') << true;
        QTest::newRow("1E15 in digits") << "1000000000000000" << QChar(',') << false;
        QTest::newRow("0,0001") << "0,0001" << QChar(',') << true;
        QTest::newRow("0,00001") << "0,00001" << QChar(',') << false;
        QTest::newRow("1,5E-7") << "1,5E-7" << QChar(',') << true;
        QTest::newRow("15 digits") << "1,23456789012345" << QChar(',') << true;
        QTest::newRow("16 digits") << "1,234567890123456" << QChar(',') << false;
        QTest::newRow("beyond range") << "1E5000" << QChar(',') << false;
        QTest::newRow("function letter") << "s" << QChar(',') << true;
        QTest::newRow("function letter upper") << "S" << QChar(',') << false;
        QTest::newRow("variable upper") << "D" << QChar(',') << true;
        QTest::newRow("constant") << "Pi" << QChar(',') << true;
        QTest::newRow("word") << "xy" << QChar(',') << false;
        QTest::newRow("empty") << "" << QChar(',') << false;
    }
    void isZahl() {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QFETCH(bool, number);
        numformat::test::SetDecimalSeparator(separator.toLatin1());
        QCOMPARE(TVParser::IsZahl(text.toStdString()), number);
    }

    // Whatever number the system writes reads back as a number of the same
    // value, under either separator.
    void isLongDoubleRoundTrip_data() {
        QTest::addColumn<QChar>("separator");
        QTest::newRow("comma") << QChar(',');
        QTest::newRow("point") << QChar('.');
    }
    void isLongDoubleRoundTrip() {
        QFETCH(QChar, separator);
        numformat::test::SetDecimalSeparator(separator.toLatin1());
        TVParser p;
        const long double values[] = {0,      1,     -1,      0.5L,  2.5L,  1.0L / 3, -123456.789L,          3.1415927L,
                                      1e-4L,  1e-5L, 1.5e-7L, 1e14L, 1e15L, 1e20L,    9.99999999999999e300L, 1e-300L,
                                      1e4000L};
        for (long double v : values) {
            const AnsiString text = TVParser::FloatToStr(v);
            QVERIFY2(p.IsLongDouble(text), text.c_str());
            QVERIFY2(text.find(separator.toLatin1() == ',' ? '.' : ',') == AnsiString::npos, text.c_str());
            const long double back = *TVParser::TextToFloat(text);
            QVERIFY2(std::fabs(back - v) <= std::fabs(v) * 1e-14L, text.c_str());
        }
    }

    // The system's format holds each value to 15 significant digits,
    // correctly rounded: the text reads back as the value rounded by the
    // library's own conversion. Random values over a wide range, and values
    // next to a rounding tie in the 16th digit.
    void floatToStrRounding() {
        numformat::test::SetDecimalSeparator('.');
        std::mt19937_64 rng(16);
        std::vector<double> values;
        for (int i = 0; i < 200000; ++i) {
            const double mantissa = std::uniform_real_distribution<double>(1, 10)(rng);
            values.push_back(mantissa * std::pow(10.0, static_cast<int>(rng() % 60) - 20) * (rng() % 2 ? 1 : -1));
        }
        for (int i = 0; i < 2000; ++i) {
            // d.dddddddddddddd5e-15 .. e24
            char tie[32];
            std::snprintf(tie, sizeof tie, "%d.%014llu5e%d", static_cast<int>(rng() % 9 + 1),
                          static_cast<unsigned long long>(rng() % 100000000000000ULL),
                          static_cast<int>(rng() % 40) - 15);
            double v = 0;
            std::from_chars(tie, tie + std::strlen(tie), v);
            values.push_back(v);
        }
        for (double v : values) {
            char buf[64];
            auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14).ptr;
            long double expected = 0;
            std::from_chars(buf, end, expected);
            const AnsiString text = TVParser::FloatToStr(v);
            const std::optional<long double> got = TVParser::TextToFloat(text);
            if (!got || *got != expected)
                QFAIL(qPrintable(QString("%1 written as %2, library: %3")
                                     .arg(v, 0, 'g', 17)
                                     .arg(text.c_str())
                                     .arg(QByteArray(buf, static_cast<int>(end - buf)).constData())));
        }
    }

    // With ConvertAllColonsAndDots both "." and "," are the decimal symbol,
    // in the expression and in the variables.
    void convertAllColonsAndDots_data() {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("overwrite");
        QTest::addColumn<bool>("convertAll");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("comma system") << QChar(',') << "" << true << "4,5";
        QTest::newRow("point system") << QChar('.') << "" << true << "4.5";
        QTest::newRow("comma system, same overwrite") << QChar(',') << "," << true << "4,5";
        QTest::newRow("point system, same overwrite") << QChar('.') << "." << true << "4.5";
        QTest::newRow("comma system, off") << QChar(',') << "" << false << "no tree";
        QTest::newRow("point system, off") << QChar('.') << "" << false << "no tree";
    }
    void convertAllColonsAndDots() {
        QFETCH(QChar, separator);
        QFETCH(QString, overwrite);
        QFETCH(bool, convertAll);
        QFETCH(QString, outcome);
        numformat::test::SetDecimalSeparator(separator.toLatin1());
        TVParser p;
        p.SetExpression("1.5+1,5+x");
        p.SetX(separator == ',' ? "1.5" : "1,5");
        p.SetOverwriteDecimalSymbol(overwrite.toStdString());
        p.SetConvertAllColonsAndDots(convertAll);
        QCOMPARE(Outcome(p), outcome);
    }

    // How a variable's text becomes a number: blanks, sign, digits, the
    // decimal symbol in use (or "."), an exponent; reading stops at the
    // first character that does not fit.
    void variableText_data() {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("overwrite");
        QTest::addColumn<bool>("convertAll");
        QTest::addColumn<QString>("outcome");
        // clang-format off
        QTest::newRow("comma") << "1,5" << "" << false << "1,5";
        QTest::newRow("point always reads") << "1.5" << "" << false << "1,5";
        QTest::newRow("blanks sign exponent") << "  -1,5e2xyz" << "" << false << "-150";
        QTest::newRow("exponent upper, plus") << "+25E-1" << "" << false << "2,5";
        QTest::newRow("exponent without digits") << "3e" << "" << false << "3";
        QTest::newRow("text") << "abc" << "" << false << "0";
        QTest::newRow("only a point") << "," << "" << false << "0";
        QTest::newRow("fraction only") << ",25" << "" << false << "0,25";
        QTest::newRow("overwritten symbol") << "1;5" << ";" << false << "1;5";
        QTest::newRow("system comma not the symbol") << "1,5" << ";" << false << "1";
        QTest::newRow("comma converted") << "1,5" << ";" << true << "1;5";
        QTest::newRow("many digits") << "123456789012345678901234567890" << "" << false << "123456789012345677877719597056";
        QTest::newRow("tiny") << "1e-5000" << "" << false << "0";
        QTest::newRow("beyond range") << "1e5000" << "" << false << "error: 1e5000" + QString(TVParser::kNotANumber);
        QTest::newRow("beyond range, normalised") << "2,5e9999" << "" << false
                                                  << "error: 2.5e9999" + QString(TVParser::kNotANumber);
        QTest::newRow("no infinity") << "inf" << "" << false << "0";
        QTest::newRow("no hexadecimal") << "0x10" << "" << false << "0";
        // clang-format on
    }
    void variableText() {
        QFETCH(QString, x);
        QFETCH(QString, overwrite);
        QFETCH(bool, convertAll);
        QFETCH(QString, outcome);
        TVParser p;
        p.SetExpression("x");
        p.SetX(x.toStdString());
        p.SetOverwriteDecimalSymbol(overwrite.toStdString());
        p.SetConvertAllColonsAndDots(convertAll);
        QCOMPARE(Outcome(p), outcome);
    }

    void resultText_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("overwrite");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("10/4") << "10/4" << 8 << "" << "2,5";
        QTest::newRow("1/3") << "1/3" << 8 << "" << "0,33333333";
        QTest::newRow("2/3 rounds") << "2/3" << 8 << "" << "0,66666667";
        QTest::newRow("pi") << "pi" << 8 << "" << "3,1415927";
        QTest::newRow("0") << "0" << 8 << "" << "0";
        QTest::newRow("small negative") << "-0,001234" << 8 << "" << "-0,001234";
        QTest::newRow("tiny negative is 0") << "-1/1000000000" << 8 << "" << "0";
        QTest::newRow("rounds half up") << "0,125" << 2 << "" << "0,13";
        QTest::newRow("rounds negative half away") << "-0,125" << 2 << "" << "-0,13";
        // The double's own digits, rounded once: 0,15 is 0,1499999... and
        // 2^60, 1E15 + 0,5 are exact.
        QTest::newRow("decimal just below half") << "0,15" << 1 << "" << "0,1";
        QTest::newRow("2^60 exactly") << "2^60" << 8 << "" << "1152921504606846976";
        QTest::newRow("half above 1E15") << "1E15+0,5" << 8 << "" << "1000000000000000,5";
        QTest::newRow("rounded once") << "-9,6*(pi*47,492)^2" << 11 << "" << "-213703,63507178385";
        QTest::newRow("carry into units") << "9,9999999999" << 8 << "" << "10";
        QTest::newRow("precision 0") << "2,5" << 0 << "" << "3";
        QTest::newRow("negative precision as 0") << "1234,4" << -2 << "" << "1234";
        QTest::newRow("wide precision") << "1/3" << 30 << "" << "0,333333333333333314829616256247";
        QTest::newRow("every digit of the double") << "1/3" << 1000 << ""
                                                   << "0,333333333333333314829616256247390992939472198486328125";
        QTest::newRow("large") << "1E20" << 8 << "" << "100000000000000000000";
        QTest::newRow("large with fraction") << "123456789,125" << 2 << "" << "123456789,13";
        QTest::newRow("below precision") << "15/100000000" << 8 << "" << "0,00000015";
        QTest::newRow("far below precision") << "15/10000000000" << 8 << "" << "0";
        QTest::newRow("overwritten symbol") << "10/4" << 8 << "." << "2.5";
        QTest::newRow("longer symbol") << "10/4" << 8 << "<>" << "2<>5";
        // clang-format on
    }
    void resultText() {
        QFETCH(QString, expression);
        QFETCH(int, precision);
        QFETCH(QString, overwrite);
        QFETCH(QString, text);
        TVParser p;
        p.SetExpression(expression.toStdString());
        QVERIFY(p.CreateTree());
        p.SetPrecision(precision);
        p.SetOverwriteDecimalSymbol(overwrite.toStdString());
        p.Evaluate();
        QCOMPARE(QString::fromStdString(p.ErgebnisString()), text);
    }

    // Prepared once, evaluated many times while variables and settings change.
    void evaluateAgainWithoutNewTree() {
        TVParser p;
        p.SetExpression("x^2+a");
        p.SetA("0,5");
        QVERIFY(p.CreateTree());
        for (int i = -5; i <= 5; ++i) {
            p.SetX(ansi::IntToStr(i));
            QCOMPARE(p.Evaluate(), static_cast<long double>(i * i) + 0.5L);
        }
        // A symbol that is not the system's: the comma of "0,5" no longer
        // reads, and results use the new symbol.
        p.SetOverwriteDecimalSymbol(".");
        QCOMPARE(p.Evaluate(), 25.0L);
        p.SetA("0.5");
        p.SetPrecision(0);
        QCOMPARE(p.Evaluate(), 25.5L);
        QCOMPARE(p.ErgebnisString(), AnsiString("26"));
        // Back to the system's symbol, with a literal in the tree.
        p.SetOverwriteDecimalSymbol("");
        p.SetExpression("x*2,5");
        QVERIFY(p.CreateTree());
        p.SetX("2");
        QCOMPARE(p.Evaluate(), 5.0L);
        p.SetOverwriteDecimalSymbol(";");
        QCOMPARE(p.Evaluate(), 4.0L);  // "2,5" reads as 2 now
        p.SetOverwriteDecimalSymbol("");
        QCOMPARE(p.Evaluate(), 5.0L);
    }

    // Each parser keeps its own tree.
    void twoInstancesIndependent() {
        TVParser one, two;
        one.SetExpression("x+1");
        two.SetExpression("x*10");
        QVERIFY(one.CreateTree());
        QVERIFY(two.CreateTree());
        one.SetX("2");
        two.SetX("3");
        QCOMPARE(one.Evaluate(), 3.0L);
        QCOMPARE(two.Evaluate(), 30.0L);
        two.SetExpression("(");
        QVERIFY(!two.CreateTree());
        QCOMPARE(one.Evaluate(), 3.0L);
    }

    // After a failed CreateTree, Evaluate reports it and keeps the result.
    void evaluateAfterFailedTree() {
        TVParser p;
        p.SetExpression("7");
        QVERIFY(p.CreateTree());
        p.Evaluate();
        p.SetExpression("2*-3");
        QVERIFY(!p.CreateTree());
        try {
            p.Evaluate();
            QFAIL("no error");
        } catch (const Exception& e) {
            QCOMPARE(e.Message, AnsiString("2*-3") + TVParser::kNotANumber);
        }
        QCOMPARE(p.ErgebnisString(), AnsiString("7"));
        p.SetExpression("6");
        QVERIFY(p.CreateTree());
        QCOMPARE(p.Evaluate(), 6.0L);
    }

    // Parentheses and functions nested too deep, or texts too long, are
    // refused, never a stack overflow; a chain of operators on one level is
    // limited only by the length.
    void limits_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("outcome");
        auto nested = [](int depth) { return QString("1+(").repeated(depth) + "1" + QString(")").repeated(depth); };
        auto chain = [](int terms) { return QString("1") + QString("+1").repeated(terms - 1); };
        const int longest = static_cast<int>(TVParser::MaxLength + 1) / 2;  // terms of a chain that fits
        // MaxDepth parentheses inside each other, and one more.
        QTest::newRow("nested at the limit") << nested(TVParser::MaxDepth) << QString::number(TVParser::MaxDepth + 1);
        QTest::newRow("nested too deep") << nested(TVParser::MaxDepth + 1) << "no tree";
        QTest::newRow("nested 100000") << nested(100000) << "no tree";
        QTest::newRow("chain at the length limit") << chain(longest) << QString::number(longest);
        QTest::newRow("chain 100000") << chain(100001) << "no tree";
        const int groups = static_cast<int>(TVParser::MaxLength - 1) / 6;
        QTest::newRow("mixed chain") << QString("1") + QString("+2*3-5").repeated(groups)
                                     << QString::number(groups + 1);
        QTest::newRow("powers at the length limit") << QString("2") + QString("^1").repeated(longest - 1) << "2";
        // clang-format off
        QTest::newRow("functions at the limit") << QString("abs").repeated(TVParser::MaxDepth) + "1" << "1";
        QTest::newRow("functions too deep") << QString("abs").repeated(TVParser::MaxDepth + 1) + "1" << "no tree";
        // clang-format on
        QTest::newRow("parentheses very deep")
            << QString("(").repeated(200000) + "1" + QString(")").repeated(200000) << "no tree";
        QTest::newRow("too long") << "1" + QString(" ").repeated(10) + QString("0").repeated(TVParser::MaxLength)
                                  << "no tree";
    }
    void limits() {
        QFETCH(QString, expression);
        QFETCH(QString, outcome);
        QCOMPARE(Outcome(expression), outcome);
    }

    // Random expressions and their values, computed independently by
    // gen_parser_cases.py; run under both separators.
    void differential_data() {
        QTest::addColumn<QChar>("separator");
        QTest::newRow("point") << QChar('.');
        QTest::newRow("comma") << QChar(',');
    }
    void differential() {
        QFETCH(QChar, separator);
        numformat::test::SetDecimalSeparator(separator.toLatin1());
        auto local = [&](QString text) { return text.replace('.', separator); };
        QFile file(FLICKSTOW_PARSER_CASES);
        QVERIFY2(file.open(QIODevice::ReadOnly), FLICKSTOW_PARSER_CASES);
        int cases = 0, texts = 0, errors = 0, noTree = 0;
        QStringList failures;
        while (!file.atEnd()) {
            const QStringList f = QString::fromLatin1(file.readLine()).chopped(1).split('\t');
            if (f.size() < 7) continue;
            ++cases;
            TVParser p;
            p.SetExpression(local(f[1]).toStdString());
            p.SetX(local(f[2]).toStdString());
            p.SetA(local(f[3]).toStdString());
            p.SetB(local(f[4]).toStdString());
            p.SetC(local(f[5]).toStdString());
            p.SetD(local(f[6]).toStdString());
            const bool built = p.CreateTree();
            QString got;
            long double value = 0;
            if (!built) {
                got = "no tree";
            } else {
                try {
                    value = p.Evaluate();
                    got = QString::fromStdString(p.ErgebnisString());
                } catch (const Exception& e) {
                    got = "error: " + QString::fromStdString(e.Message);
                }
            }
            bool ok;
            if (f[0] == "notree") {
                ++noTree;
                ok = !built;
            } else if (f[0] == "error") {
                ++errors;
                ok = got == "error: " + f[7];
            } else {
                const long double expected = f[7].toDouble(), tolerance = f[8].toDouble();
                ok = built && !got.startsWith("error") && std::fabs(value - expected) <= tolerance;
                if (ok && f[9] != "~") {
                    ++texts;
                    ok = got == local(f[9]);
                }
            }
            if (!ok && failures.size() < 10) failures << f.join(" | ") + "  -> " + got;
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join("\n")));
        // The file really holds every kind of case.
        QVERIFY(cases >= 2000);
        QVERIFY(texts >= cases / 2);
        QVERIFY(errors >= 20);
        QVERIFY(noTree >= 100);
    }
};

FLICKSTOW_TEST_MAIN(TestVparser)
#include "test_Vparser.moc"
