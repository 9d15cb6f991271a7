// The recording engine's frame: painter state, the records' framing, and the finished metafile. The drawing
// itself is split by concern: EmfPaintEngineState.cpp (mapping, pens, brushes, fonts), EmfPaintEngineClip.cpp,
// EmfPaintEngineShapes.cpp (shapes and paths), EmfPaintEngineBitmaps.cpp and EmfPaintEngineText.cpp.
#include "printer/drawing/EmfPaintEngine.h"

#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/Units.h"

using namespace emf;

EmfPaintEngine::EmfPaintEngine(EmfRecorder *device)
    : QPaintEngine(PrimitiveTransform | PixmapTransform | PatternTransform | PatternBrush | PainterPaths),
      m_device(device) {}

bool EmfPaintEngine::begin(QPaintDevice *) {
    m_transform = QTransform();
    m_clipDirty = true;
    setActive(true);
    return true;
}

bool EmfPaintEngine::end() {
    restoreUnclipped();
    setActive(false);
    return true;
}

void EmfPaintEngine::updateState(const QPaintEngineState &state) {
    const DirtyFlags flags = state.state();
    if (flags & DirtyPen)
        m_pen = state.pen();
    if (flags & DirtyBrush)
        m_brush = state.brush();
    if (flags & DirtyFont)
        m_font = state.font();
    if (flags & DirtyBackground)
        m_bgBrush = state.backgroundBrush();
    if (flags & DirtyBackgroundMode)
        m_bgMode = state.backgroundMode();
    if (flags & DirtyTransform)
        m_transform = state.transform();
    if (flags & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled | DirtyTransform))
        m_clipDirty = true;
}

RecordWriter EmfPaintEngine::start(quint32 type, quint32 fixedLength) {
    ++m_recordCount;
    return RecordWriter(m_records, type, fixedLength);
}

void EmfPaintEngine::record0(quint32 type) {
    start(type, layout::Common::Parameters).finish();
}

void EmfPaintEngine::record1(quint32 type, quint32 v) {
    RecordWriter w = start(type, layout::Single::Length);
    w.u32(layout::Single::Value, v);
    w.finish();
}

void EmfPaintEngine::recordBox(quint32 type, const QRect &box) {
    RecordWriter w = start(type, layout::Rectangle::Length);
    w.rect(layout::Rectangle::Box, box);
    w.finish();
}

void EmfPaintEngine::recordPoint(quint32 type, const QPoint &p) {
    RecordWriter w = start(type, layout::Point::Length);
    w.point(layout::Point::X, p);
    w.finish();
}

QByteArray EmfPaintEngine::bytes() const {
    using H = layout::Header;
    const int width = m_device ? m_device->width() : 1;
    const int height = m_device ? m_device->height() : 1;
    const double dpiX = m_device ? m_device->dpiX() : 96;
    const double dpiY = m_device ? m_device->dpiY() : 96;
    QByteArray out;
    out.reserve(H::Length + m_records.size() + layout::Eof::Length);
    const quint32 total = quint32(H::Length + m_records.size() + layout::Eof::Length);
    RecordWriter h(out, EMR_HEADER, H::Length);
    h.rect(H::Bounds, QRect(0, 0, width, height)); // inclusive: the page's last pixel
    h.rect(H::Frame, QRect(QPoint(0, 0), QPoint(rnd(width * 2540.0 / dpiX), rnd(height * 2540.0 / dpiY))));
    h.u32(H::Signature, Signature);
    h.u32(H::Version, Version);
    h.u32(H::Bytes, total);
    h.u32(H::Records, quint32(m_recordCount + 2));
    h.u16(H::Handles, quint16(std::min<quint32>(m_maxHandle + 1, 0xFFFF)));
    h.point(H::Device, QPoint(width, height));
    h.point(H::Millimeters, QPoint(std::max(1, rnd(width * 25.4 / dpiX)), std::max(1, rnd(height * 25.4 / dpiY))));
    h.point(H::Micrometers,
            QPoint(std::max(1, rnd(width * 25400.0 / dpiX)), std::max(1, rnd(height * 25400.0 / dpiY))));
    h.finish();
    out.append(m_records);
    RecordWriter eof(out, EMR_EOF, layout::Eof::Length);
    eof.u32(layout::Eof::PaletteOffset, layout::Eof::SizeLast); // no palette: where it would start
    eof.u32(layout::Eof::SizeLast, layout::Eof::Length);
    eof.finish();
    return out;
}
