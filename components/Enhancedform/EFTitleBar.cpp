#include "components/Enhancedform/EFTitleBar.h"

#include "components/Enhancedform/ClassicPaint.h"
#include "components/Enhancedform/Enhancedform.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <array>

using namespace ef;
using namespace metrics;

namespace {

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
        else
            upper = mid - 1;
    }
    return text.left(fits) + dots;
}

// The window title as the window manager would show it.
QString TitleOf(const QWidget* form) {
    QString title = form->windowTitle();
    title.replace(QLatin1String("[*]"), form->isWindowModified() ? QStringLiteral("*") : QString());
    return title;
}

}  // namespace

TEFTBSpecialCaption::TEFTBSpecialCaption(TEFTitleBar* titleBar) : QObject(titleBar), titleBar_(titleBar) {}

void TEFTBSpecialCaption::Changed() {
    titleBar_->Touch();
    if (enabled_) titleBar_->Update();
}

void TEFTBSpecialCaption::SetCaption(const AnsiString& value) {
    if (Assign(caption_, value)) Changed();
}

void TEFTBSpecialCaption::SetEnabled(bool value) {
    if (Assign(enabled_, value)) Changed();
}

void TEFTBSpecialCaption::SetFontStyle(TFontStyles value) {
    if (Assign(fontStyle_, value)) Changed();
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
    if (Assign(alignment_, value)) Changed();
}

void TEFTitleBar::SetColor(TColor value) {
    if (Assign(color_, value)) Changed();
}

void TEFTitleBar::SetEnabled(bool value) {
    if (Assign(enabled_, value)) Changed();
}

void TEFTitleBar::SetNbOfColors(int value) {
    if (value != 0 && (value < 2 || value > 256)) return;
    if (Assign(nbOfColors_, value)) Changed();
}

void TEFTitleBar::SetType(TGradientType value) {
    if (Assign(type_, value)) Changed();
}

void TEFTitleBar::Update() {
    if (enabled_) owner_->Paint();
}

void TEFTitleBar::LoadCaptionFont() {
    auto take = [this](const LogFont& lf) {
        QFont font(QString::fromStdString(lf.faceName));
        if (lf.height < 0) font.setPixelSize(-lf.height);
        else if (lf.height > 0)
            font.setPointSize(lf.height);
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
    for (int y = 1; y < bar.height(); ++y) std::copy(row, row + bar.width(), reinterpret_cast<QRgb*>(bar.scanLine(y)));

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
    const std::array<Text, 3> texts{info(companyInfo_), info(applicationInfo_),
                                    Text{title, captionFont_, !title.isEmpty()}};
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
