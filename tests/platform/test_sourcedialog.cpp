// The source's window on its own: the scan area by its numbers, by a size
// and by the rectangle on the preview; a device without an area; and the
// preview of SANE's test device leaving the device's settings as they were.

#include "platform/twaindsm/SaneDevice.h"
#include "platform/twaindsm/SourceDialogs.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>

using namespace testsupport;
using twaindsm::ScanArea;

Q_DECLARE_METATYPE(ScanArea)

namespace {

constexpr double kNear = 1.0;  // millimetres: what a pixel of the pane is worth

twaindsm::DeviceOptions Device(std::optional<QSizeF> glass) {
    twaindsm::DeviceOptions o;
    o.modes = {"Gray", "Color"};
    o.hasResolution = true;
    o.minDpi = 1;
    o.maxDpi = 1200;
    o.glass = glass;
    return o;
}

std::unique_ptr<twaindsm::SourceDialog> Window(std::optional<QSizeF> glass, std::optional<ScanArea> area,
                                               const QString& size = {}) {
    twaindsm::ScanSettings start;
    start.mode = "Color";
    start.dpi = 150;
    start.area = area;
    start.size = size;
    return std::make_unique<twaindsm::SourceDialog>(nullptr, twaindsm::DeviceInfo{"test:0", "Noname", "tester", ""},
                                                    Device(glass), start);
}

ScanArea Boxes(const twaindsm::SourceDialog& d) {
    return {d.LeftBox->value(), d.TopBox->value(), d.WidthBox->value(), d.HeightBox->value()};
}

QString Text(const ScanArea& a) { return QString("%1,%2 %3x%4").arg(a.left).arg(a.top).arg(a.width).arg(a.height); }

bool Near(const ScanArea& a, const ScanArea& b, double by) {
    return std::fabs(a.left - b.left) <= by && std::fabs(a.top - b.top) <= by && std::fabs(a.width - b.width) <= by &&
           std::fabs(a.height - b.height) <= by;
}

#define COMPARE_AREA(actual, expected, by) \
    QVERIFY2(Near(actual, expected, by), qPrintable(Text(actual) + " against " + Text(expected)))

}  // namespace

class TestSourceDialog : public QObject {
    Q_OBJECT

private slots:
    void init() { FreshSandbox(); }

    // A size puts the cover where the area is, moved back onto the glass as
    // far as it would reach beyond it; a glass too small takes what fits.
    void sizes_data() {
        QTest::addColumn<QSizeF>("glass");
        QTest::addColumn<QString>("size");
        QTest::addColumn<ScanArea>("expected");
        const QSizeF glass(200, 200);
        QTest::newRow("whole glass") << glass << "Whole glass" << ScanArea{0, 0, 200, 200};
        QTest::newRow("DVD cover") << glass << "DVD cover (130 x 184 mm)" << ScanArea{70, 16, 130, 184};
        QTest::newRow("Blu-ray cover") << glass << "Blu-ray cover (128 x 148 mm)" << ScanArea{72, 50, 128, 148};
        QTest::newRow("CD booklet") << glass << "CD booklet (120 x 120 mm)" << ScanArea{80, 50, 120, 120};
        QTest::newRow("custom keeps the area") << glass << "Custom" << ScanArea{100, 50, 40, 60};
        QTest::newRow("DVD cover on a small glass")
            << QSizeF(120, 150) << "DVD cover (130 x 184 mm)" << ScanArea{0, 0, 120, 150};
    }
    void sizes() {
        QFETCH(QSizeF, glass);
        QFETCH(QString, size);
        QFETCH(ScanArea, expected);
        auto d = Window(glass, ScanArea{100, 50, 40, 60});
        QCOMPARE(d->SizeBox->currentText(), QString("Custom"));
        QCOMPARE(d->SizeBox->count(), 5);
        d->SizeBox->setCurrentText(size);
        COMPARE_AREA(Boxes(*d), expected, 0.01);
        QCOMPARE(d->SizeBox->currentText(), size);
        COMPARE_AREA(d->Settings().area.value(), expected, 0.01);
        QCOMPARE(d->Settings().size, size);
    }

