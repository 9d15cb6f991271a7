#pragma once

#include "printer/drawing/Canvas.h"
#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/EmfRecords.h"

#include <QBrush>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <optional>
#include <vector>

class EmfRecorder;

/// Turns QPainter calls into enhanced metafile records. Coordinates are whole device pixels; under a
/// transform beyond a translation the records carry sixteenths of a user unit and a world transform.
class EmfPaintEngine : public QPaintEngine {
public:
    explicit EmfPaintEngine(EmfRecorder *device);

    bool begin(QPaintDevice *device) override;
    bool end() override;
    void updateState(const QPaintEngineState &state) override;
    static constexpr Type RecorderType = Type(User + 61);
    Type type() const override { return RecorderType; }

    using QPaintEngine::drawEllipse;
    using QPaintEngine::drawLines;
    using QPaintEngine::drawPoints;
    using QPaintEngine::drawPolygon;
    using QPaintEngine::drawRects;
    void drawRects(const QRectF *rects, int count) override;
    void drawLines(const QLineF *lines, int count) override;
    void drawEllipse(const QRectF &rect) override;
    void drawPath(const QPainterPath &path) override;
    void drawPoints(const QPointF *points, int count) override;
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr) override;
    void drawImage(const QRectF &r, const QImage &image, const QRectF &sr, Qt::ImageConversionFlags flags) override;
    void drawTextItem(const QPointF &p, const QTextItem &textItem) override;

    /// A rounded rectangle as its own record; `ellipseWidth`/`Height` size the corner ellipse.
    void drawRoundRect(const QRectF &rect, qreal ellipseWidth, qreal ellipseHeight);
    /// A text as its record, beside the painter (see canvas::DrawText); `width` is its measured width.
    void drawText(const QPointF &origin, const QString &text, const QFont &font, qreal width);

    /// Header, records, end record.
    QByteArray bytes() const;

private:
    // The device context as the records have left it, so a state is written only when it changes.
    struct Dc {
        quint32 pen = emf::StockObject | emf::BLACK_PEN;
        quint32 brush = emf::StockObject | emf::WHITE_BRUSH;
        quint32 font = emf::StockObject | emf::SYSTEM_FONT;
        quint32 textColor = 0;
        quint32 bkColor = 0xFFFFFF;
        int bkMode = emf::OPAQUE;
        quint32 textAlign = 0;
        int polyFill = emf::ALTERNATE;
        int stretchMode = 0;
        bool scaled = false; // world transform set, coordinates in sixteenths
        QTransform world;
    };
    // A pen, brush or font created in the recording, kept for reuse.
    struct Object {
        QByteArray key;
        quint32 handle;
        quint64 lastUse;
    };

    /// Logical units per user unit under a world transform.
    static constexpr int SubUnits = 16;
    static quint32 colorOf(const QColor &c) { return emf::colorRef(c.red(), c.green(), c.blue()); }

    // records (EmfPaintEngine.cpp)
    emf::RecordWriter start(quint32 type, quint32 fixedLength);
    void record0(quint32 type);
    void record1(quint32 type, quint32 v);
    void recordBox(quint32 type, const QRect &box);
    void recordPoint(quint32 type, const QPoint &p);

    // mapping and objects (EmfPaintEngineState.cpp)
    void ensureMapping(bool needTransform);
    void resetWorld();
    QPointF map(const QPointF &p) const;
    QPoint mapI(const QPointF &p) const;
    QRect gdiBox(const QRectF &r) const;
    void selectPen();
    void selectBrush();
    void selectFont(const QFont &font, qreal pixelSize);
    static QByteArray fontRecordBody(const QFont &font, qreal pixelSize);
    void selectObject(quint32 handle, quint32 &slot);
    quint32 object(const QByteArray &key, const QByteArray &body, quint32 type);
    void releaseUnused();
    void setTextColor(quint32 c);
    void setBkMode(int m);
    void setBkColor(quint32 c);
    void setTextAlign(quint32 a);
    void setPolyFill(int m);

    // clipping (EmfPaintEngineClip.cpp)
    void applyClip();
    void restoreUnclipped();
    void writeClipRegion(const QPainterPath &clip);

    // shapes and paths (EmfPaintEngineShapes.cpp)
    void writePoints(quint32 type16, quint32 type32, const QList<QPoint> &pts);
    void writePathBody(const QPainterPath &path);
    bool writeOpenFigures(const QPainterPath &path);

    // bitmaps (EmfPaintEngineBitmaps.cpp)
    void drawBitmap(const QRectF &r, const QImage &image, const QRectF &sr);

    // Calls beside the painter take its pending state, and give back afterwards the state it last handed us:
    // the painter may restore its own without telling us (it believes we never saw the pending one).
    struct PainterState {
        QPen pen;
        QBrush brush;
        QBrush bgBrush;
        Qt::BGMode bgMode;
        QTransform transform;
    };
    PainterState takePainterState();
    void restorePainterState(const PainterState &state);

    // text (EmfPaintEngineText.cpp)
    canvas::TextAdvances &textAdvances(const QFont &font);
    void advances(const QString &text, const QFont &font, qreal &natural);
    void recordText(const QPointF &p, const QString &text, const QFont &font, qreal width, qreal ascent, qreal descent);

    EmfRecorder *m_device;
    QByteArray m_records;
    int m_recordCount = 0;
    quint32 m_maxHandle = 0;
    std::vector<bool> m_handleUsed;
    std::vector<Object> m_objects;
    quint64 m_useClock = 0;
    Dc m_dc;
    Dc m_savedDc;
    bool m_clipSaved = false;
    QPainterPath m_clip; // device pixels, while m_clipSaved

    // the painter's state
    QPen m_pen;
    QBrush m_brush;
    QFont m_font;
    QBrush m_bgBrush;
    Qt::BGMode m_bgMode = Qt::TransparentMode;
    QTransform m_transform;
    bool m_clipDirty = false;
    std::optional<canvas::TextAdvances> m_textAdvances; // of the last text's font
    QFont m_textAdvancesFont;
    std::vector<qreal> m_advances; // of the text being recorded
    // The font record last built, so a run of texts in one font builds it once.
    QFont m_fontRecordFont;
    qreal m_fontRecordPixels = -1;
    QByteArray m_fontRecordBody;
    QByteArray m_fontRecordKey;
};
