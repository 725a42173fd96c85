#include "platform/twaindsm/SourceDialogs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
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

// The preview pane's size, and how close to an edge of the area the mouse
// takes that edge.
constexpr int kPaneWidth = 220, kPaneHeight = 300;
constexpr double kGrip = 4;
// Width and height of an area at least, in millimetres.
constexpr double kSmallest = 1;
// The covers of the Size list, in its order ("Whole glass" and "Custom"
// have none).
const QSizeF kCoverSizes[] = {{}, {130, 184}, {128, 148}, {120, 120}, {}};
constexpr int kWholeGlass = 0, kCustom = 4;

bool HasSize(const QSizeF& s) { return s.width() > 0 && s.height() > 0; }

// The cursor over a part of the area (PartAt): a move, a corner, an edge,
// or the cross that draws a new area.
Qt::CursorShape CursorOver(int part) {
    if (part == 16) return Qt::SizeAllCursor;
    if (part == (1 | 2) || part == (4 | 8)) return Qt::SizeFDiagCursor;
    if (part == (2 | 4) || part == (1 | 8)) return Qt::SizeBDiagCursor;
    if (part & (1 | 4)) return Qt::SizeHorCursor;
    if (part & (2 | 8)) return Qt::SizeVerCursor;
    return Qt::CrossCursor;
}

// The span from lo to hi (either way round) inside 0 to max, at least
// kSmallest long: its start and length.
std::pair<double, double> Span(double lo, double hi, double max) {
    if (lo > hi) std::swap(lo, hi);
    lo = std::clamp(lo, 0.0, max);
    hi = std::clamp(hi, 0.0, max);
    if (hi - lo < kSmallest) {
        if (lo + kSmallest <= max) hi = lo + kSmallest;
        else
            lo = max - kSmallest;
    }
    return std::pair{lo, hi - lo};
}

// The area a drag of the part (PartAt) by dx, dy millimetres makes of the
// area pressed, on the glass.
ScanArea Dragged(const ScanArea& a, int part, double dx, double dy, const QSizeF& glass) {
    const double gw = glass.width(), gh = glass.height();
    ScanArea next = a;
    if (part == 16) {
        next.left = std::clamp(a.left + dx, 0.0, gw - a.width);
        next.top = std::clamp(a.top + dy, 0.0, gh - a.height);
        return next;
    }
    // The edges taken follow the mouse; an edge dragged past its opposite
    // one becomes that one.
    double l = a.left, t = a.top, r = a.left + a.width, b = a.top + a.height;
    if (part & 1) l += dx;
    if (part & 2) t += dy;
    if (part & 4) r += dx;
    if (part & 8) b += dy;
    std::tie(next.left, next.width) = Span(l, r, gw);
    std::tie(next.top, next.height) = Span(t, b, gh);
    return next;
}

}  // namespace

// ---- AreaPane

AreaPane::AreaPane(QWidget* parent, const QSizeF& glassMm) : QWidget(parent), glass_(glassMm) {
    setObjectName("PreviewPane");
    setFixedSize(kPaneWidth, kPaneHeight);
    setMouseTracking(true);
    area_ = {0, 0, glass_.width(), glass_.height()};
}

QRectF AreaPane::GlassRect() const {
    QSizeF shown = HasSize(glass_) ? glass_ : !picture_.isNull() ? QSizeF(picture_.size()) : QSizeF(size());
    QSizeF fitted = shown.scaled(QSizeF(width() - 2, height() - 2), Qt::KeepAspectRatio);
    return {(width() - fitted.width()) / 2, (height() - fitted.height()) / 2, fitted.width(), fitted.height()};
}

QPointF AreaPane::ToPane(const QPointF& mm) const {
    QRectF g = GlassRect();
    if (!HasSize(glass_)) return g.topLeft();
    return {g.left() + mm.x() * g.width() / glass_.width(), g.top() + mm.y() * g.height() / glass_.height()};
}

QPointF AreaPane::ToMm(const QPointF& pane) const {
    QRectF g = GlassRect();
    return {(pane.x() - g.left()) * glass_.width() / g.width(), (pane.y() - g.top()) * glass_.height() / g.height()};
}

