#pragma once
// The mouse on the frame the form enhancer draws, standing in for the window
// manager's: the cursor over the edges, moving the window by its caption,
// resizing it by its edges, and the caption buttons pushed and released.

#include "components/Enhancedform/CaptionGeometry.h"
#include "components/Enhancedform/EFTypes.h"

#include <QPoint>
#include <QRect>

class QEvent;
class QWidget;
class TEnhancedForm;

class TEFFrameMouse {
public:
    explicit TEFFrameMouse(TEnhancedForm& owner) : owner_(owner) {}

    // A mouse event on the form; true when it was the frame's.
    bool NonClientMouse(QEvent* event);
    // After the form has had a mouse event of its own (over the client area,
    // or the mouse left the window).
    void AfterFormMouse();
    // The frame given back to the window manager: no press held, no cursor.
    void Drop();
    // The form's own cursor again, if the frame set one.
    void RestoreCursor();
    // The caption button the mouse holds down, while it is over it.
    ef::TCaptionButton PushedButton() const;

private:
    void Press(ef::Hit hit, QPoint global, const ef::FrameState& frame);
    // A double click on the caption or the icon; false when it is a press.
    bool DoubleClick(ef::Hit hit, const ef::FrameState& frame);
    void Move(ef::Hit hit, QPoint global);
    void MoveByHand(QPoint global);
    void ResizeByHand(Qt::Edges edges, QPoint global);
    void Release(ef::Hit hit);
    void SetHoverCursor(ef::Hit hit);
    void ButtonAction(ef::Hit hit);
    QWidget* Form() const;

    TEnhancedForm& owner_;
    ef::Hit pressed_ = ef::Hit::Client;
    bool pressInside_ = false;
    bool movingByHand_ = false;
    QPoint pressGlobal_;
    QRect pressGeometry_;
    bool cursorSet_ = false;
};
