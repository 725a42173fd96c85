// Scanning a cover in the entry editor, with SANE's test scanner behind our
// source manager: the scanner's own window, the page kept in a scan file,
// the replace question and the thumbnail made of the page.

#include "app/forms/TImage.h"
#include "components/scansource/ScanSource.h"
#include "platform/dib/dib.h"
#include "platform/edits/edits.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"
#include "platform/random/Random.h"
#include "tests/app/Windows.h"
#include "tests/components/FakeTwainDsm.h"
#include "tests/support/SampleFilms.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

using namespace testsupport;

namespace {

const AnsiString kReplace =
    "Do you want to replace the current picture?\n\nIf you choose YES the current picture will be deleted and you may "
    "browse for a new one.";
constexpr int64_t kNow = 1'700'000'000;

// The two numbers a scan draws at kNow.
std::pair<int, int> ScanNumbers() {
    rng::Randomize();
    const int first = rng::Random(1000);
    return {first, rng::Random(1000)};
}

QStringList FilesLike(const char* pattern) {
    return QDir(QString::fromStdString(ProgramDir())).entryList({pattern}, QDir::Files | QDir::Hidden);
}

// Pixels whose colour is clearly not a grey.
int ColouredPixels(const QImage& image) {
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) coloured += QColor(image.pixel(x, y)).hsvSaturation() > 120;
    return coloured;
}

}  // namespace

class TestScan : public QObject {
    Q_OBJECT

    Windows w;
    TForm2* f2 = nullptr;

    void Start(const std::vector<MovieRecord>& films = {kSolaris}) {
        w.Create(films);
        f2 = w.form2;
        // Half a second after start the scanner support is up.
        QTRY_VERIFY(f2->TWAIN->IsDataSourceManagerOpen());
    }

    // What happened in the scanner's window during the last scan.
    struct SourceWindow {
        bool shown = false, editorDisabled = false, aboveEditor = false;
    };

    // In the open editor: "sc&an" on the "&More Details" page, typed as the
    // user does; `action` runs in the scanner's window once it is up
    // ("scan" at the given mode, "cancel"), or never (the scan fails).
    SourceWindow Scan(const QString& action, const QString& mode = "Color") {
        SourceWindow seen;
        f2->PageControl1->setCurrentIndex(1);
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* source = w.form1->findChild<QDialog*>("SourceDialog");
            if (seen.shown || !source || !source->isVisible()) return;
            seen.shown = true;
            seen.editorDisabled = !f2->isEnabled();
            // The editor stays on top of other windows; the scanner's window
            // must not open beneath it.
            seen.aboveEditor = source->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            if (action == "scan") {
                source->findChild<QComboBox*>("ModeBox")->setCurrentText(mode);
                // 80 x 100 mm at 30 dpi: 94 x 118 pixels.
                source->findChild<QSpinBox*>("ResolutionBox")->setValue(30);
                source->findChild<QPushButton*>("ScanButton")->click();
            } else {
                source->findChild<QPushButton*>("CancelButton")->click();
            }
        });
        poll.start(10);
        f2->Memo2->setFocus();
        UserKey(Qt::Key_A, Qt::AltModifier);
        // The key clicks the button a moment later; every scan ends in a
        // box: the replace question, or the error.
        if (!QTest::qWaitFor([] { return !Boxes().empty(); }, 60000)) qWarning("the scan never ended in a box");
        return seen;
    }