QRectF AreaPane::AreaRect() const {
    return {ToPane({area_.left, area_.top}), ToPane({area_.left + area_.width, area_.top + area_.height})};
}

void AreaPane::SetArea(const ScanArea& area) {
    area_ = area;
    update();
}

void AreaPane::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

int AreaPane::PartAt(const QPointF& p) const {
    QRectF r = AreaRect();
    if (!r.adjusted(-kGrip, -kGrip, kGrip, kGrip).contains(p)) return 0;
    int part = (std::fabs(p.x() - r.left()) <= kGrip ? 1 : 0) | (std::fabs(p.y() - r.top()) <= kGrip ? 2 : 0) |
               (std::fabs(p.x() - r.right()) <= kGrip ? 4 : 0) | (std::fabs(p.y() - r.bottom()) <= kGrip ? 8 : 0);
    return part ? part : 16;
}

void AreaPane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The glass, white until previewed, on a dark ground.
    p.fillRect(rect(), QColor(80, 80, 80));
    QRectF g = GlassRect();
    p.fillRect(g, Qt::white);
    if (!picture_.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(g, picture_);
    }
    if (!HasSize(glass_)) return;
    // What lies outside the area is dimmed; the area has a frame and grips.
    QRectF a = AreaRect();
    QPainterPath outside;
    outside.addRect(g);
    outside.addRect(a);
    p.fillPath(outside, QColor(0, 0, 0, 110));
    QColor frame = isEnabled() ? QColor(0, 90, 200) : palette().color(QPalette::Disabled, QPalette::WindowText);
    p.setPen(QPen(frame, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(a.adjusted(1, 1, -1, -1));
    p.setBrush(frame);
    for (QPointF c : {a.topLeft(), a.topRight(), a.bottomLeft(), a.bottomRight()})
        p.drawRect(QRectF(c.x() - 2.5, c.y() - 2.5, 5, 5));
}

void AreaPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !HasSize(glass_) || !GlassRect().contains(event->position())) return;
    pressAt_ = event->position();
    pressMm_ = ToMm(pressAt_);
    dragging_ = PartAt(pressAt_);
    pressArea_ = area_;
    drawing_ = dragging_ == 0;
    if (drawing_) {
        // A new area from the point pressed, drawn by its bottom right corner.
        pressArea_ = {pressMm_.x(), pressMm_.y(), 0, 0};
        dragging_ = 4 | 8;
    }
}

void AreaPane::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        setCursor(CursorOver(HasSize(glass_) ? PartAt(event->position()) : 0));
        return;
    }
    // A click beside the area is no new area yet.
    if (drawing_ && (event->position() - pressAt_).manhattanLength() < 3) return;
    drawing_ = false;
    QPointF at = ToMm(event->position());
    double dx = at.x() - pressMm_.x(), dy = at.y() - pressMm_.y();
    const ScanArea next = Dragged(pressArea_, dragging_, dx, dy, glass_);
    if (next == area_) return;
    SetArea(next);
    emit AreaDragged(area_);
}

void AreaPane::mouseReleaseEvent(QMouseEvent*) { dragging_ = 0; }

// ---- SelectSourceDialog

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

// ---- SourceDialog

const QStringList& SourceDialog::SizeNames() {
    static const QStringList names{"Whole glass", "DVD cover (130 x 184 mm)", "Blu-ray cover (128 x 148 mm)",
                                   "CD booklet (120 x 120 mm)", "Custom"};
    return names;
}

