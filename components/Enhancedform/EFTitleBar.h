#pragma once
// The caption bar the form enhancer paints: a colour gradient, the small
// icon, the two extra texts and the window's caption, the caption buttons.

#include "components/Enhancedform/EFBase.h"
#include "components/Enhancedform/EFTypes.h"
#include "platform/ansi/ansi.h"
#include "platform/metrics/metrics.h"

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

class QPainter;
class TEFTitleBar;

// One of the two extra texts of the caption bar.
class TEFTBSpecialCaption : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::string Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(ef::TFontStyles FontStyle READ FontStyle WRITE SetFontStyle)

public:
    explicit TEFTBSpecialCaption(TEFTitleBar* titleBar);

    AnsiString Caption() const { return caption_; }
    void SetCaption(const AnsiString& value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    ef::TFontStyles FontStyle() const { return fontStyle_; }
    void SetFontStyle(ef::TFontStyles value);

private:
    void Changed();

    TEFTitleBar* titleBar_;
    AnsiString caption_;
    bool enabled_ = true;
    ef::TFontStyles fontStyle_;
};

// The caption bar.
class TEFTitleBar : public TEFBase {
    Q_OBJECT
    Q_PROPERTY(ef::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(int NbOfColors READ NbOfColors WRITE SetNbOfColors)
    Q_PROPERTY(ef::TGradientType Type READ Type WRITE SetType)

public:
    explicit TEFTitleBar(TEnhancedForm* owner);
    ~TEFTitleBar() override;

    ef::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(ef::TAlignment value);
    TEFTBSpecialCaption* ApplicationInfo() const { return applicationInfo_; }
    TEFTBSpecialCaption* CompanyInfo() const { return companyInfo_; }
    metrics::TColor Color() const { return color_; }
    void SetColor(metrics::TColor value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // 0 (automatic) or 2 to 256; other values are ignored.
    int NbOfColors() const { return nbOfColors_; }
    void SetNbOfColors(int value);
    ef::TGradientType Type() const { return type_; }
    void SetType(ef::TGradientType value);

    // Repaints the frame when the title bar is enabled.
    void Update() override;

    // The caption font: the system's caption font, or its stock font when
    // the caption font cannot be had.
    void LoadCaptionFont();
    const QFont& CaptionFont() const { return captionFont_; }
    // Whether the caption shows the active colours: the last activation the
    // window reported, or before any report whether it is the active window.
    bool IsActive() const;

    // The caption bar as it looks now, composed afresh.
    QImage ComposeBar(bool active);
    // How many times the bar has been composed; painting an unchanged bar
    // again reuses the last one.
    int Compositions() const { return compositions_; }

private:
    friend class TEnhancedForm;
    friend class TEFTBSpecialCaption;
    // A setting that the bar shows has changed.
    void Touch() { ++generation_; }
    // ... and the bar shows it.
    void Changed() {
        Touch();
        Update();
    }
    void ActivationReported(bool active);
    // Draws the bar at its place on the form's painter.
    void PaintTitleBar(QPainter& painter, bool active);

    ef::TAlignment alignment_ = ef::taLeftJustify;
    TEFTBSpecialCaption* applicationInfo_;
    TEFTBSpecialCaption* companyInfo_;
    metrics::TColor color_ = metrics::clBlack;
    bool enabled_ = true;
    int nbOfColors_ = 64;
    ef::TGradientType type_ = ef::gtLeftToRight;
    QFont captionFont_;
    bool reportedActive_ = true;
    bool reportArrived_ = false;

    // The last composed bar and what it was composed from.
    struct BarKey {
        QSize size;
        bool active = false;
        QString title;
        bool maximized = false, minimized = false;
        int style = 0, icons = 0, pushed = 0;
        qint64 icon = 0;
        quint64 generation = 0;
        friend bool operator==(const BarKey&, const BarKey&) = default;
    };
    BarKey BarKeyNow(bool active) const;
    BarKey barKey_;
    QImage bar_;
    quint64 generation_ = 1;
    int compositions_ = 0;
};
