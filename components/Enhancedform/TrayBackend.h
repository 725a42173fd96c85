#pragma once
// The desktop's notification area as the tray icon sees it: add, change and
// remove one icon, and the mouse messages that come back from it. The
// desktop's own tray (StatusNotifierItem or the X11 tray) sits behind it;
// tests put a fake in its place.

#include "platform/ansi/ansi.h"

#include <QIcon>
#include <functional>
#include <memory>

// The record handed to the notification area with every call.
struct TNotifyIconData {
    int cbSize = 488;
    unsigned uID = 0;
    unsigned uFlags = 7;  // message, icon and tip valid
    unsigned uCallbackMessage = 0x046F;
    QIcon hIcon;
    AnsiString szTip;  // at most 127 characters
};

// The mouse messages the notification area reports.
inline constexpr unsigned WM_MOUSEMOVE = 0x0200;
inline constexpr unsigned WM_LBUTTONDOWN = 0x0201;
inline constexpr unsigned WM_LBUTTONUP = 0x0202;
inline constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
inline constexpr unsigned WM_RBUTTONDOWN = 0x0204;
inline constexpr unsigned WM_RBUTTONUP = 0x0205;
inline constexpr unsigned WM_MBUTTONUP = 0x0208;

class TTrayIconBackend {
public:
    virtual ~TTrayIconBackend() = default;
    // Each returns whether the call succeeded.
    virtual bool Add(const TNotifyIconData& data) = 0;
    virtual bool Modify(const TNotifyIconData& data) = 0;
    virtual bool Delete(const TNotifyIconData& data) = 0;
    // Whether the desktop offers a notification area at all.
    virtual bool Available() const = 0;

    // Receives the mouse messages (WM_LBUTTONUP ...).
    std::function<void(unsigned message)> Callback;
};

// The backend for a new tray icon: the desktop's, unless a test has put
// another factory in place (an empty function goes back to the desktop's).
std::unique_ptr<TTrayIconBackend> MakeTrayIconBackend();
void SetTrayIconBackendFactory(std::function<std::unique_ptr<TTrayIconBackend>()> factory);
