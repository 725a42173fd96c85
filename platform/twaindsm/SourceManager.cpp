#include "platform/twaindsm/SourceManager.h"

#include "platform/errors/Exception.h"
#include "platform/globalmem/GlobalMemory.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "platform/twaindsm/NativeTransfer.h"
#include "platform/twaindsm/SaneDevice.h"
#include "platform/twaindsm/SourceDialogs.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <memory>
#include <pthread.h>
#include <signal.h>
#include <thread>

namespace twaindsm {
namespace {

// Where the chosen source is kept for every program that asks for one.
constexpr const char* kProfileSection = "TWAIN";
constexpr const char* kProfileKey = "DEFAULT SOURCE";

// Starting values of a source's window: what a cover needs, not the
// device's own defaults (some report a fraction of a dot per inch).
constexpr double kStartDpi = 150;

const QEvent::Type kSourceEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// What a source posts to the application: a TWAIN message (MSG_XFERREADY
// with the image's block, MSG_CLOSEDSREQ) or, with MSG_NULL, a preview or a
// scan error for the source's own window. An image nobody took is freed
// with the event.
class SourceEvent : public QEvent {
public:
    SourceEvent(uint64_t session, TW_UINT16 message, globalmem::HGLOBAL image, QString error, QImage preview = {})
        : QEvent(kSourceEventType), Session(session), Message(message), Image(image), Error(std::move(error)),
          Preview(std::move(preview)) {}
    ~SourceEvent() override { globalmem::GlobalFree(Image); }
    const uint64_t Session;
    const TW_UINT16 Message;
    globalmem::HGLOBAL Image;
    const QString Error;
    const QImage Preview;
    bool Done = false;
};

// Each source's last settings, for its next window: in the settings store,
// one key per device.
constexpr const char* kSettingsKey = "Software\\varnholt\\TWAIN\\";

AnsiString SettingsKey(const std::string& device) {
    AnsiString key = kSettingsKey;
    for (char c : device) key += c == '\\' ? '/' : c;
    return key;
}

AnsiString Decimal(double v) { return QString::number(v, 'f', 1).toStdString(); }

std::optional<ScanSettings> RememberedSettings(const std::string& device) {
    try {
        registry::TRegistry reg;
        if (!reg.OpenKey(SettingsKey(device), false) || !reg.ValueExists("Mode")) return std::nullopt;
        ScanSettings s;
        s.mode = QString::fromStdString(reg.ReadString("Mode"));
        s.dpi = QString::fromStdString(reg.ReadString("Resolution")).toDouble();
        s.size = QString::fromStdString(reg.ReadString("Size"));
        double v[4];
        bool all = true;
        const char* names[4] = {"Left", "Top", "Width", "Height"};
        for (int k = 0; k < 4; ++k) {
            bool ok = false;
            v[k] = QString::fromStdString(reg.ReadString(names[k])).toDouble(&ok);
            all = all && ok;
        }
        if (all) s.area = ScanArea{v[0], v[1], v[2], v[3]};
        return s;
    } catch (const Exception& e) {
        std::fprintf(stderr, "TWAIN: %s\n", e.what());
        return std::nullopt;
    }
}

// The settings store writes its changes a moment later, from the
// application's event loop: the library stays loaded from the first
// change on, whoever closes it.
void KeepLoaded() {
    static bool kept = false;
    Dl_info self;
    if (!kept && dladdr(&kept, &self) && self.dli_fname)
        kept = dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

void Remember(const std::string& device, const ScanSettings& s) {
    try {
        KeepLoaded();
        registry::TRegistry reg;
        if (!reg.OpenKey(SettingsKey(device), true)) return;
        reg.WriteString("Mode", s.mode.toStdString());
        reg.WriteString("Resolution", Decimal(s.dpi));
        if (s.area) {
            reg.WriteString("Left", Decimal(s.area->left));
            reg.WriteString("Top", Decimal(s.area->top));
            reg.WriteString("Width", Decimal(s.area->width));
            reg.WriteString("Height", Decimal(s.area->height));
            reg.WriteString("Size", s.size.toStdString());
        }
        registry::Flush();
    } catch (const Exception& e) {
        // The scan goes on; the next window starts from the device's values.
        std::fprintf(stderr, "TWAIN: %s\n", e.what());
    }
}

void CopyName(TW_STR32& field, const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 2));
}

std::string NameOf(const TW_STR32& field) { return std::string(field, strnlen(field, sizeof field)); }

bool IsZeroIdentity(const TW_IDENTITY& id) { return id.Id == 0 && id.ProductName[0] == 0; }

// The events of the source's worker arrive here when the application does
// not hand them to the source first.
class Relay : public QObject {
public:
    explicit Relay(std::function<void(SourceEvent*)> handle) : handle_(std::move(handle)) {}
    bool event(QEvent* e) override {
        if (e->type() != kSourceEventType) return QObject::event(e);
        handle_(static_cast<SourceEvent*>(e));
        return true;
    }

private:
    std::function<void(SourceEvent*)> handle_;
};

class BusyCursor {
public:
    BusyCursor() : on_(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        if (on_) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor() {
        if (on_) QApplication::restoreOverrideCursor();
    }

private:
    bool on_;
};

struct OpenSource {
    TW_IDENTITY identity{};
    DeviceInfo info;
    std::unique_ptr<SaneDevice> device;
    ScanSettings settings;
    int state = 4;
    bool showUI = true;
    uint64_t session = 0;
    QPointer<SourceDialog> dialog;  // deleted here, unless its parent took it along
    std::unique_ptr<Relay> relay;
    std::thread worker;
    globalmem::HGLOBAL pending = nullptr;  // the image of state 6
};

class Manager {
public:
    ~Manager() { CloseSource(); }

