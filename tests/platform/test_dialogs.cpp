#include "platform/dialogs/FileDialogs.h"
#include "platform/errors/Exception.h"
#include "tests/support/JpegSamples.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QWindow>

using namespace testsupport;

namespace {

const char* const kPictureFilter =
    "All (*.jpg;*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg";

// A folder of pictures and other files beside the program folder.
AnsiString PictureFolder() {
    const AnsiString dir = ProgramDir() + "../pictures";
    QDir().mkpath(QString::fromStdString(dir + "/sub"));
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "D.JPEG", "e.png", "f.Jpg", "g.jpg.txt"})
        WriteFile(dir + "/" + name, "x");
    return dir;
}

// The files (not folders) the dialog lists, sorted.
QStringList Listed(QFileDialog& dialog) {
    auto* view = dialog.findChild<QListView*>("listView");
    QStringList names;
    if (!view || !view->model()) return names;
    const QModelIndex root = view->rootIndex();
    for (int i = 0; i < view->model()->rowCount(root); ++i) {
        const QString name = view->model()->index(i, 0, root).data().toString();
        if (name != "sub") names << name;
    }
    names.sort();
    return names;
}

// Clicks a listed file, as the user picks it.
bool ClickListed(QFileDialog& dialog, const QString& name) {
    auto* view = dialog.findChild<QListView*>("listView");
    const QModelIndex root = view->rootIndex();
    for (int i = 0; i < view->model()->rowCount(root); ++i) {
        const QModelIndex index = view->model()->index(i, 0, root);
        if (index.data().toString() != name) continue;
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        return true;
    }
    return false;
}

}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshSandbox(); }

    void errorBoxText_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("letter") << QByteArray("Cannot open file a.vrx") << QByteArray("Cannot open file a.vrx.");
        QTest::newRow("digit") << QByteArray("Error 5") << QByteArray("Error 5.");
        QTest::newRow("full stop") << QByteArray("Done.") << QByteArray("Done.");
        QTest::newRow("bracket") << QByteArray("Failed (disk)") << QByteArray("Failed (disk)");
        QTest::newRow("exclamation") << QByteArray("Stop!") << QByteArray("Stop!");
        QTest::newRow("quote") << QByteArray("Invalid data type for 'X'") << QByteArray("Invalid data type for 'X'");
        QTest::newRow("empty") << QByteArray("") << QByteArray("");
    }
    void errorBoxText() {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, shown);
        QCOMPARE(QByteArray::fromStdString(dialogs::ErrorBoxText(message.toStdString())), shown);
    }

    // An error escaping a handler is reported with the application's title
    // as caption, and the next handler still runs.
    void guardedHandlerReportsAndGoesOn() {
        QPushButton button;
        int runs = 0;
        QObject::connect(&button, &QPushButton::clicked, dialogs::Guarded([&] {
            if (++runs == 1) throw EFOpenError("Cannot open file x");
        }));
        dialogs::test::QueueAnswer(dialogs::IDOK);
        button.click();
        button.click();
        QCOMPARE(runs, 2);
        QCOMPARE(Boxes().size(), size_t(1));
        QCOMPARE(Boxes()[0].text, AnsiString("Cannot open file x."));
        QCOMPARE(Boxes()[0].caption, AnsiString("Varnholt Flickstow"));
        QCOMPARE(Boxes()[0].icon, dialogs::Icon::Error);
        QCOMPARE(Boxes()[0].buttons, dialogs::Buttons::OK);
    }

    // In tests the picture dialog is logged with its settings and answered
    // from the queue.
    void openPictureDialogAnsweredInTests() {
        TOpenPictureDialog dialog;
        dialog.Title = "Open Picture";
        dialog.Filter = kPictureFilter;
        dialog.InitialDir = "/pictures";
        dialogs::test::QueueFileDialogAnswer({"/pictures/cover.jpg", 3});
        dialogs::test::QueueFileDialogAnswer({});
        QVERIFY(dialog.Execute());
        QCOMPARE(dialog.FileName, AnsiString("/pictures/cover.jpg"));
        QCOMPARE(dialog.FilterIndex, 3);
        QVERIFY(!dialog.Execute());
        QCOMPARE(dialog.FileName, AnsiString("/pictures/cover.jpg"));
        const auto& log = dialogs::test::FileDialogLog();
        QCOMPARE(log.size(), size_t(2));
        QCOMPARE(log[0].title, AnsiString("Open Picture"));
        QCOMPARE(log[0].filter, AnsiString(kPictureFilter));
        QCOMPARE(log[0].filterIndex, 1);
        QCOMPARE(log[0].initialDir, AnsiString("/pictures"));
        QVERIFY(log[0].open);
        QCOMPARE(log[1].filterIndex, 3);
    }

    // The real dialog lists the files of the chosen type, whatever the case
    // of their endings, as the filter's ";"-separated patterns say; choosing
    // another type from the list changes what it lists.
    void openPictureDialogLists_data() {
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("afterNextType");  // empty: no next type
        const QStringList jpg{"B.JPG", "a.jpg", "f.Jpg"}, jpeg{"D.JPEG", "c.jpeg"};
        QTest::newRow("All") << 1 << QStringList{"B.JPG", "D.JPEG", "a.jpg", "c.jpeg", "f.Jpg"} << jpg;
        QTest::newRow("*.jpg") << 2 << jpg << jpeg;
        QTest::newRow("*.jpeg") << 3 << jpeg << QStringList();
    }
    void openPictureDialogLists() {
        QFETCH(int, filterIndex);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, afterNextType);
        TOpenPictureDialog settings;
        settings.Title = "Open Picture";
        settings.Filter = kPictureFilter;
        settings.FilterIndex = filterIndex;
        settings.InitialDir = PictureFolder();
        std::unique_ptr<QFileDialog> dialog = dialogs::MakeOpenPictureDialog(settings, nullptr);
        QCOMPARE(dialog->windowTitle(), QString("Open Picture"));
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog->nameFilters(),
                 QStringList({"All (*.jpg;*.jpeg)", "JPEG Image File (*.jpg)", "JPEG Image File (*.jpeg)"}));
        dialog->show();
        QTRY_COMPARE(Listed(*dialog), listed);
        if (!afterNextType.isEmpty()) {
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            QVERIFY(types);
            types->setFocus();
            QTest::keyClick(types, Qt::Key_Down);
            QTRY_COMPARE(Listed(*dialog), afterNextType);
        }
    }

    // Beside the list the dialog shows the selected picture, fitted into
    // its box, with its size; a file that is no picture shows no picture.
    void openPictureDialogPreview_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QSize>("shown");  // empty: no picture
        QTest::newRow("wide") << QByteArray::fromStdString(MakeJpeg(JpegKind::Baseline, 600, 200, Qt::red, Qt::blue))
                              << "(600 x 200)" << QSize(160, 53);
        QTest::newRow("tall cmyk") << QByteArray::fromStdString(
                                          MakeJpeg(JpegKind::AdobeCmyk, 100, 400, Qt::red, Qt::blue))
                                   << "(100 x 400)" << QSize(40, 160);
        QTest::newRow("small, not enlarged")
            << QByteArray::fromStdString(MakeJpeg(JpegKind::Greyscale, 30, 20, Qt::red, Qt::blue)) << "(30 x 20)"
            << QSize(30, 20);
        QTest::newRow("no picture") << QByteArray("x") << "(no preview)" << QSize();
    }
    void openPictureDialogPreview() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, size);
        QFETCH(QSize, shown);
        const AnsiString dir = PictureFolder();
        WriteFile(dir + "/cover.jpg", bytes.toStdString());
        TOpenPictureDialog settings;
        settings.Filter = kPictureFilter;
        settings.InitialDir = dir;
        std::unique_ptr<QFileDialog> dialog = dialogs::MakeOpenPictureDialog(settings, nullptr);
        dialog->show();
        QTRY_VERIFY(Listed(*dialog).contains("cover.jpg"));
        auto* sizeLabel = dialog->findChild<QLabel*>("PreviewSize");
        auto* picture = dialog->findChild<QLabel*>("PreviewPicture");
        QVERIFY(sizeLabel && picture);
        QVERIFY(picture->isVisible());
        QVERIFY(ClickListed(*dialog, "cover.jpg"));
        QTRY_COMPARE(sizeLabel->text(), size);
        QCOMPARE(picture->pixmap().size(), shown.isEmpty() ? QSize(0, 0) : shown);
        // Another selection replaces it.
        QVERIFY(ClickListed(*dialog, "a.jpg"));
        QTRY_COMPARE(sizeLabel->text(), QString("(no preview)"));
        QVERIFY(picture->pixmap().isNull());
    }

    // A box opens above the window that raised it, modal, and on top of
    // other windows with a window that stays on top, also when another
    // window had the keyboard; a box no window names opens above the modal
    // dialog on top, also while that dialog is disabled (waiting for a scan).
    void boxOpensAboveItsWindow_data() {
        QTest::addColumn<bool>("named");  // the box names the window
        QTest::newRow("named window") << true;
        QTest::newRow("modal dialog on top, disabled") << false;
    }
    void boxOpensAboveItsWindow() {
        QFETCH(bool, named);
        QWidget main;
        main.show();
        QDialog editor(&main);
        editor.setWindowFlag(Qt::WindowStaysOnTopHint);
        QLineEdit field(&editor);
        if (!named) editor.setWindowModality(Qt::ApplicationModal);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QApplication::setActiveWindow(&main);
        editor.setEnabled(named);
        bool active = false, above = false;
        dialogs::test::ShowBoxes([&](QWidget* box) {
            active = QTest::qWaitFor([box] { return QApplication::activeWindow() == box; });
            above = box->windowHandle()->transientParent() == editor.windowHandle() && box->isModal() &&
                    box->isEnabled() && box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        });
        dialogs::test::QueueAnswer(dialogs::IDOK);
        dialogs::ShowErrorBox("Cannot open file x", named ? &field : nullptr);
        dialogs::test::ShowBoxes({});
        QCOMPARE(Boxes().at(0).window, static_cast<const QWidget*>(&editor));
        QVERIFY(active);
        QVERIFY(above);
    }

    void answersComeInOrder() {
        dialogs::test::QueueAnswer(dialogs::IDNO);
        dialogs::test::QueueAnswer(dialogs::IDYES);
        QCOMPARE(dialogs::MessageBox("a", "c", dialogs::Icon::Question, dialogs::Buttons::YesNo), int(dialogs::IDNO));
        QCOMPARE(dialogs::MessageBox("b", "c", dialogs::Icon::Question, dialogs::Buttons::YesNo), int(dialogs::IDYES));
        QCOMPARE(dialogs::test::PendingAnswers(), 0);
    }
};

FLICKSTOW_TEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
