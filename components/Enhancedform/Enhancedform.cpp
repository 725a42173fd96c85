#include "components/Enhancedform/Enhancedform.h"

#include "components/Enhancedform/ClassicPaint.h"
#include "platform/errors/Exception.h"

#include <QApplication>
#include <QCursor>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <limits>

using namespace ef;
using namespace metrics;

namespace {

// The steps of the message table.
enum Step { ReloadFont, PaintAll, SizeChanged, FrameChanged, StateChanged, Hidden, NonClientMouseStep, Activation };
enum class When { Before, After };
struct RouteEntry {
    QEvent::Type event;
    When when;
    Step step;
    const char* message;  // the window message the event stands for
};

// Which event of the form stands for which window message, and whether the
// component acts before the form's own handling or after it.
constexpr RouteEntry kRoutes[] = {
    {QEvent::PaletteChange, When::Before, ReloadFont, "WM_SYSCOLORCHANGE"},
    {QEvent::ApplicationPaletteChange, When::Before, ReloadFont, "WM_SYSCOLORCHANGE"},
    {QEvent::ThemeChange, When::Before, ReloadFont, "WM_SYSCOLORCHANGE"},
    {QEvent::ScreenChangeInternal, When::Before, ReloadFont, "WM_DISPLAYCHANGE"},
    {QEvent::Paint, When::After, PaintAll, "WM_NCPAINT, WM_PAINT"},
    {QEvent::Resize, When::After, SizeChanged, "WM_SIZE"},
    {QEvent::WindowTitleChange, When::After, FrameChanged, "WM_SETTEXT"},
    {QEvent::WindowIconChange, When::After, FrameChanged, "WM_SETICON"},
    {QEvent::WindowStateChange, When::After, StateChanged, "WM_SIZE (minimized, maximized, restored)"},
    {QEvent::Hide, When::After, Hidden, "WM_SHOWWINDOW (hidden)"},
    {QEvent::MouseMove, When::After, NonClientMouseStep, "WM_NCHITTEST, WM_NCMOUSEMOVE"},
    {QEvent::MouseButtonPress, When::After, NonClientMouseStep, "WM_NCLBUTTONDOWN, WM_NCRBUTTONDOWN, WM_NCMBUTTONDOWN"},
    {QEvent::MouseButtonRelease, When::After, NonClientMouseStep, "WM_NCLBUTTONUP, WM_NCRBUTTONUP, WM_NCMBUTTONUP"},
    {QEvent::MouseButtonDblClick, When::After, NonClientMouseStep,
     "WM_NCLBUTTONDBLCLK, WM_NCRBUTTONDBLCLK, WM_NCMBUTTONDBLCLK"},
    {QEvent::Leave, When::After, NonClientMouseStep, "WM_NCMOUSELEAVE"},
    {QEvent::ActivationChange, When::After, Activation, "WM_NCACTIVATE"},
};

const RouteEntry* RouteOf(QEvent::Type type) {
    for (const RouteEntry& r : kRoutes)
        if (r.event == type) return &r;
    return nullptr;
}

bool IsButton(Hit hit) {
    return hit == Hit::CloseButton || hit == Hit::MinButton || hit == Hit::MaxButton || hit == Hit::HelpButton;
}
TCaptionButton ButtonOf(Hit hit) {
    switch (hit) {
    case Hit::MinButton: return cbMinimize;
    case Hit::MaxButton: return cbMaximize;
    case Hit::HelpButton: return cbHelp;
    default: return cbClose;
    }
}
Qt::Edges EdgesOf(Hit hit) {
    switch (hit) {
    case Hit::Left: return Qt::LeftEdge;
    case Hit::Right: return Qt::RightEdge;
    case Hit::Top: return Qt::TopEdge;
    case Hit::Bottom: return Qt::BottomEdge;
    case Hit::TopLeft: return Qt::TopEdge | Qt::LeftEdge;
    case Hit::TopRight: return Qt::TopEdge | Qt::RightEdge;
    case Hit::BottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
    case Hit::BottomRight: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}

QFont FontWithStyle(QFont font, TFontStyles style) {
    font.setBold(style & fsBold);
    font.setItalic(style & fsItalic);
    font.setUnderline(style & fsUnderline);
    font.setStrikeOut(style & fsStrikeOut);
    return font;
}

// The text cut at its end with "..." so that it fits the width.
QString Elided(const QFontMetrics& fm, const QString& text, int width) {
    if (fm.horizontalAdvance(text) <= width) return text;
    const QString dots = QStringLiteral("...");
    qsizetype fits = 0, upper = text.size();
    while (fits < upper) {
        qsizetype mid = (fits + upper + 1) / 2;
        if (fm.horizontalAdvance(text.left(mid) + dots) <= width) fits = mid;
        else upper = mid - 1;
    }
    return text.left(fits) + dots;
}

// The window title as the window manager would show it.
QString TitleOf(const QWidget* form) {
    QString title = form->windowTitle();
    title.replace(QLatin1String("[*]"), form->isWindowModified() ? QStringLiteral("*") : QString());
    return title;
}

QIcon TransparentIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

}  // namespace

// ---------------------------------------------------------------------------

TEFBase::TEFBase(TEnhancedForm* owner) : QObject(owner), owner_(owner) {}

TEFTBSpecialCaption::TEFTBSpecialCaption(TEFTitleBar* titleBar) : QObject(titleBar), titleBar_(titleBar) {}

void TEFTBSpecialCaption::Changed() {
    titleBar_->Touch();
    if (enabled_) titleBar_->Update();
}

void TEFTBSpecialCaption::SetCaption(const AnsiString& value) {
    if (value == caption_) return;
    caption_ = value;
    Changed();
}

void TEFTBSpecialCaption::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Changed();
}

