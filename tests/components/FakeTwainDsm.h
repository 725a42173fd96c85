#pragma once
// A stand-in source manager for the component's tests: it logs every call
// ("DSM IDENTITY OPENDS", "SRC USERINTERFACE ENABLEDS" ...), answers
// success unless a test queued another answer for a triplet, and hands over
// the image a test gave it. The test finds these functions in the same
// loaded library with dlsym.

#include "platform/twaindsm/Twain.h"

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

#ifndef FAKE_TWAIN_DSM_LIBRARY
#include "platform/ansi/ansi.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <dlfcn.h>

// The stand-in, copied to where the component looks for the manager, and
// its controls.
struct Fake {
    void* library = nullptr;
    FakeDsmRespond Respond = nullptr;
    FakeDsmLog Log = nullptr;
    FakeDsmSetImage SetImage = nullptr;
    FakeDsmOrigin Origin = nullptr;
    FakeDsmOpened Opened = nullptr;
    FakeDsmInterface Interface = nullptr;
    FakeDsmCapability Capability = nullptr;

    QStringList Calls() const { return QString(Log()).split('\n', Qt::SkipEmptyParts); }

    // The library built at `built`, copied to `target` and loaded from there.
    static Fake Install(const char* built, const AnsiString& target) {
        if (!QFile::copy(built, QString::fromStdString(target))) qFatal("cannot copy the fake manager");
        Fake f;
        f.library = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!f.library) qFatal("%s", dlerror());
        f.Respond = Symbol<FakeDsmRespond>(f.library, "FakeDsm_Respond");
        f.Log = Symbol<FakeDsmLog>(f.library, "FakeDsm_Log");
        f.SetImage = Symbol<FakeDsmSetImage>(f.library, "FakeDsm_SetImage");
        f.Origin = Symbol<FakeDsmOrigin>(f.library, "FakeDsm_Origin");
        f.Opened = Symbol<FakeDsmOpened>(f.library, "FakeDsm_Opened");
        f.Interface = Symbol<FakeDsmInterface>(f.library, "FakeDsm_Interface");
        f.Capability = Symbol<FakeDsmCapability>(f.library, "FakeDsm_Capability");
        Symbol<FakeDsmReset>(f.library, "FakeDsm_Reset")();
        return f;
    }

    // The source sends the application an event standing for a TWAIN message.
    static void SourceSends(TW_UINT16 message) {
        FakeSourceEvent event(message);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &event);
    }

private:
    template <class F>
    static F Symbol(void* library, const char* name) {
        return reinterpret_cast<F>(dlsym(library, name));
    }
};
#endif
