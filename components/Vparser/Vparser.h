#pragma once
// TVParser: evaluates an arithmetic expression given as text. CreateTree
// prepares the expression once into a tree of operator nodes; Evaluate walks
// that tree as often as needed while the variables x, a, b, c and d change,
// and leaves the result formatted in ErgebnisString.
//
// The language: numbers in the user's decimal format, the variables, the
// constants pi and e, the operators + - * / mod ^ with the usual weights
// (power binds from the right), parentheses, and the functions sin, cos,
// tan, ln, lg and abs. Names are recognised in any letter case; spaces are
// ignored. Evaluation errors are raised as Exception with the component's
// German messages; a syntax error makes CreateTree return false.
//
// Each instance owns its tree, so several parsers never disturb each other.

#include "ansi/ansi.h"

#include <QObject>
#include <optional>
#include <string_view>
#include <vector>

class TVParser : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::string Expression READ Expression WRITE SetExpression)
    Q_PROPERTY(std::string X READ X WRITE SetX)
    Q_PROPERTY(std::string A READ A WRITE SetA)
    Q_PROPERTY(std::string B READ B WRITE SetB)
    Q_PROPERTY(std::string C READ C WRITE SetC)
    Q_PROPERTY(std::string D READ D WRITE SetD)
    Q_PROPERTY(int Precision READ Precision WRITE SetPrecision)
    Q_PROPERTY(std::string OverwriteDecimalSymbol READ OverwriteDecimalSymbol WRITE SetOverwriteDecimalSymbol)
    Q_PROPERTY(bool ConvertAllColonsAndDots READ ConvertAllColonsAndDots WRITE SetConvertAllColonsAndDots)
    Q_PROPERTY(std::string ErgebnisString READ ErgebnisString)

public:
    // Messages of the evaluation errors.
    static constexpr const char* kDivisionByZero = "Division durch 0";
    static constexpr const char* kNegativeRoot = "Kein negativer Ausdruck unter Wurzel erlaubt.";
    static constexpr const char* kLogOfNonPositive = "Log von X mit X <= 0";
    static constexpr const char* kNotANumber = " kann nicht in eine Zahl umgewandelt werden! (STD)";
    // A result beyond the range of the number types.
    static constexpr const char* kOverflow = "Floating point overflow";

    // Bounds that keep preparing and evaluating cheap and the stack small: a
    // longer expression (spaces removed), or one with more operators inside
    // each other, does not prepare.
    static constexpr size_t MaxLength = 65536;
    static constexpr int MaxDepth = 1000;

    explicit TVParser(QObject* owner = nullptr);

    AnsiString Expression() const { return expression_; }
    void SetExpression(const AnsiString& value) { expression_ = value; }
    AnsiString X() const { return variables_[0]; }
    void SetX(const AnsiString& value) { variables_[0] = value; }
    AnsiString A() const { return variables_[1]; }
    void SetA(const AnsiString& value) { variables_[1] = value; }
    AnsiString B() const { return variables_[2]; }
    void SetB(const AnsiString& value) { variables_[2] = value; }
    AnsiString C() const { return variables_[3]; }
    void SetC(const AnsiString& value) { variables_[3] = value; }
    AnsiString D() const { return variables_[4]; }
    void SetD(const AnsiString& value) { variables_[4] = value; }
    int Precision() const { return precision_; }
    void SetPrecision(int value) { precision_ = value; }
    AnsiString OverwriteDecimalSymbol() const { return overwriteDecimalSymbol_; }
    void SetOverwriteDecimalSymbol(const AnsiString& value) { overwriteDecimalSymbol_ = value; }
    bool ConvertAllColonsAndDots() const { return convertAllColonsAndDots_; }
    void SetConvertAllColonsAndDots(bool value) { convertAllColonsAndDots_ = value; }
    AnsiString ErgebnisString() const { return ergebnisString_; }

    // Prepares Expression (which then reads back in its prepared form, such
    // as "s#(x)+1" for "sin(x) + 1") and builds the tree. True when the whole
    // expression was understood.
    bool CreateTree();
    // The value of the prepared expression with the current variables and
    // settings; ErgebnisString receives it formatted. Raises Exception with
    // the messages above; ErgebnisString then keeps its previous text. After
    // a CreateTree that returned false it raises the prepared expression's
    // text followed by kNotANumber.
    long double Evaluate();
    // True when the text is a number exactly as the system writes it.
    bool IsLongDouble(const AnsiString& text) const { return IsLongDoubleText(text); }

    // The system's text-to-number conversion: the whole text (blanks around
    // it allowed) is a decimal number with the system's decimal separator and
    // an optional exponent, within range.
    static std::optional<long double> TextToFloat(std::string_view text);
    // The system's general number format: at most 15 significant digits, no
    // trailing zeros, the system's decimal separator, an exponent ("1E20",
    // "1,5E-7") only for very large and very small values.
    static AnsiString FloatToStr(long double value);
    static bool IsLongDoubleText(std::string_view text);

    // The steps of preparing, evaluating and formatting.
    static AnsiString EntferneLeerzeichen(std::string_view text);
    static std::string_view EntferneKlammern(std::string_view text);
    struct Split {
        std::string_view left;
        char op = 0;  // 0: the text holds no operator
        std::string_view right;
    };
    static Split SplitLowest(std::string_view text);
    static bool IsZahl(std::string_view text);
    static long double modl(long double a, long double b);
    static AnsiString EntferneNullenUndPunkte(AnsiString text, std::string_view symbol);

private:
    enum class Kind : unsigned char { Add, Sub, Mul, Div, Mod, Pow, Apply, Constant, Variable };
    struct Node {
        AnsiString text;
        int right = -1, left = -1;
        Kind kind = Kind::Constant;
        unsigned char variable = 0;
        // A constant leaf's value, converted under the settings of `stamp`.
        unsigned stamp = 0;
        long double value = 0;
    };

    void InitLandDot();
    AnsiString WandleSinCosTanUm(std::string_view text) const;
    bool MakeTree(int node, std::string_view text, int depth);
    void MakeLeaf(int node, std::string_view text);
    long double Eval(int node);
    long double StrToLongDouble(std::string_view text) const;
    AnsiString LongDoubleToStr(long double value) const;

    AnsiString expression_;
    AnsiString variables_[5];
    int precision_ = 8;
    AnsiString overwriteDecimalSymbol_;
    bool convertAllColonsAndDots_ = false;
    AnsiString ergebnisString_;

    // The decimal symbol in use.
    AnsiString landDot_;

    std::vector<Node> nodes_;
    bool built_ = true;
    // Constant leaves keep their converted value while the decimal settings
    // stay those of `stamp_`; variables are converted once per Evaluate.
    unsigned stamp_ = 1;
    AnsiString stampDot_;
    bool stampConvertAll_ = false;
    unsigned round_ = 0;
    unsigned variableRound_[5] = {};
    long double variableValue_[5] = {};
};
