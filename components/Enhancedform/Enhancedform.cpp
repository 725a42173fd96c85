#include "components/Enhancedform/Enhancedform.h"

#include "components/Enhancedform/ClassicPaint.h"
#include "platform/errors/Exception.h"

#include <QLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <algorithm>

using namespace ef;
using namespace metrics;

namespace {

// The steps of the message table.
enum Step { ReloadFont, PaintAll, SizeChanged, FrameChanged, StateChanged, Hidden, NonClientMouseStep, Activation };
enum class When { Before, After };
struct RouteEntry {
    QEvent::Type event;
    When when;
    Step step;
    const char* message;  // the window message the event stands for
};

// Which event of the form stands for which window message, and whether the
// component acts before the form's own handling or after it.
constexpr RouteEntry kRoutes[] = {
    {QEvent::PaletteChange, When::Before, ReloadFont, "WM_SYSCOLORCHANGE"},
    {QEvent::ApplicationPaletteChange, When::Before, ReloadFont, "WM_SYSCOLORCHANGE"},
    {QEvent::ThemeChange, When::Before, ReloadFont, "WM_SYSCOLORCHANGE"},
    {QEvent::ScreenChangeInternal, When::Before, ReloadFont, "WM_DISPLAYCHANGE"},
    {QEvent::Paint, When::After, PaintAll, "WM_NCPAINT, WM_PAINT"},
    {QEvent::Resize, When::After, SizeChanged, "WM_SIZE"},
    {QEvent::WindowTitleChange, When::After, FrameChanged, "WM_SETTEXT"},
    {QEvent::WindowIconChange, When::After, FrameChanged, "WM_SETICON"},
    {QEvent::WindowStateChange, When::After, StateChanged, "WM_SIZE (minimized, maximized, restored)"},
    {QEvent::Hide, When::After, Hidden, "WM_SHOWWINDOW (hidden)"},
    {QEvent::MouseMove, When::After, NonClientMouseStep, "WM_NCHITTEST, WM_NCMOUSEMOVE"},
    {QEvent::MouseButtonPress, When::After, NonClientMouseStep, "WM_NCLBUTTONDOWN, WM_NCRBUTTONDOWN, WM_NCMBUTTONDOWN"},
    {QEvent::MouseButtonRelease, When::After, NonClientMouseStep, "WM_NCLBUTTONUP, WM_NCRBUTTONUP, WM_NCMBUTTONUP"},
    {QEvent::MouseButtonDblClick, When::After, NonClientMouseStep,
     "WM_NCLBUTTONDBLCLK, WM_NCRBUTTONDBLCLK, WM_NCMBUTTONDBLCLK"},
    {QEvent::Leave, When::After, NonClientMouseStep, "WM_NCMOUSELEAVE"},
    {QEvent::ActivationChange, When::After, Activation, "WM_NCACTIVATE"},
};

const RouteEntry* RouteOf(QEvent::Type type) {
    for (const RouteEntry& r : kRoutes)
        if (r.event == type) return &r;
    return nullptr;
}

}  // namespace

TEFBase::TEFBase(TEnhancedForm* owner) : QObject(owner), owner_(owner) {}

// ---------------------------------------------------------------------------

QObject* TEnhancedForm::CheckedOwner(QObject* owner) {
    auto* form = owner && owner->isWidgetType() ? static_cast<QWidget*>(owner) : nullptr;
    if (!form || !form->isWindow()) throw Exception("The owner of a TEnhancedForm component must be a form...");
    for (const QObject* child : owner->children())
        if (qobject_cast<const TEnhancedForm*>(child))
            throw Exception("Only one instance of TEnhancedForm per form is allowed...");
    return owner;
}

