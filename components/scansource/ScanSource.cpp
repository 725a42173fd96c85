#include "components/scansource/ScanSource.h"

#include "platform/dib/dib.h"
#include "platform/module/module.h"
#include "platform/profile/profile.h"

#include <QApplication>
#include <QCursor>
#include <QMainWindow>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <iterator>
#include <system_error>

namespace {

// The profile entry in which the manager keeps the default source.
constexpr const char* kProfileSection = "TWAIN";
constexpr const char* kProfileKey = "DEFAULT SOURCE";

// The TWAIN codes behind the enumerations, in the enumerations' order.
constexpr TW_UINT16 kLanguageCodes[] = {1, 2, 5, 6, 13, 8, 11, 9, 4, 0, 78, 10, 12, 75, 63, 85};
constexpr TW_UINT16 kCountryCodes[] = {31, 6, 33, 49, 1, 34, 39, 45, 358, 47, 7, 351, 46, 48, 30, 90};
constexpr TW_UINT16 kTransferCodes[] = {TWSX_NATIVE, TWSX_MEMORY, TWSX_FILE};

// The enumeration member of a TWAIN code; `unknown` when no member has it.
template <size_t N>
int MemberOf(const TW_UINT16 (&codes)[N], TW_UINT16 code, int unknown) {
    auto it = std::find(std::begin(codes), std::end(codes), code);
    return it == std::end(codes) ? unknown : static_cast<int>(it - std::begin(codes));
}

template <size_t N>
void Store(char (&field)[N], const AnsiString& value) {
    std::memset(field, 0, N);
    // A TW_STR32 holds 32 characters and the terminating zero (its 34th
    // byte only pads); a TW_STR255 holds 255.
    constexpr size_t kept = N == 34 ? 32 : N - 1;
    std::memcpy(field, value.data(), std::min(value.size(), kept));
}

template <size_t N>
AnsiString Read(const char (&field)[N]) {
    return AnsiString(field, strnlen(field, N));
}

[[noreturn]] void Assert(const char* text) { throw EAssertionFailed(text); }

AnsiString HexCode(const char* pattern, const AnsiString& operation, unsigned code) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.04x", code);
    AnsiString text = ansi::Format(pattern, operation);
    size_t at = text.find("%.04x");
    if (at != AnsiString::npos) text.replace(at, 5, digits);
    return text;
}

AnsiString g_driverFolder = SANE_BACKEND_DIR;

}  // namespace

TScanSource::TScanSource(QObject* owner) : QObject(owner) {
    destination_ = TWSX_NATIVE;
    fileFormat_ = 2;  // TWFF_BMP
    Store(filename_, "C:\\TWAIN.BMP");
    appId_.Version.MajorNum = 1;
    appId_.Version.MinorNum = 0;
    appId_.Version.Language = 13;  // TWLG_USA
    appId_.Version.Country = 1;    // TWCY_USA
    Store(appId_.Version.Info, "Twain component");
    appId_.ProtocolMajor = 1;
    appId_.ProtocolMinor = 7;
    appId_.SupportedGroups = DG_SUPPORTED;
    Store(appId_.Manufacturer, "Varnholt");
    Store(appId_.ProductFamily, "Varnholt Components");
    Store(appId_.ProductName, "TScanSource");
}

TScanSource::~TScanSource() {
    // Each step is tried whatever the one before it did: the component goes
    // in any case, and with it the hook into the application.
    auto attempt = [](auto step) {
        try {
            step();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "TScanSource: %s\n", e.what());
        }
    };
    if (sourceEnabled_) attempt([this] { DisableDataSource(); });
    if (sourceOpen_) attempt([this] { CloseDataSource(); });
    sourceEnabled_ = sourceOpen_ = false;
    if (managerOpen_) attempt([this] { CloseDataSourceManager(); });
    fUnloadTwain();
    attempt([this] { RestoreDefaultSourceEntry(); });
    if (filterInstalled_) messagefilter::SetOnMessage(previousFilter_);
}

// ---- Properties

TScanSource::TTransferType TScanSource::Destination() const {
    return static_cast<TTransferType>(MemberOf(kTransferCodes, destination_, xfNative));
}
void TScanSource::SetDestination(TTransferType value) { destination_ = kTransferCodes[value]; }

