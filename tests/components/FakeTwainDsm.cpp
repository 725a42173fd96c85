// The stand-in source manager (see FakeTwainDsm.h).

#define FAKE_TWAIN_DSM_LIBRARY
#include "tests/components/FakeTwainDsm.h"

#include "platform/globalmem/GlobalMemory.h"
#include "platform/profile/profile.h"

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Answer {
    TW_UINT16 rc, condition;
};

std::string g_log;
std::map<std::string, std::deque<Answer>> g_answers;
TW_UINT16 g_condition = TWCC_SUCCESS;
std::vector<char> g_image;
TW_UINT16 g_pendingAfter = 0;
TW_IDENTITY g_origin{}, g_opened{};
TW_USERINTERFACE g_ui{};
TW_ONEVALUE g_cap{};
TW_UINT16 g_capName = 0;

const char* DatName(TW_UINT16 dat) {
    switch (dat) {
    case DAT_CAPABILITY: return "CAPABILITY";
    case DAT_EVENT: return "EVENT";
    case DAT_IDENTITY: return "IDENTITY";
    case DAT_PARENT: return "PARENT";
    case DAT_PENDINGXFERS: return "PENDINGXFERS";
    case DAT_STATUS: return "STATUS";
    case DAT_USERINTERFACE: return "USERINTERFACE";
    case DAT_IMAGENATIVEXFER: return "IMAGENATIVEXFER";
    case DAT_IMAGEMEMXFER: return "IMAGEMEMXFER";
    case DAT_IMAGEFILEXFER: return "IMAGEFILEXFER";
    default: return "?";
    }
}

const char* MsgName(TW_UINT16 msg) {
    switch (msg) {
    case MSG_GET: return "GET";
    case MSG_GETDEFAULT: return "GETDEFAULT";
    case MSG_SET: return "SET";
    case MSG_RESET: return "RESET";
    case MSG_OPENDSM: return "OPENDSM";
    case MSG_CLOSEDSM: return "CLOSEDSM";
    case MSG_OPENDS: return "OPENDS";
    case MSG_CLOSEDS: return "CLOSEDS";
    case MSG_USERSELECT: return "USERSELECT";
    case MSG_DISABLEDS: return "DISABLEDS";
    case MSG_ENABLEDS: return "ENABLEDS";
    case MSG_PROCESSEVENT: return "PROCESSEVENT";
    case MSG_ENDXFER: return "ENDXFER";
    default: return "?";
    }
}

void Name(TW_STR32& field, const char* text) {
    std::memset(field, 0, sizeof field);
    std::strncpy(field, text, 32);
}

// The identity triplets: the default source, the user's choice, opening.
void Identity(TW_IDENTITY* id, TW_UINT16 msg) {
    if (msg == MSG_GETDEFAULT) {
        std::memset(id, 0, sizeof *id);
        id->Id = 1;
        Name(id->ProductName, "Fake Default");
    } else if (msg == MSG_USERSELECT) {
        id->Id = 2;
        Name(id->ProductName, "Fake Chosen");
        // A manager keeps the choice as everybody's default source.
        profile::WriteProfileString("TWAIN", "DEFAULT SOURCE", "Fake Chosen");
    } else if (msg == MSG_OPENDS) {
        g_opened = *id;
        if (id->Id == 0) {
            id->Id = 1;
            Name(id->ProductName, "Fake Default");
        }
    }
}

}  // namespace

FAKE_EXPORT TW_UINT16 DSM_Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                TW_MEMREF data) {
    // Events that are not the fake source's are answered without a trace.
    if (dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
        auto* event = static_cast<TW_EVENT*>(data);
        auto* e = static_cast<QEvent*>(event->pEvent);
        event->TWMessage = MSG_NULL;
        if (!e || e->type() != kFakeSourceEvent) return TWRC_NOTDSEVENT;
    }
    std::string triplet = std::string(dest ? "SRC " : "DSM ") + DatName(dat) + " " + MsgName(msg);
    if (dg == DG_IMAGE) triplet = "SRC " + std::string(DatName(dat)) + " " + MsgName(msg);
    g_log += triplet + "\n";
    auto& queue = g_answers[triplet];
    if (!queue.empty()) {
        Answer a = queue.front();
        queue.pop_front();
        if (a.rc == TWRC_FAILURE) g_condition = a.condition;
        if (a.rc != TWRC_SUCCESS) return a.rc;
    }
    if (dat == DAT_STATUS) {
        static_cast<TW_STATUS*>(data)->ConditionCode = g_condition;
        g_condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    switch (dat) {
    case DAT_PARENT:
        if (msg == MSG_OPENDSM) {
            g_origin = *origin;
            origin->Id = 4711;
        }
        break;
    case DAT_IDENTITY: Identity(static_cast<TW_IDENTITY*>(data), msg); break;
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) g_ui = *static_cast<TW_USERINTERFACE*>(data);
        break;
    case DAT_CAPABILITY: {
        auto* cap = static_cast<TW_CAPABILITY*>(data);
        g_capName = cap->Cap;
        if (auto* one = static_cast<TW_ONEVALUE*>(globalmem::GlobalLock(cap->hContainer))) {
            g_cap = *one;
            globalmem::GlobalUnlock(cap->hContainer);
        }
        break;
    }
    case DAT_EVENT: {
        auto* event = static_cast<TW_EVENT*>(data);
        event->TWMessage = static_cast<FakeSourceEvent*>(event->pEvent)->Message;
        return TWRC_DSEVENT;
    }
    case DAT_IMAGENATIVEXFER: {
        globalmem::HGLOBAL h = globalmem::GlobalAlloc(globalmem::GHND, g_image.size());
        std::memcpy(globalmem::GlobalLock(h), g_image.data(), g_image.size());
        globalmem::GlobalUnlock(h);
        *static_cast<TW_HANDLE*>(data) = h;
        return TWRC_XFERDONE;
    }
    case DAT_PENDINGXFERS: {
        auto* pending = static_cast<TW_PENDINGXFERS*>(data);
        pending->Count = msg == MSG_ENDXFER ? g_pendingAfter : 0;
        break;
    }
    default: break;
    }
    return TWRC_SUCCESS;
}

FAKE_EXPORT void FakeDsm_Reset() {
    g_log.clear();
    g_answers.clear();
    g_condition = TWCC_SUCCESS;
    g_image.clear();
    g_pendingAfter = 0;
    g_origin = g_opened = TW_IDENTITY{};
    g_ui = TW_USERINTERFACE{};
    g_cap = TW_ONEVALUE{};
    g_capName = 0;
}

FAKE_EXPORT void FakeDsm_Respond(const char* triplet, TW_UINT16 rc, TW_UINT16 condition) {
    g_answers[triplet].push_back({rc, condition});
}

FAKE_EXPORT const char* FakeDsm_Log() { return g_log.c_str(); }

FAKE_EXPORT void FakeDsm_SetImage(const void* bytes, size_t size, TW_UINT16 pendingAfter) {
    g_image.assign(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);
    g_pendingAfter = pendingAfter;
}

FAKE_EXPORT const TW_IDENTITY* FakeDsm_Origin() { return &g_origin; }
FAKE_EXPORT const TW_IDENTITY* FakeDsm_Opened() { return &g_opened; }
FAKE_EXPORT const TW_USERINTERFACE* FakeDsm_Interface() { return &g_ui; }
FAKE_EXPORT const TW_ONEVALUE* FakeDsm_Capability(TW_UINT16* cap) {
    *cap = g_capName;
    return &g_cap;
}
