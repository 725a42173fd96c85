#pragma once
// TEnhancedForm: dropped on a form, it paints the form's frame and caption
// bar itself (a colour gradient, the small icon, the caption and two extra
// texts, the caption buttons), and can put a wallpaper behind the client
// area and an icon into the desktop's notification area.
//
// The form becomes a frameless window that carries its frame and caption bar
// inside its own area, around the client area; dragging the caption and the
// edges goes through the window manager (system move and resize). The
// component watches the form's events through an event filter that keeps
// the order "before the form, the form, after the form"; the table in
// Enhancedform.cpp says which event stands for which window message. For
// the events it handles after the form (paint, resize, activation ...) it
// runs the form's own handling itself, so event filters that should see
// those events are installed on the form after the component.
//
// The client area: a form with a layout gets it from its contents margins;
// the child widgets of a form without one are moved into a client widget
// that fills the client area, keeping their positions.

#include "components/Enhancedform/CaptionGeometry.h"
#include "components/Enhancedform/ImageList.h"
#include "components/Enhancedform/TrayBackend.h"
#include "platform/ansi/ansi.h"
#include "platform/metrics/metrics.h"

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QMenu;
class QPainter;
class QTimer;
class QWidget;
class TEnhancedForm;
class TEFTitleBar;

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

// One of the two extra texts of the caption bar.
class TEFTBSpecialCaption : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::string Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(ef::TFontStyles FontStyle READ FontStyle WRITE SetFontStyle)

public:
    explicit TEFTBSpecialCaption(TEFTitleBar* titleBar);

    AnsiString Caption() const { return caption_; }
    void SetCaption(const AnsiString& value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    ef::TFontStyles FontStyle() const { return fontStyle_; }
    void SetFontStyle(ef::TFontStyles value);

private:
    void Changed();

    TEFTitleBar* titleBar_;
    AnsiString caption_;
    bool enabled_ = true;
    ef::TFontStyles fontStyle_;
};

// The caption bar.
class TEFTitleBar : public TEFBase {
    Q_OBJECT
    Q_PROPERTY(ef::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(int NbOfColors READ NbOfColors WRITE SetNbOfColors)
    Q_PROPERTY(ef::TGradientType Type READ Type WRITE SetType)

public:
    explicit TEFTitleBar(TEnhancedForm* owner);
    ~TEFTitleBar() override;

    ef::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(ef::TAlignment value);
    TEFTBSpecialCaption* ApplicationInfo() const { return applicationInfo_; }
    TEFTBSpecialCaption* CompanyInfo() const { return companyInfo_; }
    metrics::TColor Color() const { return color_; }
    void SetColor(metrics::TColor value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // 0 (automatic) or 2 to 256; other values are ignored.
    int NbOfColors() const { return nbOfColors_; }
    void SetNbOfColors(int value);
    ef::TGradientType Type() const { return type_; }
    void SetType(ef::TGradientType value);

    // Repaints the frame when the title bar is enabled.
    void Update() override;

    // The caption font: the system's caption font, or its stock font when
    // the caption font cannot be had.
    void LoadCaptionFont();
    const QFont& CaptionFont() const { return captionFont_; }
    // Whether the caption shows the active colours: the last activation the
    // window reported, or before any report whether it is the active window.
    bool IsActive() const;

    // The caption bar as it looks now, composed afresh.
    QImage ComposeBar(bool active);
    // How many times the bar has been composed; painting an unchanged bar
    // again reuses the last one.
    int Compositions() const { return compositions_; }

private:
    friend class TEnhancedForm;
    friend class TEFTBSpecialCaption;
    // A setting that the bar shows has changed.
    void Touch() { ++generation_; }
    void ActivationReported(bool active);
    // Draws the bar at its place on the form's painter.
    void PaintTitleBar(QPainter& painter, bool active);

    ef::TAlignment alignment_ = ef::taLeftJustify;
    TEFTBSpecialCaption* applicationInfo_;
    TEFTBSpecialCaption* companyInfo_;
    metrics::TColor color_ = metrics::clBlack;
    bool enabled_ = true;
    int nbOfColors_ = 64;
    ef::TGradientType type_ = ef::gtLeftToRight;
    QFont captionFont_;
    bool reportedActive_ = true;
    bool reportArrived_ = false;

    // The last composed bar and what it was composed from.
    struct BarKey {
        QSize size;
        bool active = false;
        QString title;
        bool maximized = false, minimized = false;
        int style = 0, icons = 0, pushed = 0;
        qint64 icon = 0;
        quint64 generation = 0;
        friend bool operator==(const BarKey&, const BarKey&) = default;
    };
    BarKey BarKeyNow(bool active) const;
    BarKey barKey_;
    QImage bar_;
    quint64 generation_ = 1;
    int compositions_ = 0;
};

// A picture behind the form's client area, tiled or centred.
class TEFWallPaper : public TEFBase {
    Q_OBJECT
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE SetBitmap)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(ef::TEFWallPaperDisplay Display READ Display WRITE SetDisplay)

public:
    explicit TEFWallPaper(TEnhancedForm* owner);

    const QImage& Bitmap() const { return bitmap_; }
    void SetBitmap(const QImage& value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    ef::TEFWallPaperDisplay Display() const { return display_; }
    void SetDisplay(ef::TEFWallPaperDisplay value);

    // Paints the wallpaper over the client area: inside the form's paint it
    // draws, elsewhere it asks the form to repaint its client area.
    void Update() override;

    // The finished wallpaper for an area at least as large as the screen and
    // the client area, and how many times it has been built.
    const QImage& Buffer() const { return buffer_; }
    int BufferBuilds() const { return bufferBuilds_; }

private:
    void RebuildBuffer();
    void RefreshForm();

    QImage bitmap_;
    bool enabled_ = true;
    ef::TEFWallPaperDisplay display_ = ef::dwTile;
    QImage buffer_;
    int bufferBuilds_ = 0;
};

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

    std::function<void(QObject* sender)> OnClick, OnDblClick;
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

class TEnhancedForm : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)

public:
    // The owner must be a form (a top-level widget) without an enhancer yet;
    // otherwise an Exception is raised and nothing is changed.
    explicit TEnhancedForm(QObject* owner);
    ~TEnhancedForm() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    TEFTitleBar* TitleBar() const { return titleBar_; }
    TEFTrayIcon* TrayIcon() const { return trayIcon_; }
    TEFWallPaper* WallPaper() const { return wallPaper_; }

