#include "components/Enhancedform/TrayBackend.h"

#include "platform/dialogs/dialogs.h"

#include <QSystemTrayIcon>

namespace {

// QSystemTrayIcon: a left click arrives as a trigger, a double click as
// such, the context click as the right button's release.
class DesktopTray final : public TTrayIconBackend {
public:
    DesktopTray() {
        QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_,
                         dialogs::Guarded([this](QSystemTrayIcon::ActivationReason reason) {
                             if (Callback) Callback(MessageOf(reason));
                         }));
    }
    bool Add(const TNotifyIconData& data) override {
        Apply(data);
        icon_.show();
        return Available() && icon_.isVisible();
    }
    bool Modify(const TNotifyIconData& data) override {
        Apply(data);
        return icon_.isVisible();
    }
    bool Delete(const TNotifyIconData&) override {
        icon_.hide();
        return true;
    }
    bool Available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    static unsigned MessageOf(QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger: return WM_LBUTTONUP;
        case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
        case QSystemTrayIcon::Context: return WM_RBUTTONUP;
        case QSystemTrayIcon::MiddleClick: return WM_MBUTTONUP;
        case QSystemTrayIcon::Unknown: break;
        }
        return WM_MOUSEMOVE;
    }
    void Apply(const TNotifyIconData& data) {
        icon_.setIcon(data.hIcon);
        icon_.setToolTip(ansi::ToQString(data.szTip));
    }

    QSystemTrayIcon icon_;
};

std::function<std::unique_ptr<TTrayIconBackend>()>& Factory() {
    static std::function<std::unique_ptr<TTrayIconBackend>()> factory;
    return factory;
}

}  // namespace

std::unique_ptr<TTrayIconBackend> MakeTrayIconBackend() {
    if (Factory()) return Factory()();
    return std::make_unique<DesktopTray>();
}

void SetTrayIconBackendFactory(std::function<std::unique_ptr<TTrayIconBackend>()> factory) {
    Factory() = std::move(factory);
}
