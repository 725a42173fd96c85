#pragma once
// TScanSource: acquires one image from a scanner through TWAIN 1.7. It loads
// the source manager library, lets the user choose the source, opens and
// enables it (with or without the source's own window), takes the image by
// the native transfer into the caller's bitmap, and raises OnScanReady once
// the source is closed again. The image arrives through the application's
// message filter, which the component hooks while the manager is loaded.

#include "platform/ansi/ansi.h"
#include "platform/errors/Exception.h"
#include "platform/globalmem/GlobalMemory.h"
#include "platform/messagefilter/MessageFilter.h"
#include "platform/twaindsm/Twain.h"

#include <QImage>
#include <QObject>
#include <functional>
#include <optional>

class QWidget;

// An error of the source manager or of a source.
class ETwainError : public Exception {
    using Exception::Exception;
};

// The source manager's library file: next to the executable, else on the
// library path.
inline constexpr const char* kTwainLibraryName = "libtwain_32.so";

class TScanSource : public QObject {
    Q_OBJECT
public:
    enum TTransferType { xfNative, xfMemory, xfFile };
    Q_ENUM(TTransferType)
    enum TLanguageType {
        lgDutch,
        lgEnglish,
        lgFrench,
        lgGerman,
        lgAmerican,
        lgItalian,
        lgSpanish,
        lgNorwegian,
        lgFinnish,
        lgDanish,
        lgRussian,
        lgPortuguese,
        lgSwedish,
        lgPolish,
        lgGreek,
        lgTurkish
    };
    Q_ENUM(TLanguageType)
    enum TCountryType {
        ctNetherlands,
        ctEngland,
        ctFrance,
        ctGermany,
        ctUSA,
        ctSpain,
        ctItaly,
        ctDenmark,
        ctFinland,
        ctNorway,
        ctRussia,
        ctPortugal,
        ctSweden,
        ctPoland,
        ctGreece,
        ctTurkey
    };
    Q_ENUM(TCountryType)
    enum TImageType { ffTIFF, ffPICT, ffBMP, ffXBM, ffJFIF, ffFPX, ffTIFFMULTI, ffPNG, ffSPIFF, ffEXIF, ffUNKNOWN };
    Q_ENUM(TImageType)

private:
    Q_PROPERTY(TTransferType Destination READ Destination WRITE SetDestination)
    Q_PROPERTY(std::string Productname READ Productname WRITE SetProductname)
    Q_PROPERTY(std::string Manufacturer READ Manufacturer WRITE SetManufacturer)
    Q_PROPERTY(std::string ProductFamily READ ProductFamily WRITE SetProductFamily)
    Q_PROPERTY(TLanguageType Language READ Language WRITE SetLanguage)
    Q_PROPERTY(TCountryType Country READ Country WRITE SetCountry)
    Q_PROPERTY(bool ShowUI READ ShowUI WRITE SetShowUI)
    Q_PROPERTY(Qt::CursorShape Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(TImageType FileFormat READ FileFormat WRITE SetFileFormat)
    Q_PROPERTY(std::string Filename READ Filename WRITE SetFilename)
    Q_PROPERTY(std::string VersionInfo READ VersionInfo WRITE SetVersionInfo)
    Q_PROPERTY(ushort VersionMajor READ VersionMajor WRITE SetVersionMajor)
    Q_PROPERTY(ushort VersionMinor READ VersionMinor WRITE SetVersionMinor)

public:
    explicit TScanSource(QObject* owner = nullptr);
    ~TScanSource() override;

    // Properties. Texts are kept in TWAIN's fixed fields: 32 characters
    // (255 for Filename), longer ones cut.
    TTransferType Destination() const;
    void SetDestination(TTransferType value);
    AnsiString Productname() const;
    void SetProductname(const AnsiString& value);
    AnsiString Manufacturer() const;
    void SetManufacturer(const AnsiString& value);
    AnsiString ProductFamily() const;
    void SetProductFamily(const AnsiString& value);
    TLanguageType Language() const;
    void SetLanguage(TLanguageType value);
    TCountryType Country() const;
    void SetCountry(TCountryType value);
    bool ShowUI() const { return showUI_; }
    void SetShowUI(bool value) { showUI_ = value; }
    // The application's screen cursor.
    Qt::CursorShape Cursor() const;
    void SetCursor(Qt::CursorShape value);
    TImageType FileFormat() const;
    void SetFileFormat(TImageType value);
    AnsiString Filename() const;
    void SetFilename(const AnsiString& value);
    AnsiString VersionInfo() const;
    void SetVersionInfo(const AnsiString& value);
    ushort VersionMajor() const { return appId_.Version.MajorNum; }
    void SetVersionMajor(ushort value) { appId_.Version.MajorNum = value; }
    ushort VersionMinor() const { return appId_.Version.MinorNum; }
    void SetVersionMinor(ushort value) { appId_.Version.MinorNum = value; }

    // Raised after every acquisition, once the source is closed again.
    std::function<void(TScanSource* sender)> OnScanReady;

    // Operations.
    void InitTWAIN();
    void SelectDataSource();
    void Acquire(QImage& target);
    void OpenDataSourceManager();
    void CloseDataSourceManager();
    void OpenDataSource();
    void CloseDataSource();
    void EnableDataSource();
    void DisableDataSource();
    bool IsDataSourceManagerOpen() const { return managerOpen_; }
    bool IsDataSourceOpen() const { return sourceOpen_; }
    bool IsDataSourceEnabled() const { return sourceEnabled_; }
    void XferMech();
    // Gives an event of the application to the open source; true when it
    // was the source's.
    bool ProcessSourceMessage(QEvent* message);
    bool IsTwainDriverAvailable();
    void SaveDefaultSourceEntry();
    void RestoreDefaultSourceEntry();
    static AnsiString Condition2String(TW_UINT16 condition);
    void TwainCheckDataSourceManager(TW_UINT16 code, const AnsiString& operation);
    void TwainCheckDataSource(TW_UINT16 code, const AnsiString& operation);
    [[noreturn]] void RaiseLastDataSourceManagerCondition(const AnsiString& operation);
    [[noreturn]] void RaiseLastDataSourceCondition(const AnsiString& operation);
    TW_UINT16 CallDataSourceManager(pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 CallDataSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    virtual void ScanReady();

    // The identities as the manager sees them.
    const TW_IDENTITY& AppIdentity() const { return appId_; }
    const TW_IDENTITY& SourceIdentity() const { return sourceId_; }

private:
    bool fLoadTwain();
    void fUnloadTwain();
    bool fNativeXfer();
    bool fMemoryXfer();
    bool fFileXfer();
    void fNewOnMessageHandler(QObject* receiver, QEvent* message, bool& handled);
    QWidget* MainWindow() const;

    TW_IDENTITY appId_{};
    TW_IDENTITY sourceId_{};
    TW_HANDLE parent_ = nullptr;
    TW_UINT16 destination_;
    TW_UINT16 fileFormat_;
    TW_STR255 filename_{};
    bool showUI_ = true;
    void* library_ = nullptr;
    DSMENTRYPROC entry_ = nullptr;
    bool managerOpen_ = false, sourceOpen_ = false, sourceEnabled_ = false;
    QImage* target_ = nullptr;
    // The profile's default source as it was before the first selection;
    // an empty optional inside: there was none.
    std::optional<std::optional<AnsiString>> savedDefault_;
    messagefilter::MessageHandler previousFilter_;
    bool filterInstalled_ = false;
};

namespace scansource {
// The image a native transfer's block holds (a packed device-independent
// bitmap), as a screen-compatible bitmap. Every size in the block is checked
// against the block's size before a pixel is read; raises ETwainError for a
// block that does not hold a whole bitmap.
QImage ImageFromNativeBlock(globalmem::HGLOBAL block);

// Sets a capability to one value: a TW_ONEVALUE container in a global block
// for the duration of the `set` call, which makes the DAT_CAPABILITY /
// MSG_SET call and returns its code. No memory for the container is a
// failed assertion.
TW_UINT16 SetOneValue(const std::function<TW_UINT16(TW_CAPABILITY&)>& set, TW_UINT16 capability, TW_UINT16 itemType,
                      TW_UINT32 item);

namespace test {
// The folder IsTwainDriverAvailable searches (the SANE backends' folder).
void SetDriverFolder(const AnsiString& folder);
}  // namespace test
}  // namespace scansource
