#pragma once
// TVEdit: a single-line edit that completes what the user types from a list
// of known entries. After each key that can change the text it puts the
// first entry that begins with the typed text into the edit and selects the
// added part, so that typing on overwrites the suggestion. Prefixes listed
// in ExclusionList get no completion. When ExitAfterTab is false the edit
// keeps the focus when the user tries to leave it.

#include "platform/ansi/ansi.h"

#include <QLineEdit>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class TVEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(std::vector<std::string> DataList READ DataList WRITE SetDataList)
    Q_PROPERTY(std::vector<std::string> ExclusionList READ ExclusionList WRITE SetExclusionList)
    Q_PROPERTY(bool CaseSensitiveData READ CaseSensitiveData WRITE SetCaseSensitiveData)
    Q_PROPERTY(bool CaseSensitiveExlusion READ CaseSensitiveExlusion WRITE SetCaseSensitiveExlusion)
    Q_PROPERTY(bool OnlyIfUnequivocal READ OnlyIfUnequivocal WRITE SetOnlyIfUnequivocal)
    Q_PROPERTY(bool ExitAfterTab READ ExitAfterTab WRITE SetExitAfterTab)

public:
    // Called before a completion is shown, with the entry found and the
    // position from which it will be selected; may change both.
    using SelectEvent = std::function<void(QObject* sender, AnsiString& selText, int& selPos)>;
    // Called when the focus leaves the edit for another control.
    using NotifyEvent = std::function<void(QObject* sender)>;

    explicit TVEdit(QWidget* owner = nullptr);

    // Known entries, searched in list order. Setting copies the lines.
    const std::vector<AnsiString>& DataList() const { return dataList_; }
    void SetDataList(const std::vector<AnsiString>& lines);
    // While the typed text begins one of these lines, nothing is completed.
    const std::vector<AnsiString>& ExclusionList() const { return exclusionList_; }
    void SetExclusionList(const std::vector<AnsiString>& lines);

    bool CaseSensitiveData() const { return caseSensitiveData_; }
    void SetCaseSensitiveData(bool value) { caseSensitiveData_ = value; }
    bool CaseSensitiveExlusion() const { return caseSensitiveExclusion_; }
    void SetCaseSensitiveExlusion(bool value) { caseSensitiveExclusion_ = value; }
    // Complete only when exactly one entry matches.
    bool OnlyIfUnequivocal() const { return onlyIfUnequivocal_; }
    void SetOnlyIfUnequivocal(bool value) { onlyIfUnequivocal_ = value; }
    // False: the edit takes the focus back whenever another control of its
    // window would take it, and OnExit does not fire.
    bool ExitAfterTab() const { return exitAfterTab_; }
    void SetExitAfterTab(bool value) { exitAfterTab_ = value; }

    SelectEvent OnSelect;
    NotifyEvent OnExit;

    // The text to show for a suggested entry: OnSelect's answer when a handler
    // is set, the entry unchanged otherwise. selPos is in and out.
    AnsiString Select(const AnsiString& selText, int& selPos);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Leaving the edit: fires OnExit.
    virtual void DoExit();

private:
    static bool Completes(int key);
    void Complete();
    void TakeFocusBack();

    std::vector<AnsiString> dataList_, exclusionList_;
    // The same lines as the edit's own text type, for the comparisons.
    QStringList dataText_, exclusionText_;
    bool caseSensitiveData_ = false;
    bool caseSensitiveExclusion_ = true;
    bool onlyIfUnequivocal_ = false;
    bool exitAfterTab_ = true;
    bool focusBackPending_ = false;
};
