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

#include "platform/ansi/ansi.h"

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

    // Bounds that keep preparing and evaluating cheap: a longer expression
    // (spaces removed), or one with more parentheses or function arguments
    // inside each other, does not prepare. A chain of operators on one level
    // is limited by the length alone; no expression exhausts the stack.
    static constexpr size_t MaxLength = 16384;
    static constexpr int MaxDepth = 1000;

    explicit TVParser(QObject* owner = nullptr);

    AnsiString Expression() const { return expression_; }
    void SetExpression(const AnsiString& value) { expression_ = value; }
    AnsiString X() const { return variables_[0]; }
    void SetX(const AnsiString& value) { SetVariable(0, value); }
    AnsiString A() const { return variables_[1]; }
    void SetA(const AnsiString& value) { SetVariable(1, value); }
    AnsiString B() const { return variables_[2]; }
    void SetB(const AnsiString& value) { SetVariable(2, value); }
    AnsiString C() const { return variables_[3]; }
    void SetC(const AnsiString& value) { SetVariable(3, value); }
    AnsiString D() const { return variables_[4]; }
    void SetD(const AnsiString& value) { SetVariable(4, value); }
    int Precision() const { return precision_; }
    void SetPrecision(int value) { precision_ = value; }
    AnsiString OverwriteDecimalSymbol() const { return overwriteDecimalSymbol_; }
    void SetOverwriteDecimalSymbol(const AnsiString& value) { overwriteDecimalSymbol_ = value; }
    bool ConvertAllColonsAndDots() const { return convertAllColonsAndDots_; }
    void SetConvertAllColonsAndDots(bool value) { convertAllColonsAndDots_ = value; }
    AnsiString ErgebnisString() const;

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
        size_t at = 0;  // the operator's position in the text
    };
    static Split SplitLowest(std::string_view text);
    static bool IsZahl(std::string_view text);
    static long double modl(long double a, long double b);
    // Removes the zeros that end the text after the decimal symbol (which
    // stands at symbolAt), then the symbol when nothing follows it, and puts
    // "0" before a symbol that begins the text.
    static void EntferneNullenUndPunkte(AnsiString& text, size_t symbolAt, size_t symbolSize);

private:
    // The tree: an operator's node names its right and left operand; a leaf
    // holds a number, a variable or constant name, or a function letter.
    struct Node {
        AnsiString text;
        int right = -1, left = -1;
    };
    // Evaluation runs the tree as a program in the order Eval visits it:
    // right operand, left operand, operator, with the values on a stack.
    enum class Kind : unsigned char { Add, Sub, Mul, Div, Mod, Pow, Apply, Constant, Variable };
    struct Step {
        Kind kind;
        char letter = 0;  // Apply: the function letter; Variable: its index
        int node = 0;     // Constant: the leaf
        // A constant's value, converted under the decimal settings of `stamp`.
        unsigned stamp = 0;
        long double value = 0;
    };

    void SetVariable(int index, const AnsiString& value) {
        variables_[index] = value;
        variableStamp_[index] = 0;
    }
    void InitLandDot();
    void Compile();
    long double Eval();
    AnsiString WandleSinCosTanUm(std::string_view text) const;
    bool MakeTree(std::string_view text);
    long double StrToLongDouble(std::string_view text) const;
    // The result text of a value (within the range of double).
    static AnsiString LongDoubleToStr(double value, int precision, std::string_view symbol);

    AnsiString expression_;
    AnsiString variables_[5];
    int precision_ = 8;
    AnsiString overwriteDecimalSymbol_;
    bool convertAllColonsAndDots_ = false;
    // The text of the last result is made when it is first read, from the
    // value and the settings of that Evaluate.
    mutable AnsiString ergebnisString_;
    mutable bool resultPending_ = false;
    double result_ = 0;
    int resultPrecision_ = 8;
    AnsiString resultDot_;

    // The decimal symbol in use.
    AnsiString landDot_;

    std::vector<Node> nodes_;
    bool built_ = true;
    std::vector<Step> program_;
    std::vector<long double> stack_;
    // Converted numbers stay valid while the decimal settings are those of
    // `stamp_`; a variable's value also until its text is set again.
    unsigned stamp_ = 1;
    AnsiString stampDot_;
    bool stampConvertAll_ = false;
    unsigned variableStamp_[5] = {};
    long double variableValue_[5] = {};
};
