#pragma once
// The source manager's two windows: the choice of a source among the
// scanners found, and a source's own window (scan mode, resolution, the
// area of the glass to scan with a preview of the glass, Scan, Cancel) that
// stays up while the application waits for the image.

#include "platform/twaindsm/SaneDevice.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace twaindsm {

class SelectSourceDialog : public QDialog {
    Q_OBJECT
public:
    SelectSourceDialog(QWidget* parent, const std::vector<DeviceInfo>& devices, int current);
    // The chosen row once the dialog was accepted.
    int Chosen() const;

    QTreeWidget* SourceList;
    QPushButton *SelectButton, *CancelButton;
};

// The glass scaled to fit, its preview picture, and the scan area on it as
// a rectangle the user moves (dragging inside it), resizes (dragging an
// edge or a corner) or draws anew (dragging outside it).
class AreaPane : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QImage picture READ Picture)
public:
    // A glass of no size: the pane shows the preview alone, without an area.
    AreaPane(QWidget* parent, const QSizeF& glassMm);
    void SetArea(const ScanArea& area);
    ScanArea Area() const { return area_; }
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    // Where the glass is drawn, and a point of the glass (in millimetres)
    // in the pane.
    QRectF GlassRect() const;
    QPointF ToPane(const QPointF& mm) const;

signals:
    // The user changed the area with the mouse.
    void AreaDragged(const ScanArea& area);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF ToMm(const QPointF& pane) const;
    QRectF AreaRect() const;
    // The edges of the area under a point: bits 1 left, 2 top, 4 right,
    // 8 bottom; 16 inside; 0 outside.
    int PartAt(const QPointF& pane) const;

    QSizeF glass_;
    ScanArea area_;
    QImage picture_;
    int dragging_ = 0;
    bool drawing_ = false;
    QPointF pressAt_, pressMm_;
    ScanArea pressArea_;
};

class SourceDialog : public QDialog {
    Q_OBJECT
public:
    SourceDialog(QWidget* parent, const DeviceInfo& info, const DeviceOptions& options, const ScanSettings& start);

    // The size choices, in the order of the Size list.
    static const QStringList& SizeNames();

    ScanSettings Settings() const;
    // While a scan or a preview runs, only Cancel can be pressed.
    void SetScanning(bool scanning, const QString& status = "Scanning ...");
    void ShowError(const QString& text);
    void ShowPreview(const QImage& picture);

    QComboBox* ModeBox;
    QSpinBox* ResolutionBox;
    QDoubleSpinBox *LeftBox, *TopBox, *WidthBox, *HeightBox;
    QComboBox* SizeBox;
    QLabel* NoAreaLabel;
    AreaPane* PreviewPane;
    QPushButton* PreviewButton;
    QLabel* StatusLabel;
    QPushButton *ScanButton, *CancelButton;

signals:
    void ScanRequested();
    void PreviewRequested();
    void CancelRequested();

protected:
    // Escape and the window's close box cancel, as the Cancel button does;
    // the window itself goes only when the application disables the source.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    ScanArea AreaOfBoxes() const;
    // Puts an area into the four boxes, bounded by the glass.
    void SetBoxes(const ScanArea& area);
    void SizeChosen(int index);
    void BoxEdited();
    void EnableArea(bool enabled);

    bool hasArea_ = false, hasResolution_ = false;
    QList<QLabel*> areaLabels_;
    QSizeF glass_;
    bool setting_ = false;  // the boxes are being set, not edited
    QPointer<QWidget> focusBefore_;
};

}  // namespace twaindsm
