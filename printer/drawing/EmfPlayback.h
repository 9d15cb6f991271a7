#pragma once

// The player's inside, shared by its files: EmfPlayer.cpp (the walk and the record table),
// EmfPlaybackState.cpp (mapping, device state, objects), EmfPlaybackClip.cpp (clipping and regions),
// EmfPlaybackShapes.cpp (shapes and paths), EmfPlaybackText.cpp and EmfPlaybackBitmaps.cpp.

#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/EmfPlayer.h"
#include "printer/drawing/EmfRecords.h"

#include <QBrush>
#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

class QPainter;

namespace emf {

constexpr double HugeCoordinate = 1e7; // device pixels beyond this are not drawn
constexpr int MaxSaveDepth = 1024;
constexpr quint32 MaxHandles = 65535;

inline QColor colorFrom(quint32 ref) {
    return QColor(int(ref & 0xFF), int(ref >> 8 & 0xFF), int(ref >> 16 & 0xFF));
}

/// A transform that maps to a usable, invertible picture.
bool finiteTransform(const QTransform &t);
/// The stock brushes; none for another stock object or a created one.
std::optional<QBrush> stockBrush(quint32 handle);

/// A created pen, brush or font.
struct GdiObject {
    enum Kind { Pen, Brush, Font } kind = Pen;
    QPen pen;
    QBrush brush;
    QFont font;
    double fontPixels = 12; // em height in logical units
    double escapement = 0;  // tenths of a degree
};

/// The device context: mapping, selected objects, modes, current position and clip.
struct PlayDc {
    int mapMode = MM_TEXT;
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    QTransform world;
    GdiObject pen;
    GdiObject brush;
    GdiObject font;
    quint32 textColor = 0;
    quint32 bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    quint32 textAlign = 0;
    int polyFill = ALTERNATE;
    QPointF current;
    bool clipOn = false;
    QPainterPath clip; // reference device pixels
    bool clipIsRegion = false;
    QRegion clipRegion; // the same clip as pixel rectangles, while it came from region records
    PlayDc();
};

/// One record with checked access: reads outside the record give 0.
class Rec {
public:
    Rec(const uchar *p, quint32 size) : m_p(p), m_size(size) {}
    quint32 size() const { return m_size; }
    bool fits(quint64 offset, quint64 length) const { return offset <= m_size && length <= m_size - offset; }
    quint32 u32(quint64 at) const { return fits(at, 4) ? emf::u32(m_p + at) : 0; }
    qint32 i32(quint64 at) const { return fits(at, 4) ? emf::i32(m_p + at) : 0; }
    qint16 i16(quint64 at) const { return fits(at, 2) ? emf::i16(m_p + at) : 0; }
    quint8 u8(quint64 at) const { return fits(at, 1) ? m_p[at] : 0; }
    float f32(quint64 at) const { return fits(at, 4) ? emf::f32(m_p + at) : 0.f; }
    const uchar *at(quint64 offset) const { return m_p + offset; }
    QPointF point(quint64 at) const { return QPointF(i32(at), i32(at + 4)); }
    /// An exclusive box record as the painter's rectangle. Programs drawing in a mapping mode whose y axis
    /// points up give the corners in either order.
    QRectF box(quint64 at) const {
        const double l = i32(at), t = i32(at + 4), r = i32(at + 8), b = i32(at + 12);
        return QRectF(QPointF(std::min(l, r), std::min(t, b)), QPointF(std::max(l, r) - 1, std::max(t, b) - 1));
    }
    QRectF rect(quint64 at) const { return QRectF(point(at), point(at + 8)).normalized(); }

private:
    const uchar *m_p;
    quint32 m_size;
};

/// One replay of a metafile onto a painter (or, without one, a walk that collects the texts).
class Playback {
public:
    Playback(const QByteArray &bytes, const Header &header) : m_bytes(bytes), m_header(header) {}