void TEFTBSpecialCaption::SetFontStyle(TFontStyles value) {
    if (value == fontStyle_) return;
    fontStyle_ = value;
    Changed();
}

// ---------------------------------------------------------------------------

TEFTitleBar::TEFTitleBar(TEnhancedForm* owner) : TEFBase(owner) {
    nbOfColors_ = 0;
    applicationInfo_ = new TEFTBSpecialCaption(this);
    companyInfo_ = new TEFTBSpecialCaption(this);
    applicationInfo_->SetFontStyle(fsBold);
    companyInfo_->SetFontStyle(fsBold | fsItalic);
    LoadCaptionFont();
}

TEFTitleBar::~TEFTitleBar() {
    if (!owner_->destroying_) Update();
}

void TEFTitleBar::SetAlignment(TAlignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    Touch();
    Update();
}

void TEFTitleBar::SetColor(TColor value) {
    if (value == color_) return;
    color_ = value;
    Touch();
    Update();
}

void TEFTitleBar::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Touch();
    Update();
}

void TEFTitleBar::SetNbOfColors(int value) {
    if (value != 0 && (value < 2 || value > 256)) return;
    if (value == nbOfColors_) return;
    nbOfColors_ = value;
    Touch();
    Update();
}

void TEFTitleBar::SetType(TGradientType value) {
    if (value == type_) return;
    type_ = value;
    Touch();
    Update();
}

void TEFTitleBar::Update() {
    if (enabled_) owner_->Paint();
}

void TEFTitleBar::LoadCaptionFont() {
    auto take = [this](const LogFont& lf) {
        QFont font(QString::fromStdString(lf.faceName));
        if (lf.height < 0) font.setPixelSize(-lf.height);
        else if (lf.height > 0) font.setPointSize(lf.height);
        font.setBold(lf.weight >= 700);
        font.setItalic(lf.italic);
        captionFont_ = font;
    };
    take(SystemFont());
    LogFont caption;
    if (GetCaptionFont(caption)) take(caption);
    Touch();
}

bool TEFTitleBar::IsActive() const {
    if (reportArrived_) return reportedActive_;
    return QApplication::activeWindow() == owner_->Form();
}

void TEFTitleBar::ActivationReported(bool active) {
    reportedActive_ = active;
    reportArrived_ = true;
}

TEFTitleBar::BarKey TEFTitleBar::BarKeyNow(bool active) const {
    const QWidget* form = owner_->Form();
    const FrameState frame = owner_->FrameState();
    const TRect r0 = CaptionRect(frame);
    return {QSize(r0.Width(), r0.Height()),
            active,
            TitleOf(form),
            frame.maximized,
            frame.minimized,
            static_cast<int>(frame.borderStyle),
            static_cast<int>(frame.borderIcons.toInt()),
            static_cast<int>(owner_->PushedButton()),
            form->windowIcon().cacheKey(),
            generation_};
}

