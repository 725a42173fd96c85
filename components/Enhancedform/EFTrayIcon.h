#pragma once
// The form enhancer's icon in the desktop's notification area.

#include "components/Enhancedform/EFBase.h"
#include "components/Enhancedform/EFTypes.h"
#include "components/Enhancedform/ImageList.h"
#include "components/Enhancedform/TrayBackend.h"
#include "platform/ansi/ansi.h"

#include <QIcon>
#include <QPointer>
#include <functional>
#include <memory>

class QMenu;
class QTimer;

// An icon in the desktop's notification area, optionally animated through an
// image list; it can take the window off the screen when it is minimized or
// hidden and bring it back on a click or double click.
class TEFTrayIcon : public TEFBase {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(std::string Hint READ Hint WRITE SetHint)
    Q_PROPERTY(QIcon Icon READ Icon WRITE SetIcon)
    Q_PROPERTY(int IconListIndex READ IconListIndex WRITE SetIconListIndex)
    Q_PROPERTY(unsigned IconInterval READ IconInterval WRITE SetIconInterval)
    Q_PROPERTY(ef::TTrayIconIconType IconType READ IconType WRITE SetIconType)
    Q_PROPERTY(ef::TTrayIconOpenAppOn OpenAppOn READ OpenAppOn WRITE SetOpenAppOn)
    Q_PROPERTY(bool Test READ Test WRITE SetTest)

public:
    explicit TEFTrayIcon(TEnhancedForm* owner);
    ~TEFTrayIcon() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    AnsiString Hint() const { return hint_; }
    void SetHint(const AnsiString& value);
    const QIcon& Icon() const { return icon_; }
    void SetIcon(const QIcon& value);
    // Referenced, not owned; its end is noticed.
    TImageList* IconList() const { return iconList_; }
    void SetIconList(TImageList* value);
    int IconListIndex() const { return iconListIndex_; }
    void SetIconListIndex(int value);
    unsigned IconInterval() const { return iconInterval_; }
    void SetIconInterval(unsigned value);
    ef::TTrayIconIconType IconType() const { return iconType_; }
    void SetIconType(ef::TTrayIconIconType value);
    ef::TTrayIconOpenAppOn OpenAppOn() const { return openAppOn_; }
    void SetOpenAppOn(ef::TTrayIconOpenAppOn value);
    // Referenced, not owned; its end is noticed.
    QMenu* PopupMenu() const;
    void SetPopupMenu(QMenu* value);
    // Whether the icon shows while the form is being designed; there is no
    // designer here, so it is kept and changes nothing.
    bool Test() const { return test_; }
    void SetTest(bool value);

    std::function<void(QObject*sender)> OnClick, OnDblClick;
    using MouseEvent = std::function<void(QObject* sender, ef::TMouseButton, ef::TShiftState, int x, int y)>;
    // Only OnMouseUp is ever raised (a right-button release without a popup menu).
    MouseEvent OnMouseDown, OnMouseMove, OnMouseUp;

    // Adds, changes or removes the icon as the settings say.
    void Update() override;

    // Whether the icon is in the notification area, and the list position
    // it shows.
    bool Added() const { return added_; }
    int ListPosition() const { return position_; }
    // The animation timer.
    QTimer* Timer() const { return timer_; }

private:
    friend class TEnhancedForm;
    bool ShouldShow() const;
    TNotifyIconData Fill();
    TTrayIconBackend& Backend();
    void SyncTimer();
    // Whether the animation timer runs: a list to step through, no fixed
    // image of it, and an interval above 0.
    bool Animates() const;
    void Tick();
    // Called once the form is complete.
    void StartUp();
    // The form has been hidden or minimized.
    void HideRule();
    void HideApplication();
    void RestoreApplication();
    void Notified(unsigned message);

    bool enabled_ = true;
    AnsiString hint_;
    QIcon icon_;
    QPointer<TImageList> iconList_;
    int iconListIndex_ = -1;
    unsigned iconInterval_ = 1000;
    ef::TTrayIconIconType iconType_ = ef::itSingle;
    ef::TTrayIconOpenAppOn openAppOn_ = ef::ooDblClick;
    QPointer<QMenu> popupMenu_;
    bool test_ = false;

    bool added_ = false;
    int position_ = -1;
    QTimer* timer_;
    std::unique_ptr<TTrayIconBackend> backend_;
};