AnsiString TScanSource::Productname() const { return Read(appId_.ProductName); }
void TScanSource::SetProductname(const AnsiString& value) { Store(appId_.ProductName, value); }
AnsiString TScanSource::Manufacturer() const { return Read(appId_.Manufacturer); }
void TScanSource::SetManufacturer(const AnsiString& value) { Store(appId_.Manufacturer, value); }
AnsiString TScanSource::ProductFamily() const { return Read(appId_.ProductFamily); }
void TScanSource::SetProductFamily(const AnsiString& value) { Store(appId_.ProductFamily, value); }
AnsiString TScanSource::VersionInfo() const { return Read(appId_.Version.Info); }
void TScanSource::SetVersionInfo(const AnsiString& value) { Store(appId_.Version.Info, value); }
AnsiString TScanSource::Filename() const { return Read(filename_); }
void TScanSource::SetFilename(const AnsiString& value) { Store(filename_, value); }

TScanSource::TLanguageType TScanSource::Language() const {
    return static_cast<TLanguageType>(MemberOf(kLanguageCodes, appId_.Version.Language, lgDutch));
}
void TScanSource::SetLanguage(TLanguageType value) { appId_.Version.Language = kLanguageCodes[value]; }

TScanSource::TCountryType TScanSource::Country() const {
    return static_cast<TCountryType>(MemberOf(kCountryCodes, appId_.Version.Country, ctNetherlands));
}
void TScanSource::SetCountry(TCountryType value) { appId_.Version.Country = kCountryCodes[value]; }

TScanSource::TImageType TScanSource::FileFormat() const {
    return fileFormat_ <= ffEXIF ? static_cast<TImageType>(fileFormat_) : ffUNKNOWN;
}
void TScanSource::SetFileFormat(TImageType value) { fileFormat_ = static_cast<TW_UINT16>(value); }

Qt::CursorShape TScanSource::Cursor() const {
    const QCursor* c = QGuiApplication::overrideCursor();
    return c ? c->shape() : Qt::ArrowCursor;
}

void TScanSource::SetCursor(Qt::CursorShape value) {
    if (QGuiApplication::overrideCursor()) {
        if (value == Qt::ArrowCursor) QGuiApplication::restoreOverrideCursor();
        else
            QGuiApplication::changeOverrideCursor(QCursor(value));
    } else if (value != Qt::ArrowCursor) {
        QGuiApplication::setOverrideCursor(QCursor(value));
    }
}

// ---- Loading the manager

QWidget* TScanSource::MainWindow() const {
    // The top of the owner's window chain, else the application's main window.
    for (QObject* o = parent(); o; o = o->parent())
        if (auto* w = qobject_cast<QWidget*>(o)) {
            while (w->parentWidget()) w = w->parentWidget();
            return w;
        }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w)) return w;
    return nullptr;
}

bool TScanSource::fLoadTwain() {
    if (library_) return true;
    AnsiString exe = module::ExecutablePath();
    size_t slash = exe.rfind('/');
    if (slash != AnsiString::npos)
        library_ = dlopen((exe.substr(0, slash + 1) + kTwainLibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) library_ = dlopen(kTwainLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library_) return false;
    entry_ = reinterpret_cast<DSMENTRYPROC>(dlsym(library_, kDsmEntryName));
    return true;
}

void TScanSource::fUnloadTwain() {
    entry_ = nullptr;
    if (library_) dlclose(library_);
    library_ = nullptr;
}

void TScanSource::InitTWAIN() {
    QWidget* window = MainWindow();
    parent_ = window;
    appId_.Id = static_cast<TW_UINT32>(reinterpret_cast<uintptr_t>(window));
    fLoadTwain();
    if (!filterInstalled_) {
        previousFilter_ = messagefilter::OnMessage();
        messagefilter::SetOnMessage([this](QObject* receiver, QEvent* message, bool& handled) {
            fNewOnMessageHandler(receiver, message, handled);
        });
        filterInstalled_ = true;
    }
    OpenDataSourceManager();
}

// ---- Calls and checks

TW_UINT16 TScanSource::CallDataSourceManager(pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                             TW_MEMREF data) {
    if (!entry_) Assert("Assertion failure");
    return entry_(&appId_, dest, dg, dat, msg, data);
}

TW_UINT16 TScanSource::CallDataSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return CallDataSourceManager(&sourceId_, dg, dat, msg, data);
}