QImage TEFTitleBar::ComposeBar(bool active) {
    ++compositions_;
    const QWidget* form = owner_->Form();
    const FrameState frame = owner_->FrameState();
    const TRect r0 = CaptionRect(frame);
    if (r0.IsEmpty()) return {};
    const int d = ButtonsWidth(frame);
    TRect r1 = r0;
    r1.Right = r0.Right - d;
    if (r0.Left >= r1.Right) r1.Right = r0.Left + 2;

    // The gradient: one row of bands, copied to every row.
    QImage bar(r0.Width(), r0.Height(), QImage::Format_RGB32);
    const QRgb captionColor = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    auto* row = reinterpret_cast<QRgb*>(bar.scanLine(0));
    for (const Band& band : GradientBands(type_, nbOfColors_, r0, d, captionColor, ColorToRGB(color_))) {
        const int from = std::max(band.Left - r0.Left, 0), to = std::min(band.Right - r0.Left, bar.width());
        if (from < to) std::fill(row + from, row + to, band.color);
    }
    for (int y = 1; y < bar.height(); ++y)
        std::copy(row, row + bar.width(), reinterpret_cast<QRgb*>(bar.scanLine(y)));

    QPainter p(&bar);
    p.translate(-r0.Left, -r0.Top);
    if (owner_->HasIcon()) {
        r1.Left += 1;
        const int size = GetSystemMetrics(SM_CXSMICON);
        const QIcon icon = form->windowIcon();
        const QImage image = icon.isNull() ? DefaultApplicationIcon()
                                           : icon.pixmap(QSize(size, GetSystemMetrics(SM_CYSMICON))).toImage();
        p.drawImage(QRect(r1.Left + 1, r1.Top + 1, size, GetSystemMetrics(SM_CYSMICON)), image);
        r1.Left += size;
    }
    // The texts: company, application, the window's caption.
    struct Text {
        QString text;
        QFont font;
        bool counts;
    };
    auto info = [this](const TEFTBSpecialCaption* c) {
        QString text = ansi::ToQString(c->Caption());
        return Text{text, FontWithStyle(captionFont_, c->FontStyle()), !text.isEmpty() && c->Enabled() && enabled_};
    };
    const QString title = TitleOf(form);
    const std::array<Text, 3> texts{info(companyInfo_), info(applicationInfo_), Text{title, captionFont_, !title.isEmpty()}};
    std::array<int, 3> advance{};
    std::array<bool, 3> counts{};
    for (size_t i = 0; i < texts.size(); ++i) {
        counts[i] = texts[i].counts;
        advance[i] = QFontMetrics(texts[i].font).horizontalAdvance(texts[i].text) + 2 + 3;
    }
    const TextPlaces places = LayOutTexts(advance, counts, r1.Left, r1.Right, alignment_, enabled_);
    p.setPen(QColor(GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT)));
    for (size_t i = 0; i < texts.size(); ++i) {
        const int left = places.left[i];
        if (left == TextPlaces::kNotDrawn || texts[i].text.isEmpty() || left >= r1.Right) continue;
        const QRect box(left, r1.Top, r1.Right - left, r1.Height());
        p.setFont(texts[i].font);
        p.setClipRect(box);
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   Elided(QFontMetrics(texts[i].font), texts[i].text, box.width()));
        p.setClipping(false);
    }
    // The buttons reach a little left of the text rectangle: drawn last,
    // they stay whole over the end of a long text.
    const TCaptionButton pushed = owner_->PushedButton();
    for (const ButtonPlace& b : ButtonPlaces(frame))
        DrawCaptionButton(p, b.rect.ToQRect(), b.glyph, b.button == pushed, b.inactive);
    return bar;
}

void TEFTitleBar::PaintTitleBar(QPainter& painter, bool active) {
    const BarKey key = BarKeyNow(active);
    if (!(key == barKey_) || bar_.isNull()) {
        // A drawing step that fails leaves the caption as it was.
        try {
            bar_ = ComposeBar(active);
            barKey_ = key;
        } catch (...) {
            bar_ = QImage();
        }
    }
    const TRect r0 = CaptionRect(owner_->FrameState());
    if (!bar_.isNull()) painter.drawImage(r0.Left, r0.Top, bar_);
}

// ---------------------------------------------------------------------------

TEFWallPaper::TEFWallPaper(TEnhancedForm* owner) : TEFBase(owner) { RebuildBuffer(); }

void TEFWallPaper::SetBitmap(const QImage& value) {
    bitmap_ = value;
    RebuildBuffer();
    RefreshForm();
}

void TEFWallPaper::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    if (enabled_) RebuildBuffer();
    RefreshForm();
}

void TEFWallPaper::SetDisplay(TEFWallPaperDisplay value) {
    if (value == display_) return;
    display_ = value;
    RebuildBuffer();
    RefreshForm();
}

void TEFWallPaper::RebuildBuffer() {
    const int bw = bitmap_.width(), bh = bitmap_.height();
    if (bw == 0 || bh == 0) return;
    const QSize client = owner_->ClientRect().size();
    const int width = std::max(client.width(), GetSystemMetrics(SM_CXSCREEN));
    const int height = std::max(client.height(), GetSystemMetrics(SM_CYSCREEN));
    buffer_ = QImage(width, height, QImage::Format_RGB32);
    ++bufferBuilds_;
    buffer_.fill(owner_->Form()->palette().color(QPalette::Window));
    QPainter p(&buffer_);
    if (display_ == dwCenter) {
        p.drawImage((width - bw) / 2, (height - bh) / 2, bitmap_);
        return;
    }
    for (int x = 0; x < width; x += bw)
        for (int y = 0; y < height; y += bh) p.drawImage(x, y, bitmap_);
}

