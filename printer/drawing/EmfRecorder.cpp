#include "printer/drawing/EmfRecorder.h"

#include "printer/drawing/EmfPaintEngine.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

EmfRecorder::EmfRecorder(int width, int height, double dpiX, double dpiY)
    : m_width(std::max(1, width)), m_height(std::max(1, height)), m_dpiX(dpiX > 0 ? dpiX : screenDpiX()),
      m_dpiY(dpiY > 0 ? dpiY : screenDpiY()), m_engine(std::make_unique<EmfPaintEngine>(this)) {}

EmfRecorder::~EmfRecorder() = default;

QPaintEngine *EmfRecorder::paintEngine() const {
    return m_engine.get();
}

QByteArray EmfRecorder::bytes() const {
    return m_engine->bytes();
}

EmfPaintEngine *EmfRecorder::engineOf(const QPainter &painter) {
    QPaintEngine *engine = painter.paintEngine();
    if (!engine || engine->type() != EmfPaintEngine::RecorderType)
        return nullptr;
    return static_cast<EmfPaintEngine *>(engine);
}

double EmfRecorder::screenDpiX() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (QScreen *screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchX();
    return 96;
}

double EmfRecorder::screenDpiY() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (QScreen *screen = QGuiApplication::primaryScreen())
            return screen->logicalDotsPerInchY();
    return 96;
}

int EmfRecorder::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
        return m_width;
    case PdmHeight:
        return m_height;
    case PdmWidthMM:
        return int(m_width * 25.4 / m_dpiX + 0.5);
    case PdmHeightMM:
        return int(m_height * 25.4 / m_dpiY + 0.5);
    case PdmNumColors:
        return 0x7FFFFFFF;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmPhysicalDpiX:
        return int(m_dpiX + 0.5);
    case PdmDpiY:
    case PdmPhysicalDpiY:
        return int(m_dpiY + 0.5);
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    }
    return 0;
}
