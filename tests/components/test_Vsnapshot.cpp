#include "components/Vsnapshot/Vsnapshot.h"
#include "platform/errors/Exception.h"
#include "platform/files/files.h"
#include "platform/jpeg/jpeg.h"
#include "tests/support/JpegSamples.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLabel>
#include <QWidget>

using namespace testsupport;

namespace {

QWidget* Coloured(QWidget* parent, const QColor& colour, const QRect& geometry) {
    auto* w = new QWidget(parent);
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setGeometry(geometry);
    return w;
}

const QColor kForm(230, 230, 230), kPage(40, 160, 60), kControl(30, 60, 200), kChild(220, 40, 40);

// A form holding a page at (20, 30), and on that page a control at
// (10, 5) of 90 x 70 whose right half is covered by a child of its own.
struct Form {
    QWidget form;
    QWidget *page, *control;
    Form() {
        QPalette p = form.palette();
        p.setColor(QPalette::Window, kForm);
        form.setPalette(p);
        form.resize(300, 200);
        page = Coloured(&form, kPage, QRect(20, 30, 200, 150));
        control = Coloured(page, kControl, QRect(10, 5, 90, 70));
        Coloured(control, kChild, QRect(45, 0, 45, 70));
    }
};

}  // namespace

class TestVsnapshot : public QObject {
    Q_OBJECT

private slots:
    void init() { FreshSandbox(); }

    // The file shows the form's area at the control's place moved by the
    // offsets, with everything drawn there, exactly the control's size, at
    // the quality asked, baseline 24-bit.
    void savesTheControlsArea_data() {
        QTest::addColumn<int>("quality");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QColor>("at5x10");
        QTest::addColumn<QColor>("at60x60");
        QTest::newRow("offsets of the page, quality 80") << 80 << QPoint(20, 30) << kControl << kChild;
        QTest::newRow("offsets of the page, quality 90") << 90 << QPoint(20, 30) << kControl << kChild;
        QTest::newRow("offsets of the page, quality 30") << 30 << QPoint(20, 30) << kControl << kChild;
        // Without the offsets the area lies further up and left, across
        // the form, the page and the control.
        QTest::newRow("no offsets") << 80 << QPoint(0, 0) << kForm << kControl;
    }
    void savesTheControlsArea() {
        QFETCH(int, quality);
        QFETCH(QPoint, offset);
        QFETCH(QColor, at5x10);
        QFETCH(QColor, at60x60);
        Form f;
        TVSnapShot snap;
        const AnsiString path = InProgramDir("shot.jpg");
        snap.SaveToJPEGFile(quality, path, &f.form, f.control, offset.x(), offset.y());
        const AnsiString bytes = ReadFile(path);
        JpegFacts facts = ReadJpegFacts(bytes);
        QCOMPARE(QSize(facts.width, facts.height), QSize(90, 70));
        QCOMPARE(facts.components, 3);
        QVERIFY(!facts.progressive);
        QVERIFY(facts.tables == TablesAtQuality(quality));
        QImage image = jpeg::Decode(bytes).image;
        QVERIFY(ColourDistance(image.pixel(5, 10), at5x10.rgb()) <= 16);
        QVERIFY(ColourDistance(image.pixel(60, 60), at60x60.rgb()) <= 16);
    }

    // An area reaching beyond the form is filled with the form's colour.
    void beyondTheForm() {
        Form f;
        TVSnapShot snap;
        const AnsiString path = InProgramDir("shot.jpg");
        snap.SaveToJPEGFile(90, path, &f.form, f.control, 250, 0);
        QImage image = jpeg::Decode(ReadFile(path)).image;
        QCOMPARE(image.size(), QSize(90, 70));
        QVERIFY(ColourDistance(image.pixel(85, 35), kForm.rgb()) <= 16);
    }

    void replacesAnExistingFile() {
        Form f;
        const AnsiString path = InProgramDir("shot.jpg");
        WriteFile(path, "old");
        TVSnapShot snap;
        snap.SaveToJPEGFile(80, path, &f.form, f.control, 20, 30);
        QCOMPARE(ReadJpegFacts(ReadFile(path)).width, 90);
    }

    // A file that cannot be written is an error for the caller, and nothing
    // is left behind.
    void unwritableFileRaises() {
        Form f;
        TVSnapShot snap;
        const AnsiString folder = InProgramDir("shot.jpg");
        QVERIFY(QDir().mkdir(QString::fromStdString(folder)));
        QVERIFY_THROWS_EXCEPTION(EFCreateError, snap.SaveToJPEGFile(80, folder, &f.form, f.control, 20, 30));
        QCOMPARE(files::KindOf(folder), files::PathKind::Folder);
        files::test::FailNextWriteAfter(10);
        const AnsiString path = InProgramDir("full.jpg");
        QVERIFY_THROWS_EXCEPTION(EFCreateError, snap.SaveToJPEGFile(80, path, &f.form, f.control, 20, 30));
        QCOMPARE(QDir(QString::fromStdString(ProgramDir())).entryList(QDir::Files), QStringList());
    }
};

FLICKSTOW_TEST_MAIN(TestVsnapshot)
#include "test_Vsnapshot.moc"