    TW_UINT16 Call(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        if (!origin) return FailManager(TWCC_BADVALUE);
        if (dest) return ToSource(origin, *dest, dg, dat, msg, data);
        return ToManager(origin, dg, dat, msg, data);
    }
    bool Open() const { return open_; }
    // A call that failed inside the manager itself.
    TW_UINT16 Bummer() { return FailManager(TWCC_BUMMER); }

private:
    TW_UINT16 FailManager(TW_UINT16 cc) {
        managerCondition_ = cc;
        return TWRC_FAILURE;
    }
    TW_UINT16 FailSource(TW_UINT16 cc) {
        sourceCondition_ = cc;
        return TWRC_FAILURE;
    }

    // ---- The manager's own triplets

    // Long by design, see docs/COMPLEXITY.md: the manager's triplets.
    // NOLINTNEXTLINE(readability-function-cognitive-complexity)
    TW_UINT16 ToManager(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        if (dg == DG_CONTROL && dat == DAT_STATUS && msg == MSG_GET) {
            if (!data) return FailManager(TWCC_BADVALUE);
            auto* status = static_cast<TW_STATUS*>(data);
            status->ConditionCode = managerCondition_;
            status->Reserved = 0;
            managerCondition_ = TWCC_SUCCESS;
            return TWRC_SUCCESS;
        }
        if (dg != DG_CONTROL) return FailManager(TWCC_BADPROTOCOL);
        if (dat == DAT_PARENT && msg == MSG_OPENDSM) {
            if (open_) return FailManager(TWCC_SEQERROR);
            if (!data) return FailManager(TWCC_BADVALUE);
            parent_ = static_cast<QWidget*>(*static_cast<TW_HANDLE*>(data));
            origin->Id = appId_ = 1;
            open_ = true;
            return TWRC_SUCCESS;
        }
        if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
            if (!open_ || source_) return FailManager(TWCC_SEQERROR);
            open_ = false;
            devices_.clear();
            enumerated_ = false;
            sane_.Stop();
            return TWRC_SUCCESS;
        }
        if (dat != DAT_IDENTITY) return FailManager(TWCC_BADPROTOCOL);
        if (!open_ || origin->Id != appId_) return FailManager(TWCC_SEQERROR);
        if (!data) return FailManager(TWCC_BADVALUE);
        auto* identity = static_cast<TW_IDENTITY*>(data);
        switch (msg) {
        case MSG_GETDEFAULT: {
            Enumerate(false);
            int k = DefaultDevice();
            if (k < 0) return FailManager(TWCC_NODS);
            Fill(*identity, devices_[static_cast<size_t>(k)]);
            return TWRC_SUCCESS;
        }
        case MSG_GETFIRST:
            Enumerate(false);
            next_ = 0;
            [[fallthrough]];
        case MSG_GETNEXT:
            if (next_ >= devices_.size()) return TWRC_ENDOFLIST;
            Fill(*identity, devices_[next_++]);
            return TWRC_SUCCESS;
        case MSG_USERSELECT: return UserSelect(*identity);
        case MSG_OPENDS: return OpenDs(*identity);
        case MSG_CLOSEDS:
            if (!source_ || identity->Id != source_->identity.Id) return FailManager(TWCC_NODS);
            if (source_->state != 4) return FailManager(TWCC_SEQERROR);
            CloseSource();
            return TWRC_SUCCESS;
        default: return FailManager(TWCC_BADPROTOCOL);
        }
    }