void TEFWallPaper::RefreshForm() { owner_->Form()->repaint(); }

void TEFWallPaper::Update() {
    if (!enabled_ || bitmap_.width() == 0 || bitmap_.height() == 0) return;
    const QRect client = owner_->ClientRect();
    if (buffer_.width() < client.width() || buffer_.height() < client.height()) RebuildBuffer();
    QPainter* painter = owner_->painter_;
    if (!painter) {
        owner_->Form()->update(client);
        return;
    }
    QPoint source(0, 0);
    if (display_ == dwCenter)
        source = QPoint((buffer_.width() - client.width()) / 2, (buffer_.height() - client.height()) / 2);
    painter->drawImage(client.topLeft(), buffer_, QRect(source, client.size()));
}

// ---------------------------------------------------------------------------

TEFTrayIcon::TEFTrayIcon(TEnhancedForm* owner) : TEFBase(owner) {
    timer_ = new QTimer(owner);
    timer_->setInterval(1000);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
}

TEFTrayIcon::~TEFTrayIcon() {
    if (backend_) backend_->Delete(Fill());
    added_ = false;
    delete timer_;
}

void TEFTrayIcon::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Update();
}

void TEFTrayIcon::SetHint(const AnsiString& value) {
    if (value == hint_) return;
    hint_ = value;
    Update();
}

void TEFTrayIcon::SetTest(bool value) {
    if (value == test_) return;
    test_ = value;
    Update();
}

void TEFTrayIcon::SetIcon(const QIcon& value) {
    icon_ = value;
    Update();
}

void TEFTrayIcon::SetIconList(TImageList* value) {
    if (iconList_) QObject::disconnect(iconList_, &QObject::destroyed, this, nullptr);
    iconList_ = value;
    // A list that ends while the icon shows it is dropped at once.
    if (value)
        QObject::connect(value, &QObject::destroyed, this, [this] {
            SyncTimer();
            Update();
        });
    SyncTimer();
    Update();
}

void TEFTrayIcon::SetIconListIndex(int value) {
    if (value == iconListIndex_ || value < -1) return;
    iconListIndex_ = value;
    SyncTimer();
    Update();
}

void TEFTrayIcon::SetIconInterval(unsigned value) {
    if (value == iconInterval_) return;
    iconInterval_ = value;
    timer_->setInterval(static_cast<int>(std::min<unsigned>(value, std::numeric_limits<int>::max())));
    // An interval of 0 stops the animation (a timer of 0 would tick without
    // a pause); another one lets it run again, from where it stood.
    if (!Animates()) timer_->stop();
    else if (!timer_->isActive()) timer_->start();
}

void TEFTrayIcon::SetIconType(TTrayIconIconType value) {
    if (value == iconType_) return;
    iconType_ = value;
    SyncTimer();
    Update();
}

QMenu* TEFTrayIcon::PopupMenu() const { return popupMenu_; }
void TEFTrayIcon::SetPopupMenu(QMenu* value) { popupMenu_ = value; }

void TEFTrayIcon::SetOpenAppOn(TTrayIconOpenAppOn value) { openAppOn_ = value; }

bool TEFTrayIcon::ShouldShow() const {
    if (!owner_->Enabled() || !enabled_) return false;
    if (iconType_ == itList) return iconList_ && iconList_->Count() > 0;
    return !icon_.isNull();
}

TTrayIconBackend& TEFTrayIcon::Backend() {
    if (!backend_) {
        backend_ = MakeTrayIconBackend();
        backend_->Callback = [this](unsigned message) { Notified(message); };
    }
    return *backend_;
}

TNotifyIconData TEFTrayIcon::Fill() {
    TNotifyIconData data;
    data.szTip = hint_.substr(0, 127);
    if (iconType_ == itList && iconList_ && iconList_->Count() > 0) data.hIcon = iconList_->GetIcon(position_);
    else data.hIcon = icon_;
    // The notification area takes no empty icon: a clear one stands in.
    if (data.hIcon.isNull()) data.hIcon = TransparentIcon();
    Backend();
    return data;
}

void TEFTrayIcon::Update() {
    const TNotifyIconData data = Fill();
    if (!ShouldShow()) {
        Backend().Delete(data);
        added_ = false;
    } else if (!added_) {
        added_ = Backend().Add(data);
    } else {
        // An icon the notification area lost is added again next time.
        added_ = Backend().Modify(data);
    }
}

