#pragma once
// The source manager's two windows: the choice of a source among the
// scanners found, and a source's own window (scan mode, resolution, Scan,
// Cancel) that stays up while the application waits for the image.

#include "platform/twaindsm/SaneDevice.h"

#include <QDialog>

class QComboBox;
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

class SourceDialog : public QDialog {
    Q_OBJECT
public:
    SourceDialog(QWidget* parent, const DeviceInfo& info, const SaneDevice& device, const ScanSettings& start);

    ScanSettings Settings() const;
    // While a scan runs, only Cancel can be pressed.
    void SetScanning(bool scanning);
    void ShowError(const QString& text);

    QComboBox* ModeBox;
    QSpinBox* ResolutionBox;
    QLabel* StatusLabel;
    QPushButton *ScanButton, *CancelButton;

signals:
    void ScanRequested();
    void CancelRequested();

protected:
    // Escape and the window's close box cancel, as the Cancel button does;
    // the window itself goes only when the application disables the source.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace twaindsm
