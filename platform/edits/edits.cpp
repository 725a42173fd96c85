#include "edits/edits.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTextBlock>

namespace edits {
namespace {

bool IsTyped(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
    return !text.isEmpty();
}

// The memo holds LF line ends; texts from outside may end lines with CR LF
// or a lone CR.
QString WithLfLineEnds(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

AnsiValidator::AnsiValidator(QLineEdit* edit, int maxLength) : QValidator(edit), edit_(edit), maxLength_(maxLength) {}

QValidator::State AnsiValidator::validate(QString& input, int&) const {
    for (QChar c : input)
        if (!ansi::CanEncode(c)) return Invalid;
    if (maxLength_ > 0 && input.size() > maxLength_ && input.size() >= edit_->text().size()) return Invalid;
    return Acceptable;
}

void AcceptOnlyAnsi(QLineEdit* edit, int maxLength) { edit->setValidator(new AnsiValidator(edit, maxLength)); }

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {}

AnsiString TMemo::Text() const {
    // The raw text keeps no-break spaces, which the plain text turns into
    // blanks; blocks are separated by U+2029.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return ansi::FromQString(text);
}

void TMemo::SetText(std::string_view text) {
    setPlainText(WithLfLineEnds(ansi::ToQString(text)));
}

QString TMemo::Admissible(const QString& text) const {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c == QLatin1Char('\n') || ansi::CanEncode(c)) out += c;
    if (maxLength_ > 0) {
        int length = document()->characterCount() - 1;
        QTextCursor cursor = textCursor();
        int room = maxLength_ - (length - (cursor.selectionEnd() - cursor.selectionStart()));
        out.truncate(std::max(room, 0));
    }
    return out;
}

void TMemo::keyPressEvent(QKeyEvent* event) {
    bool lineBreak = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                     !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    QString typed = lineBreak ? QStringLiteral("\n") : event->text();
    if ((lineBreak || IsTyped(typed)) && !isReadOnly() && Admissible(typed) != typed) return;
    QPlainTextEdit::keyPressEvent(event);
}

void TMemo::inputMethodEvent(QInputMethodEvent* event) {
    QString commit = event->commitString();
    if (!commit.isEmpty()) {
        QString fits = Admissible(commit);
        if (fits != commit) event->setCommitString(fits, event->replacementStart(), event->replacementLength());
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void TMemo::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText()) return;
    textCursor().insertText(Admissible(WithLfLineEnds(source->text())));
    ensureCursorVisible();
}

}  // namespace edits