SourceDialog::SourceDialog(QWidget* parent, const DeviceInfo& info, const DeviceOptions& device,
                           const ScanSettings& start)
    : QDialog(parent), hasArea_(device.glass && HasSize(*device.glass)), glass_(hasArea_ ? *device.glass : QSizeF()) {
    setObjectName("SourceDialog");
    // The window that asked for the scan may itself stay above other
    // windows; the scanner's window, the only one the user can use while it
    // is up, must never open hidden beneath it.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    QString title = QString::fromStdString(info.vendor + " " + info.model).trimmed();
    setWindowTitle(title.isEmpty() ? QString::fromStdString(info.name) : title);
    auto* layout = new QVBoxLayout(this);
    // Which scanner this is, above its settings.
    auto* source = new QLabel(
        QString("<b>%1</b><br>%2")
            .arg(windowTitle().toHtmlEscaped(), QString::fromStdString(info.name).toHtmlEscaped()),
        this);
    source->setObjectName("SourceLabel");
    layout->addWidget(source);
    auto* form = new QFormLayout;
    ModeBox = new QComboBox(this);
    ModeBox->setObjectName("ModeBox");
    ModeBox->addItems(device.modes);
    ModeBox->setCurrentIndex(std::max(0, static_cast<int>(device.modes.indexOf(start.mode))));
    ModeBox->setEnabled(ModeBox->count() > 1);
    form->addRow("&Mode:", ModeBox);
    ResolutionBox = new QSpinBox(this);
    ResolutionBox->setObjectName("ResolutionBox");
    ResolutionBox->setSuffix(" dpi");
    ResolutionBox->setRange(static_cast<int>(std::ceil(device.minDpi)), static_cast<int>(device.maxDpi));
    ResolutionBox->setValue(static_cast<int>(std::lround(start.dpi)));
    ResolutionBox->setEnabled(device.hasResolution);
    hasResolution_ = device.hasResolution;
    form->addRow("&Resolution:", ResolutionBox);
    layout->addLayout(form);

    // The area in millimetres, by its numbers or by a size.
    auto* area = new QGridLayout;
    auto box = [&](const char* name, const char* caption, int row, int column) {
        auto* spin = new QDoubleSpinBox(this);
        spin->setObjectName(name);
        spin->setDecimals(1);
        spin->setSuffix(" mm");
        spin->setSingleStep(1);
        auto* label = new QLabel(caption, this);
        label->setBuddy(spin);
        area->addWidget(label, row, column);
        area->addWidget(spin, row, column + 1);
        areaLabels_ << label;
        connect(spin, &QDoubleSpinBox::valueChanged, this, &SourceDialog::BoxEdited);
        return spin;
    };
    LeftBox = box("LeftBox", "&Left:", 0, 0);
    TopBox = box("TopBox", "&Top:", 0, 2);
    WidthBox = box("WidthBox", "&Width:", 1, 0);
    HeightBox = box("HeightBox", "&Height:", 1, 2);
    SizeBox = new QComboBox(this);
    SizeBox->setObjectName("SizeBox");
    SizeBox->addItems(SizeNames());
    auto* sizeLabel = new QLabel("Si&ze:", this);
    sizeLabel->setBuddy(SizeBox);
    areaLabels_ << sizeLabel;
    area->addWidget(sizeLabel, 2, 0);
    area->addWidget(SizeBox, 2, 1, 1, 3);
    NoAreaLabel = new QLabel("This scanner scans its whole glass", this);
    NoAreaLabel->setObjectName("NoAreaLabel");
    NoAreaLabel->setVisible(!hasArea_);
    area->addWidget(NoAreaLabel, 3, 0, 1, 4);
    layout->addLayout(area);
    connect(SizeBox, &QComboBox::currentIndexChanged, this, &SourceDialog::SizeChosen);

    auto* preview = new QHBoxLayout;
    PreviewPane = new AreaPane(this, glass_);
    preview->addWidget(PreviewPane);
    PreviewButton = new QPushButton("&Preview", this);
    PreviewButton->setObjectName("PreviewButton");
    auto* side = new QVBoxLayout;
    side->addWidget(PreviewButton);
    side->addStretch();
    preview->addLayout(side);
    layout->addLayout(preview);
    connect(PreviewButton, &QPushButton::clicked, this, &SourceDialog::PreviewRequested);
    connect(PreviewPane, &AreaPane::AreaDragged, this, [this](const ScanArea& dragged) {
        SetBoxes(dragged);
        setting_ = true;
        SizeBox->setCurrentIndex(kCustom);
        setting_ = false;
    });

    if (hasArea_) {
        ScanArea whole{0, 0, glass_.width(), glass_.height()};
        ScanArea first = start.area.value_or(whole);
        SetBoxes(first);
        int size = static_cast<int>(SizeNames().indexOf(start.size));
        if (size < 0) {
            auto near = [](double a, double b) { return std::fabs(a - b) < 0.05; };
            ScanArea shown = AreaOfBoxes();
            size = near(shown.left, 0) && near(shown.top, 0) && near(shown.width, whole.width) &&
                           near(shown.height, whole.height)
                       ? kWholeGlass
                       : kCustom;
        }
        setting_ = true;
        SizeBox->setCurrentIndex(size);
        setting_ = false;
    }
    EnableArea(true);
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
    if (hasArea_) {
        s.area = AreaOfBoxes();
        s.size = SizeBox->currentText();
    }
    return s;
}

