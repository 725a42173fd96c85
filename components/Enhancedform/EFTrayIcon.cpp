#include "components/Enhancedform/EFTrayIcon.h"

#include "components/Enhancedform/Enhancedform.h"

#include <QCursor>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <limits>

using namespace ef;
using namespace metrics;

namespace {

QIcon TransparentIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

}  // namespace

TEFTrayIcon::TEFTrayIcon(TEnhancedForm* owner) : TEFBase(owner) {
    timer_ = new QTimer(owner);
    timer_->setInterval(1000);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
}

TEFTrayIcon::~TEFTrayIcon() {
    if (backend_) backend_->Delete(Fill());
    added_ = false;
    delete timer_;
}

void TEFTrayIcon::SetEnabled(bool value) {
    if (Assign(enabled_, value)) Update();
}

void TEFTrayIcon::SetHint(const AnsiString& value) {
    if (Assign(hint_, value)) Update();
}

void TEFTrayIcon::SetTest(bool value) {
    if (Assign(test_, value)) Update();
}

void TEFTrayIcon::SetIcon(const QIcon& value) {
    icon_ = value;
    Update();
}

void TEFTrayIcon::SetIconList(TImageList* value) {
    if (iconList_) QObject::disconnect(iconList_, &QObject::destroyed, this, nullptr);
    iconList_ = value;
    // A list that ends while the icon shows it is dropped at once.
    if (value)
        QObject::connect(value, &QObject::destroyed, this, [this] {
            SyncTimer();
            Update();
        });
    SyncTimer();
    Update();
}

void TEFTrayIcon::SetIconListIndex(int value) {
    if (value < -1 || !Assign(iconListIndex_, value)) return;
    SyncTimer();
    Update();
}

void TEFTrayIcon::SetIconInterval(unsigned value) {
    if (!Assign(iconInterval_, value)) return;
    timer_->setInterval(static_cast<int>(std::min<unsigned>(value, std::numeric_limits<int>::max())));
    // An interval of 0 stops the animation (a timer of 0 would tick without
    // a pause); another one lets it run again, from where it stood.
    if (!Animates()) timer_->stop();
    else if (!timer_->isActive())
        timer_->start();
}

void TEFTrayIcon::SetIconType(TTrayIconIconType value) {
    if (!Assign(iconType_, value)) return;
    SyncTimer();
    Update();
}

QMenu* TEFTrayIcon::PopupMenu() const { return popupMenu_; }
void TEFTrayIcon::SetPopupMenu(QMenu* value) { popupMenu_ = value; }

void TEFTrayIcon::SetOpenAppOn(TTrayIconOpenAppOn value) { openAppOn_ = value; }

bool TEFTrayIcon::ShouldShow() const {
    if (!owner_->Enabled() || !enabled_) return false;
    if (iconType_ == itList) return iconList_ && iconList_->Count() > 0;
    return !icon_.isNull();
}

TTrayIconBackend& TEFTrayIcon::Backend() {
    if (!backend_) {
        backend_ = MakeTrayIconBackend();
        backend_->Callback = [this](unsigned message) { Notified(message); };
    }
    return *backend_;
}

TNotifyIconData TEFTrayIcon::Fill() {
    TNotifyIconData data;
    data.szTip = hint_.substr(0, 127);
    if (iconType_ == itList && iconList_ && iconList_->Count() > 0) data.hIcon = iconList_->GetIcon(position_);
    else
        data.hIcon = icon_;
    // The notification area takes no empty icon: a clear one stands in.
    if (data.hIcon.isNull()) data.hIcon = TransparentIcon();
    Backend();
    return data;
}

void TEFTrayIcon::Update() {
    const TNotifyIconData data = Fill();
    if (!ShouldShow()) {
        Backend().Delete(data);
        added_ = false;
    } else if (!added_) {
        added_ = Backend().Add(data);
    } else {
        // An icon the notification area lost is added again next time.
        added_ = Backend().Modify(data);
    }
}

void TEFTrayIcon::SyncTimer() {
    if (!iconList_ || iconListIndex_ >= iconList_->Count()) iconListIndex_ = -1;
    if (Animates()) timer_->start();
    else
        timer_->stop();
    position_ = iconListIndex_;
}

bool TEFTrayIcon::Animates() const {
    return iconList_ && iconType_ == itList && iconListIndex_ == -1 && iconInterval_ > 0;
}

void TEFTrayIcon::Tick() {
    const int count = iconList_ ? iconList_->Count() : 0;
    if (++position_ >= count) position_ = 0;
    Update();
}

void TEFTrayIcon::StartUp() {
    if (!ShouldShow()) return;
    SyncTimer();
    Update();
    if (owner_->Form()->isMinimized()) HideApplication();
}

void TEFTrayIcon::HideRule() {
    if (ShouldShow()) HideApplication();
}

void TEFTrayIcon::HideApplication() {
    // Without an icon to click, a hidden window could not come back.
    if (!added_ || !Backend().Available()) return;
    QPointer<QWidget> form = owner_->Form();
    QMetaObject::invokeMethod(
        form,
        [form] {
            if (form) form->hide();
        },
        Qt::QueuedConnection);
}

void TEFTrayIcon::RestoreApplication() {
    QPointer<QWidget> form = owner_->Form();
    QMetaObject::invokeMethod(
        form,
        [form] {
            if (!form) return;
            if (form->windowState() & Qt::WindowMaximized) form->showMaximized();
            else
                form->showNormal();
            form->raise();
            form->activateWindow();
        },
        Qt::QueuedConnection);
}

void TEFTrayIcon::Notified(unsigned message) {
    switch (message) {
    case WM_LBUTTONUP:
        if (openAppOn_ == ooClick) RestoreApplication();
        if (OnClick) OnClick(this);
        break;
    case WM_LBUTTONDBLCLK:
        if (openAppOn_ == ooDblClick) RestoreApplication();
        if (OnDblClick) OnDblClick(this);
        break;
    case WM_RBUTTONUP: {
        const QPoint at = QCursor::pos();
        if (popupMenu_) {
            owner_->Form()->activateWindow();
            popupMenu_->popup(at);
        } else if (OnMouseUp) {
            OnMouseUp(this, mbRight, {}, at.x(), at.y());
        }
        break;
    }
    default: break;
    }
}