    // The numbers stay on the glass (moved further, the area is narrower)
    // and at least a millimetre wide; editing them chooses "Custom".
    void numbersOnTheGlass_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<double>("value");
        QTest::addColumn<ScanArea>("expected");
        QTest::newRow("left near the edge") << "LeftBox" << 190.0 << ScanArea{190, 30, 10, 60};
        QTest::newRow("left beyond the glass") << "LeftBox" << 250.0 << ScanArea{199, 30, 1, 60};
        QTest::newRow("top beyond the glass") << "TopBox" << 300.0 << ScanArea{20, 199, 40, 1};
        QTest::newRow("width beyond the glass") << "WidthBox" << 500.0 << ScanArea{20, 30, 180, 60};
        QTest::newRow("height below a millimetre") << "HeightBox" << 0.2 << ScanArea{20, 30, 40, 1};
        QTest::newRow("one decimal") << "WidthBox" << 40.46 << ScanArea{20, 30, 40.5, 60};
        QTest::newRow("negative") << "TopBox" << -5.0 << ScanArea{20, 0, 40, 60};
    }
    void numbersOnTheGlass() {
        QFETCH(QString, box);
        QFETCH(double, value);
        QFETCH(ScanArea, expected);
        auto d = Window(QSizeF(200, 200), std::nullopt);
        QCOMPARE(d->SizeBox->currentText(), QString("Whole glass"));
        d->LeftBox->setValue(20);
        d->TopBox->setValue(30);
        d->WidthBox->setValue(40);
        d->HeightBox->setValue(60);
        d->findChild<QDoubleSpinBox*>(box)->setValue(value);
        COMPARE_AREA(Boxes(*d), expected, 0.001);
        QCOMPARE(d->SizeBox->currentText(), QString("Custom"));
        // The rectangle shows the same area.
        COMPARE_AREA(d->PreviewPane->Area(), expected, 0.001);
    }

    // The rectangle follows the numbers, and they follow the rectangle as
    // the mouse moves it, resizes it or draws a new one.
    void rectangleAndNumbers_data() {
        QTest::addColumn<QPointF>("press");  // millimetres on the glass
        QTest::addColumn<QPointF>("release");
        QTest::addColumn<ScanArea>("expected");
        // The area starts at 20,30 and is 40 x 60.
        QTest::newRow("moved") << QPointF(40, 60) << QPointF(90, 80) << ScanArea{70, 50, 40, 60};
        QTest::newRow("moved against the glass's edge")
            << QPointF(40, 60) << QPointF(400, 400) << ScanArea{160, 140, 40, 60};
        QTest::newRow("bottom right corner") << QPointF(60, 90) << QPointF(100, 150) << ScanArea{20, 30, 80, 120};
        QTest::newRow("top edge") << QPointF(40, 30) << QPointF(40, 10) << ScanArea{20, 10, 40, 80};
        QTest::newRow("left edge past the right one")
            << QPointF(20, 60) << QPointF(100, 60) << ScanArea{60, 30, 40, 60};
        QTest::newRow("drawn anew") << QPointF(120, 120) << QPointF(180, 190) << ScanArea{120, 120, 60, 70};
        QTest::newRow("drawn anew upwards") << QPointF(150, 150) << QPointF(100, 110) << ScanArea{100, 110, 50, 40};
        QTest::newRow("a click beside it changes nothing")
            << QPointF(150, 150) << QPointF(150, 150) << ScanArea{20, 30, 40, 60};
    }
    void rectangleAndNumbers() {
        QFETCH(QPointF, press);
        QFETCH(QPointF, release);
        QFETCH(ScanArea, expected);
        auto d = Window(QSizeF(200, 200), ScanArea{20, 30, 40, 60}, "Custom");
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        twaindsm::AreaPane* pane = d->PreviewPane;
        QCOMPARE(pane->size(), QSize(220, 300));
        COMPARE_AREA(pane->Area(), (ScanArea{20, 30, 40, 60}), 0);
        // Inside the rectangle the glass shows as it is; outside, dimmed.
        QImage shown = pane->grab().toImage();
        QCOMPARE(shown.pixelColor(pane->ToPane({40, 60}).toPoint()), QColor(Qt::white));
        QVERIFY(shown.pixelColor(pane->ToPane({150, 150}).toPoint()).lightness() < 230);

        QTest::mousePress(pane, Qt::LeftButton, {}, pane->ToPane(press).toPoint());
        QTest::mouseMove(pane, pane->ToPane((press + release) / 2).toPoint());
        QTest::mouseMove(pane, pane->ToPane(release).toPoint());
        QTest::mouseRelease(pane, Qt::LeftButton, {}, pane->ToPane(release).toPoint());
        COMPARE_AREA(pane->Area(), expected, kNear);
        COMPARE_AREA(Boxes(*d), pane->Area(), 0.05);
        QCOMPARE(d->SizeBox->currentText(), QString("Custom"));

        // And back: the numbers move the rectangle.
        d->LeftBox->setValue(5);
        d->HeightBox->setValue(25);
        COMPARE_AREA(pane->Area(), (ScanArea{5, Boxes(*d).top, Boxes(*d).width, 25}), 0);
    }

    // A device without an area: the controls are disabled, the window says
    // why, the mouse draws nothing and a scan takes the device's own area.
    void deviceWithoutArea() {
        auto d = Window(std::nullopt, ScanArea{20, 30, 40, 60}, "DVD cover (130 x 184 mm)");
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d.get()));
        for (QWidget* w : std::initializer_list<QWidget*>{d->LeftBox, d->TopBox, d->WidthBox, d->HeightBox, d->SizeBox})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(d->NoAreaLabel->isVisible());
        QCOMPARE(d->NoAreaLabel->text(), QString("This scanner scans its whole glass"));
        QVERIFY(d->PreviewButton->isEnabled());
        QVERIFY(d->ScanButton->isEnabled());
        // Through a preview and back the area controls stay disabled, and
        // the focus comes back to Preview (not to Cancel, where Enter would
        // close the window).
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        d->PreviewButton->setFocus();
        d->SetScanning(true, "Previewing ...");
        QCOMPARE(d->StatusLabel->text(), QString("Previewing ..."));
        d->ShowPreview(QImage(100, 140, QImage::Format_Grayscale8));
        QVERIFY(!d->LeftBox->isEnabled());
        QVERIFY(d->PreviewButton->isEnabled());
        QCOMPARE(QApplication::focusWidget(), d->PreviewButton);
        QTest::mousePress(d->PreviewPane, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseMove(d->PreviewPane, QPoint(150, 200));
        QTest::mouseRelease(d->PreviewPane, Qt::LeftButton, {}, QPoint(150, 200));
        QVERIFY(!d->Settings().area);
        QVERIFY(d->Settings().size.isEmpty());

        // A device with an area says nothing of the kind.
        auto withArea = Window(QSizeF(200, 200), std::nullopt);
        withArea->show();
        QVERIFY(!withArea->NoAreaLabel->isVisible());
        QVERIFY(withArea->LeftBox->isEnabled());
    }

    // The preview scans the test device's whole glass in grey at 25 dpi and
    // leaves the mode, resolution and area the user's scan had set.
    void previewRestoresTheSettings() {
        ConfigureSane({"test-picture \"Color pattern\""});
        twaindsm::SaneLibrary sane;
        QVERIFY(sane.Start());
        twaindsm::SaneDevice device("test:0");
        QVERIFY(device.HasGeometry());
        QCOMPARE(device.Glass(), QSizeF(200, 200));
        QCOMPARE(device.PreviewDpi(), 25.0);
        twaindsm::ScanSettings mine;
        mine.mode = "Color";
        mine.dpi = 40;
        mine.area = ScanArea{10, 20, 30, 40};
        QImage page = device.Scan(mine);
        QCOMPARE(page.size(), QSize(47, 62));
        QImage glass = device.Preview();
        QCOMPARE(glass.format(), QImage::Format_Grayscale8);
        QCOMPARE(glass.size(), QSize(196, 196));
        QCOMPARE(device.CurrentMode(), QString("Color"));
        QCOMPARE(device.CurrentDpi(), 40.0);
        COMPARE_AREA(device.CurrentArea(), *mine.area, 0.001);
        // What the device scans next without being told is the user's page.
        QImage again = device.Scan({});
        QCOMPARE(again.size(), page.size());
        QCOMPARE(again.format(), page.format());
        QVERIFY(again == page);
    }
};

FLICKSTOW_TEST_MAIN(TestSourceDialog)
#include "test_sourcedialog.moc"