    // Works the frame out anew and repaints it.
    virtual void Paint();
    // Once the form is complete: the notification-area icon starts. Runs by
    // itself before the form is first shown.
    virtual void Loaded();

    QWidget* Form() const { return form_; }
    // The client area in the form's coordinates.
    QRect ClientRect() const;
    // The frame the form asks for, from its window flags and size limits.
    ef::TFormBorderStyle BorderStyle() const;
    ef::TBorderIcons BorderIcons() const;
    ef::FrameState FrameState() const;
    // Whether the component draws the frame now (rather than the window manager).
    bool DrawsFrame() const { return ownFrame_; }
    // The caption button the mouse holds down, while it is over it.
    ef::TCaptionButton PushedButton() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TEFTitleBar;
    friend class TEFWallPaper;
    friend class TEFTrayIcon;

    static QObject* CheckedOwner(QObject* owner);
    // The steps around the form's own handling of an event; true when the
    // event has been handled.
    bool Route(QEvent* event);
    void BeforeOrigWindowProc(QEvent* event, int step);
    void AfterOrigWindowProc(QEvent* event, int step);
    void PaintStep();
    void RequestTitleBarPaint();
    void ApplyFrame(bool own);
    void SetFrameFlags(bool frameless);
    void AdoptChildren();
    void Adopt(QWidget* child);
    bool HasIcon() const;

    // The frame under the mouse, standing in for the window manager's.
    bool NonClientMouse(QEvent* event);
    void SetHoverCursor(ef::Hit hit);
    void ButtonAction(ef::Hit hit);

    QWidget* form_;
    bool enabled_ = true;
    bool hooked_ = false;
    bool destroying_ = false;
    bool loaded_ = false;
    TEFTitleBar* titleBar_ = nullptr;
    TEFTrayIcon* trayIcon_ = nullptr;
    TEFWallPaper* wallPaper_ = nullptr;

    // The frame.
    bool ownFrame_ = false;
    bool addedFrameless_ = false;
    bool formWasFrameless_ = false;
    bool formTracksMouse_ = false;
    QMargins insets_;
    QMargins baseMargins_;
    QPointer<QWidget> client_;
    // The painter of the form's paint event while it runs.
    QPainter* painter_ = nullptr;
    bool refreshQueued_ = false;

    // The mouse on the frame.
    ef::Hit pressed_ = ef::Hit::Client;
    bool pressInside_ = false;
    bool movingByHand_ = false;
    QPoint pressGlobal_;
    QRect pressGeometry_;
    bool cursorSet_ = false;
};