void TEFTrayIcon::SyncTimer() {
    if (!iconList_ || iconListIndex_ >= iconList_->Count()) iconListIndex_ = -1;
    if (Animates()) timer_->start();
    else timer_->stop();
    position_ = iconListIndex_;
}

bool TEFTrayIcon::Animates() const {
    return iconList_ && iconType_ == itList && iconListIndex_ == -1 && iconInterval_ > 0;
}

void TEFTrayIcon::Tick() {
    const int count = iconList_ ? iconList_->Count() : 0;
    if (++position_ >= count) position_ = 0;
    Update();
}

void TEFTrayIcon::StartUp() {
    if (!ShouldShow()) return;
    SyncTimer();
    Update();
    if (owner_->Form()->isMinimized()) HideApplication();
}

void TEFTrayIcon::HideRule() {
    if (ShouldShow()) HideApplication();
}

void TEFTrayIcon::HideApplication() {
    // Without an icon to click, a hidden window could not come back.
    if (!added_ || !Backend().Available()) return;
    QPointer<QWidget> form = owner_->Form();
    QMetaObject::invokeMethod(
        form, [form] { if (form) form->hide(); }, Qt::QueuedConnection);
}

void TEFTrayIcon::RestoreApplication() {
    QPointer<QWidget> form = owner_->Form();
    QMetaObject::invokeMethod(
        form,
        [form] {
            if (!form) return;
            if (form->windowState() & Qt::WindowMaximized) form->showMaximized();
            else form->showNormal();
            form->raise();
            form->activateWindow();
        },
        Qt::QueuedConnection);
}

void TEFTrayIcon::Notified(unsigned message) {
    switch (message) {
    case WM_LBUTTONUP:
        if (openAppOn_ == ooClick) RestoreApplication();
        if (OnClick) OnClick(this);
        break;
    case WM_LBUTTONDBLCLK:
        if (openAppOn_ == ooDblClick) RestoreApplication();
        if (OnDblClick) OnDblClick(this);
        break;
    case WM_RBUTTONUP: {
        const QPoint at = QCursor::pos();
        if (popupMenu_) {
            owner_->Form()->activateWindow();
            popupMenu_->popup(at);
        } else if (OnMouseUp) {
            OnMouseUp(this, mbRight, {}, at.x(), at.y());
        }
        break;
    }
    default: break;
    }
}

// ---------------------------------------------------------------------------

QObject* TEnhancedForm::CheckedOwner(QObject* owner) {
    auto* form = owner && owner->isWidgetType() ? static_cast<QWidget*>(owner) : nullptr;
    if (!form || !form->isWindow()) throw Exception("The owner of a TEnhancedForm component must be a form...");
    for (const QObject* child : owner->children())
        if (qobject_cast<const TEnhancedForm*>(child))
            throw Exception("Only one instance of TEnhancedForm per form is allowed...");
    return owner;
}

TEnhancedForm::TEnhancedForm(QObject* owner) : QObject(CheckedOwner(owner)), form_(static_cast<QWidget*>(owner)) {
    titleBar_ = new TEFTitleBar(this);
    trayIcon_ = new TEFTrayIcon(this);
    wallPaper_ = new TEFWallPaper(this);
    formWasFrameless_ = form_->windowFlags() & Qt::FramelessWindowHint;
    baseMargins_ = form_->contentsMargins();
    if (!form_->layout()) {
        client_ = new QWidget(form_);
        client_->setObjectName("EnhancedFormClient");
        auto* layout = new QVBoxLayout(form_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(client_);
        AdoptChildren();
    }
    form_->installEventFilter(this);
    hooked_ = true;
    Paint();
}

TEnhancedForm::~TEnhancedForm() {
    destroying_ = true;
    // While the form deletes its children it is no longer a whole form.
    const bool formAlive = parent() == form_ && form_->children().contains(this);
    form_->removeEventFilter(this);
    if (formAlive) {
        ApplyFrame(false);
        if (cursorSet_) form_->unsetCursor();
    }
    delete titleBar_;
    titleBar_ = nullptr;
    delete trayIcon_;
    trayIcon_ = nullptr;
    delete wallPaper_;
    wallPaper_ = nullptr;
    if (formAlive) form_->update();
}

void TEnhancedForm::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Paint();
}

void TEnhancedForm::Paint() {
    if (!hooked_ || destroying_) return;
    ApplyFrame(enabled_ && titleBar_->Enabled());
    form_->update();
}

