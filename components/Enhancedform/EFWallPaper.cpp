#include "components/Enhancedform/EFWallPaper.h"

#include "components/Enhancedform/Enhancedform.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>

using namespace ef;
using namespace metrics;

TEFWallPaper::TEFWallPaper(TEnhancedForm* owner) : TEFBase(owner) { RebuildBuffer(); }

void TEFWallPaper::SetBitmap(const QImage& value) {
    bitmap_ = value;
    RebuildBuffer();
    RefreshForm();
}

void TEFWallPaper::SetEnabled(bool value) {
    if (!Assign(enabled_, value)) return;
    if (enabled_) RebuildBuffer();
    RefreshForm();
}

void TEFWallPaper::SetDisplay(TEFWallPaperDisplay value) {
    if (!Assign(display_, value)) return;
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
