// The source manager library against SANE's "test" backend: its states and
// codes, the sources it lists, the default source, the selection dialog,
// the source's window and scans compared with what SANE's own scanimage
// makes of the same page; and the scanner component acquiring through it.

#include "components/scansource/ScanSource.h"
#include "platform/dib/dib.h"
#include "platform/files/files.h"
#include "platform/globalmem/GlobalMemory.h"
#include "platform/messagefilter/MessageFilter.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "platform/twaindsm/Twain.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>

using namespace testsupport;

namespace {

// One connection to the manager, as an application makes it.
class Dsm {
public:
    explicit Dsm(DSMENTRYPROC entry) : entry_(entry) {
        app_.ProtocolMajor = 1;
        app_.ProtocolMinor = 7;
        app_.SupportedGroups = DG_SUPPORTED;
        std::strcpy(app_.ProductName, "Manager test");
    }
    TW_UINT16 Call(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        return entry_(&app_, dest, dg, dat, msg, data);
    }
    TW_UINT16 Open(QWidget* parent) {
        TW_HANDLE h = parent;
        return Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &h);
    }
    TW_UINT16 Close() {
        TW_HANDLE h = nullptr;
        return Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &h);
    }
    TW_UINT16 Identity(TW_UINT16 msg, TW_IDENTITY& id) { return Call(nullptr, DG_CONTROL, DAT_IDENTITY, msg, &id); }
    TW_UINT16 Source(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        return Call(&source, dg, dat, msg, data);
    }
    TW_UINT16 Enable(bool showUI, QWidget* parent) {
        TW_USERINTERFACE ui{static_cast<TW_BOOL>(showUI), 1, parent};
        return Source(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }
    TW_UINT16 Disable() {
        TW_USERINTERFACE ui{1, 1, nullptr};
        return Source(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    TW_UINT16 SetCap(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 item) {
        return scansource::SetOneValue(
            [this](TW_CAPABILITY& c) { return Source(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &c); }, cap, type, item);
    }
    TW_UINT16 ManagerCondition() {
        TW_STATUS s{};
        Call(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &s);
        return s.ConditionCode;
    }
    TW_UINT16 SourceCondition() {
        TW_STATUS s{};
        Source(DG_CONTROL, DAT_STATUS, MSG_GET, &s);
        return s.ConditionCode;
    }

    TW_IDENTITY source{};

private:
    DSMENTRYPROC entry_;
    TW_IDENTITY app_{};
};

// What scanimage makes of the same page, as an image.
QImage ScanImage(const QStringList& options) {
    QProcess p;
    p.start("scanimage", QStringList{"-d", "test:0", "--format=pnm"} + options);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    QImage img;
    img.loadFromData(p.readAllStandardOutput(), "PNM");
    return img;
}

QString Name(const TW_STR32& s) { return QString::fromLatin1(s); }

// Runs the steps once the next modal dialog is up; true once they ran.
bool* WhenDialogShows(std::function<void(QDialog*)> steps) {
    auto* ran = new bool(false);
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        timer->stop();
        timer->deleteLater();
        steps(d);
        *ran = true;
    });
    timer->start();
    return ran;
}

}  // namespace

class TestTwainDsm : public QObject {
    Q_OBJECT

    void* library_ = nullptr;
    DSMENTRYPROC entry_ = nullptr;
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<Dsm> dsm_;
    // The TWAIN messages the source sent, as MSG_PROCESSEVENT answered them.
    QList<TW_UINT16> messages_;

    // Hands every event to the open source, as an application does.
    void PumpToSource() {
        messagefilter::SetOnMessage([this](QObject*, QEvent* e, bool& handled) {
            TW_EVENT ev{e, MSG_NULL};
            TW_UINT16 rc = dsm_->Source(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev);
            handled = rc == TWRC_DSEVENT;
            if (handled && ev.TWMessage != MSG_NULL) messages_ << ev.TWMessage;
        });
    }

    // Connection and source open, native mechanism chosen.
    void OpenSource() {
        QCOMPARE(dsm_->Open(window_.get()), TWRC_SUCCESS);
        QCOMPARE(dsm_->Identity(MSG_OPENDS, dsm_->source), TWRC_SUCCESS);
        QCOMPARE(dsm_->SetCap(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE), TWRC_SUCCESS);
    }