TEnhancedForm::TEnhancedForm(QObject* owner) : QObject(CheckedOwner(owner)), form_(static_cast<QWidget*>(owner)) {
    titleBar_ = new TEFTitleBar(this);
    trayIcon_ = new TEFTrayIcon(this);
    wallPaper_ = new TEFWallPaper(this);
    formWasFrameless_ = form_->windowFlags() & Qt::FramelessWindowHint;
    baseMargins_ = form_->contentsMargins();
    if (!form_->layout()) {
        client_ = new QWidget(form_);
        client_->setObjectName("EnhancedFormClient");
        auto* layout = new QVBoxLayout(form_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(client_);
        AdoptChildren();
    }
    form_->installEventFilter(this);
    hooked_ = true;
    Paint();
}

TEnhancedForm::~TEnhancedForm() {
    destroying_ = true;
    // While the form deletes its children it is no longer a whole form.
    const bool formAlive = parent() == form_ && form_->children().contains(this);
    form_->removeEventFilter(this);
    if (formAlive) {
        ApplyFrame(false);
        mouse_.RestoreCursor();
    }
    delete titleBar_;
    titleBar_ = nullptr;
    delete trayIcon_;
    trayIcon_ = nullptr;
    delete wallPaper_;
    wallPaper_ = nullptr;
    if (formAlive) form_->update();
}

void TEnhancedForm::SetEnabled(bool value) {
    if (Assign(enabled_, value)) Paint();
}

void TEnhancedForm::Paint() {
    if (!hooked_ || destroying_) return;
    ApplyFrame(enabled_ && titleBar_->Enabled());
    form_->update();
}

void TEnhancedForm::Loaded() {
    loaded_ = true;
    trayIcon_->StartUp();
}

QRect TEnhancedForm::ClientRect() const { return form_->rect().marginsRemoved(insets_); }

TFormBorderStyle TEnhancedForm::BorderStyle() const {
    if (formWasFrameless_) return bsNone;
    const bool fixed = (form_->windowFlags() & Qt::MSWindowsFixedSizeDialogHint) ||
                       form_->minimumSize() == form_->maximumSize();
    switch (form_->windowType()) {
    case Qt::Tool: return fixed ? bsToolWindow : bsSizeToolWin;
    case Qt::Dialog:
    case Qt::Sheet: return fixed ? bsDialog : bsSizeable;
    default: return fixed ? bsSingle : bsSizeable;
    }
}

TBorderIcons TEnhancedForm::BorderIcons() const {
    const Qt::WindowFlags flags = form_->windowFlags();
    const Qt::WindowFlags buttons = Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint |
                                    Qt::WindowContextHelpButtonHint;
    if (!(flags & (buttons | Qt::CustomizeWindowHint))) {
        // The window manager's defaults for the kind of window.
        if (form_->windowType() == Qt::Window) return biSystemMenu | biMinimize | biMaximize;
        return biSystemMenu;
    }
    TBorderIcons icons;
    if (flags & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)) icons |= biSystemMenu;
    if (flags & Qt::WindowMinimizeButtonHint) icons |= biMinimize;
    if (flags & Qt::WindowMaximizeButtonHint) icons |= biMaximize;
    if (flags & Qt::WindowContextHelpButtonHint) icons |= biHelp;
    return icons;
}

FrameState TEnhancedForm::FrameState() const {
    return {BorderStyle(), BorderIcons(), form_->isMinimized(), form_->isMaximized(), form_->size()};
}

TCaptionButton TEnhancedForm::PushedButton() const { return mouse_.PushedButton(); }

bool TEnhancedForm::HasIcon() const {
    const TFormBorderStyle style = BorderStyle();
    return (BorderIcons() & biSystemMenu) && (style == bsSingle || style == bsSizeable);
}

// --- the frame --------------------------------------------------------------

void TEnhancedForm::ApplyFrame(bool own) {
    if (own != ownFrame_) {
        SetFrameFlags(own);
        ownFrame_ = own;
        if (own) {
            formTracksMouse_ = form_->hasMouseTracking();
            form_->setMouseTracking(true);
        } else {
            form_->setMouseTracking(formTracksMouse_);
            mouse_.Drop();
        }
    }
    const QMargins want = own ? FrameInsets(BorderStyle()) : QMargins();
    if (want == insets_) return;
    // The client area keeps its size; the window grows or shrinks around it.
    const QMargins delta = want - insets_;
    const QSize grow(delta.left() + delta.right(), delta.top() + delta.bottom());
    auto limit = [](int value, int by, int unset) { return value == unset ? unset : std::max(0, value + by); };
    const QSize min = form_->minimumSize(), max = form_->maximumSize();
    const QSize newMin(limit(min.width(), grow.width(), 0), limit(min.height(), grow.height(), 0));
    const QSize newMax(limit(max.width(), grow.width(), QWIDGETSIZE_MAX),
                       limit(max.height(), grow.height(), QWIDGETSIZE_MAX));
    form_->setMinimumSize(0, 0);
    form_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const bool placed = form_->isVisible() || form_->testAttribute(Qt::WA_Moved);
    const bool sized = form_->isVisible() || form_->testAttribute(Qt::WA_Resized);
    if (!(form_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        if (placed)
            form_->setGeometry(form_->geometry().adjusted(-delta.left(), -delta.top(), delta.right(), delta.bottom()));
        else if (sized)
            form_->resize(form_->size() + grow);
    }
    form_->setContentsMargins(baseMargins_ + want);
    form_->setMinimumSize(newMin);
    form_->setMaximumSize(newMax);
    insets_ = want;
}

void TEnhancedForm::SetFrameFlags(bool own) {
    Qt::WindowFlags flags = form_->windowFlags();
    flags.setFlag(Qt::FramelessWindowHint, own || formWasFrameless_);
    if (flags == form_->windowFlags()) return;
    if (form_->isVisible() && form_->windowHandle()) {
        // Changing the flags of a shown window would hide it (and end a
        // modal dialog's loop): the window takes them as it is.
        form_->overrideWindowFlags(flags);
        form_->windowHandle()->setFlags(flags);
    } else {
        form_->setWindowFlags(flags);
    }
}

void TEnhancedForm::AdoptChildren() {
    if (!client_) return;
    const QObjectList children = form_->children();
    for (QObject* child : children)
        if (child->isWidgetType()) Adopt(static_cast<QWidget*>(child));
}

void TEnhancedForm::Adopt(QWidget* child) {
    if (!client_ || !child || child == client_ || child->parentWidget() != form_ || child->isWindow()) return;
    const bool hidden = child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide);
    child->setParent(client_);
    if (!hidden) child->show();
}

