#include "platform/edits/edits.h"

#include "platform/dialogs/dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTextBlock>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

namespace edits {
namespace {

// The tooltip under a field that lost characters: it goes after a few
// seconds, or when the keyboard leaves the field (or the widget it hands its
// focus to, as a combo box's edit field does) or the field is hidden.
class CannotHoldTip : public QLabel {
public:
    explicit CannotHoldTip(QWidget* field) : QLabel(field, Qt::ToolTip), field_(field) {
        setObjectName("CannotHoldNotice");
        setText(QString::fromUtf8(kCannotHoldNotice));
        setPalette(QToolTip::palette());
        setFont(QToolTip::font());
        setAutoFillBackground(true);
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setMargin(2);
        timer_.setSingleShot(true);
        timer_.setInterval(5000);
        connect(&timer_, &QTimer::timeout, this, &QWidget::hide);
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            if (now != field_ && now != field_->focusProxy()) hide();
        });
        field->installEventFilter(this);
    }
    void Show() {
        adjustSize();
        move(field_->mapToGlobal(QPoint(0, field_->height() + 2)));
        show();
        timer_.start();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide) hide();
        return false;
    }

private:
    QWidget* field_;
    QTimer timer_;
};

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

void NoteCannotHold(QWidget* field) {
    auto* tip = static_cast<CannotHoldTip*>(field->findChild<QLabel*>("CannotHoldNotice", Qt::FindDirectChildrenOnly));
    if (!tip) tip = new CannotHoldTip(field);
    tip->Show();
    dialogs::Beep();
}

AnsiValidator::AnsiValidator(QLineEdit* edit, int maxLength)
    : QValidator(edit), edit_(edit), maxLength_(maxLength), before_(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { before_ = text; });
}

QValidator::State AnsiValidator::validate(QString& input, int& pos) const {
    QString kept;
    kept.reserve(input.size());
    int keptBeforeCursor = 0;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (!ansi::CanEncode(input[i])) continue;
        kept += input[i];
        if (i < pos) ++keptBeforeCursor;
    }
    const bool lost = kept.size() != input.size();
    // Only the user's changes are held to the limit (a text the program puts
    // in leaves the field unmodified). What they add beyond the room left
    // is cut from its end, the characters just before the cursor; a field
    // already longer than the limit may shrink but not grow.
    if (maxLength_ > 0 && edit_->isModified()) {
        const qsizetype room = std::max(qsizetype(maxLength_), before_.size());
        const qsizetype excess = std::min(kept.size() - room, qsizetype(keptBeforeCursor));
        if (excess > 0) {
            kept.remove(keptBeforeCursor - excess, excess);
            keptBeforeCursor -= static_cast<int>(excess);
            // Nothing of it fits: the change is undone.
            if (kept == before_) return Invalid;
            input = kept;
            pos = keptBeforeCursor;
        }
    }
    if (lost) {
        input = kept;
        pos = keptBeforeCursor;
        NoteCannotHold(edit_);
    }
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

void TMemo::SetText(std::string_view text) { setPlainText(WithLfLineEnds(ansi::ToQString(text))); }

QString TMemo::Admissible(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c == QLatin1Char('\n') || ansi::CanEncode(c)) out += c;
    if (out.size() != text.size()) NoteCannotHold(this);
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
    if ((lineBreak || IsTyped(typed)) && !isReadOnly()) {
        QString fits = Admissible(typed);
        if (fits != typed) {
            // What fits goes in as if typed alone.
            if (!fits.isEmpty()) insertPlainText(fits);
            return;
        }
    }
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