    // The image of a source that sent MSG_XFERREADY.
    QImage Transfer() {
        TW_HANDLE h = nullptr;
        if (dsm_->Source(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h) != TWRC_XFERDONE) return {};
        QImage img = dib::Unpack(
            {static_cast<const std::uint8_t*>(globalmem::GlobalLock(h)), globalmem::GlobalSize(h)});
        globalmem::GlobalUnlock(h);
        globalmem::GlobalFree(h);
        TW_PENDINGXFERS pending{};
        dsm_->Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        return img;
    }

    // The scanner component with this manager beside the program, acquiring
    // one page into the target without the source's window; `ready` counts
    // its ready events.
    TScanSource* AcquiringComponent(QImage& target, int& ready) {
        if (!QFile::copy(TWAIN_DSM_PATH, QString::fromStdString(InProgramDir(kTwainLibraryName)))) return nullptr;
        auto* twain = new TScanSource(window_.get());
        twain->OnScanReady = [&ready](TScanSource*) { ++ready; };
        twain->SetShowUI(false);
        twain->InitTWAIN();
        twain->Acquire(target);
        return twain;
    }

    // The source's window, up: enabled with its user interface.
    QDialog* SourceWindow() {
        if (dsm_->Enable(true, window_.get()) != TWRC_SUCCESS) return nullptr;
        auto* dialog = window_->findChild<QDialog*>("SourceDialog");
        if (dialog) dialog->show();
        return dialog;
    }

    static void SetArea(QDialog* d, double left, double top, double width, double height) {
        d->findChild<QDoubleSpinBox*>("LeftBox")->setValue(left);
        d->findChild<QDoubleSpinBox*>("TopBox")->setValue(top);
        d->findChild<QDoubleSpinBox*>("WidthBox")->setValue(width);
        d->findChild<QDoubleSpinBox*>("HeightBox")->setValue(height);
    }

    static QStringList Shown(QDialog* d) {
        QStringList shown{d->findChild<QComboBox*>("ModeBox")->currentText(),
                          QString::number(d->findChild<QSpinBox*>("ResolutionBox")->value())};
        for (const char* box : {"LeftBox", "TopBox", "WidthBox", "HeightBox"})
            shown << QString::number(d->findChild<QDoubleSpinBox*>(box)->value());
        return shown << d->findChild<QComboBox*>("SizeBox")->currentText();
    }

    void CloseAll() {
        dsm_->Disable();
        dsm_->Identity(MSG_CLOSEDS, dsm_->source);
        dsm_->Close();
    }

private slots:
    void initTestCase() {
        library_ = dlopen(TWAIN_DSM_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library_, dlerror());
        entry_ = reinterpret_cast<DSMENTRYPROC>(dlsym(library_, "DSM_Entry"));
        QVERIFY(entry_);
    }
    void init() {
        FreshSandbox();
        ConfigureSane({"number_of_devices 2", "test-picture \"Color pattern\""});
        window_ = std::make_unique<QWidget>();
        dsm_ = std::make_unique<Dsm>(entry_);
        messages_.clear();
    }
    void cleanup() {
        // Whatever a test left open is closed, so the next starts afresh.
        dsm_->Disable();
        dsm_->Identity(MSG_CLOSEDS, dsm_->source);
        dsm_->Close();
        messagefilter::SetOnMessage({});
        window_.reset();
    }

