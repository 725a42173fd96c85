#pragma once
// A stand-in source manager for the component's tests: it logs every call
// ("DSM IDENTITY OPENDS", "SRC USERINTERFACE ENABLEDS" ...), answers
// success unless a test queued another answer for a triplet, and hands over
// the image a test gave it. The test finds these functions in the same
// loaded library with dlsym.

#include "twaindsm/Twain.h"

#include <QEvent>

// An event that the fake source claims, carrying the TWAIN message it
// stands for.
inline constexpr QEvent::Type kFakeSourceEvent = static_cast<QEvent::Type>(QEvent::User + 512);
class FakeSourceEvent : public QEvent {
public:
    explicit FakeSourceEvent(TW_UINT16 message) : QEvent(kFakeSourceEvent), Message(message) {}
    TW_UINT16 Message;
};

extern "C" {
// Forgets the log, the queued answers and the image.
using FakeDsmReset = void (*)();
// The next call of the triplet returns rc; a failure leaves the condition
// code for DAT_STATUS.
using FakeDsmRespond = void (*)(const char* triplet, TW_UINT16 rc, TW_UINT16 condition);
// The calls so far, one per line.
using FakeDsmLog = const char* (*)();
// The bytes the native transfer hands over, and the pending count that
// MSG_ENDXFER reports.
using FakeDsmSetImage = void (*)(const void* bytes, size_t size, TW_UINT16 pendingAfter);
// What the calls carried: the origin at MSG_OPENDSM, the identity at
// MSG_OPENDS, the user interface at MSG_ENABLEDS and the capability set.
using FakeDsmOrigin = const TW_IDENTITY* (*)();
using FakeDsmOpened = const TW_IDENTITY* (*)();
using FakeDsmInterface = const TW_USERINTERFACE* (*)();
using FakeDsmCapability = const TW_ONEVALUE* (*)(TW_UINT16* cap);
}