AnsiString TScanSource::Condition2String(TW_UINT16 condition) {
    switch (condition) {
    case TWCC_SUCCESS: return "Operation was succesful.";
    case TWCC_BUMMER: return "General failure. Unload Source immediately.";
    case TWCC_LOWMEMORY: return "Not enough memory to complete the operation.";
    case TWCC_NODS: return "Data Source Manager was unable to find the specified Data Source.";
    case TWCC_MAXCONNECTIONS: return "Data Source is connected to maximum supported number of \r\napplications.";
    case TWCC_OPERATIONERROR:
        return "Data Source or Data Source Manager reported an error to the\r\nuser and handled the error. No "
               "application action required.";
    case TWCC_BADCAP:
        return "Capability not supported by source or operation (get,\r\nset) is not supported on capability, or "
               "capability had\r\ndependencies on other capabilities and cannot be\r\noperated upon at this time";
    case TWCC_BADPROTOCOL: return "Unrecognized operation triplet.";
    case TWCC_BADVALUE: return "Data parameter out of supported range.";
    case TWCC_SEQERROR: return "Illegal operation for current Data Source Manager\r\nand Data Source state.";
    case TWCC_BADDEST: return "Unknown destination in DSM_Entry.";
    case TWCC_CAPUNSUPPORTED: return "Capability not supported by Data Source.";
    case TWCC_CAPBADOPERATION: return "Operation not supported on capability.";
    case TWCC_CAPSEQERROR:
        return "Capability has dependencies on other capabilities and \r\ncannot be operated upon at this time.";
    case TWCC_DENIED: return "File System operation is denied (file is protected).";
    case TWCC_FILEEXISTS: return "Operation failed because file already exists.";
    case TWCC_FILENOTFOUND: return "File not found.";
    case TWCC_NOTEMPTY: return "Operation failed because directory is not empty.";
    case TWCC_PAPERJAM:
    case TWCC_PAPERDOUBLEFEED: return "Transfer failed because of a feeder error";
    default: return HexCode("Unknown condition %.04x", "", condition);
    }
}

void TScanSource::RaiseLastDataSourceManagerCondition(const AnsiString& operation) {
    TW_STATUS status{};
    if (CallDataSourceManager(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS)
        throw ETwainError("Unable to get the status");
    throw ETwainError(ansi::Format("Data Source Manager error in module %s:\r\n", operation) +
                      Condition2String(status.ConditionCode));
}

void TScanSource::RaiseLastDataSourceCondition(const AnsiString& operation) {
    TW_STATUS status{};
    if (CallDataSource(DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS)
        throw ETwainError("Unable to get the status");
    throw ETwainError(ansi::Format("Data Source Manager error in module %s:\r\n", operation) +
                      Condition2String(status.ConditionCode));
}

void TScanSource::TwainCheckDataSourceManager(TW_UINT16 code, const AnsiString& operation) {
    if (code == TWRC_SUCCESS) return;
    if (code == TWRC_FAILURE) RaiseLastDataSourceManagerCondition(operation);
    throw ETwainError(HexCode("A call to the Data Source Manager failed in module %s: Code %.04x", operation, code));
}

void TScanSource::TwainCheckDataSource(TW_UINT16 code, const AnsiString& operation) {
    if (code == TWRC_SUCCESS) return;
    if (code == TWRC_FAILURE) RaiseLastDataSourceCondition(operation);
    throw ETwainError(HexCode("A call to the Data Source Manager failed in module %s: Code %.04x", operation, code));
}

// ---- States

void TScanSource::OpenDataSourceManager() {
    if (managerOpen_) return;
    if (!parent_) Assert("Assertion failure");
    if (!fLoadTwain()) throw ETwainError(AnsiString("Unable to load or find: ") + kTwainLibraryName);
    appId_.ProtocolMajor = 1;
    appId_.ProtocolMinor = 7;
    appId_.SupportedGroups = DG_SUPPORTED;
    TW_HANDLE parent = parent_;
    TwainCheckDataSourceManager(CallDataSourceManager(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent),
                                "OpenDataSourceManager");
    managerOpen_ = true;
}

void TScanSource::CloseDataSourceManager() {
    if (sourceOpen_) throw ETwainError("Unable to close the Data Source Manager. Maybe a source is still in use");
    if (managerOpen_) {
        TW_HANDLE parent = parent_;
        TwainCheckDataSourceManager(CallDataSourceManager(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent),
                                    "CloseDataSourceManager");
        managerOpen_ = false;
    }
    fUnloadTwain();
    if (savedDefault_) RestoreDefaultSourceEntry();
}

void TScanSource::OpenDataSource() {
    if (!managerOpen_) Assert("Data Source Manager must be open");
    if (sourceOpen_) return;
    TwainCheckDataSourceManager(CallDataSourceManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &sourceId_),
                                "OpenDataSource");
    sourceOpen_ = true;
}

void TScanSource::CloseDataSource() {
    if (!managerOpen_) Assert("Data Source Manager must be open");
    if (!sourceOpen_) return;
    TwainCheckDataSourceManager(CallDataSourceManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &sourceId_),
                                "CloseDataSource");
    sourceOpen_ = false;
}

