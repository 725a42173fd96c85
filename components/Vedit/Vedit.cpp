#include "components/Vedit/Vedit.h"

#include "platform/edits/edits.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <initializer_list>

namespace {

// Keys whose release never completes: the Windows virtual-key codes the edit
// has always left alone, each with the keys that mean the same here.
struct KeptKey {
    int virtualKey;
    std::initializer_list<Qt::Key> keys;
};
const KeptKey kKeysThatDoNotComplete[] = {
    {8, {Qt::Key_Backspace}},
    {12, {Qt::Key_Clear}},
    {13, {Qt::Key_Return, Qt::Key_Enter}},
    {16, {Qt::Key_Shift}},
    {20, {Qt::Key_CapsLock}},
    {27, {Qt::Key_Escape}},
    {32, {Qt::Key_Space}},
    {33, {Qt::Key_PageUp}},
    {34, {Qt::Key_PageDown}},
    {35, {Qt::Key_End}},
    {36, {Qt::Key_Home}},
    {37, {Qt::Key_Left}},
    {38, {Qt::Key_Up}},
    {39, {Qt::Key_Right}},
    {40, {Qt::Key_Down}},
    {41, {Qt::Key_Select}},
    {42, {Qt::Key_Printer}},
    {43, {Qt::Key_Execute}},
    {44, {Qt::Key_Print, Qt::Key_SysReq}},
    {45, {Qt::Key_Insert}},
    {46, {Qt::Key_Delete}},
    {91, {Qt::Key_Meta, Qt::Key_Super_L}},
    {92, {Qt::Key_Super_R}},
    {93, {Qt::Key_Menu}},
    {112, {Qt::Key_F1}},
    {113, {Qt::Key_F2}},
    {114, {Qt::Key_F3}},
    {115, {Qt::Key_F4}},
    {116, {Qt::Key_F5}},
    {117, {Qt::Key_F6}},
    {118, {Qt::Key_F7}},
    {119, {Qt::Key_F8}},
    {120, {Qt::Key_F9}},
    {121, {Qt::Key_F10}},
    {122, {Qt::Key_F11}},
    {123, {Qt::Key_F12}},
};

QStringList ToTexts(const std::vector<AnsiString>& lines) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(lines.size()));
    for (const AnsiString& line : lines) texts << ansi::ToQString(line);
    return texts;
}

Qt::CaseSensitivity Sensitivity(bool caseSensitive) { return caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive; }

// The edit whose taking back of the focus is under way: the focus it takes
// from another edit is not that edit's to take back.
const TVEdit* g_takingFocusBack = nullptr;

}  // namespace

TVEdit::TVEdit(QWidget* owner) : QLineEdit(owner) { edits::AcceptOnlyAnsi(this); }

void TVEdit::SetDataList(const std::vector<AnsiString>& lines) {
    dataList_ = lines;
    dataText_ = ToTexts(lines);
}

void TVEdit::SetExclusionList(const std::vector<AnsiString>& lines) {
    exclusionList_ = lines;
    exclusionText_ = ToTexts(lines);
}

AnsiString TVEdit::Select(const AnsiString& selText, int& selPos) {
    AnsiString text = selText;
    if (OnSelect) OnSelect(this, text, selPos);
    return text;
}

bool TVEdit::Completes(int key) {
    for (const KeptKey& kept : kKeysThatDoNotComplete)
        if (std::find(kept.keys.begin(), kept.keys.end(), key) != kept.keys.end()) return false;
    return true;
}

void TVEdit::keyReleaseEvent(QKeyEvent* event) {
    QLineEdit::keyReleaseEvent(event);
    // A held key repeats its press; only the real release completes.
    if (event->isAutoRepeat() || !Completes(event->key())) return;
    Complete();
}

void TVEdit::Complete() {
    // A read-only edit keeps its text whatever the user types.
    if (isReadOnly()) return;
    const QString typed = text();
    const Qt::CaseSensitivity exclusionCase = Sensitivity(caseSensitiveExclusion_);
    for (const QString& line : exclusionText_)
        if (line.startsWith(typed, exclusionCase)) return;

    const Qt::CaseSensitivity dataCase = Sensitivity(caseSensitiveData_);
    qsizetype first = -1, matches = 0;
    for (qsizetype i = 0; i < dataText_.size(); ++i) {
        if (!dataText_[i].startsWith(typed, dataCase)) continue;
        if (first < 0) first = i;
        ++matches;
        if (onlyIfUnequivocal_ && matches > 1) return;
    }
    if (first < 0) return;

    int selPos = static_cast<int>(typed.size());
    const QString shown = ansi::ToQString(Select(dataList_[static_cast<size_t>(first)], selPos));
    setText(shown);
    // The handler may name any position; the selection stays inside the text.
    const int length = static_cast<int>(shown.size());
    selPos = std::clamp(selPos, 0, length);
    setSelection(selPos, length - selPos);
}

void TVEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // The window losing its activation or a popup menu opening is no leaving
    // of the edit; the focus comes back to it with the window.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    if (exitAfterTab_) {
        DoExit();
        return;
    }
    // The focus this edit loses to another edit taking the focus back stays
    // there; so two such edits never pass the focus to and fro.
    if (g_takingFocusBack && g_takingFocusBack != this) return;
    if (focusBackPending_) return;
    // Taking the focus back inside the focus change would fight the one that
    // is under way; it is done once the change is complete.
    focusBackPending_ = true;
    QTimer::singleShot(0, this, [this] { TakeFocusBack(); });
}

void TVEdit::TakeFocusBack() {
    focusBackPending_ = false;
    if (exitAfterTab_ || hasFocus() || !isVisible() || !isEnabled() || !isActiveWindow()) return;
    g_takingFocusBack = this;
    setFocus(Qt::OtherFocusReason);
    g_takingFocusBack = nullptr;
}

void TVEdit::DoExit() {
    if (OnExit) OnExit(this);
}