    void play(QPainter *painter, const QRectF &target);
    QList<EmfPlayer::TextRun> texts;

    /// What one kind of record does.
    using Handler = void (Playback::*)(quint32 type, const Rec &r);

private:
    void record(quint32 type, const Rec &r);

    // mapping, device state and objects (EmfPlaybackState.cpp)
    QTransform pageTransform() const; // logical -> reference device
    void updateTransform();
    bool drawable(const QRectF &logical) const;
    void onComment(quint32 type, const Rec &r);
    void onMapMode(quint32 type, const Rec &r);
    void onExtent(quint32 type, const Rec &r);
    void onOrigin(quint32 type, const Rec &r);
    void onScaleExtent(quint32 type, const Rec &r);
    void onWorldTransform(quint32 type, const Rec &r);
    void onMode(quint32 type, const Rec &r);
    void onSave(quint32 type, const Rec &r);
    void onRestore(quint32 type, const Rec &r);
    void onCreatePen(quint32 type, const Rec &r);
    void onCreateBrush(quint32 type, const Rec &r);
    void onCreateFont(quint32 type, const Rec &r);
    void onSelect(quint32 type, const Rec &r);
    void onDelete(quint32 type, const Rec &r);
    void selectStock(quint32 handle);

    // clipping and regions (EmfPlaybackClip.cpp)
    void applyClip();
    void setClip(const QPainterPath &devicePath, int mode, const QRegion *asRegion = nullptr);
    void combineRegions(int mode, const QPainterPath &devicePath, const QRegion *asRegion);
    std::optional<QRegion> region(const Rec &r, quint64 at, quint64 size) const;
    void onClipRect(quint32 type, const Rec &r);
    void onClipRegion(quint32 type, const Rec &r);
    void onOffsetClip(quint32 type, const Rec &r);
    void onClipPath(quint32 type, const Rec &r);
    void onFillRegion(quint32 type, const Rec &r);

    // shapes and paths (EmfPlaybackShapes.cpp)
    void preparePen(bool on);
    void prepareBrush(bool on);
    void drawShape(const QPainterPath &path, bool stroke, bool fill);
    QPolygonF points(const Rec &r, quint64 pointsAt, bool small, quint32 count) const;
    void polygon(const QPolygonF &pts, Qt::FillRule rule);
    void polyline(const QPolygonF &pts);
    void polylineTo(const QPolygonF &pts);
    void bezier(const QPolygonF &pts, bool fromCurrent);
    void onPoly(quint32 type, const Rec &r);
    void onPolyPoly(quint32 type, const Rec &r);
    void onArc(quint32 type, const Rec &r);
    void onBox(quint32 type, const Rec &r);
    void onLine(quint32 type, const Rec &r);
    void onPixel(quint32 type, const Rec &r);
    void onPath(quint32 type, const Rec &r);
    void onDrawPath(quint32 type, const Rec &r);

    // text (EmfPlaybackText.cpp)
    void onText(quint32 type, const Rec &r);
    const QFontMetricsF &metrics();

    // bitmaps (EmfPlaybackBitmaps.cpp)
    void onBitmap(quint32 type, const Rec &r);

    static const std::vector<Handler> &handlers();

    const QByteArray &m_bytes;
    const Header &m_header;
    QPainter *m_painter = nullptr;
    QTransform m_target; // reference device -> painter's user space
    QTransform m_callerTransform;
    QPainterPath m_callerClip;
    bool m_callerClipped = false;
    bool m_valid = true; // current mapping is usable
    PlayDc m_dc;
    std::vector<PlayDc> m_saved;
    std::map<quint32, GdiObject> m_objects;
    bool m_inPath = false;
    QPainterPath m_path;
    double m_nextFontPixels = 0;
    std::optional<QFontMetricsF> m_metrics; // of the last text's font
    QFont m_metricsFont;
    double m_deviceDpi = 96;
};

} // namespace emf
