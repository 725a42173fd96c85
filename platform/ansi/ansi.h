#pragma once
// Text as the program keeps it: Windows-1252 bytes in a std::string, compared
// byte by byte, with the runtime's trim, upper-case and integer conversions.

#include <QMetaType>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

using AnsiString = std::string;
// A text can be the value of a component property.
Q_DECLARE_METATYPE(std::string)

namespace ansi {

// Windows-1252 bytes to Unicode and back. Characters the code page cannot
// hold become '?'; CanEncode tells whether a text survives the round trip.
QString ToQString(std::string_view text);
AnsiString FromQString(const QString& text);
bool CanEncode(QChar c);
// Appends the text's characters encoded as UTF-8.
void AppendUtf8(std::string& out, std::string_view text);

// What a control is handed of a text: at most its first kShownLength
// characters. The program keeps every text whole, however long, but a
// control asked to lay out millions of characters takes seconds and
// gigabytes to do it. 4096 characters are more than any control can show
// on one line (the widest screens hold about 2,000 characters of the
// smallest font the windows use) and many times the longest text the
// editor's fields take (a description of 255 characters), and a control
// lays them out in well under a millisecond.
inline constexpr size_t kShownLength = 4096;
inline std::string_view ShownPart(std::string_view text) { return text.substr(0, kShownLength); }
inline bool IsShownCut(std::string_view text) { return text.size() > kShownLength; }
QString ToShownQString(std::string_view text);

// Removes leading and trailing blanks and control characters (codes <= 32).
AnsiString Trim(std::string_view text);
AnsiString TrimLeft(std::string_view text);
AnsiString TrimRight(std::string_view text);

// True when the text is empty after Trim: blanks and control characters only.
bool IsBlank(std::string_view text);

// Maps only the ASCII letters a-z onto A-Z.
AnsiString UpperCase(std::string_view text);
AnsiString LowerCase(std::string_view text);
// Maps every capital letter of the code page onto its small letter: A-Z,
// \xC0-\xDE except the multiplication sign \xD7, and \x8A \x8C \x8E \x9F
// (S and Z with caron, the OE ligature, Y with diaeresis).
AnsiString AnsiLowerCase(std::string_view text);

// Strict decimal integer: optional leading spaces, an optional sign, then one
// or more digits and nothing else, within the range of int.
std::optional<int> TryStrToInt(std::string_view text);
int StrToIntDef(std::string_view text, int fallback);
// As TryStrToInt; raises EConvertError "'%s' is not a valid integer value".
int StrToInt(std::string_view text);
AnsiString IntToStr(long long value);

// printf-style "%s" substitution of one argument, as the error texts use it.
AnsiString Format(std::string_view pattern, std::string_view argument);

}  // namespace ansi
