#pragma once
// Edit controls of the 8-bit code page: they accept only characters that
// Windows-1252 can hold, so what the user sees is what is saved. Typed or
// pasted text keeps what the code page holds; when something had to be
// left out, the field says so in a tooltip and the program beeps.

#include "platform/ansi/ansi.h"

#include <QPlainTextEdit>
#include <QValidator>
#include <string_view>

class QLineEdit;

namespace edits {

// The notice at a field whose input lost characters the code page cannot hold.
inline constexpr const char* kCannotHoldNotice = "Flickstow's catalogue cannot hold this character";
// Shows that notice in a tooltip under the field (one notice per field,
// shown again for each new loss) and beeps.
void NoteCannotHold(QWidget* field);

// Leaves out every character outside the code page (saying so at the
// field) and, with a limit, takes typed and pasted text only up to that
// length, cut to the room left. The limit counts only what the user types:
// a longer text put in by the program stays whole, can be shortened and
// takes nothing more.
class AnsiValidator : public QValidator {
    Q_OBJECT
public:
    AnsiValidator(QLineEdit* edit, int maxLength);
    State validate(QString& input, int& pos) const override;

private:
    QLineEdit* edit_;
    int maxLength_;
    QString before_;  // the field's text before the change being checked
};

// Gives a single-line edit (or a combo box's edit field) an AnsiValidator;
// maxLength 0: no limit.
void AcceptOnlyAnsi(QLineEdit* edit, int maxLength = 0);

// A multi-line edit holding code-page text, with an optional limit on its
// length (a line break counts as one character). Characters of typed and
// pasted text that the code page cannot hold are left out (saying so at the
// field); text beyond the limit is cut.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget* parent = nullptr);

    // 0: no limit.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length) { maxLength_ = length; }

    // The text with CR LF line ends.
    AnsiString Text() const;
    // Takes a text with CR LF, lone CR or lone LF line ends.
    void SetText(std::string_view text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // What of the text fits: characters outside the code page dropped
    // (noted at the field), the rest cut to the room the limit leaves beside
    // the selection.
    QString Admissible(const QString& text);
    int maxLength_ = 0;
};

}  // namespace edits
