#pragma once
// The form enhancer's wallpaper behind the client area.

#include "components/Enhancedform/EFBase.h"
#include "components/Enhancedform/EFTypes.h"

#include <QImage>

// A picture behind the form's client area, tiled or centred.
class TEFWallPaper : public TEFBase {
    Q_OBJECT
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE SetBitmap)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(ef::TEFWallPaperDisplay Display READ Display WRITE SetDisplay)

public:
    explicit TEFWallPaper(TEnhancedForm* owner);

    const QImage& Bitmap() const { return bitmap_; }
    void SetBitmap(const QImage& value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    ef::TEFWallPaperDisplay Display() const { return display_; }
    void SetDisplay(ef::TEFWallPaperDisplay value);

    // Paints the wallpaper over the client area: inside the form's paint it
    // draws, elsewhere it asks the form to repaint its client area.
    void Update() override;

    // The finished wallpaper for an area at least as large as the screen and
    // the client area, and how many times it has been built.
    const QImage& Buffer() const { return buffer_; }
    int BufferBuilds() const { return bufferBuilds_; }

private:
    void RebuildBuffer();
    void RefreshForm();

    QImage bitmap_;
    bool enabled_ = true;
    ef::TEFWallPaperDisplay display_ = ef::dwTile;
    QImage buffer_;
    int bufferBuilds_ = 0;
};
