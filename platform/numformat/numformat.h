#pragma once
// The user's number format: the decimal separator of the system's locale.
// Read once and kept; tests put another separator in its place.

namespace numformat {

// The system's decimal separator, one character ("," under a German locale).
char DecimalSeparator();

namespace test {
// Makes DecimalSeparator answer with this character until Reset.
void SetDecimalSeparator(char separator);
// Back to the system's own separator.
void Reset();
}  // namespace test

}  // namespace numformat