void TEnhancedForm::Loaded() {
    loaded_ = true;
    trayIcon_->StartUp();
}

QRect TEnhancedForm::ClientRect() const { return form_->rect().marginsRemoved(insets_); }

TFormBorderStyle TEnhancedForm::BorderStyle() const {
    if (formWasFrameless_) return bsNone;
    const bool fixed = (form_->windowFlags() & Qt::MSWindowsFixedSizeDialogHint) ||
                       form_->minimumSize() == form_->maximumSize();
    switch (form_->windowType()) {
    case Qt::Tool: return fixed ? bsToolWindow : bsSizeToolWin;
    case Qt::Dialog:
    case Qt::Sheet: return fixed ? bsDialog : bsSizeable;
    default: return fixed ? bsSingle : bsSizeable;
    }
}

TBorderIcons TEnhancedForm::BorderIcons() const {
    const Qt::WindowFlags flags = form_->windowFlags();
    const Qt::WindowFlags buttons = Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                                    Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint;
    if (!(flags & (buttons | Qt::CustomizeWindowHint))) {
        // The window manager's defaults for the kind of window.
        if (form_->windowType() == Qt::Window) return biSystemMenu | biMinimize | biMaximize;
        return biSystemMenu;
    }
    TBorderIcons icons;
    if (flags & (Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)) icons |= biSystemMenu;
    if (flags & Qt::WindowMinimizeButtonHint) icons |= biMinimize;
    if (flags & Qt::WindowMaximizeButtonHint) icons |= biMaximize;
    if (flags & Qt::WindowContextHelpButtonHint) icons |= biHelp;
    return icons;
}

FrameState TEnhancedForm::FrameState() const {
    return {BorderStyle(), BorderIcons(), form_->isMinimized(), form_->isMaximized(), form_->size()};
}

TCaptionButton TEnhancedForm::PushedButton() const {
    return IsButton(pressed_) && pressInside_ ? ButtonOf(pressed_) : TCaptionButton{};
}

bool TEnhancedForm::HasIcon() const {
    const TFormBorderStyle style = BorderStyle();
    return (BorderIcons() & biSystemMenu) && (style == bsSingle || style == bsSizeable);
}

// --- the frame --------------------------------------------------------------

void TEnhancedForm::ApplyFrame(bool own) {
    if (own != ownFrame_) {
        SetFrameFlags(own);
        ownFrame_ = own;
        if (own) {
            formTracksMouse_ = form_->hasMouseTracking();
            form_->setMouseTracking(true);
        } else {
            form_->setMouseTracking(formTracksMouse_);
            pressed_ = Hit::Client;
            if (cursorSet_) form_->unsetCursor();
            cursorSet_ = false;
        }
    }
    const QMargins want = own ? FrameInsets(BorderStyle()) : QMargins();
    if (want == insets_) return;
    // The client area keeps its size; the window grows or shrinks around it.
    const QMargins delta = want - insets_;
    const QSize grow(delta.left() + delta.right(), delta.top() + delta.bottom());
    auto limit = [](int value, int by, int unset) { return value == unset ? unset : std::max(0, value + by); };
    const QSize min = form_->minimumSize(), max = form_->maximumSize();
    const QSize newMin(limit(min.width(), grow.width(), 0), limit(min.height(), grow.height(), 0));
    const QSize newMax(limit(max.width(), grow.width(), QWIDGETSIZE_MAX),
                       limit(max.height(), grow.height(), QWIDGETSIZE_MAX));
    form_->setMinimumSize(0, 0);
    form_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const bool placed = form_->isVisible() || form_->testAttribute(Qt::WA_Moved);
    const bool sized = form_->isVisible() || form_->testAttribute(Qt::WA_Resized);
    if (!(form_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        if (placed) form_->setGeometry(form_->geometry().adjusted(-delta.left(), -delta.top(), delta.right(), delta.bottom()));
        else if (sized) form_->resize(form_->size() + grow);
    }
    form_->setContentsMargins(baseMargins_ + want);
    form_->setMinimumSize(newMin);
    form_->setMaximumSize(newMax);
    insets_ = want;
}

void TEnhancedForm::SetFrameFlags(bool own) {
    Qt::WindowFlags flags = form_->windowFlags();
    flags.setFlag(Qt::FramelessWindowHint, own || formWasFrameless_);
    if (flags == form_->windowFlags()) return;
    if (form_->isVisible() && form_->windowHandle()) {
        // Changing the flags of a shown window would hide it (and end a
        // modal dialog's loop): the window takes them as it is.
        form_->overrideWindowFlags(flags);
        form_->windowHandle()->setFlags(flags);
    } else {
        form_->setWindowFlags(flags);
    }
}

void TEnhancedForm::AdoptChildren() {
    if (!client_) return;
    const QObjectList children = form_->children();
    for (QObject* child : children)
        if (child->isWidgetType()) Adopt(static_cast<QWidget*>(child));
}

void TEnhancedForm::Adopt(QWidget* child) {
    if (!client_ || !child || child == client_ || child->parentWidget() != form_ || child->isWindow()) return;
    const bool hidden = child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide);
    child->setParent(client_);
    if (!hidden) child->show();
}

