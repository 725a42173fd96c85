#include "components/scansource/ScanSource.h"
#include "platform/dib/dib.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/globalmem/GlobalMemory.h"
#include "platform/messagefilter/MessageFilter.h"
#include "platform/profile/profile.h"
#include "tests/components/FakeTwainDsm.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <dlfcn.h>
#include <filesystem>
#include <memory>

using namespace testsupport;

namespace {

// A colourful picture and its native transfer block.
QImage Picture(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 40 % 256, y * 60 % 256, (x + y) * 20 % 256));
    return img;
}

std::vector<std::uint8_t> Block(const QImage& img, int bits) { return dib::PackBlock(img, bits); }

QString Text(const std::exception& e) { return QString::fromLatin1(e.what()); }

}  // namespace

class TestScanSource : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window_;
    Fake fake_;
    int ready_ = 0;

    // Lets go of the stand-in, so that the file name may hold something else.
    void ForgetFake() {
        if (fake_.library) dlclose(fake_.library);
        fake_ = {};
        files::DeleteFile(InProgramDir(kTwainLibraryName));
    }

    Fake InstallFake() { return Fake::Install(FAKE_DSM_PATH, InProgramDir(kTwainLibraryName)); }

    // A component on the window, counting its OnScanReady.
    TScanSource* Component() {
        auto* twain = new TScanSource(window_.get());
        twain->setObjectName("TWAIN");
        twain->OnScanReady = [this](TScanSource*) { ++ready_; };
        return twain;
    }

    static void SourceSends(TW_UINT16 message) { Fake::SourceSends(message); }

    // The calls after the first `skip` ones.
    QStringList CallsAfter(int skip) const { return fake_.Calls().mid(skip); }

