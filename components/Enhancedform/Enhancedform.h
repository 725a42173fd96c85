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
#include "components/Enhancedform/EFTitleBar.h"
#include "components/Enhancedform/EFTrayIcon.h"
#include "components/Enhancedform/EFWallPaper.h"
#include "components/Enhancedform/FrameMouse.h"

#include <QMargins>
#include <QObject>
#include <QPointer>

class QPainter;
class QWidget;

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
    friend class TEFFrameMouse;

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

    // The mouse on the frame, standing in for the window manager's.
    TEFFrameMouse mouse_{*this};
};