// --- the message hook ---------------------------------------------------------

bool TEnhancedForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != form_) return false;
    switch (event->type()) {
    case QEvent::ChildAdded: {
        // A child widget placed on the form goes into the client area once
        // whoever made it has set it up.
        auto* child = static_cast<QChildEvent*>(event)->child();
        if (client_ && child->isWidgetType() && child != client_) {
            QPointer<QWidget> widget = static_cast<QWidget*>(child);
            QMetaObject::invokeMethod(this, [this, widget] { Adopt(widget); }, Qt::QueuedConnection);
        }
        break;
    }
    case QEvent::Polish:
        AdoptChildren();
        if (!loaded_) Loaded();
        break;
    default: break;
    }
    if (!enabled_) return false;
    return Route(event);
}

bool TEnhancedForm::Route(QEvent* event) {
    const RouteEntry* route = RouteOf(event->type());
    if (!route) return false;
    if (route->when == When::Before) {
        BeforeOrigWindowProc(event, route->step);
        return false;
    }
    // The mouse on the frame is the frame's own business: it stands for the
    // system's handling of the non-client messages.
    if (route->step == NonClientMouseStep && event->type() != QEvent::Leave) return NonClientMouse(event);
    static_cast<QObject*>(form_)->event(event);
    AfterOrigWindowProc(event, route->step);
    return true;
}

void TEnhancedForm::BeforeOrigWindowProc(QEvent*, int step) {
    if (step == ReloadFont && titleBar_->Enabled()) {
        titleBar_->LoadCaptionFont();
        titleBar_->Update();
    }
}

void TEnhancedForm::AfterOrigWindowProc(QEvent*, int step) {
    const bool titleBarOn = titleBar_->Enabled();
    switch (step) {
    case PaintAll: PaintStep(); break;
    case SizeChanged:
        if (titleBarOn) RequestTitleBarPaint();
        wallPaper_->Update();
        break;
    case FrameChanged:
        if (titleBarOn) Paint();
        break;
    case StateChanged:
        if (titleBarOn) Paint();
        // Minimizing takes the window off the screen as hiding does.
        if (form_->isMinimized()) trayIcon_->HideRule();
        break;
    case Hidden: trayIcon_->HideRule(); break;
    case NonClientMouseStep:
        if (pressed_ == Hit::Client) SetHoverCursor(Hit::Client);
        pressInside_ = false;
        if (titleBarOn) RequestTitleBarPaint();
        break;
    case Activation:
        if (titleBarOn) {
            titleBar_->ActivationReported(form_->isActiveWindow());
            RequestTitleBarPaint();
        }
        break;
    default: break;
    }
}

void TEnhancedForm::PaintStep() {
    QPainter painter(form_);
    painter_ = &painter;
    const bool titleBarOn = titleBar_->Enabled();
    if (ownFrame_ && BorderStyle() != bsNone) {
        const ef::FrameState frame = FrameState();
        const QRect caption = titleBarOn ? CaptionRect(frame).ToQRect() : QRect();
        DrawWindowFrame(painter, frame.windowSize, ClientRect(), caption);
        if (titleBarOn) titleBar_->PaintTitleBar(painter, titleBar_->IsActive());
    }
    // A title bar switched off gives the frame back at its next repaint.
    if (ownFrame_ != titleBarOn && !refreshQueued_) {
        refreshQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                refreshQueued_ = false;
                Paint();
            },
            Qt::QueuedConnection);
    }
    wallPaper_->Update();
    painter_ = nullptr;
}

void TEnhancedForm::RequestTitleBarPaint() {
    if (ownFrame_) form_->update(CaptionRect(FrameState()).ToQRect());
}

// --- the mouse on the frame ---------------------------------------------------