private slots:
    void init() {
        FreshSandbox();
        window_ = std::make_unique<QWidget>();
        fake_ = InstallFake();
        ready_ = 0;
    }
    void cleanup() {
        window_.reset();
        QVERIFY(!messagefilter::OnMessage());
        if (fake_.library) dlclose(fake_.library);
        fake_ = {};
        QCOMPARE(dialogs::test::PendingAnswers(), 0);
    }

    // The order of the calls each operation makes.
    void callOrder_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("InitTWAIN") << "init" << QStringList{"DSM PARENT OPENDSM"};
        QTest::newRow("SelectDataSource")
            << "select" << QStringList{"DSM PARENT OPENDSM", "DSM IDENTITY GETDEFAULT", "DSM IDENTITY USERSELECT"};
        QTest::newRow("Acquire") << "acquire"
                                 << QStringList{"DSM PARENT OPENDSM", "DSM IDENTITY OPENDS", "SRC CAPABILITY SET",
                                                "SRC USERINTERFACE ENABLEDS"};
        QTest::newRow("Acquire and the image")
            << "image"
            << QStringList{"DSM PARENT OPENDSM",         "DSM IDENTITY OPENDS",         "SRC CAPABILITY SET",
                           "SRC USERINTERFACE ENABLEDS", "SRC EVENT PROCESSEVENT",      "SRC IMAGENATIVEXFER GET",
                           "SRC PENDINGXFERS ENDXFER",   "SRC USERINTERFACE DISABLEDS", "DSM IDENTITY CLOSEDS"};
        QTest::newRow("destroyed while the source is up")
            << "destroy"
            << QStringList{"DSM PARENT OPENDSM",         "DSM IDENTITY OPENDS",         "SRC CAPABILITY SET",
                           "SRC USERINTERFACE ENABLEDS", "SRC USERINTERFACE DISABLEDS", "DSM IDENTITY CLOSEDS",
                           "DSM PARENT CLOSEDSM"};
    }
    void callOrder() {
        QFETCH(QString, operation);
        QFETCH(QStringList, calls);
        TScanSource* twain = Component();
        QImage target;
        twain->InitTWAIN();
        if (operation == "select") twain->SelectDataSource();
        if (operation != "init" && operation != "select") twain->Acquire(target);
        if (operation == "image") {
            auto block = Block(Picture(3, 2), 24);
            fake_.SetImage(block.data(), block.size(), 0);
            SourceSends(MSG_XFERREADY);
            QCOMPARE(ready_, 1);
            QVERIFY(!twain->IsDataSourceOpen());
            QVERIFY(twain->IsDataSourceManagerOpen());
        }
        if (operation == "destroy") delete twain;
        QCOMPARE(fake_.Calls(), calls);
    }

    // The application's identity, the parent window and the user interface.
    void whatTheManagerIsTold() {
        TScanSource* twain = Component();
        twain->SetProductname("Varnholt Flickstow");
        twain->InitTWAIN();
        const TW_IDENTITY& origin = *fake_.Origin();
        QCOMPARE(QString(origin.ProductName), QString("Varnholt Flickstow"));
        QCOMPARE(QString(origin.Version.Info), QString("Twain component"));
        QCOMPARE(origin.Version.MajorNum, 1);
        QCOMPARE(origin.Version.Language, 13);
        QCOMPARE(origin.Version.Country, 1);
        QCOMPARE(origin.ProtocolMajor, 1);
        QCOMPARE(origin.ProtocolMinor, 7);
        QCOMPARE(origin.SupportedGroups, 3u);
        QCOMPARE(origin.Id, static_cast<TW_UINT32>(reinterpret_cast<uintptr_t>(window_.get())));
        // The manager's number for the application is the one used from now on.
        QCOMPARE(twain->AppIdentity().Id, 4711u);
        twain->SetShowUI(false);
        QImage target;
        twain->Acquire(target);
        QCOMPARE(fake_.Interface()->ShowUI, 0);
        QCOMPARE(fake_.Interface()->ModalUI, 1);
        QCOMPARE(fake_.Interface()->hParent, static_cast<TW_HANDLE>(window_.get()));
    }

    // Every way a call can fail, and the text of the error.
    void failures_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("triplet");
        QTest::addColumn<int>("rc");
        QTest::addColumn<int>("condition");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::addColumn<QString>("statusAsked");  // "" when not
        QTest::newRow("open the manager") << "init" << "DSM PARENT OPENDSM" << 1 << 1
                                          << "Data Source Manager error in module OpenDataSourceManager:\r\nGeneral "
                                             "failure. Unload Source immediately."
                                          << "DSM STATUS GET";
        QTest::newRow("open the manager, odd code")
            << "init" << "DSM PARENT OPENDSM" << 2 << 0
            << "A call to the Data Source Manager failed in module OpenDataSourceManager: Code 0002" << "";
        QTest::newRow("default source") << "select" << "DSM IDENTITY GETDEFAULT" << 1 << 3
                                        << "Data Source Manager error in module SelectDataSource1:\r\nData Source "
                                           "Manager was unable to find the specified Data Source."
                                        << "DSM STATUS GET";
        QTest::newRow("user selection") << "select" << "DSM IDENTITY USERSELECT" << 1 << 2
                                        << "Data Source Manager error in module SelectDataSource2:\r\nNot enough "
                                           "memory to complete the operation."
                                        << "DSM STATUS GET";
        QTest::newRow("user selection, odd code")
            << "select" << "DSM IDENTITY USERSELECT" << 0x7a << 0
            << "A call to the Data Source Manager failed in module SelectDataSource2: Code 007a" << "";
        QTest::newRow("open the source") << "acquire" << "DSM IDENTITY OPENDS" << 1 << 4
                                         << "Data Source Manager error in module OpenDataSource:\r\nData Source is "
                                            "connected to maximum supported number of \r\napplications."
                                         << "DSM STATUS GET";
        QTest::newRow("transfer mechanism") << "acquire" << "SRC CAPABILITY SET" << 1 << 13
                                            << "Data Source Manager error in module XferMech:\r\nCapability not "
                                               "supported by Data Source."
                                            << "SRC STATUS GET";
        QTest::newRow("enable") << "acquire" << "SRC USERINTERFACE ENABLEDS" << 1 << 11
                                << "Data Source Manager error in module EnableDataSource:\r\nIllegal operation for "
                                   "current Data Source Manager\r\nand Data Source state."
                                << "SRC STATUS GET";
        QTest::newRow("enable, odd code") << "acquire" << "SRC USERINTERFACE ENABLEDS" << 0xbeef << 0
                                          << "A call to the Data Source Manager failed in module EnableDataSource: "
                                             "Code beef"
                                          << "";
        QTest::newRow("the status itself fails") << "acquire" << "SRC USERINTERFACE ENABLEDS" << 1 << -1
                                                 << "Unable to get the status" << "SRC STATUS GET";
        QTest::newRow("disable") << "closedsreq" << "SRC USERINTERFACE DISABLEDS" << 1 << 5
                                 << "Data Source Manager error in module DisableDataSource:\r\nData Source or Data "
                                    "Source Manager reported an error to the\r\nuser and handled the error. No "
                                    "application action required."
                                 << "SRC STATUS GET";
        QTest::newRow("close the source") << "closedsreq" << "DSM IDENTITY CLOSEDS" << 1 << 12
                                          << "Data Source Manager error in module CloseDataSource:\r\nUnknown "
                                             "destination in DSM_Entry."
                                          << "DSM STATUS GET";
        QTest::newRow("end of transfer") << "xferready" << "SRC PENDINGXFERS ENDXFER" << 1 << 20
                                         << "Data Source Manager error in module Check for Pending Transfers:\r\n"
                                            "Transfer failed because of a feeder error"
                                         << "SRC STATUS GET";
        QTest::newRow("native transfer") << "xferready" << "SRC IMAGENATIVEXFER GET" << 1 << 2
                                         << "Data Source Manager error in module Native Transfer:\r\nNot enough "
                                            "memory to complete the operation."
                                         << "DSM STATUS GET";
        QTest::newRow("close the manager") << "close" << "DSM PARENT CLOSEDSM" << 1 << 9
                                           << "Data Source Manager error in module CloseDataSourceManager:\r\n"
                                              "Unrecognized operation triplet."
                                           << "DSM STATUS GET";
        // clang-format on
    }
    void failures() {
        QFETCH(QString, operation);
        QFETCH(QString, triplet);
        QFETCH(int, rc);
        QFETCH(int, condition);
        QFETCH(QString, text);
        QFETCH(QString, statusAsked);
        TScanSource* twain = Component();
        QImage target;
        if (operation != "init") twain->InitTWAIN();
        if (operation == "closedsreq" || operation == "xferready") twain->Acquire(target);
        fake_.Respond(triplet.toLatin1(), static_cast<TW_UINT16>(rc), static_cast<TW_UINT16>(std::max(condition, 0)));
        if (condition < 0) fake_.Respond(statusAsked.toLatin1(), TWRC_FAILURE, 0);
        int before = static_cast<int>(fake_.Calls().size());
        QString raised;
        try {
            if (operation == "init") twain->InitTWAIN();
            if (operation == "select") twain->SelectDataSource();
            if (operation == "acquire") twain->Acquire(target);
            if (operation == "close") twain->CloseDataSourceManager();
            if (operation == "closedsreq" || operation == "xferready") {
                auto block = Block(Picture(2, 2), 24);
                fake_.SetImage(block.data(), block.size(), 0);
                FakeSourceEvent event(operation == "xferready" ? MSG_XFERREADY : MSG_CLOSEDSREQ);
                twain->ProcessSourceMessage(&event);
            }
        } catch (const ETwainError& e) {
            raised = Text(e);
        }
        QCOMPARE(raised, text);
        QStringList calls = CallsAfter(before);
        int failed = static_cast<int>(calls.indexOf(triplet));
        QVERIFY(failed >= 0);
        if (statusAsked.isEmpty()) QVERIFY(!calls.mid(failed + 1).join(' ').contains("STATUS"));
        else
            QCOMPARE(calls.value(failed + 1), statusAsked);
    }

    // A failed transfer still ends the acquisition: the source is closed and
    // OnScanReady raised before the error goes on, the bitmap untouched.
    void failedTransferEndsTheAcquisition_data() {
        QTest::addColumn<bool>("hostile");
        QTest::newRow("the manager fails") << false;
        QTest::newRow("the block is no bitmap") << true;
    }
    void failedTransferEndsTheAcquisition() {
        QFETCH(bool, hostile);
        TScanSource* twain = Component();
        QImage target = Picture(1, 1);
        twain->InitTWAIN();
        twain->Acquire(target);
        auto block = Block(Picture(4, 4), 24);
        if (hostile) {
            // The header promises more rows than the block holds.
            block.resize(block.size() - 4);
        } else {
            fake_.Respond("SRC IMAGENATIVEXFER GET", TWRC_FAILURE, TWCC_LOWMEMORY);
        }
        fake_.SetImage(block.data(), block.size(), 0);
        dialogs::test::QueueAnswer(dialogs::IDOK);
        SourceSends(MSG_XFERREADY);
        QCOMPARE(ready_, 1);
        QVERIFY(!twain->IsDataSourceOpen());
        QCOMPARE(target, Picture(1, 1));
        // The error reaches the application's error box.
        QCOMPARE(Boxes().size(), size_t(1));
        QVERIFY2(QString::fromStdString(Boxes()[0].text).contains(hostile ? "not valid" : "Native Transfer"),
                 Boxes()[0].text.c_str());
    }

    void conditionTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "Operation was succesful.";
        QTest::newRow("6") << 6
                           << "Capability not supported by source or operation (get,\r\nset) is not supported on "
                              "capability, or capability had\r\ndependencies on other capabilities and cannot "
                              "be\r\noperated upon at this time";
        QTest::newRow("10") << 10 << "Data parameter out of supported range.";
        QTest::newRow("14") << 14 << "Operation not supported on capability.";
        QTest::newRow("15") << 15
                            << "Capability has dependencies on other capabilities and \r\ncannot be operated upon at "
                               "this time.";
        QTest::newRow("16") << 16 << "File System operation is denied (file is protected).";
        QTest::newRow("17") << 17 << "Operation failed because file already exists.";
        QTest::newRow("18") << 18 << "File not found.";
        QTest::newRow("19") << 19 << "Operation failed because directory is not empty.";
        QTest::newRow("21") << 21 << "Transfer failed because of a feeder error";
        QTest::newRow("7 is unknown") << 7 << "Unknown condition 0007";
        QTest::newRow("22") << 22 << "Unknown condition 0016";
        QTest::newRow("0xabcd") << 0xabcd << "Unknown condition abcd";
    }
    void conditionTexts() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(TScanSource::Condition2String(static_cast<TW_UINT16>(code))), text);
    }

    // Cancelling the selection keeps the source chosen before, or the
    // manager's default when none was.
    void cancelledSelectionKeepsTheSource_data() {
        QTest::addColumn<bool>("choseBefore");
        QTest::newRow("chosen before") << true;
        QTest::newRow("nothing chosen") << false;
    }
    void cancelledSelectionKeepsTheSource() {
        QFETCH(bool, choseBefore);
        TScanSource* twain = Component();
        twain->InitTWAIN();
        if (choseBefore) twain->SelectDataSource();
        fake_.Respond("DSM IDENTITY USERSELECT", TWRC_CANCEL, 0);
        twain->SelectDataSource();
        QImage target;
        twain->Acquire(target);
        QCOMPARE(QString(fake_.Opened()->ProductName), choseBefore ? QString("Fake Chosen") : QString());
        QCOMPARE(fake_.Opened()->Id, choseBefore ? 2u : 0u);
    }

    // One image per acquisition: the rest of what the source has is reset.
    void onlyTheFirstImageIsTaken_data() {
        QTest::addColumn<int>("pendingAfter");
        QTest::addColumn<int>("bits");
        QTest::newRow("one image, 24 bits") << 0 << 24;
        QTest::newRow("three images, 8 bits") << 2 << 8;
        QTest::newRow("two images, 1 bit") << 1 << 1;
    }
    void onlyTheFirstImageIsTaken() {
        QFETCH(int, pendingAfter);
        QFETCH(int, bits);
        TScanSource* twain = Component();
        twain->InitTWAIN();
        QImage target;
        twain->Acquire(target);
        QImage picture = Picture(5, 3);
        if (bits <= 8) {
            picture = QImage(5, 3, QImage::Format_Indexed8);
            picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x) picture.setPixel(x, y, static_cast<uint>((x + y) % 2));
        }
        auto block = Block(picture, bits);
        fake_.SetImage(block.data(), block.size(), static_cast<TW_UINT16>(pendingAfter));
        int before = static_cast<int>(fake_.Calls().size());
        SourceSends(MSG_XFERREADY);
        QStringList calls = CallsAfter(before);
        QCOMPARE(calls.count("SRC IMAGENATIVEXFER GET"), 1);
        QCOMPARE(calls.contains("SRC PENDINGXFERS RESET"), pendingAfter > 0);
        QCOMPARE(ready_, 1);
        QCOMPARE(target.size(), QSize(5, 3));
        QCOMPARE(target.format(), QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) QCOMPARE(target.pixel(x, y), picture.pixel(x, y));
    }

    // Closing the source's window without a scan: OnScanReady once, the
    // bitmap as it was, the source closed.
    void closedWithoutScan_data() {
        QTest::addColumn<int>("message");
        QTest::newRow("close request") << int(MSG_CLOSEDSREQ);
        QTest::newRow("close ok") << int(MSG_CLOSEDSOK);
    }
    void closedWithoutScan() {
        QFETCH(int, message);
        TScanSource* twain = Component();
        twain->InitTWAIN();
        QImage target = Picture(2, 2);
        twain->Acquire(target);
        SourceSends(static_cast<TW_UINT16>(message));
        QCOMPARE(ready_, 1);
        QCOMPARE(target, Picture(2, 2));
        QVERIFY(!twain->IsDataSourceOpen());
        QVERIFY(!twain->IsDataSourceEnabled());
        QVERIFY(!fake_.Calls().contains("SRC IMAGENATIVEXFER GET"));
        // Nothing more arrives from a closed source.
        SourceSends(MSG_XFERREADY);
        QCOMPARE(ready_, 1);
    }

    // Whatever the transfer property held, the native mechanism is used.
    void nativeTransferAlways_data() {
        QTest::addColumn<int>("destination");
        QTest::newRow("memory") << int(TScanSource::xfMemory);
        QTest::newRow("file") << int(TScanSource::xfFile);
        QTest::newRow("native") << int(TScanSource::xfNative);
    }
    void nativeTransferAlways() {
        QFETCH(int, destination);
        TScanSource* twain = Component();
        twain->SetDestination(static_cast<TScanSource::TTransferType>(destination));
        QCOMPARE(int(twain->Destination()), destination);
        twain->InitTWAIN();
        QImage target;
        twain->Acquire(target);
        QCOMPARE(twain->Destination(), TScanSource::xfNative);
        TW_UINT16 cap = 0;
        const TW_ONEVALUE* value = fake_.Capability(&cap);
        QCOMPARE(cap, ICAP_XFERMECH);
        QCOMPARE(value->ItemType, TWTY_UINT16);
        QCOMPARE(value->Item, TW_UINT32{TWSX_NATIVE});
        auto block = Block(Picture(2, 3), 24);
        fake_.SetImage(block.data(), block.size(), 0);
        SourceSends(MSG_XFERREADY);
        QVERIFY(fake_.Calls().contains("SRC IMAGENATIVEXFER GET"));
        QCOMPARE(target.size(), QSize(2, 3));
    }

    // Calls made where they cannot work.
    void preconditions_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("open source, manager closed") << "opends" << "Data Source Manager must be open";
        QTest::newRow("close source, manager closed") << "closeds" << "Data Source Manager must be open";
        QTest::newRow("enable, source closed") << "enable" << "Data Source must be open";
        QTest::newRow("disable, source closed") << "disable" << "Data Source must be open";
        QTest::newRow("select while a source is open") << "select open" << "Data Source must be closed";
        QTest::newRow("manager opened without a window") << "no window" << "Assertion failure";
        QTest::newRow("a call before loading") << "call" << "Assertion failure";
        QTest::newRow("no memory for the container") << "no memory" << "Assertion failure";
        QTest::newRow("library without DSM_Entry") << "no entry" << "Assertion failure";
        // clang-format on
    }
    void preconditions() {
        QFETCH(QString, step);
        QFETCH(QString, text);
        if (step == "no entry") {
            // Some library under the manager's name that lacks the entry point.
            ForgetFake();
            QVERIFY(QFile::copy(LIBRARY_WITHOUT_ENTRY, QString::fromStdString(InProgramDir(kTwainLibraryName))));
        }
        TScanSource* twain = step == "no window" ? new TScanSource(nullptr) : Component();
        std::unique_ptr<TScanSource> owned(step == "no window" ? twain : nullptr);
        QImage target;
        QString raised;
        try {
            if (step == "opends") twain->OpenDataSource();
            if (step == "closeds") twain->CloseDataSource();
            if (step == "enable") twain->EnableDataSource();
            if (step == "disable") twain->DisableDataSource();
            if (step == "select open") {
                twain->InitTWAIN();
                twain->OpenDataSource();
                twain->SelectDataSource();
            }
            if (step == "no window") twain->InitTWAIN();
            if (step == "call") twain->CallDataSourceManager(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr);
            if (step == "no memory") {
                twain->InitTWAIN();
                twain->OpenDataSource();
                globalmem::test::FailNextAllocation();
                twain->XferMech();
            }
            if (step == "no entry") twain->InitTWAIN();
        } catch (const EAssertionFailed& e) {
            raised = Text(e);
        }
        QCOMPARE(raised, text);
    }

    void managerCannotCloseUnderAnOpenSource() {
        TScanSource* twain = Component();
        twain->InitTWAIN();
        twain->OpenDataSource();
        QVERIFY_THROWS_EXCEPTION(ETwainError, twain->CloseDataSourceManager());
        try {
            twain->CloseDataSourceManager();
        } catch (const ETwainError& e) {
            QCOMPARE(Text(e), QString("Unable to close the Data Source Manager. Maybe a source is still in use"));
        }
        QVERIFY(twain->IsDataSourceManagerOpen());
    }

    void missingLibraryNamesItsFile() {
        ForgetFake();
        TScanSource* twain = Component();
        try {
            twain->InitTWAIN();
            QFAIL("no error");
        } catch (const ETwainError& e) {
            QCOMPARE(Text(e), QString("Unable to load or find: libtwain_32.so"));
        }
        QVERIFY(!twain->IsDataSourceManagerOpen());
    }

    // The default source entry is what it was before the selection, once
    // the component has gone; the component itself keeps the chosen one.
    void defaultSourceRestored_data() {
        QTest::addColumn<QString>("before");  // "<none>": no entry
        QTest::newRow("an entry") << "scanner:1";
        QTest::newRow("an empty entry") << "";
        QTest::newRow("no entry") << "<none>";
    }
    void defaultSourceRestored() {
        QFETCH(QString, before);
        if (before != "<none>") profile::WriteProfileString("TWAIN", "DEFAULT SOURCE", before.toStdString());
        TScanSource* twain = Component();
        twain->InitTWAIN();
        twain->SelectDataSource();
        twain->SelectDataSource();
        QCOMPARE(profile::GetProfileString("TWAIN", "DEFAULT SOURCE", "?"), AnsiString("Fake Chosen"));
        QCOMPARE(QString(twain->SourceIdentity().ProductName), QString("Fake Chosen"));
        delete twain;
        std::optional<AnsiString> after = profile::FindProfileString("TWAIN", "DEFAULT SOURCE");
        if (before == "<none>") QVERIFY(!after);
        else
            QCOMPARE(after.value_or("<none>"), before.toStdString());
    }

    // The component hooks the application's message filter and passes every
    // event on to the filter that was there before; it puts that one back
    // when it goes.
    void messageFilterChain() {
        int seen = 0;
        bool handledWhenSeen = false;
        messagefilter::SetOnMessage([&](QObject*, QEvent* e, bool& handled) {
            if (e->type() == kFakeSourceEvent) {
                ++seen;
                handledWhenSeen = handled;
            }
        });
        TScanSource* twain = Component();
        twain->InitTWAIN();
        QImage target;
        twain->Acquire(target);
        SourceSends(MSG_CLOSEDSREQ);
        QCOMPARE(seen, 1);
        QVERIFY(handledWhenSeen);  // the source took it first
        QCOMPARE(ready_, 1);
        delete twain;
        SourceSends(MSG_CLOSEDSREQ);
        QCOMPARE(seen, 2);
        QVERIFY(!handledWhenSeen);
        messagefilter::SetOnMessage({});
    }

    // A source left open but not enabled (a failed Acquire) takes nothing
    // from the application; the next Acquire goes on from there.
    void failedAcquireLeavesTheApplicationAlone() {
        TScanSource* twain = Component();
        twain->InitTWAIN();
        QImage target;
        fake_.Respond("SRC USERINTERFACE ENABLEDS", TWRC_FAILURE, TWCC_BUMMER);
        QVERIFY_THROWS_EXCEPTION(ETwainError, twain->Acquire(target));
        QVERIFY(twain->IsDataSourceOpen());
        QVERIFY(!twain->IsDataSourceEnabled());
        // The source refuses events now, and they go on to their receivers.
        fake_.Respond("SRC EVENT PROCESSEVENT", TWRC_FAILURE, TWCC_SEQERROR);
        QTimer timer;
        bool fired = false;
        connect(&timer, &QTimer::timeout, [&] { fired = true; });
        FakeSourceEvent event(MSG_NULL);
        QVERIFY(!twain->ProcessSourceMessage(&event));
        timer.start(0);
        QTRY_VERIFY(fired);
        int before = static_cast<int>(fake_.Calls().size());
        twain->Acquire(target);
        QCOMPARE(CallsAfter(before), (QStringList{"SRC CAPABILITY SET", "SRC USERINTERFACE ENABLEDS"}));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, twain->SelectDataSource());
    }

    // Texts are cut to their TWAIN fields; enumerations keep TWAIN's codes.
    void properties() {
        TScanSource* twain = Component();
        QCOMPARE(twain->Destination(), TScanSource::xfNative);
        QCOMPARE(twain->Language(), TScanSource::lgAmerican);
        QCOMPARE(twain->Country(), TScanSource::ctUSA);
        QVERIFY(twain->ShowUI());
        QCOMPARE(twain->FileFormat(), TScanSource::ffBMP);
        QCOMPARE(twain->Filename(), AnsiString("C:\\TWAIN.BMP"));
        QCOMPARE(twain->VersionInfo(), AnsiString("Twain component"));
        QCOMPARE(twain->VersionMajor(), 1);
        QCOMPARE(twain->VersionMinor(), 0);
        AnsiString long40(40, 'x');
        long40[31] = 'L';
        twain->SetProductname(long40);
        twain->SetManufacturer(long40);
        twain->SetProductFamily(long40);
        twain->SetVersionInfo(long40);
        for (const AnsiString& s :
             {twain->Productname(), twain->Manufacturer(), twain->ProductFamily(), twain->VersionInfo()})
            QCOMPARE(s, long40.substr(0, 32));
        twain->SetFilename(AnsiString(300, 'f'));
        QCOMPARE(twain->Filename(), AnsiString(255, 'f'));
        twain->SetFileFormat(TScanSource::ffEXIF);
        QCOMPARE(twain->FileFormat(), TScanSource::ffEXIF);
        twain->SetVersionMajor(3);
        twain->SetVersionMinor(9);
        QCOMPARE(twain->AppIdentity().Version.MajorNum, 3);
        QCOMPARE(twain->AppIdentity().Version.MinorNum, 9);
    }

    void enumerationCodes_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("languageCode");
        QTest::addColumn<int>("country");
        QTest::addColumn<int>("countryCode");
        QTest::newRow("Dutch") << int(TScanSource::lgDutch) << 1 << int(TScanSource::ctNetherlands) << 31;
        QTest::newRow("English") << int(TScanSource::lgEnglish) << 2 << int(TScanSource::ctEngland) << 6;
        QTest::newRow("Danish / Denmark") << int(TScanSource::lgDanish) << 0 << int(TScanSource::ctDenmark) << 45;
        QTest::newRow("Finnish / Finland") << int(TScanSource::lgFinnish) << 4 << int(TScanSource::ctFinland) << 358;
        QTest::newRow("Russian") << int(TScanSource::lgRussian) << 78 << int(TScanSource::ctRussia) << 7;
        QTest::newRow("Polish") << int(TScanSource::lgPolish) << 75 << int(TScanSource::ctPoland) << 48;
        QTest::newRow("Greek") << int(TScanSource::lgGreek) << 63 << int(TScanSource::ctGreece) << 30;
        QTest::newRow("Turkish") << int(TScanSource::lgTurkish) << 85 << int(TScanSource::ctTurkey) << 90;
        QTest::newRow("Portuguese") << int(TScanSource::lgPortuguese) << 10 << int(TScanSource::ctPortugal) << 351;
        QTest::newRow("Italian / Spain") << int(TScanSource::lgItalian) << 8 << int(TScanSource::ctSpain) << 34;
    }
    void enumerationCodes() {
        QFETCH(int, language);
        QFETCH(int, languageCode);
        QFETCH(int, country);
        QFETCH(int, countryCode);
        TScanSource* twain = Component();
        twain->SetLanguage(static_cast<TScanSource::TLanguageType>(language));
        twain->SetCountry(static_cast<TScanSource::TCountryType>(country));
        QCOMPARE(int(twain->AppIdentity().Version.Language), languageCode);
        QCOMPARE(int(twain->AppIdentity().Version.Country), countryCode);
        QCOMPARE(int(twain->Language()), language);
        QCOMPARE(int(twain->Country()), country);
    }

    // The component's Cursor is the application's screen cursor.
    void cursorIsTheScreens() {
        TScanSource* twain = Component();
        QCOMPARE(twain->Cursor(), Qt::ArrowCursor);
        twain->SetCursor(Qt::WaitCursor);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QCOMPARE(twain->Cursor(), Qt::WaitCursor);
        twain->SetCursor(Qt::ArrowCursor);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // Installed drivers: SANE's backends, the pass-through one not counted.
    void driverAvailable_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("available");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("only the pass-through") << QStringList{"libsane-dll.so.1"} << false;
        QTest::newRow("other files") << QStringList{"readme.txt", "libsane.so.1"} << false;
        QTest::newRow("a backend") << QStringList{"libsane-dll.so.1", "libsane-test.so.1"} << true;
        QTest::newRow("a backend deeper down") << QStringList{"sub/dir/libsane-epson2.so"} << true;
    }
    void driverAvailable() {
        QFETCH(QStringList, files);
        QFETCH(bool, available);
        AnsiString folder = InProgramDir("backends");
        std::filesystem::create_directories(folder);
        for (const QString& f : files) {
            std::filesystem::path p = std::filesystem::path(folder) / f.toStdString();
            std::filesystem::create_directories(p.parent_path());
            WriteFile(p.string(), "x");
        }
        scansource::test::SetDriverFolder(folder);
        QCOMPARE(Component()->IsTwainDriverAvailable(), available);
        scansource::test::SetDriverFolder(SANE_BACKEND_DIR);
    }
};

FLICKSTOW_TEST_MAIN(TestScanSource)
#include "test_scansource.moc"