    // Asks SANE for its scanners: once per connection, or again when the
    // user is about to choose. This may take seconds (network scanners).
    void Enumerate(bool again) {
        if (enumerated_ && !again) return;
        BusyCursor busy;
        if (!sane_.Start()) std::fprintf(stderr, "TWAIN: SANE did not start: %s\n", sane_.Error().c_str());
        devices_ = sane_.Devices();
        enumerated_ = true;
        for (const DeviceInfo& d : devices_)
            if (!ids_.count(d.name)) ids_[d.name] = nextId_++;
    }

    int IndexOf(const std::string& name) const {
        for (size_t k = 0; k < devices_.size(); ++k)
            if (devices_[k].name == name) return static_cast<int>(k);
        return -1;
    }

    // The source named in the profile, else the first one found.
    int DefaultDevice() const {
        if (devices_.empty()) return -1;
        int k = IndexOf(profile::GetProfileString(kProfileSection, kProfileKey, ""));
        return k >= 0 ? k : 0;
    }

    // A source by its identity: by the number this manager gave it, else by
    // its product name (which holds the device's name, cut to 32 characters).
    int Find(const TW_IDENTITY& id) const {
        for (size_t k = 0; k < devices_.size(); ++k)
            if (id.Id != 0 && ids_.at(devices_[k].name) == id.Id) return static_cast<int>(k);
        std::string name = NameOf(id.ProductName);
        for (size_t k = 0; k < devices_.size(); ++k) {
            TW_STR32 cut;
            CopyName(cut, devices_[k].name);
            if (!name.empty() && NameOf(cut) == name) return static_cast<int>(k);
        }
        return -1;
    }

    void Fill(TW_IDENTITY& id, const DeviceInfo& d) const {
        std::memset(&id, 0, sizeof id);
        id.Id = ids_.at(d.name);
        id.Version.MajorNum = 1;
        id.Version.MinorNum = 0;
        id.Version.Language = 13;  // TWLG_USA
        id.Version.Country = 1;    // TWCY_USA
        CopyName(id.Version.Info, "SANE " + d.type);
        id.ProtocolMajor = 1;
        id.ProtocolMinor = 7;
        id.SupportedGroups = DG_SUPPORTED;
        CopyName(id.Manufacturer, d.vendor);
        CopyName(id.ProductFamily, d.model);
        CopyName(id.ProductName, d.name);
    }

    TW_UINT16 UserSelect(TW_IDENTITY& identity) {
        if (source_) return FailManager(TWCC_SEQERROR);
        Enumerate(true);
        if (devices_.empty()) return FailManager(TWCC_NODS);
        int current = IsZeroIdentity(identity) ? -1 : Find(identity);
        if (current < 0) current = DefaultDevice();
        SelectSourceDialog dialog(parent_, devices_, current);
        if (dialog.exec() != QDialog::Accepted || dialog.Chosen() < 0) return TWRC_CANCEL;
        const DeviceInfo& chosen = devices_[static_cast<size_t>(dialog.Chosen())];
        Fill(identity, chosen);
        try {
            profile::WriteProfileString(kProfileSection, kProfileKey, chosen.name);
        } catch (const Exception& e) {
            // The choice holds for this program all the same.
            std::fprintf(stderr, "TWAIN: %s\n", e.what());
        }
        return TWRC_SUCCESS;
    }

    TW_UINT16 OpenDs(TW_IDENTITY& identity) {
        if (source_) return FailManager(TWCC_MAXCONNECTIONS);
        Enumerate(false);
        int k = IsZeroIdentity(identity) ? DefaultDevice() : Find(identity);
        if (k < 0) return FailManager(TWCC_NODS);
        auto source = std::make_unique<OpenSource>();
        source->info = devices_[static_cast<size_t>(k)];
        try {
            BusyCursor busy;
            source->device = std::make_unique<SaneDevice>(source->info.name);
        } catch (const SaneError& e) {
            std::fprintf(stderr, "TWAIN: %s: %s\n", source->info.name.c_str(), e.what());
            return FailManager(TWCC_BUMMER);
        }
        Fill(identity, source->info);
        source->identity = identity;
        source->settings = StartSettings(source->info.name, *source->device);
        source->relay = std::make_unique<Relay>([this](SourceEvent* e) { OnRelayedEvent(e); });
        source_ = std::move(source);
        sourceCondition_ = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }

    ScanSettings StartSettings(const std::string& name, const SaneDevice& device) const {
        if (auto r = RememberedSettings(name)) return *r;
        ScanSettings s;
        s.mode = device.ColourMode();
        if (s.mode.isEmpty()) s.mode = device.CurrentMode();
        s.dpi = device.HasResolution() ? device.ClampDpi(kStartDpi) : 0;
        if (device.HasGeometry()) s.area = device.CurrentArea();
        return s;
    }

    void StopWorker() {
        if (!source_) return;
        if (source_->worker.joinable()) {
            source_->device->Cancel();
            source_->worker.join();
        }
    }

    void CloseSource() {
        if (!source_) return;
        StopWorker();
        globalmem::GlobalFree(source_->pending);
        delete source_->dialog.data();
        // Events still queued for the source go with its relay.
        source_.reset();
    }

    // ---- The source's triplets

    // Long by design, see docs/COMPLEXITY.md: the source's triplets.
    // NOLINTNEXTLINE(readability-function-cognitive-complexity)
    TW_UINT16 ToSource(pTW_IDENTITY origin, const TW_IDENTITY& dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                       TW_MEMREF data) {
        if (!open_ || origin->Id != appId_) return FailManager(TWCC_SEQERROR);
        if (!source_ || dest.Id != source_->identity.Id) return FailManager(TWCC_BADDEST);
        OpenSource& s = *source_;
        if (!data) return FailSource(TWCC_BADVALUE);
        if (dg == DG_CONTROL && dat == DAT_STATUS && msg == MSG_GET) {
            auto* status = static_cast<TW_STATUS*>(data);
            status->ConditionCode = sourceCondition_;
            status->Reserved = 0;
            sourceCondition_ = TWCC_SUCCESS;
            return TWRC_SUCCESS;
        }
        if (dg == DG_CONTROL && dat == DAT_CAPABILITY) {
            if (msg != MSG_SET) return FailSource(TWCC_CAPBADOPERATION);
            if (s.state != 4) return FailSource(TWCC_SEQERROR);
            return SetCapability(*static_cast<TW_CAPABILITY*>(data));
        }
        if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_ENABLEDS) {
            if (s.state != 4) return FailSource(TWCC_SEQERROR);
            auto* ui = static_cast<TW_USERINTERFACE*>(data);
            s.showUI = ui->ShowUI != 0;
            s.state = 5;
            if (s.showUI) ShowDialog(static_cast<QWidget*>(ui->hParent), ui->ModalUI != 0);
            else
                StartScan(false);
            return TWRC_SUCCESS;
        }
        if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS) {
            if (s.state != 5) return FailSource(TWCC_SEQERROR);
            StopWorker();
            delete s.dialog.data();
            ++s.session;  // what the worker posted before is void now
            s.state = 4;
            return TWRC_SUCCESS;
        }
        if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
            if (s.state < 5) return FailSource(TWCC_SEQERROR);
            return ProcessEvent(*static_cast<TW_EVENT*>(data));
        }
        if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
            if (s.state != 6) return FailSource(TWCC_SEQERROR);
            *static_cast<TW_HANDLE*>(data) = s.pending;
            s.pending = nullptr;
            s.state = 7;
            return TWRC_XFERDONE;
        }
        if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS) {
            auto* pending = static_cast<TW_PENDINGXFERS*>(data);
            if (msg == MSG_GET) {
                pending->Count = s.state == 6 || s.state == 7 ? 1 : 0;
                return TWRC_SUCCESS;
            }
            if ((msg == MSG_ENDXFER && (s.state == 6 || s.state == 7)) || (msg == MSG_RESET && s.state == 6)) {
                // One image per scan: nothing else is pending.
                globalmem::GlobalFree(s.pending);
                s.pending = nullptr;
                pending->Count = 0;
                s.state = 5;
                if (s.dialog) s.dialog->SetScanning(false);
                return TWRC_SUCCESS;
            }
            return FailSource(msg == MSG_ENDXFER || msg == MSG_RESET ? TWCC_SEQERROR : TWCC_BADPROTOCOL);
        }
        return FailSource(TWCC_BADPROTOCOL);
    }

    // Long by design, see docs/COMPLEXITY.md: the capabilities a source sets.
    // NOLINTNEXTLINE(readability-function-cognitive-complexity)
    TW_UINT16 SetCapability(const TW_CAPABILITY& cap) {
        if (cap.ConType != TWON_ONEVALUE) return FailSource(TWCC_BADVALUE);
        auto* one = static_cast<TW_ONEVALUE*>(globalmem::GlobalLock(cap.hContainer));
        if (!one || globalmem::GlobalSize(cap.hContainer) < sizeof(TW_ONEVALUE)) {
            if (one) globalmem::GlobalUnlock(cap.hContainer);
            return FailSource(TWCC_BADVALUE);
        }
        TW_ONEVALUE value = *one;
        globalmem::GlobalUnlock(cap.hContainer);
        OpenSource& s = *source_;
        switch (cap.Cap) {
        case ICAP_XFERMECH:
            // Images go by the native mechanism only.
            return value.ItemType == TWTY_UINT16 && value.Item == TWSX_NATIVE ? TWRC_SUCCESS
                                                                              : FailSource(TWCC_BADVALUE);
        case ICAP_PIXELTYPE: {
            if (value.ItemType != TWTY_UINT16) return FailSource(TWCC_BADVALUE);
            QString mode = value.Item == TWPT_RGB    ? s.device->ColourMode()
                           : value.Item == TWPT_GRAY ? s.device->GrayMode()
                           : value.Item == TWPT_BW   ? s.device->LineartMode()
                                                     : QString();
            if (mode.isEmpty()) return FailSource(TWCC_BADVALUE);
            s.settings.mode = mode;
            return TWRC_SUCCESS;
        }
        case ICAP_XRESOLUTION:
        case ICAP_YRESOLUTION: {
            if (value.ItemType != TWTY_FIX32 || !s.device->HasResolution()) return FailSource(TWCC_BADVALUE);
            double wanted = FromFix32(ItemFix32(value.Item));
            if (wanted <= 0) return FailSource(TWCC_BADVALUE);
            s.settings.dpi = s.device->ClampDpi(wanted);
            // A value the device does not have is replaced by the nearest.
            return std::fabs(s.settings.dpi - wanted) < 1e-3 ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
        }
        default: return FailSource(TWCC_CAPUNSUPPORTED);
        }
    }

    void ShowDialog(QWidget* parent, bool modal) {
        OpenSource& s = *source_;
        s.dialog = new SourceDialog(parent ? parent : parent_.data(), s.info, s.device->Options(), s.settings);
        s.dialog->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
        QObject::connect(s.dialog, &SourceDialog::ScanRequested, [this] {
            if (!source_ || source_->state != 5) return;
            source_->settings = source_->dialog->Settings();
            Remember(source_->info.name, source_->settings);
            StartScan(false);
        });
        QObject::connect(s.dialog, &SourceDialog::PreviewRequested, [this] {
            if (source_ && source_->state == 5) StartScan(true);
        });
        QObject::connect(s.dialog, &SourceDialog::CancelRequested, [this] {
            if (!source_ || source_->state != 5) return;
            StopWorker();
            // An image the worker finished meanwhile is not wanted any more.
            ++source_->session;
            Post(MSG_CLOSEDSREQ, nullptr, {});
        });
        s.dialog->show();
    }

    void Post(TW_UINT16 message, globalmem::HGLOBAL image, QString error) {
        QCoreApplication::postEvent(source_->relay.get(),
                                    new SourceEvent(source_->session, message, image, std::move(error)));
    }

    // The scan (or the preview of the glass for the source's window) runs
    // on a worker thread; its outcome comes back as an event.
    // Long by design, see docs/COMPLEXITY.md: the scan's settings in TWAIN's order.
    // NOLINTNEXTLINE(readability-function-cognitive-complexity)
    void StartScan(bool preview) {
        OpenSource& s = *source_;
        StopWorker();
        if (s.dialog) s.dialog->SetScanning(true, preview ? "Previewing ..." : "Scanning ...");
        ++s.session;
        s.worker = std::thread([device = s.device.get(), settings = s.settings, relay = s.relay.get(),
                                session = s.session, showUI = s.showUI, preview] {
            // Backends hand the data over through pipes from reader threads
            // made here, which inherit this mask: a reader writing into a
            // pipe closed by a cancel gets an error, not a SIGPIPE that
            // would end the program.
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
            globalmem::HGLOBAL image = nullptr;
            QString error;
            if (preview) {
                QImage glass;
                try {
                    glass = device->Preview();
                } catch (const SaneCancelled&) {
                    return;
                } catch (const std::exception& e) {
                    error = QString("The preview failed: %1.").arg(QString::fromLocal8Bit(e.what()));
                }
                QCoreApplication::postEvent(relay, new SourceEvent(session, MSG_NULL, nullptr, error, glass));
                return;
            }
            try {
                // The bitmap is packed band by band while the scan comes in;
                // an image that cannot come in bands is packed at the end.
                NativeBlock block;
                bool noMemory = false;
                QImage whole = device->Scan(settings, [&](const QImage& band, int firstRow, int height) {
                    if (!block.Started() && !noMemory && !block.Start(band, height)) noMemory = true;
                    if (block.Started()) block.Put(band, firstRow);
                });
                image = whole.isNull() ? block.Release() : PackNative(whole);
                if (!image) error = "Not enough memory for the image.";
            } catch (const SaneCancelled&) {
                return;
            } catch (const std::exception& e) {
                error = QString("The scan failed: %1.").arg(QString::fromLocal8Bit(e.what()));
            }
            TW_UINT16 message = image ? MSG_XFERREADY : MSG_NULL;
            // Without its window the source has nobody to tell; it asks to be closed.
            if (!image && !showUI) {
                std::fprintf(stderr, "TWAIN: %s\n", error.toLocal8Bit().constData());
                message = MSG_CLOSEDSREQ;
            }
            QCoreApplication::postEvent(relay, new SourceEvent(session, message, image, error));
        });
    }

    // An event of the current scan of the open source: its TWAIN message.
    TW_UINT16 ProcessEvent(TW_EVENT& event) {
        event.TWMessage = MSG_NULL;
        auto* e = static_cast<QEvent*>(event.pEvent);
        if (!e || e->type() != kSourceEventType) return TWRC_NOTDSEVENT;
        auto* se = static_cast<SourceEvent*>(e);
        OpenSource& s = *source_;
        if (se->Session != s.session || se->Done || s.state != 5) return TWRC_NOTDSEVENT;
        se->Done = true;
        if (se->Message == MSG_XFERREADY) {
            s.pending = se->Image;
            se->Image = nullptr;
            s.state = 6;
        } else {
            ShowInWindow(*se);
        }
        event.TWMessage = se->Message;
        return TWRC_DSEVENT;
    }

    // An event that reached the source without passing MSG_PROCESSEVENT:
    // only the source's own window acts on it.
    void OnRelayedEvent(SourceEvent* e) {
        if (!source_ || e->Done || e->Session != source_->session) return;
        e->Done = true;
        ShowInWindow(*e);
    }

    // A preview, or an error, for the source's window.
    void ShowInWindow(const SourceEvent& e) {
        if (e.Message != MSG_NULL || !source_->dialog) return;
        if (e.Error.isEmpty()) source_->dialog->ShowPreview(e.Preview);
        else
            source_->dialog->ShowError(e.Error);
    }

    bool open_ = false;
    TW_UINT32 appId_ = 0;
    QPointer<QWidget> parent_;
    SaneLibrary sane_;
    std::vector<DeviceInfo> devices_;
    bool enumerated_ = false;
    size_t next_ = 0;
    std::map<std::string, TW_UINT32> ids_;
    TW_UINT32 nextId_ = 1;
    TW_UINT16 managerCondition_ = TWCC_SUCCESS, sourceCondition_ = TWCC_SUCCESS;
    std::unique_ptr<OpenSource> source_;
};

// The manager lives from the first call to the closing of the connection.
// One still open when the library goes at process end is left alone: its
// windows would outlive the application object.
struct Holder {
    std::unique_ptr<Manager> manager;
    ~Holder() {
        if (manager && manager->Open() && !QCoreApplication::instance()) (void)manager.release();
    }
};
Holder g_holder;

}  // namespace

TW_UINT16 Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    try {
        if (!g_holder.manager) g_holder.manager = std::make_unique<Manager>();
        return g_holder.manager->Call(origin, dest, dg, dat, msg, data);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "TWAIN: %s\n", e.what());
        return g_holder.manager ? g_holder.manager->Bummer() : TWRC_FAILURE;
    }
}

}  // namespace twaindsm