bool TEnhancedForm::NonClientMouse(QEvent* event) {
    if (!ownFrame_ || BorderStyle() == bsNone) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    const QPoint global = mouse->globalPosition().toPoint();
    const ef::FrameState frame = FrameState();
    const Hit hit = HitTest(frame, HasIcon(), at);
    const bool tracking = pressed_ != Hit::Client;
    if (hit == Hit::Client && !tracking) {
        if (event->type() == QEvent::MouseMove) SetHoverCursor(hit);
        return false;
    }
    auto buttonInactive = [&frame](Hit h) {
        for (const ButtonPlace& b : ButtonPlaces(frame))
            if (b.button == ButtonOf(h)) return b.inactive;
        return true;
    };
    const bool left = mouse->button() == Qt::LeftButton;
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (left && hit == Hit::Caption) {
            if ((VisibleButtons(frame) & cbMaximize) && !buttonInactive(Hit::MaxButton)) ButtonAction(Hit::MaxButton);
            return true;
        }
        if (left && hit == Hit::Icon) {
            form_->close();
            return true;
        }
        [[fallthrough]];
    case QEvent::MouseButtonPress:
        if (!left) break;
        pressed_ = hit;
        pressInside_ = IsButton(hit);
        pressGlobal_ = global;
        pressGeometry_ = form_->geometry();
        movingByHand_ = false;
        if (IsButton(hit) && buttonInactive(hit)) pressed_ = Hit::Client;
        if (EdgesOf(hit) && form_->windowHandle() && form_->windowHandle()->startSystemResize(EdgesOf(hit)))
            pressed_ = Hit::Client;  // the window manager has it
        if (hit == Hit::Border) pressed_ = Hit::Client;
        break;
    case QEvent::MouseMove:
        if (!tracking) {
            SetHoverCursor(hit);
        } else if (IsButton(pressed_)) {
            pressInside_ = hit == pressed_;
        } else if (pressed_ == Hit::Caption || pressed_ == Hit::Icon) {
            // Past the drag distance the window follows the mouse by hand
            // for one step, then the window manager takes the move over from
            // there: the window keeps the point it was taken at.
            if (movingByHand_ && form_->windowHandle() && form_->windowHandle()->startSystemMove()) {
                pressed_ = Hit::Client;
                movingByHand_ = false;
            } else if ((global - pressGlobal_).manhattanLength() >= QApplication::startDragDistance() &&
                       !form_->isMaximized()) {
                movingByHand_ = true;
            }
            if (movingByHand_) form_->move(pressGeometry_.topLeft() + (global - pressGlobal_));
        } else if (Qt::Edges edges = EdgesOf(pressed_)) {
            // Resizing by hand where the window manager cannot.
            QRect r = pressGeometry_;
            const QPoint by = global - pressGlobal_;
            const QSize min = form_->minimumSize(), max = form_->maximumSize();
            auto clamp = [](int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); };
            if (edges & Qt::LeftEdge) r.setLeft(r.right() + 1 - clamp(r.width() - by.x(), min.width(), max.width()));
            if (edges & Qt::RightEdge) r.setWidth(clamp(r.width() + by.x(), min.width(), max.width()));
            if (edges & Qt::TopEdge) r.setTop(r.bottom() + 1 - clamp(r.height() - by.y(), min.height(), max.height()));
            if (edges & Qt::BottomEdge) r.setHeight(clamp(r.height() + by.y(), min.height(), max.height()));
            form_->setGeometry(r);
        }
        break;
    case QEvent::MouseButtonRelease: {
        if (!left) break;
        const Hit released = pressed_;
        const bool act = IsButton(released) && hit == released;
        pressed_ = Hit::Client;
        pressInside_ = false;
        movingByHand_ = false;
        RequestTitleBarPaint();
        // Acting may close the window and end this component with it.
        if (act) ButtonAction(released);
        return true;
    }
    default: break;
    }
    RequestTitleBarPaint();
    return true;
}

void TEnhancedForm::SetHoverCursor(Hit hit) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (hit) {
    case Hit::Left:
    case Hit::Right: shape = Qt::SizeHorCursor; break;
    case Hit::Top:
    case Hit::Bottom: shape = Qt::SizeVerCursor; break;
    case Hit::TopLeft:
    case Hit::BottomRight: shape = Qt::SizeFDiagCursor; break;
    case Hit::TopRight:
    case Hit::BottomLeft: shape = Qt::SizeBDiagCursor; break;
    default:
        if (cursorSet_) form_->unsetCursor();
        cursorSet_ = false;
        return;
    }
    form_->setCursor(shape);
    cursorSet_ = true;
}

void TEnhancedForm::ButtonAction(Hit hit) {
    switch (hit) {
    case Hit::CloseButton: form_->close(); break;
    case Hit::MaxButton:
        if (form_->isMaximized()) form_->showNormal();
        else form_->showMaximized();
        break;
    case Hit::MinButton:
        if (form_->isMinimized()) form_->showNormal();
        else form_->showMinimized();
        break;
    case Hit::HelpButton: QWhatsThis::enterWhatsThisMode(); break;
    default: break;
    }
}