// --- the message hook ---------------------------------------------------------

bool TEnhancedForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != form_) return false;
    switch (event->type()) {
    case QEvent::ChildAdded: {
        // A child widget placed on the form goes into the client area once
        // whoever made it has set it up.
        auto* child = static_cast<QChildEvent*>(event)->child();
        if (client_ && child->isWidgetType() && child != client_) {
            QPointer<QWidget> widget = static_cast<QWidget*>(child);
            QMetaObject::invokeMethod(
                this, [this, widget] { Adopt(widget); }, Qt::QueuedConnection);
        }
        break;
    }
    case QEvent::Polish:
        AdoptChildren();
        if (!loaded_) Loaded();
        break;
    default: break;
    }
    if (!enabled_) return false;
    return Route(event);
}

bool TEnhancedForm::Route(QEvent* event) {
    const RouteEntry* route = RouteOf(event->type());
    if (!route) return false;
    if (route->when == When::Before) {
        BeforeOrigWindowProc(event, route->step);
        return false;
    }
    // The mouse on the frame is the frame's own business: it stands for the
    // system's handling of the non-client messages.
    if (route->step == NonClientMouseStep && event->type() != QEvent::Leave) return mouse_.NonClientMouse(event);
    static_cast<QObject*>(form_)->event(event);
    AfterOrigWindowProc(event, route->step);
    return true;
}

void TEnhancedForm::BeforeOrigWindowProc(QEvent*, int step) {
    if (step == ReloadFont && titleBar_->Enabled()) {
        titleBar_->LoadCaptionFont();
        titleBar_->Update();
    }
}

void TEnhancedForm::AfterOrigWindowProc(QEvent*, int step) {
    const bool titleBarOn = titleBar_->Enabled();
    switch (step) {
    case PaintAll: PaintStep(); break;
    case SizeChanged:
        if (titleBarOn) RequestTitleBarPaint();
        wallPaper_->Update();
        break;
    case FrameChanged:
        if (titleBarOn) Paint();
        break;
    case StateChanged:
        if (titleBarOn) Paint();
        // Minimizing takes the window off the screen as hiding does.
        if (form_->isMinimized()) trayIcon_->HideRule();
        break;
    case Hidden: trayIcon_->HideRule(); break;
    case NonClientMouseStep:
        mouse_.AfterFormMouse();
        if (titleBarOn) RequestTitleBarPaint();
        break;
    case Activation:
        if (titleBarOn) {
            titleBar_->ActivationReported(form_->isActiveWindow());
            RequestTitleBarPaint();
        }
        break;
    default: break;
    }
}

void TEnhancedForm::PaintStep() {
    QPainter painter(form_);
    painter_ = &painter;
    const bool titleBarOn = titleBar_->Enabled();
    if (ownFrame_ && BorderStyle() != bsNone) {
        const ef::FrameState frame = FrameState();
        const QRect caption = titleBarOn ? CaptionRect(frame).ToQRect() : QRect();
        DrawWindowFrame(painter, frame.windowSize, ClientRect(), caption);
        if (titleBarOn) titleBar_->PaintTitleBar(painter, titleBar_->IsActive());
    }
    // A title bar switched off gives the frame back at its next repaint.
    if (ownFrame_ != titleBarOn && !refreshQueued_) {
        refreshQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                refreshQueued_ = false;
                Paint();
            },
            Qt::QueuedConnection);
    }
    wallPaper_->Update();
    painter_ = nullptr;
}

void TEnhancedForm::RequestTitleBarPaint() {
    if (ownFrame_) form_->update(CaptionRect(FrameState()).ToQRect());
}