    // A call in the wrong state fails with a sequence error; the condition
    // is the manager's or the source's, by the call's destination.
    void stateRules_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("condition");
        QTest::addColumn<bool>("fromSource");
        QTest::newRow("close before open") << QStringList{"closedsm"} << int(TWCC_SEQERROR) << false;
        QTest::newRow("open twice") << QStringList{"opendsm", "opendsm"} << int(TWCC_SEQERROR) << false;
        QTest::newRow("source before the manager") << QStringList{"opends"} << int(TWCC_SEQERROR) << false;
        QTest::newRow("second source") << QStringList{"opendsm", "opends", "opends"} << int(TWCC_MAXCONNECTIONS)
                                       << false;
        QTest::newRow("enable a source not open") << QStringList{"opendsm", "enable"} << int(TWCC_BADDEST) << false;
        QTest::newRow("enable twice") << QStringList{"opendsm", "opends", "enable", "enable"} << int(TWCC_SEQERROR)
                                      << true;
        QTest::newRow("disable in state 4")
            << QStringList{"opendsm", "opends", "disable"} << int(TWCC_SEQERROR) << true;
        QTest::newRow("capability while enabled")
            << QStringList{"opendsm", "opends", "enable", "xfermech"} << int(TWCC_SEQERROR) << true;
        QTest::newRow("transfer without an image")
            << QStringList{"opendsm", "opends", "enable", "nativexfer"} << int(TWCC_SEQERROR) << true;
        QTest::newRow("end of transfer without one")
            << QStringList{"opendsm", "opends", "enable", "endxfer"} << int(TWCC_SEQERROR) << true;
        QTest::newRow("event in state 4") << QStringList{"opendsm", "opends", "event"} << int(TWCC_SEQERROR) << true;
        QTest::newRow("close an enabled source")
            << QStringList{"opendsm", "opends", "enable", "closeds"} << int(TWCC_SEQERROR) << false;
        QTest::newRow("close the manager under a source")
            << QStringList{"opendsm", "opends", "closedsm"} << int(TWCC_SEQERROR) << false;
        QTest::newRow("memory transfer") << QStringList{"opendsm", "opends", "memxfer"} << int(TWCC_BADVALUE) << true;
        QTest::newRow("unknown capability")
            << QStringList{"opendsm", "opends", "xfercount"} << int(TWCC_CAPUNSUPPORTED) << true;
        QTest::newRow("unknown triplet") << QStringList{"opendsm", "opends", "imagefilexfer"} << int(TWCC_BADPROTOCOL)
                                         << true;
    }
    // Long by design, see docs/COMPLEXITY.md: one branch per step a data row names.
    // NOLINTNEXTLINE(readability-function-cognitive-complexity)
    void stateRules() {
        QFETCH(QStringList, steps);
        QFETCH(int, condition);
        QFETCH(bool, fromSource);
        TW_UINT16 rc = TWRC_SUCCESS;
        for (int i = 0; i < steps.size(); ++i) {
            const QString& s = steps[i];
            TW_PENDINGXFERS pending{};
            TW_HANDLE h = nullptr;
            TW_EVENT ev{nullptr, MSG_NULL};
            if (s == "opendsm") rc = dsm_->Open(window_.get());
            if (s == "closedsm") rc = dsm_->Close();
            if (s == "opends") {
                TW_IDENTITY id{};
                rc = dsm_->Identity(MSG_OPENDS, id);
                if (rc == TWRC_SUCCESS) dsm_->source = id;
            }
            if (s == "closeds") rc = dsm_->Identity(MSG_CLOSEDS, dsm_->source);
            if (s == "enable") {
                if (dsm_->source.Id == 0) dsm_->source.Id = 99;
                rc = dsm_->Enable(false, window_.get());
            }
            if (s == "disable") rc = dsm_->Disable();
            if (s == "xfermech") rc = dsm_->SetCap(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE);
            if (s == "memxfer") rc = dsm_->SetCap(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY);
            if (s == "xfercount") rc = dsm_->SetCap(CAP_XFERCOUNT, TWTY_UINT16, 1);
            if (s == "nativexfer") rc = dsm_->Source(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h);
            if (s == "imagefilexfer") rc = dsm_->Source(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &h);
            if (s == "endxfer") rc = dsm_->Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
            if (s == "event") rc = dsm_->Source(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev);
            if (i + 1 < steps.size()) QCOMPARE(rc, TWRC_SUCCESS);
        }
        QCOMPARE(rc, TWRC_FAILURE);
        QCOMPARE(int(fromSource ? dsm_->SourceCondition() : dsm_->ManagerCondition()), condition);
        // Reading the condition clears it.
        QCOMPARE(int(fromSource ? dsm_->SourceCondition() : dsm_->ManagerCondition()), int(TWCC_SUCCESS));
    }

    // The sources are SANE's devices, by vendor, model and name.
    void listsTheDevices() {
        QCOMPARE(dsm_->Open(window_.get()), TWRC_SUCCESS);
        TW_IDENTITY id{};
        QStringList names;
        for (TW_UINT16 rc = dsm_->Identity(MSG_GETFIRST, id); rc == TWRC_SUCCESS;
             rc = dsm_->Identity(MSG_GETNEXT, id)) {
            names << Name(id.ProductName);
            QCOMPARE(Name(id.Manufacturer), QString("Noname"));
            QCOMPARE(Name(id.ProductFamily), QString("frontend-tester"));
            QCOMPARE(id.ProtocolMinor, 7);
            QVERIFY(id.Id != 0);
        }
        QCOMPARE(names, (QStringList{"test:0", "test:1"}));
        QCOMPARE(dsm_->Identity(MSG_GETNEXT, id), TWRC_ENDOFLIST);
    }

    // The default source: the profile's entry when that device is there,
    // else the first one; none at all is a condition, not a crash.
    void defaultSource_data() {
        QTest::addColumn<QString>("backends");
        // clang-format off
        QTest::addColumn<QString>("entry");  // "<none>": no profile entry
        QTest::addColumn<QString>("expected");  // "": TWCC_NODS
        QTest::newRow("the profile's") << "test" << "test:1" << "test:1";
        QTest::newRow("no entry") << "test" << "<none>" << "test:0";
        QTest::newRow("a device gone") << "test" << "epson2:libusb:001:002" << "test:0";
        QTest::newRow("no backend") << "" << "test:1" << "";
        QTest::newRow("a backend that is not installed") << "nosuchbackend" << "<none>" << "";
        // clang-format on
    }
    void defaultSource() {
        QFETCH(QString, backends);
        QFETCH(QString, entry);
        QFETCH(QString, expected);
        ConfigureSane({"number_of_devices 2"}, backends);
        if (entry != "<none>") profile::WriteProfileString("TWAIN", "DEFAULT SOURCE", entry.toStdString());
        QCOMPARE(dsm_->Open(window_.get()), TWRC_SUCCESS);
        TW_IDENTITY id{};
        TW_UINT16 rc = dsm_->Identity(MSG_GETDEFAULT, id);
        if (expected.isEmpty()) {
            QCOMPARE(rc, TWRC_FAILURE);
            QCOMPARE(dsm_->ManagerCondition(), TWCC_NODS);
            TW_IDENTITY zero{};
            QCOMPARE(dsm_->Identity(MSG_OPENDS, zero), TWRC_FAILURE);
            return;
        }
        QCOMPARE(rc, TWRC_SUCCESS);
        QCOMPARE(Name(id.ProductName), expected);
        // An all-zero identity opens the default source.
        TW_IDENTITY zero{};
        QCOMPARE(dsm_->Identity(MSG_OPENDS, zero), TWRC_SUCCESS);
        QCOMPARE(Name(zero.ProductName), expected);
        dsm_->source = zero;
    }

    // The selection dialog: the devices, the default one chosen; Select
    // keeps the choice in the profile, Cancel changes nothing.
    void userSelect_data() {
        QTest::addColumn<bool>("select");
        QTest::newRow("select the second") << true;
        QTest::newRow("cancel") << false;
    }
    void userSelect() {
        QFETCH(bool, select);
        QCOMPARE(dsm_->Open(window_.get()), TWRC_SUCCESS);
        QStringList shown;
        QString current;
        bool* ran = WhenDialogShows([&](QDialog* d) {
            auto* list = d->findChild<QTreeWidget*>("SourceList");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                shown << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1) + "|" +
                             list->topLevelItem(i)->text(2);
            current = list->currentItem() ? list->currentItem()->text(2) : QString();
            if (select) {
                list->setCurrentItem(list->topLevelItem(1));
                d->findChild<QPushButton*>("SelectButton")->click();
            } else {
                d->findChild<QPushButton*>("CancelButton")->click();
            }
        });
        TW_IDENTITY id{};
        TW_UINT16 rc = dsm_->Identity(MSG_USERSELECT, id);
        QVERIFY(*ran);
        delete ran;
        QCOMPARE(shown, (QStringList{"Noname|frontend-tester|test:0", "Noname|frontend-tester|test:1"}));
        QCOMPARE(current, QString("test:0"));
        if (select) {
            QCOMPARE(rc, TWRC_SUCCESS);
            QCOMPARE(Name(id.ProductName), QString("test:1"));
            QCOMPARE(profile::GetProfileString("TWAIN", "DEFAULT SOURCE", ""), AnsiString("test:1"));
            QCOMPARE(dsm_->Identity(MSG_OPENDS, id), TWRC_SUCCESS);
            QCOMPARE(Name(id.ProductName), QString("test:1"));
            dsm_->source = id;
        } else {
            QCOMPARE(rc, TWRC_CANCEL);
            QVERIFY(!profile::FindProfileString("TWAIN", "DEFAULT SOURCE"));
        }
    }

    // Scans without the source's window, compared pixel for pixel with
    // scanimage's of the same page.
    void scans_data() {
        QTest::addColumn<QStringList>("conf");
        QTest::addColumn<int>("pixelType");  // -1: the source's start value
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QStringList>("scanimage");
        QTest::addColumn<int>("bits");
        const QString pattern = "test-picture \"Color pattern\"";
        QTest::newRow("start values: colour at 150 dpi")
            << QStringList{pattern} << -1 << 0 << QStringList{"--mode", "Color", "--resolution", "150"} << 24;
        QTest::newRow("gray at 100 dpi") << QStringList{pattern} << int(TWPT_GRAY) << 100
                                         << QStringList{"--mode", "Gray", "--resolution", "100"} << 8;
        QTest::newRow("16-bit gray") << QStringList{pattern, "depth 16"} << int(TWPT_GRAY) << 60
                                     << QStringList{"--mode", "Gray", "--resolution", "60"} << 8;
        QTest::newRow("1-bit gray") << QStringList{"test-picture \"Grid\"", "depth 1"} << int(TWPT_GRAY) << 75
                                    << QStringList{"--mode", "Gray", "--resolution", "75"} << 1;
        QTest::newRow("three-pass colour") << QStringList{pattern, "three-pass true"} << int(TWPT_RGB) << 50
                                           << QStringList{"--mode", "Color", "--resolution", "50"} << 24;
        QTest::newRow("16-bit colour") << QStringList{pattern, "depth 16"} << int(TWPT_RGB) << 40
                                       << QStringList{"--mode", "Color", "--resolution", "40"} << 24;
    }
    void scans() {
        QFETCH(QStringList, conf);
        QFETCH(int, pixelType);
        QFETCH(int, dpi);
        QFETCH(QStringList, scanimage);
        QFETCH(int, bits);
        ConfigureSane(conf);
        PumpToSource();
        OpenSource();
        if (pixelType >= 0)
            QCOMPARE(dsm_->SetCap(ICAP_PIXELTYPE, TWTY_UINT16, static_cast<TW_UINT32>(pixelType)), TWRC_SUCCESS);
        if (dpi > 0) QCOMPARE(dsm_->SetCap(ICAP_XRESOLUTION, TWTY_FIX32, Fix32Item(ToFix32(dpi))), TWRC_SUCCESS);
        QCOMPARE(dsm_->Enable(false, window_.get()), TWRC_SUCCESS);
        QTRY_COMPARE_WITH_TIMEOUT(messages_, QList<TW_UINT16>{MSG_XFERREADY}, 60000);
        TW_HANDLE h = nullptr;
        QCOMPARE(dsm_->Source(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h), TWRC_XFERDONE);
        dib::BitmapInfoHeader header = dib::ReadHeader(
            {static_cast<const std::uint8_t*>(globalmem::GlobalLock(h)), globalmem::GlobalSize(h)});
        globalmem::GlobalUnlock(h);
        QCOMPARE(int(header.biBitCount), bits);
        QImage ours = dib::Unpack(
            {static_cast<const std::uint8_t*>(globalmem::GlobalLock(h)), globalmem::GlobalSize(h)});
        globalmem::GlobalUnlock(h);
        globalmem::GlobalFree(h);
        TW_PENDINGXFERS pending{99, 0};
        QCOMPARE(dsm_->Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
        QCOMPARE(pending.Count, 0);
        QImage theirs = ScanImage(scanimage);
        QVERIFY(!theirs.isNull());
        QCOMPARE(ours.size(), theirs.size());
        ours = ours.convertToFormat(QImage::Format_RGB32);
        theirs = theirs.convertToFormat(QImage::Format_RGB32);
        // 16-bit samples: scanimage's file goes through Qt's own rounding.
        const int tolerance = conf.contains("depth 16") ? 1 : 0;
        auto near = [&](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
                   std::abs(qBlue(a) - qBlue(b)) <= tolerance;
        };
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width(); ++x)
                if (!near(ours.pixel(x, y), theirs.pixel(x, y)))
                    QFAIL(qPrintable(QString("pixel %1,%2: %3 against %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(ours.pixel(x, y), 0, 16)
                                         .arg(theirs.pixel(x, y), 0, 16)));
        // The resolution travels with the picture.
        QCOMPARE(qRound(ours.dotsPerMeterX() * 0.0254), dpi > 0 ? dpi : 150);
    }

    // Values the device does not have are replaced by the nearest.
    void capabilities_data() {
        QTest::addColumn<int>("cap");
        QTest::addColumn<int>("type");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("rc");
        QTest::addColumn<int>("condition");
        QTest::newRow("resolution in range")
            << int(ICAP_XRESOLUTION) << int(TWTY_FIX32) << 300.0 << int(TWRC_SUCCESS) << 0;
        QTest::newRow("resolution above the device's")
            << int(ICAP_YRESOLUTION) << int(TWTY_FIX32) << 5000.0 << int(TWRC_CHECKSTATUS) << 0;
        QTest::newRow("resolution of nothing")
            << int(ICAP_XRESOLUTION) << int(TWTY_FIX32) << 0.0 << int(TWRC_FAILURE) << int(TWCC_BADVALUE);
        QTest::newRow("black and white on a gray/colour device")
            << int(ICAP_PIXELTYPE) << int(TWTY_UINT16) << double(TWPT_BW) << int(TWRC_FAILURE) << int(TWCC_BADVALUE);
        QTest::newRow("pixel type of the wrong type")
            << int(ICAP_PIXELTYPE) << int(TWTY_FIX32) << double(TWPT_RGB) << int(TWRC_FAILURE) << int(TWCC_BADVALUE);
    }
    void capabilities() {
        QFETCH(int, cap);
        QFETCH(int, type);
        QFETCH(double, value);
        QFETCH(int, rc);
        QFETCH(int, condition);
        OpenSource();
        TW_UINT32 item = type == TWTY_FIX32 ? Fix32Item(ToFix32(value)) : static_cast<TW_UINT32>(value);
        QCOMPARE(int(dsm_->SetCap(static_cast<TW_UINT16>(cap), static_cast<TW_UINT16>(type), item)), rc);
        if (rc == TWRC_FAILURE) QCOMPARE(int(dsm_->SourceCondition()), condition);
    }

    // The source's window: sensible starting values, Scan sends the image,
    // Cancel (or Escape) asks to be closed; disabling takes the window away.
    void sourceWindow_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("message");
        QTest::newRow("scan") << "scan" << int(MSG_XFERREADY);
        QTest::newRow("cancel") << "cancel" << int(MSG_CLOSEDSREQ);
        QTest::newRow("escape") << "escape" << int(MSG_CLOSEDSREQ);
    }
    void sourceWindow() {
        QFETCH(QString, action);
        QFETCH(int, message);
        // The backend's own default would be a fraction of a dot per inch.
        ConfigureSane({"test-picture \"Color pattern\""});
        window_->show();
        PumpToSource();
        OpenSource();
        QCOMPARE(dsm_->Enable(true, window_.get()), TWRC_SUCCESS);
        auto* dialog = window_->findChild<QDialog*>("SourceDialog");
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        auto* mode = dialog->findChild<QComboBox*>("ModeBox");
        auto* dpi = dialog->findChild<QSpinBox*>("ResolutionBox");
        QCOMPARE(mode->currentText(), QString("Color"));
        QCOMPARE(dpi->value(), 150);
        QCOMPARE(dpi->minimum(), 1);
        QCOMPARE(dpi->maximum(), 1200);
        if (action == "scan") {
            mode->setCurrentText("Gray");
            dpi->setValue(30);
            dialog->findChild<QPushButton*>("ScanButton")->click();
            QVERIFY(!dialog->findChild<QPushButton*>("ScanButton")->isEnabled());
        } else if (action == "cancel") {
            dialog->findChild<QPushButton*>("CancelButton")->click();
        } else {
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
        QTRY_COMPARE_WITH_TIMEOUT(messages_, QList<TW_UINT16>{static_cast<TW_UINT16>(message)}, 60000);
        if (action == "scan") {
            QImage img = Transfer();
            QCOMPARE(img.size(), QSize(94, 118));  // 80 x 100 mm at 30 dpi
            QCOMPARE(img.format(), QImage::Format_Indexed8);
            // Ready for another page.
            QVERIFY(dialog->findChild<QPushButton*>("ScanButton")->isEnabled());
        }
        QPointer<QDialog> gone = dialog;
        QCOMPARE(dsm_->Disable(), TWRC_SUCCESS);
        QVERIFY(!gone);
        // The window remembers this source's last settings.
        QCOMPARE(dsm_->Enable(true, window_.get()), TWRC_SUCCESS);
        dialog = window_->findChild<QDialog*>("SourceDialog");
        QCOMPARE(dialog->findChild<QSpinBox*>("ResolutionBox")->value(), action == "scan" ? 30 : 150);
    }

    // The page is the area chosen in the window, at the resolution chosen,
    // as scanimage scans the same area; also after a preview of the glass,
    // which shows in the window in grey and sends the application nothing.
    void areaScans_data() {
        QTest::addColumn<QString>("size");  // empty: the area's numbers
        QTest::addColumn<int>("dpi");
        QTest::addColumn<bool>("previewFirst");
        QTest::addColumn<QStringList>("scanimage");
        QTest::addColumn<QSize>("page");
        const QStringList area{"-l", "10", "-t", "20", "-x", "40", "-y", "60", "--resolution", "150"};
        QTest::newRow("40 x 60 mm at 150 dpi") << QString() << 150 << false << area << QSize(236, 354);
        QTest::newRow("the same after a preview") << QString() << 150 << true << area << QSize(236, 354);
        QTest::newRow("DVD cover at 50 dpi")
            << "DVD cover (130 x 184 mm)" << 50 << false
            << QStringList{"-l", "0", "-t", "0", "-x", "130", "-y", "184", "--resolution", "50"} << QSize(255, 362);
    }
    void areaScans() {
        QFETCH(QString, size);
        QFETCH(int, dpi);
        QFETCH(bool, previewFirst);
        QFETCH(QStringList, scanimage);
        QFETCH(QSize, page);
        window_->show();
        PumpToSource();
        OpenSource();
        QDialog* dialog = SourceWindow();
        QVERIFY(dialog);
        // The device's own area, until the user chooses another.
        QCOMPARE(Shown(dialog), (QStringList{"Color", "150", "0", "0", "80", "100", "Custom"}));
        dialog->findChild<QSpinBox*>("ResolutionBox")->setValue(dpi);
        if (size.isEmpty()) SetArea(dialog, 10, 20, 40, 60);
        else
            dialog->findChild<QComboBox*>("SizeBox")->setCurrentText(size);
        const QStringList chosen = Shown(dialog);
        if (previewFirst) {
            QWidget* pane = dialog->findChild<QWidget*>("PreviewPane");
            QVERIFY(pane->property("picture").value<QImage>().isNull());
            dialog->findChild<QPushButton*>("PreviewButton")->click();
            QVERIFY(!dialog->findChild<QPushButton*>("ScanButton")->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(!pane->property("picture").value<QImage>().isNull(), 60000);
            const QImage glass = pane->property("picture").value<QImage>();
            // The whole glass, 200 x 200 mm, at 25 dpi, in grey.
            QCOMPARE(glass.size(), QSize(196, 196));
            QCOMPARE(glass.format(), QImage::Format_Grayscale8);
            QVERIFY(dialog->findChild<QPushButton*>("ScanButton")->isEnabled());
            QCOMPARE(Shown(dialog), chosen);
            QVERIFY(messages_.isEmpty());
        }
        dialog->findChild<QPushButton*>("ScanButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(messages_, QList<TW_UINT16>{MSG_XFERREADY}, 60000);
        const QImage ours = Transfer().convertToFormat(QImage::Format_RGB32);
        QVERIFY(std::abs(ours.width() - page.width()) <= 1 && std::abs(ours.height() - page.height()) <= 1);
        QCOMPARE(qRound(ours.dotsPerMeterX() * 0.0254), dpi);
        const QImage theirs =
            ScanImage(QStringList{"--mode", "Color"} + scanimage).convertToFormat(QImage::Format_RGB32);
        QVERIFY(ours == theirs);
    }

    // What the user chose in a source's window comes back in its next
    // window, in another connection too, and is kept in the settings store
    // by device: the other device starts from its own values.
    void rememberedInNewWindow() {
        window_->show();
        PumpToSource();
        OpenSource();
        QDialog* dialog = SourceWindow();
        QVERIFY(dialog);
        dialog->findChild<QComboBox*>("ModeBox")->setCurrentText("Gray");
        dialog->findChild<QSpinBox*>("ResolutionBox")->setValue(40);
        SetArea(dialog, 30, 40, 50, 60);
        dialog->findChild<QComboBox*>("SizeBox")->setCurrentText("CD booklet (120 x 120 mm)");
        const QStringList chosen{"Gray", "40", "30", "40", "120", "120", "CD booklet (120 x 120 mm)"};
        QCOMPARE(Shown(dialog), chosen);
        dialog->findChild<QPushButton*>("ScanButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(messages_, QList<TW_UINT16>{MSG_XFERREADY}, 60000);
        QCOMPARE(Transfer().size(), QSize(188, 188));
        CloseAll();

        const QStringList deviceOwn{"Color", "150", "0", "0", "80", "100", "Custom"};
        registry::TRegistry reg;
        QVERIFY(reg.OpenKey("Software\\varnholt\\TWAIN\\test:0", false));
        QCOMPARE(reg.ReadString("Size"), AnsiString("CD booklet (120 x 120 mm)"));
        for (const char* device : {"test:0", "test:1"}) {
            QCOMPARE(dsm_->Open(window_.get()), TWRC_SUCCESS);
            TW_IDENTITY id{};
            std::strcpy(id.ProductName, device);
            QCOMPARE(dsm_->Identity(MSG_OPENDS, id), TWRC_SUCCESS);
            dsm_->source = id;
            dialog = SourceWindow();
            QVERIFY(dialog);
            QCOMPARE(Shown(dialog), QString(device) == "test:0" ? chosen : deviceOwn);
            CloseAll();
        }
    }

    // A device error shows in the source's window, which stays up for
    // another try; without the window the source asks to be closed.
    void deviceError_data() {
        QTest::addColumn<bool>("showUI");
        QTest::newRow("window") << true;
        QTest::newRow("no window") << false;
    }
    void deviceError() {
        QFETCH(bool, showUI);
        // A page small enough for the pipe of the test backend's reader: the
        // reader has written it all and ended before the error cancels the
        // scan. (The backend reports the injected error while its reader
        // may still be writing; its cancel then closes the pipe under the
        // writing reader and stops that thread asynchronously, which can
        // leave a lock of the C library taken and hang the process at exit.
        // A real device's error comes from its reader, which has ended.)
        ConfigureSane({"read-status-code \"SANE_STATUS_JAMMED\"", "br_x 20.0", "br_y 20.0"});
        PumpToSource();
        OpenSource();
        QCOMPARE(dsm_->Enable(showUI, window_.get()), TWRC_SUCCESS);
        if (!showUI) {
            QTRY_COMPARE_WITH_TIMEOUT(messages_, QList<TW_UINT16>{MSG_CLOSEDSREQ}, 60000);
            return;
        }
        auto* dialog = window_->findChild<QDialog*>("SourceDialog");
        dialog->findChild<QPushButton*>("ScanButton")->click();
        auto* status = dialog->findChild<QLabel*>("StatusLabel");
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains("jammed", Qt::CaseInsensitive), 60000);
        QVERIFY(dialog->findChild<QPushButton*>("ScanButton")->isEnabled());
        QVERIFY(messages_.isEmpty());
    }

    // Disabling the source while its worker scans stops the worker; nothing
    // arrives afterwards.
    void disableWhileScanning() {
        // A slow page: its rows come in over about a second.
        ConfigureSane({"read-delay true", "read-delay-duration 20000"});
        PumpToSource();
        OpenSource();
        QCOMPARE(dsm_->SetCap(ICAP_XRESOLUTION, TWTY_FIX32, Fix32Item(ToFix32(100))), TWRC_SUCCESS);
        QCOMPARE(dsm_->Enable(false, window_.get()), TWRC_SUCCESS);
        QTest::qWait(100);
        QElapsedTimer t;
        t.start();
        QCOMPARE(dsm_->Disable(), TWRC_SUCCESS);
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(dsm_->Identity(MSG_CLOSEDS, dsm_->source), TWRC_SUCCESS);
        QCoreApplication::processEvents();
        QVERIFY(messages_.isEmpty());
    }

    // The component destroyed while its source scans: the worker stops, the
    // manager closes, and nothing arrives afterwards.
    void componentDestroyedWhileScanning() {
        ConfigureSane({"read-delay true", "read-delay-duration 20000"});
        int ready = 0;
        QImage target;
        TScanSource* twain = AcquiringComponent(target, ready);
        QVERIFY(twain);
        QVERIFY(twain->IsDataSourceEnabled());
        QTest::qWait(100);
        QElapsedTimer t;
        t.start();
        delete twain;
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!messagefilter::OnMessage());
        QTest::qWait(300);
        QCOMPARE(ready, 0);
        QVERIFY(target.isNull());
    }

    // The scanner component through this manager: without the source's
    // window the page arrives as scanimage sees it.
    void componentAcquires() {
        int ready = 0;
        QImage target;
        TScanSource* twain = AcquiringComponent(target, ready);
        QVERIFY(twain);
        QTRY_COMPARE_WITH_TIMEOUT(ready, 1, 60000);
        QVERIFY(!twain->IsDataSourceOpen());
        QImage theirs = ScanImage({"--mode", "Color", "--resolution", "150"}).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(target.size(), QSize(472, 590));
        QCOMPARE(target.format(), QImage::Format_RGB32);
        QVERIFY(target == theirs);
        delete twain;
    }
};

FLICKSTOW_TEST_MAIN(TestTwainDsm)
#include "test_twaindsm.moc"
