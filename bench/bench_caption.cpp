// The painted caption bar: composing the bar of a 1920-pixel-wide main
// window, beside filling its 256 gradient bands into an image of the same
// size with QPainter::fillRect; and how often a one-pixel resize of the
// shown window composes the bar.

#include "bench/Bench.h"
#include "components/Enhancedform/Enhancedform.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>

using namespace bench;

namespace {

constexpr int kWidth = 1920;
constexpr int kRepeat = 1000;  // compositions per timed run

class MainWindow : public QMainWindow {
public:
    TEnhancedForm* enhancer;
    MainWindow() {
        enhancer = new TEnhancedForm(this);
        setWindowTitle("Varnholt Flickstow 1.5");
        QPixmap icon(32, 32);
        icon.fill(Qt::darkRed);
        setWindowIcon(QIcon(icon));
        menuBar()->addMenu("&File");
        setCentralWidget(new QLabel("films"));
        statusBar()->showMessage("  Modified");
        resize(kWidth, 1000);
    }
};

void Caption(const AnsiString&) {
    MainWindow window;
    TEFTitleBar* bar = window.enhancer->TitleBar();
    const ef::FrameState frame = window.enhancer->FrameState();
    const ef::TRect r0 = ef::CaptionRect(frame);
    const std::vector<ef::Band> bands = ef::GradientBands(bar->Type(), bar->NbOfColors(), r0, ef::ButtonsWidth(frame),
                                                          metrics::GetSysColor(metrics::COLOR_ACTIVECAPTION),
                                                          metrics::ColorToRGB(bar->Color()));

    QImage sink;
    const double composeMs = Median([&] {
        for (int i = 0; i < kRepeat; ++i) sink = bar->ComposeBar(true);
    });
    const double fillMs = Median([&] {
        for (int i = 0; i < kRepeat; ++i) {
            QImage image(r0.Width(), r0.Height(), QImage::Format_RGB32);
            QPainter p(&image);
            p.translate(-r0.Left, -r0.Top);
            for (const ef::Band& b : bands)
                p.fillRect(QRect(b.Left, r0.Top, b.Right - b.Left, r0.Height()), QColor(b.color));
            p.end();
            sink = image;
        }
    });
    Report(kWidth, "compose_x1000", composeMs, fillMs, 1.5);

    // A shown window grown by one pixel at a time: compositions per resize.
    window.show();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    const int before = bar->Compositions();
    constexpr int kResizes = 50;
    for (int i = 1; i <= kResizes; ++i) {
        window.resize(kWidth + i, 1000);
        for (int k = 0; k < 5; ++k) QCoreApplication::processEvents();
    }
    ReportValue(kWidth, "resize_compose", double(bar->Compositions() - before) / kResizes, "x", 1.0, "once", 1.0);
}
FLICKSTOW_BENCH_SUITE("caption", Caption);

}  // namespace
