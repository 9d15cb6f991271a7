#pragma once

#include "EngineTestSupport.h"

#include "report/engine/QRExportFilter.h"
#include "tests/support/TestSupport.h"

#include <QVariant>

/// A printable of the generation tests. It prints `Lines` lines of `LineHeight` (0.1 mm) each, as far as they
/// fit in its band (stretching the band with AutoStretch), and continues on the next column or page with the
/// rest; it counts the record notifications it gets (registered with the report when `CountRecords`), answers
/// an expanded height (`Expanded`, pixels), stands for a stretched band line (Tag 1000 with `BandLine`) and for
/// a picture (`Picture`).
class TTestContent : public TQRPrintable {
    Q_OBJECT
    Q_PROPERTY(qint32 Lines READ Lines WRITE SetLines)
    Q_PROPERTY(double LineHeight READ LineHeight WRITE SetLineHeight)
    Q_PROPERTY(bool AutoStretch READ AutoStretch WRITE SetAutoStretch)
    Q_PROPERTY(bool CountRecords READ CountRecords WRITE SetCountRecords)
    Q_PROPERTY(double Expanded READ Expanded WRITE SetExpanded)
    Q_PROPERTY(bool BandLine READ BandLine WRITE SetBandLine)
    Q_PROPERTY(QColor Picture READ Picture WRITE SetPicture)
public:
    explicit TTestContent(QObject *owner = nullptr) : TQRPrintable(owner) {}

    qint32 Lines() const { return m_lines; }
    void SetLines(qint32 lines) { m_lines = lines; }
    double LineHeight() const { return m_lineHeight; }
    void SetLineHeight(double height) { m_lineHeight = height; }
    bool AutoStretch() const { return m_autoStretch; }
    void SetAutoStretch(bool on) { m_autoStretch = on; }
    bool CountRecords() const { return m_countRecords; }
    void SetCountRecords(bool on) { m_countRecords = on; }
    double Expanded() const { return m_expanded; }
    void SetExpanded(double pixels) { m_expanded = pixels; }
    bool BandLine() const { return m_bandLine; }
    void SetBandLine(bool on) { m_bandLine = on; }
    QColor Picture() const { return m_picture; }
    void SetPicture(const QColor &color) { m_picture = color; }

    void Prepare() override;
    void Print(int offsetX, int offsetY) override;
    void Notify(QObject *sender, int code) override;
    bool HasExpandedHeight() const override { return m_expanded > 0; }
    void GetExpandedHeight(double &height) override { height = m_expanded; }
    qint64 ContentPosition() const override { return m_next; }
    std::optional<QPen> StretchedLinePen() const override;
    void ExportStretchedLine(TQRExportFilter &filter, double x, double y, int height) override;
    bool HasPicture() const override { return m_picture.isValid(); }
    void StretchDrawPicture(QPainter &canvas, const QRect &rect) override;

    /// "page:line" of every line printed, in order.
    QStringList printed;
    int records = 0;
    int linesExported = 0;

private:
    qint32 m_lines = 0;
    double m_lineHeight = 50;
    bool m_autoStretch = false;
    bool m_countRecords = false;
    double m_expanded = 0;
    bool m_bandLine = false;
    QColor m_picture;
    qint32 m_next = 0;
};

/// What a run told its export filter: "Start W L", "NewPage", "EndPage", "Finish" and "NAME X Y EXTRA" per band.
class RecordingFilter : public TQRExportFilter {
public:
    void Start(int paperWidth, int paperLength, const QFont &) override;
    void EndPage() override { calls << QStringLiteral("EndPage"); }
    void Finish() override { calls << QStringLiteral("Finish"); }
    void NewPage() override { calls << QStringLiteral("NewPage"); }
    void PutGraphic(TQRPrintable *control, double x, double y) override;
    void BandDone(TQRCustomBand *band, double x, double y, double expandedHeight) override;
    void TextOut(double, double, const QFont &, const QColor &, TAlignment, const QString &) override {}

    QStringList calls;
    /// The bands of each page, "NAME@Y" (with the x, "NAME@X,Y", where it is not the left margin, and "+EXTRA"
    /// when the band stretched), joined by blanks.
    QStringList pages() const;
};

/// A definition holding data sets (`outside`) and one report "R" on A4 with 10 mm margins, in millimetres, with
/// its properties `props` and its bands and controls `inside`.
QString reportXml(const QString &inside, const QString &props = {}, const QString &outside = {});
/// A band of the given class and type, `heightMm` high.
QString bandXml(const QString &name, const QString &type, double heightMm, const QString &props = {},
                const QString &cls = QStringLiteral("TQRBand"));
/// A property element.
QString prop(const QString &name, const QString &value);
/// A read-only query of the folder "data" that is opened with the definition.
QString queryXml(const QString &name, const QString &sql, const QString &props = {});
/// A table file `folder`/`table`.db holding `table` with the columns (SQL) and rows.
void makeTable(const QString &folder, const QString &table, const QString &columns, const QList<QVariantList> &rows);

/// A definition read from text in a folder of its own (its data in "data" below it), with its report.
struct LoadedReport {
    explicit LoadedReport(const QString &xml, const std::function<void(const QString &dataFolder)> &data = {});
    TempFolder folder;
    std::unique_ptr<TQRDefinition> root;
    TDezirUzu *report = nullptr;
    template <class T = QObject> T *find(const QString &name) const {
        return qobject_cast<T *>(FindComponent(root.get(), name));
    }
    /// Exports the report through a recording filter and returns its pages.
    QStringList trace();
    RecordingFilter filter;
};