void TScanSource::EnableDataSource() {
    if (!sourceOpen_) Assert("Data Source must be open");
    if (sourceEnabled_) return;
    TW_USERINTERFACE ui{};
    ui.ShowUI = showUI_;
    ui.ModalUI = 1;
    ui.hParent = parent_;
    TwainCheckDataSource(CallDataSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), "EnableDataSource");
    sourceEnabled_ = true;
}

void TScanSource::DisableDataSource() {
    if (!sourceOpen_) Assert("Data Source must be open");
    if (!sourceEnabled_) return;
    TW_USERINTERFACE ui{};
    ui.ShowUI = 1;
    ui.ModalUI = 1;
    ui.hParent = parent_;
    TwainCheckDataSource(CallDataSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), "DisableDataSource");
    sourceEnabled_ = false;
}

// ---- Choosing the source and the default source entry

void TScanSource::SelectDataSource() {
    SaveDefaultSourceEntry();
    if (sourceOpen_) Assert("Data Source must be closed");
    TW_IDENTITY chosen{};
    TwainCheckDataSourceManager(CallDataSourceManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &chosen),
                                "SelectDataSource1");
    TW_UINT16 rc = CallDataSourceManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen);
    if (rc == TWRC_SUCCESS) sourceId_ = chosen;
    else if (rc != TWRC_CANCEL)
        TwainCheckDataSourceManager(rc, "SelectDataSource2");
}

void TScanSource::SaveDefaultSourceEntry() {
    if (savedDefault_) return;
    savedDefault_ = profile::FindProfileString(kProfileSection, kProfileKey);
}

void TScanSource::RestoreDefaultSourceEntry() {
    if (!savedDefault_) return;
    std::optional<AnsiString> saved = *savedDefault_;
    savedDefault_.reset();
    // An entry that was not there before goes again.
    if (saved) profile::WriteProfileString(kProfileSection, kProfileKey, *saved);
    else
        profile::DeleteProfileKey(kProfileSection, kProfileKey);
}

// ---- Acquiring

void TScanSource::Acquire(QImage& target) {
    target_ = &target;
    OpenDataSourceManager();
    OpenDataSource();
    XferMech();
    EnableDataSource();
}

void TScanSource::XferMech() {
    SetDestination(xfNative);
    TwainCheckDataSource(
        scansource::SetOneValue(
            [this](TW_CAPABILITY& cap) { return CallDataSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap); },
            ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE),
        "XferMech");
}

void TScanSource::fNewOnMessageHandler(QObject* receiver, QEvent* message, bool& handled) {
    handled = ProcessSourceMessage(message);
    if (previousFilter_) previousFilter_(receiver, message, handled);
}

