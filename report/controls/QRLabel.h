#pragma once

#include "printer/drawing/Canvas.h"
#include "report/controls/QRControlTypes.h"
#include "report/engine/QRGraphics.h"
#include "report/engine/QRPrintable.h"

#include <QFont>
#include <QStringList>

#include <functional>
#include <optional>

class QPainter;
class TQRPrinter;

/// What labels and expression labels share: the text broken into lines that fit the control's width, the
/// control sized to its text (AutoSize), the lines printed at the printer's resolution one under the other,
/// and the band stretched when they do not fit (AutoStretch), the rest continuing at the top of the band's
/// next column or page.
///
/// Lines are measured on the report's reference device (the screen's resolution), so a definition breaks its
/// text the same way on every printer; each line is then drawn at the printer's own line height.
class TQRCustomLabel : public TQRPrintable {
    Q_OBJECT
    Q_PROPERTY(qrengine::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(bool AlignToBand READ AlignToBand WRITE SetAlignToBand)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool AutoStretch READ AutoStretch WRITE SetAutoStretch)
    Q_PROPERTY(qrcontrols::TBiDiMode BiDiMode READ BiDiMode WRITE SetBiDiMode)
    Q_PROPERTY(bool ParentBiDiMode READ ParentBiDiMode WRITE SetParentBiDiMode)
    Q_PROPERTY(TQRFont *Font READ Font)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(qrcontrols::TQRExportAs ExportAs READ ExportAs WRITE SetExportAs)
public:
    /// May change the text just before it is printed (for that print only).
    using TQRLabelOnPrintEvent = std::function<void(TQRCustomLabel *Sender, QString &Value)>;

    explicit TQRCustomLabel(QObject *owner = nullptr);
    ~TQRCustomLabel() override;

    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool on);
    bool AutoStretch() const { return m_autoStretch; }
    void SetAutoStretch(bool on) { m_autoStretch = on; }
    TBiDiMode BiDiMode() const { return m_biDiMode; }
    void SetBiDiMode(TBiDiMode mode);
    bool ParentBiDiMode() const { return m_parentBiDiMode; }
    void SetParentBiDiMode(bool on) { m_parentBiDiMode = on; }
    TQRFont *Font() const { return m_font; }
    /// On: the font follows the band's (or the report's); changing the font turns it off.
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool on);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on);
    TQRExportAs ExportAs() const { return m_exportAs; }
    void SetExportAs(TQRExportAs exportAs) { m_exportAs = exportAs; }

    /// The stored "FontSize": the font's point size. A value above 0 sets the font's size (read from a
    /// definition, once loading ends).
    qint32 FontSize() const;
    void SetFontSize(qint32 points);
    /// The text the control shows when it is not printing (a label's caption, an expression's text).
    const QString &CaptionText() const { return m_caption; }
    /// The alignment in effect: mirrored for a control that reads right to left.
    TAlignment EffectiveAlignment() const;

    /// Rebuilds OutputLines from the text (or SourceLines), raises the height to one line and, with AutoSize,
    /// takes the widest line's width; only for a control that has a parent.
    void BuildLines();
    /// Width of a text on the report's reference device at the control's zoom, in pixels.
    int MeasureText(const QString &text);
    /// One line's height on the report's reference device at the control's zoom, in pixels.
    int LineHeightPixels();

    void Prepare() override;
    void Print(int offsetX, int offsetY) override;
    void Unprepare() override;
    qint64 ContentPosition() const override { return NextLineIndex; }
    void DropRemainingContent() override;
    void GetFieldString(QString &text) override { text = PrintText; }
    void ParentFontChanged() override;
    /// A new width given to the control outside a run breaks the lines again.
    void SetBounds(int left, int top, int width, int height) override;
    void Paint(QPainter &painter) override;

    TQRLabelOnPrintEvent OnPrint;

    /// The text that is printed: the caption, or the value an expression control formatted.
    QString PrintText;
    /// Lines printed instead of the caption by descendants that do not use one.
    QStringList SourceLines;
    bool UsesCaption = true;
    /// The lines after breaking: what is printed.
    QStringList OutputLines;
    /// The next line to print; kept across columns and pages while a stretched label continues.
    qint32 NextLineIndex = 0;
    /// OutputLines are up to date.
    bool Formatted = false;
    /// Set while the control changes its own bounds.
    bool Resizing = false;

protected:
    /// Sets the shown text; the printed text follows and the lines are rebuilt.
    void SetCaptionText(const QString &caption);
    void ParentChanged(TQRControl *old) override;
    void Loaded() override;

private:
    struct CanvasMetrics;
    void fontChanged();
    void followParentFont();
    const QFont &qfont();
    /// The font's advances on the report's reference device.
    canvas::TextAdvances &referenceAdvances();
    /// The printer canvas's height of "W" in native units, and the canvas's metrics for drawing lines.
    const CanvasMetrics &canvasMetrics(const TQRPrinter &printer, const QPainter *canvas);
    void drawLine(QPainter &canvas, const TQRPrinter &printer, const QString &line, double origin, double width,
                  double top);
    void rebuildOnChange();

    TQRFont *m_font;
    bool m_autoSize = true;
    bool m_autoStretch = false;
    bool m_wordWrap = true;
    bool m_parentFont = true;
    bool m_followingFont = false;
    bool m_parentBiDiMode = true;
    TBiDiMode m_biDiMode = bdLeftToRight;
    TQRExportAs m_exportAs = exptText;
    qint32 m_storedFontSize = 0;
    QString m_caption;

    // Cached measuring: the font as Qt draws it, its metrics on the reference device and on the printer canvas.
    std::optional<QFont> m_qfont;
    std::optional<canvas::TextAdvances> m_referenceAdvances;
    struct CanvasMetrics {
        double dpiX = 0;
        double dpiY = 0;
        double pixelsPerUnitY = 0;
        /// Line height in native units.
        double lineHeight = 0;
        std::optional<canvas::TextAdvances> advances;
    };
    CanvasMetrics m_canvasMetrics;
};

/// A label with a fixed caption.
class TQRLabel : public TQRCustomLabel {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit TQRLabel(QObject *owner = nullptr);

    const QString &Caption() const { return CaptionText(); }
    void SetCaption(const QString &caption) { SetCaptionText(caption); }
};
