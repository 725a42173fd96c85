#include "components/Enhancedform/FrameMouse.h"

#include "components/Enhancedform/Enhancedform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWhatsThis>
#include <QWidget>
#include <QWindow>
#include <algorithm>

using namespace ef;

namespace {

bool IsButton(Hit hit) {
    return hit == Hit::CloseButton || hit == Hit::MinButton || hit == Hit::MaxButton || hit == Hit::HelpButton;
}
TCaptionButton ButtonOf(Hit hit) {
    switch (hit) {
    case Hit::MinButton: return cbMinimize;
    case Hit::MaxButton: return cbMaximize;
    case Hit::HelpButton: return cbHelp;
    default: return cbClose;
    }
}
Qt::Edges EdgesOf(Hit hit) {
    switch (hit) {
    case Hit::Left: return Qt::LeftEdge;
    case Hit::Right: return Qt::RightEdge;
    case Hit::Top: return Qt::TopEdge;
    case Hit::Bottom: return Qt::BottomEdge;
    case Hit::TopLeft: return Qt::TopEdge | Qt::LeftEdge;
    case Hit::TopRight: return Qt::TopEdge | Qt::RightEdge;
    case Hit::BottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
    case Hit::BottomRight: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}
// A caption button greyed out, or not there at all.
bool ButtonInactive(const FrameState& frame, Hit hit) {
    for (const ButtonPlace& b : ButtonPlaces(frame))
        if (b.button == ButtonOf(hit)) return b.inactive;
    return true;
}

}  // namespace

QWidget* TEFFrameMouse::Form() const { return owner_.Form(); }

TCaptionButton TEFFrameMouse::PushedButton() const {
    return IsButton(pressed_) && pressInside_ ? ButtonOf(pressed_) : TCaptionButton{};
}

bool TEFFrameMouse::NonClientMouse(QEvent* event) {
    if (!owner_.DrawsFrame() || owner_.BorderStyle() == bsNone) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    const QPoint global = mouse->globalPosition().toPoint();
    const ef::FrameState frame = owner_.FrameState();
    const Hit hit = HitTest(frame, owner_.HasIcon(), at);
    if (hit == Hit::Client && pressed_ == Hit::Client) {
        if (event->type() == QEvent::MouseMove) SetHoverCursor(hit);
        return false;
    }
    const bool left = mouse->button() == Qt::LeftButton;
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (left && DoubleClick(hit, frame)) return true;
        [[fallthrough]];
    case QEvent::MouseButtonPress:
        if (left) Press(hit, global, frame);
        break;
    case QEvent::MouseMove: Move(hit, global); break;
    case QEvent::MouseButtonRelease:
        if (!left) break;
        // Acting may close the window and end this component with it.
        Release(hit);
        return true;
    default: break;
    }
    owner_.RequestTitleBarPaint();
    return true;
}

bool TEFFrameMouse::DoubleClick(Hit hit, const ef::FrameState& frame) {
    if (hit == Hit::Caption) {
        if ((VisibleButtons(frame) & cbMaximize) && !ButtonInactive(frame, Hit::MaxButton))
            ButtonAction(Hit::MaxButton);
        return true;
    }
    if (hit == Hit::Icon) {
        Form()->close();
        return true;
    }
    return false;
}

void TEFFrameMouse::Press(Hit hit, QPoint global, const ef::FrameState& frame) {
    QWidget* form = Form();
    pressed_ = hit;
    pressInside_ = IsButton(hit);
    pressGlobal_ = global;
    pressGeometry_ = form->geometry();
    movingByHand_ = false;
    if (IsButton(hit) && ButtonInactive(frame, hit)) pressed_ = Hit::Client;
    if (EdgesOf(hit) && form->windowHandle() && form->windowHandle()->startSystemResize(EdgesOf(hit)))
        pressed_ = Hit::Client;  // the window manager has it
    if (hit == Hit::Border) pressed_ = Hit::Client;
}