bool TScanSource::ProcessSourceMessage(QEvent* message) {
    if (!managerOpen_ || !sourceOpen_) return false;
    TW_EVENT event{};
    event.pEvent = message;
    event.TWMessage = MSG_NULL;
    TW_UINT16 rc = CallDataSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    if (event.TWMessage == MSG_XFERREADY) {
        // A failed transfer still ends the acquisition: the source is closed
        // and OnScanReady raised before the error goes on.
        std::exception_ptr failure;
        try {
            switch (Destination()) {
            case xfNative: fNativeXfer(); break;
            case xfMemory: fMemoryXfer(); break;
            case xfFile: fFileXfer(); break;
            }
        } catch (...) {
            failure = std::current_exception();
        }
        TW_PENDINGXFERS pending{};
        TwainCheckDataSource(CallDataSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending),
                             "Check for Pending Transfers");
        if (pending.Count != 0)
            TwainCheckDataSource(CallDataSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending),
                                 "Abort Pending Transfers");
        DisableDataSource();
        CloseDataSource();
        ScanReady();
        if (failure) std::rethrow_exception(failure);
    } else if (event.TWMessage == MSG_CLOSEDSREQ || event.TWMessage == MSG_CLOSEDSOK) {
        DisableDataSource();
        CloseDataSource();
        ScanReady();
    }
    // Only the source's own events are taken from the application; a
    // refused call (a source that is open but not enabled) takes nothing.
    return rc == TWRC_DSEVENT;
}

bool TScanSource::fNativeXfer() {
    TW_HANDLE handle = nullptr;
    TW_UINT16 rc = CallDataSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (rc == TWRC_FAILURE) RaiseLastDataSourceManagerCondition("Native Transfer");
    if (rc != TWRC_XFERDONE) return false;
    struct Release {
        TW_HANDLE h;
        ~Release() { globalmem::GlobalFree(h); }
    } release{handle};
    QImage image = scansource::ImageFromNativeBlock(handle);
    if (target_) *target_ = std::move(image);
    return true;
}

bool TScanSource::fMemoryXfer() {
    return CallDataSource(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, nullptr) == TWRC_XFERDONE;
}

bool TScanSource::fFileXfer() { return CallDataSource(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr) == TWRC_XFERDONE; }

void TScanSource::ScanReady() {
    if (OnScanReady) OnScanReady(this);
}

bool TScanSource::IsTwainDriverAvailable() {
    // The scanner drivers are SANE's backends; the "dll" backend only
    // passes on to the others.
    std::error_code ec;
    std::filesystem::recursive_directory_iterator it(g_driverFolder,
                                                     std::filesystem::directory_options::skip_permission_denied, ec),
        end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        AnsiString name = ansi::UpperCase(it->path().filename().string());
        if (name.rfind("LIBSANE-", 0) == 0 && name.find(".SO") != AnsiString::npos &&
            name.rfind("LIBSANE-DLL.", 0) != 0)
            return true;
    }
    return false;
}

namespace scansource {

QImage ImageFromNativeBlock(globalmem::HGLOBAL block) {
    const auto* bytes = static_cast<const std::uint8_t*>(globalmem::GlobalLock(block));
    if (!bytes) throw ETwainError("The image from the source is not a bitmap");
    struct Unlock {
        globalmem::HGLOBAL h;
        ~Unlock() { globalmem::GlobalUnlock(h); }
    } unlock{block};
    QImage image;
    try {
        // Every size in the header is checked against the block's own.
        image = dib::Unpack({bytes, globalmem::GlobalSize(block)});
    } catch (const EInvalidGraphic& e) {
        throw ETwainError(e.Message);
    }
    // A bitmap the screen can show as it is.
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
    return image;
}

TW_UINT16 SetOneValue(const std::function<TW_UINT16(TW_CAPABILITY&)>& set, TW_UINT16 capability, TW_UINT16 itemType,
                      TW_UINT32 item) {
    globalmem::HGLOBAL container = globalmem::GlobalAlloc(globalmem::GHND, sizeof(TW_ONEVALUE));
    if (!container) Assert("Assertion failure");
    auto* value = static_cast<TW_ONEVALUE*>(globalmem::GlobalLock(container));
    if (!value) {
        globalmem::GlobalFree(container);
        Assert("Assertion failure");
    }
    value->ItemType = itemType;
    value->Item = item;
    globalmem::GlobalUnlock(container);
    TW_CAPABILITY cap{capability, TWON_ONEVALUE, container};
    TW_UINT16 rc = set(cap);
    globalmem::GlobalFree(container);
    return rc;
}

namespace test {
void SetDriverFolder(const AnsiString& folder) { g_driverFolder = folder; }
}  // namespace test

}  // namespace scansource
