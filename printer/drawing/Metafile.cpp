#include "printer/drawing/Metafile.h"

#include "printer/drawing/EmfRecorder.h"

#include "printer/drawing/EmfFormat.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QIODevice>
#include <QImage>
#include <QMimeData>

TMetafile::TMetafile() : TMetafile(1, 1, 96, 96) {}

TMetafile::TMetafile(int width, int height, double dpiX, double dpiY) {
    EmfRecorder empty(width, height, dpiX, dpiY);
    const QByteArray bytes = empty.bytes();
    adopt(bytes, *emf::parseHeader(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size()));
    m_width = empty.width();
    m_height = empty.height();
    m_dpiX = empty.dpiX();
    m_dpiY = empty.dpiY();
}

void TMetafile::adopt(const QByteArray &bytes, const emf::Header &header) {
    m_bytes = bytes;
    m_width = header.width;
    m_height = header.height;
    m_dpiX = header.pixelsPerMmX * 25.4;
    m_dpiY = header.pixelsPerMmY * 25.4;
}

void TMetafile::SaveToStream(QIODevice &device) const {
    device.write(m_bytes);
}

bool TMetafile::LoadFromBytes(const QByteArray &bytes) {
    const auto header = emf::parseHeader(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size());
    if (!header || header->bytes > quint64(bytes.size()))
        return false;
    adopt(header->bytes == quint64(bytes.size()) ? bytes : bytes.left(qsizetype(header->bytes)), *header);
    return true;
}

bool TMetafile::LoadFromStream(QIODevice &device) {
    const QByteArray prefix = device.peek(emf::MinHeaderBytes);
    const qint64 length = emf::declaredLength(prefix.constData(), prefix.size());
    if (length < 0)
        return false;
    const qint64 available = device.isSequential() ? device.bytesAvailable() : device.size() - device.pos();
    if (length > available)
        return false;
    const QByteArray bytes = device.read(length);
    return bytes.size() == length && LoadFromBytes(bytes);
}

void TMetafile::StretchDraw(QPainter &painter, const QRectF &target) const {
    EmfPlayer(m_bytes).play(painter, target);
}

bool TMetafile::Enumerate(const std::function<bool(const EmfRecord &)> &visit) const {
    return forEachEmfRecord(m_bytes, visit);
}

QList<EmfPlayer::TextRun> TMetafile::Texts() const {
    return EmfPlayer(m_bytes).texts();
}

void TMetafile::CopyToClipboard() const {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    auto *data = new QMimeData;
    data->setData(QStringLiteral("image/x-emf"), m_bytes);
    QImage picture(m_width, m_height, QImage::Format_RGB32);
    if (!picture.isNull()) {
        picture.fill(Qt::white);
        QPainter painter(&picture);
        StretchDraw(painter, QRectF(picture.rect()));
        painter.end();
        data->setImageData(picture);
    }
    QGuiApplication::clipboard()->setMimeData(data);
}

TMetafileCanvas::TMetafileCanvas(TMetafile &metafile)
    : m_metafile(metafile),
      m_device(std::make_unique<EmfRecorder>(metafile.Width(), metafile.Height(), metafile.DpiX(), metafile.DpiY())) {
    m_painter.begin(m_device.get());
}

TMetafileCanvas::~TMetafileCanvas() {
    End();
}

void TMetafileCanvas::End() {
    if (!m_device)
        return;
    if (m_painter.isActive())
        m_painter.end();
    const QByteArray bytes = m_device->bytes();
    m_metafile.adopt(bytes, *emf::parseHeader(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size()));
    m_device.reset();
}