void TEFFrameMouse::Move(Hit hit, QPoint global) {
    if (pressed_ == Hit::Client) {
        SetHoverCursor(hit);
    } else if (IsButton(pressed_)) {
        pressInside_ = hit == pressed_;
    } else if (pressed_ == Hit::Caption || pressed_ == Hit::Icon) {
        MoveByHand(global);
    } else if (Qt::Edges edges = EdgesOf(pressed_)) {
        ResizeByHand(edges, global);
    }
}

// Past the drag distance the window follows the mouse by hand for one step,
// then the window manager takes the move over from there: the window keeps
// the point it was taken at.
void TEFFrameMouse::MoveByHand(QPoint global) {
    QWidget* form = Form();
    if (movingByHand_ && form->windowHandle() && form->windowHandle()->startSystemMove()) {
        pressed_ = Hit::Client;
        movingByHand_ = false;
    } else if ((global - pressGlobal_).manhattanLength() >= QApplication::startDragDistance() && !form->isMaximized()) {
        movingByHand_ = true;
    }
    if (movingByHand_) form->move(pressGeometry_.topLeft() + (global - pressGlobal_));
}

// Resizing by hand where the window manager cannot.
void TEFFrameMouse::ResizeByHand(Qt::Edges edges, QPoint global) {
    QWidget* form = Form();
    QRect r = pressGeometry_;
    const QPoint by = global - pressGlobal_;
    const QSize min = form->minimumSize(), max = form->maximumSize();
    auto clamp = [](int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); };
    if (edges & Qt::LeftEdge) r.setLeft(r.right() + 1 - clamp(r.width() - by.x(), min.width(), max.width()));
    if (edges & Qt::RightEdge) r.setWidth(clamp(r.width() + by.x(), min.width(), max.width()));
    if (edges & Qt::TopEdge) r.setTop(r.bottom() + 1 - clamp(r.height() - by.y(), min.height(), max.height()));
    if (edges & Qt::BottomEdge) r.setHeight(clamp(r.height() + by.y(), min.height(), max.height()));
    form->setGeometry(r);
}

void TEFFrameMouse::Release(Hit hit) {
    const Hit released = pressed_;
    const bool act = IsButton(released) && hit == released;
    pressed_ = Hit::Client;
    pressInside_ = false;
    movingByHand_ = false;
    owner_.RequestTitleBarPaint();
    if (act) ButtonAction(released);
}

void TEFFrameMouse::AfterFormMouse() {
    if (pressed_ == Hit::Client) SetHoverCursor(Hit::Client);
    pressInside_ = false;
}

void TEFFrameMouse::Drop() {
    pressed_ = Hit::Client;
    RestoreCursor();
}

void TEFFrameMouse::RestoreCursor() {
    if (cursorSet_) Form()->unsetCursor();
    cursorSet_ = false;
}

void TEFFrameMouse::SetHoverCursor(Hit hit) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (hit) {
    case Hit::Left:
    case Hit::Right: shape = Qt::SizeHorCursor; break;
    case Hit::Top:
    case Hit::Bottom: shape = Qt::SizeVerCursor; break;
    case Hit::TopLeft:
    case Hit::BottomRight: shape = Qt::SizeFDiagCursor; break;
    case Hit::TopRight:
    case Hit::BottomLeft: shape = Qt::SizeBDiagCursor; break;
    default: RestoreCursor(); return;
    }
    Form()->setCursor(shape);
    cursorSet_ = true;
}

void TEFFrameMouse::ButtonAction(Hit hit) {
    QWidget* form = Form();
    switch (hit) {
    case Hit::CloseButton: form->close(); break;
    case Hit::MaxButton:
        if (form->isMaximized()) form->showNormal();
        else
            form->showMaximized();
        break;
    case Hit::MinButton:
        if (form->isMinimized()) form->showNormal();
        else
            form->showMinimized();
        break;
    case Hit::HelpButton: QWhatsThis::enterWhatsThisMode(); break;
    default: break;
    }
}
