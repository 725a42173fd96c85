#pragma once
// What the parts of the form enhancer (title bar, wallpaper, tray icon)
// have in common.

#include <QObject>

class TEnhancedForm;

// What the three parts of the component share: the owner, and one step
// that applies the part's settings to the form at once.
class TEFBase : public QObject {
    Q_OBJECT
public:
    explicit TEFBase(TEnhancedForm* owner);
    virtual void Update() = 0;
    TEnhancedForm* Owner() const { return owner_; }

protected:
    TEnhancedForm* owner_;
};