ScanArea SourceDialog::AreaOfBoxes() const {
    return {LeftBox->value(), TopBox->value(), WidthBox->value(), HeightBox->value()};
}

void SourceDialog::SetBoxes(const ScanArea& area) {
    setting_ = true;
    const double gw = glass_.width(), gh = glass_.height();
    LeftBox->setRange(0, std::max(0.0, gw - kSmallest));
    TopBox->setRange(0, std::max(0.0, gh - kSmallest));
    LeftBox->setValue(area.left);
    TopBox->setValue(area.top);
    WidthBox->setRange(kSmallest, std::max(kSmallest, gw - LeftBox->value()));
    HeightBox->setRange(kSmallest, std::max(kSmallest, gh - TopBox->value()));
    WidthBox->setValue(area.width);
    HeightBox->setValue(area.height);
    setting_ = false;
    PreviewPane->SetArea(AreaOfBoxes());
}

void SourceDialog::BoxEdited() {
    if (setting_) return;
    // The area stays on the glass: moved further, it is narrower.
    setting_ = true;
    WidthBox->setMaximum(std::max(kSmallest, glass_.width() - LeftBox->value()));
    HeightBox->setMaximum(std::max(kSmallest, glass_.height() - TopBox->value()));
    SizeBox->setCurrentIndex(kCustom);
    setting_ = false;
    PreviewPane->SetArea(AreaOfBoxes());
}

void SourceDialog::SizeChosen(int index) {
    if (setting_ || !hasArea_) return;
    const double gw = glass_.width(), gh = glass_.height();
    if (index == kWholeGlass) {
        SetBoxes({0, 0, gw, gh});
    } else if (index > kWholeGlass && index < kCustom) {
        // The cover where the area is, moved back onto the glass as far as
        // it would reach beyond it; a glass too small for it takes what fits.
        double w = std::min(kCoverSizes[index].width(), gw), h = std::min(kCoverSizes[index].height(), gh);
        SetBoxes({std::min(LeftBox->value(), gw - w), std::min(TopBox->value(), gh - h), w, h});
    }
}

void SourceDialog::EnableArea(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{LeftBox, TopBox, WidthBox, HeightBox, SizeBox})
        w->setEnabled(enabled && hasArea_);
    for (QLabel* label : areaLabels_) label->setEnabled(enabled && hasArea_);
    PreviewPane->setEnabled(enabled);
}

void SourceDialog::SetScanning(bool scanning, const QString& status) {
    // The control the user left goes on where it was, rather than on Cancel,
    // which took the focus meanwhile: Enter after a preview scans.
    if (scanning && !focusBefore_) focusBefore_ = focusWidget();
    ModeBox->setEnabled(!scanning && ModeBox->count() > 1);
    ResolutionBox->setEnabled(!scanning && hasResolution_);
    EnableArea(!scanning);
    PreviewButton->setEnabled(!scanning);
    ScanButton->setEnabled(!scanning);
    StatusLabel->setStyleSheet({});
    StatusLabel->setText(scanning ? status : QString());
    if (!scanning && focusBefore_) {
        if (focusBefore_->isEnabled()) focusBefore_->setFocus();
        focusBefore_ = nullptr;
    }
}

void SourceDialog::ShowPreview(const QImage& picture) {
    SetScanning(false);
    PreviewPane->SetPicture(picture);
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