private slots:
    void initTestCase() { ConfigureSane({"test-picture \"Color pattern\""}); }
    void init() {
        FreshSandbox();
        rng::test::SetClock([] { return kNow; });
    }
    void cleanup() {
        w.Destroy();
        f2 = nullptr;
        rng::test::SetClock({});
        ConfigureSane({"test-picture \"Color pattern\""});
        QCOMPARE(dialogs::test::PendingAnswers(), 0);
    }

    // The scanned page becomes the entry's thumbnail, "t_scan" and both
    // numbers, captured from the preview; the scan file goes. Declined, the
    // page stays in its scan file and the entry keeps its picture.
    void scannedPage_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("replace");
        QTest::newRow("colour, replaced") << "Color" << true;
        QTest::newRow("grey, replaced") << "Gray" << true;
        QTest::newRow("declined") << "Color" << false;
    }
    void scannedPage() {
        QFETCH(QString, mode);
        QFETCH(bool, replace);
        // Plain names: lambdas below capture them.
        const std::pair<int, int> numbers = ScanNumbers();
        const int first = numbers.first, second = numbers.second;
        const AnsiString scanFile = InProgramDir("scan" + std::to_string(first) + ".jpg");
        WriteFile(InProgramDir("t_old1.jpg"), jpeg::Encode(QImage(20, 20, QImage::Format_RGB32), 80, false));
        MovieRecord film = kSolaris;
        film.Picture = "t_old1.jpg";
        Start({film});
        SourceWindow seen;
        w.ModifyEntry(0, [&] {
            dialogs::test::QueueAnswer(replace ? dialogs::IDYES : dialogs::IDNO);
            seen = Scan("scan", mode);
            QVERIFY(f2->isEnabled());
            QVERIFY(f2->Image3->Picture().isNull());
            if (replace) {
                QCOMPARE(f2->Edit4->text().toStdString(),
                         "t_scan" + std::to_string(first) + std::to_string(second) + ".jpg");
                QVERIFY(!f2->Image2->Picture().isNull());
            } else {
                QCOMPARE(f2->Edit4->text(), QString("t_old1.jpg"));
            }
        });
        QVERIFY(seen.shown);
        QVERIFY(seen.editorDisabled);
        QVERIFY(seen.aboveEditor);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].text, kReplace);
        QCOMPARE(Boxes()[0].caption, AnsiString("Warning"));
        if (replace) {
            QVERIFY(!files::FileExists(scanFile));
            QVERIFY(!files::FileExists(InProgramDir("t_old1.jpg")));
            const AnsiString thumbnail = "t_scan" + std::to_string(first) + std::to_string(second) + ".jpg";
            const QImage image = jpeg::DecodeFile(InProgramDir(thumbnail)).image;
            QCOMPARE(image.size(), QSize(161, 157));
            // The colour pattern shows in colour only when scanned in colour.
            if (mode == "Color") QVERIFY(ColouredPixels(image) > 2000);
            else
                QCOMPARE(ColouredPixels(image), 0);
            QCOMPARE(FilesLike("scan*"), QStringList());
        } else {
            // The page as scanned, kept for the user.
            const QImage page = jpeg::DecodeFile(scanFile).image;
            QCOMPARE(page.size(), QSize(94, 118));
            QVERIFY(ColouredPixels(page) > 2000);
            QVERIFY(files::FileExists(InProgramDir("t_old1.jpg")));
            QCOMPARE(w.Row(0).Picture, AnsiString("t_old1.jpg"));
        }
    }

    // Closing the scanner's window without a page still asks; the scan file
    // is then empty, and on Yes the thumbnail shows the empty panel with its
    // caption.
    void closedWithoutPage_data() {
        QTest::addColumn<bool>("replace");
        QTest::newRow("replaced") << true;
        QTest::newRow("declined") << false;
    }
    void closedWithoutPage() {
        QFETCH(bool, replace);
        const int first = ScanNumbers().first;
        const AnsiString scanFile = InProgramDir("scan" + std::to_string(first) + ".jpg");
        Start();
        SourceWindow seen;
        w.NewEntry([&] {
            dialogs::test::QueueAnswer(replace ? dialogs::IDYES : dialogs::IDNO);
            seen = Scan("cancel");
            QVERIFY(f2->isEnabled());
            if (replace) {
                QVERIFY(!f2->Edit4->text().isEmpty());
                QVERIFY(f2->Image2->Picture().isNull());
                const QImage image = jpeg::DecodeFile(InProgramDir(f2->Edit4->text().toStdString())).image;
                QCOMPARE(image.size(), QSize(161, 157));
                QCOMPARE(ColouredPixels(image), 0);
                QCOMPARE(QColor(image.pixel(10, 10)).lightness(), QColor(209, 209, 209).lightness());
            } else {
                QVERIFY(f2->Edit4->text().isEmpty());
            }
        });
        QVERIFY(seen.shown);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].text, kReplace);
        if (replace) QCOMPARE(FilesLike("scan*"), QStringList());
        else
            QCOMPARE(ReadFile(scanFile), AnsiString());
    }

    // When the scan cannot start (no scanner), the error says why, the
    // editor is usable again, nothing is asked and no file is made.
    void scanThatCannotStart() {
        ConfigureSane({}, "");
        Start();
        SourceWindow seen;
        w.NewEntry([&] {
            dialogs::test::QueueAnswer(dialogs::IDOK);
            seen = Scan("never");
            QVERIFY(f2->isEnabled());
            QVERIFY(f2->isVisible());
            QVERIFY(f2->Edit4->text().isEmpty());
        });
        QVERIFY(!seen.shown);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
        QVERIFY2(Boxes()[0].text.starts_with("Data Source Manager error in module "), Boxes()[0].text.c_str());
        QCOMPARE(FilesLike("scan*"), QStringList());
        QCOMPARE(FilesLike("t_*"), QStringList());
    }

    // A scan that ends in an error, or never ends because the scanner is
    // gone or the program quits: the editor is usable again, and there is
    // no scan file, no question and no other cover. An error is shown.
    void scanEndsWithoutPage_data() {
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("failing");  // the manager's call that fails
        QTest::addColumn<QString>("error");    // the error box's text begins so; empty: no box
        const QString module = "Data Source Manager error in module ";
        // clang-format off
        QTest::newRow("transfer fails") << "page" << "SRC IMAGENATIVEXFER GET" << module + "Native Transfer";
        QTest::newRow("end of transfer fails")
            << "page" << "SRC PENDINGXFERS ENDXFER" << module + "Check for Pending Transfers";
        QTest::newRow("closing fails") << "close" << "SRC USERINTERFACE DISABLEDS" << module + "DisableDataSource";
        QTest::newRow("scanner destroyed") << "destroy" << "" << "";
        QTest::newRow("program quits") << "quit" << "" << "";
        // clang-format on
    }
    void scanEndsWithoutPage() {
        QFETCH(QString, end);
        QFETCH(QString, failing);
        QFETCH(QString, error);
        Fake fake = Fake::Install(FAKE_DSM_PATH, InProgramDir(kTwainLibraryName));
        WriteFile(InProgramDir("t_old1.jpg"), jpeg::Encode(QImage(20, 20, QImage::Format_RGB32), 80, false));
        MovieRecord film = kSolaris;
        film.Picture = "t_old1.jpg";
        Start({film});
        bool stuck = false;
        auto steps = [&] {
            f2->PageControl1->setCurrentIndex(1);
            if (!failing.isEmpty()) fake.Respond(failing.toLatin1(), TWRC_FAILURE, TWCC_BUMMER);
            const auto page = dib::PackBlock(QImage(8, 8, QImage::Format_RGB32), 24);
            fake.SetImage(page.data(), page.size(), 0);
            if (!error.isEmpty()) dialogs::test::QueueAnswer(dialogs::IDOK);
            // What happens while the editor waits for the scanner.
            QTimer::singleShot(0, f2, [&] {
                if (end == "page") Fake::SourceSends(MSG_XFERREADY);
                else if (end == "close")
                    Fake::SourceSends(MSG_CLOSEDSREQ);
                else if (end == "destroy")
                    delete f2->TWAIN;
                else
                    QCoreApplication::quit();
            });
            // A wait with no way out is let go (declining the page), and the
            // test fails.
            QTimer::singleShot(10000, f2, [&] {
                stuck = !f2->isEnabled();
                if (!stuck) return;
                dialogs::test::QueueAnswer(dialogs::IDNO);
                f2->TWAINScanReady();
            });
            f2->SpeedButton6->click();
            QVERIFY(f2->isEnabled());
        };
        if (end == "quit") {
            // Quitting ends the application's event loop, which runs here.
            QTimer::singleShot(0, [&] { w.ModifyEntry(0, steps); });
            QCoreApplication::exec();
        } else {
            w.ModifyEntry(0, steps);
        }
        QVERIFY(!stuck);
        QCOMPARE(Boxes().size(), size_t(error.isEmpty() ? 0 : 1));
        if (!error.isEmpty()) {
            QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
            QVERIFY2(QString::fromStdString(Boxes()[0].text).startsWith(error), Boxes()[0].text.c_str());
        }
        QCOMPARE(FilesLike("scan*"), QStringList());
        QCOMPARE(FilesLike("t_*"), QStringList{"t_old1.jpg"});
        QCOMPARE(w.Row(0).Picture, AnsiString("t_old1.jpg"));
    }

    // A file already named like the scan file is the user's: the page goes
    // to another name, and the file is neither overwritten nor deleted.
    void scanFileNameTaken() {
        const int first = ScanNumbers().first;
        const AnsiString taken = InProgramDir("scan" + std::to_string(first) + ".jpg");
        WriteFile(taken, "mine");
        Start();
        w.NewEntry([&] {
            dialogs::test::QueueAnswer(dialogs::IDYES);
            Scan("scan");
            QVERIFY(f2->Edit4->text().startsWith("t_scan"));
            QVERIFY(files::FileExists(InProgramDir(f2->Edit4->text().toStdString())));
        });
        QCOMPARE(ReadFile(taken), AnsiString("mine"));
        QCOMPARE(FilesLike("scan*"), QStringList{QString::fromStdString(files::ExtractFileName(taken))});
    }
};

FLICKSTOW_TEST_MAIN(TestScan)
#include "test_scan.moc"
