#include "platform/twaindsm/SourceDialogs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <tuple>
#include <utility>

namespace twaindsm {
namespace {

// The row of buttons at the bottom, on the right: the default action and Cancel.
std::pair<QPushButton*, QPushButton*> AddButtons(QDialog* dialog, QVBoxLayout* layout, const char* caption,
                                                 const char* name) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* action = new QPushButton(caption, dialog);
    action->setObjectName(name);
    action->setDefault(true);
    auto* cancel = new QPushButton("Cancel", dialog);
    cancel->setObjectName("CancelButton");
    buttons->addWidget(action);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    return {action, cancel};
}

}  // namespace

SelectSourceDialog::SelectSourceDialog(QWidget* parent, const std::vector<DeviceInfo>& devices, int current)
    : QDialog(parent) {
    setObjectName("SelectSource");
    setWindowTitle("Select Source");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Sources:", this));
    SourceList = new QTreeWidget(this);
    SourceList->setObjectName("SourceList");
    SourceList->setHeaderLabels({"Vendor", "Model", "Device"});
    SourceList->setRootIsDecorated(false);
    SourceList->setAllColumnsShowFocus(true);
    for (const DeviceInfo& d : devices)
        SourceList->addTopLevelItem(new QTreeWidgetItem(
            {QString::fromStdString(d.vendor), QString::fromStdString(d.model), QString::fromStdString(d.name)}));
    for (int c = 0; c < 3; ++c) SourceList->resizeColumnToContents(c);
    if (current >= 0 && current < SourceList->topLevelItemCount())
        SourceList->setCurrentItem(SourceList->topLevelItem(current));
    layout->addWidget(SourceList);
    std::tie(SelectButton, CancelButton) = AddButtons(this, layout, "&Select", "SelectButton");
    auto update = [this] { SelectButton->setEnabled(SourceList->currentItem() != nullptr); };
    connect(SourceList, &QTreeWidget::currentItemChanged, this, update);
    connect(SourceList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(SelectButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    update();
    resize(460, 260);
}

int SelectSourceDialog::Chosen() const {
    QTreeWidgetItem* item = SourceList->currentItem();
    return item ? SourceList->indexOfTopLevelItem(item) : -1;
}

SourceDialog::SourceDialog(QWidget* parent, const DeviceInfo& info, const SaneDevice& device,
                           const ScanSettings& start)
    : QDialog(parent) {
    setObjectName("SourceDialog");
    // The window that asked for the scan may itself stay above other
    // windows; the scanner's window, the only one the user can use while it
    // is up, must never open hidden beneath it.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    QString title = QString::fromStdString(info.vendor + " " + info.model).trimmed();
    setWindowTitle(title.isEmpty() ? QString::fromStdString(info.name) : title);
    auto* layout = new QVBoxLayout(this);
    // Which scanner this is, above its settings.
    auto* source = new QLabel(QString("<b>%1</b><br>%2").arg(windowTitle().toHtmlEscaped(),
                                                             QString::fromStdString(info.name).toHtmlEscaped()),
                              this);
    source->setObjectName("SourceLabel");
    layout->addWidget(source);
    auto* form = new QFormLayout;
    ModeBox = new QComboBox(this);
    ModeBox->setObjectName("ModeBox");
    ModeBox->addItems(device.Modes());
    ModeBox->setCurrentIndex(std::max(0, static_cast<int>(device.Modes().indexOf(start.mode))));
    ModeBox->setEnabled(ModeBox->count() > 1);
    form->addRow("&Mode:", ModeBox);
    ResolutionBox = new QSpinBox(this);
    ResolutionBox->setObjectName("ResolutionBox");
    ResolutionBox->setSuffix(" dpi");
    ResolutionBox->setRange(static_cast<int>(std::ceil(device.MinDpi())), static_cast<int>(device.MaxDpi()));
    ResolutionBox->setValue(static_cast<int>(std::lround(start.dpi)));
    ResolutionBox->setEnabled(device.HasResolution());
    form->addRow("&Resolution:", ResolutionBox);
    layout->addLayout(form);
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName("StatusLabel");
    StatusLabel->setWordWrap(true);
    layout->addWidget(StatusLabel);
    std::tie(ScanButton, CancelButton) = AddButtons(this, layout, "&Scan", "ScanButton");
    connect(ScanButton, &QPushButton::clicked, this, &SourceDialog::ScanRequested);
    connect(CancelButton, &QPushButton::clicked, this, &SourceDialog::CancelRequested);
    setMinimumWidth(300);
}

ScanSettings SourceDialog::Settings() const {
    ScanSettings s;
    s.mode = ModeBox->currentText();
    s.dpi = ResolutionBox->value();
    return s;
}

void SourceDialog::SetScanning(bool scanning) {
    ModeBox->setEnabled(!scanning && ModeBox->count() > 1);
    ResolutionBox->setEnabled(!scanning);
    ScanButton->setEnabled(!scanning);
    StatusLabel->setStyleSheet({});
    StatusLabel->setText(scanning ? "Scanning ..." : QString());
}

void SourceDialog::ShowError(const QString& text) {
    SetScanning(false);
    StatusLabel->setStyleSheet("color: #b00000;");
    StatusLabel->setText(text);
}

void SourceDialog::reject() { emit CancelRequested(); }

void SourceDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit CancelRequested();
}

}  // namespace twaindsm
