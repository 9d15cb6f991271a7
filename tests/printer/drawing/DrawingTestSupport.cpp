#include "tests/printer/drawing/DrawingTestSupport.h"

#include "printer/drawing/Canvas.h"
#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/Metafile.h"

#include <QBuffer>
#include <QPainterPath>

#include <cstdlib>

QImage paintDirect(int width, int height, const std::function<void(QPainter &)> &paint) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    paint(p);
    return image;
}

QImage paintRecorded(int width, int height, const std::function<void(QPainter &)> &paint, QByteArray *bytes) {
    TMetafile recording(width, height, 96, 96);
    {
        TMetafileCanvas canvas(recording);
        paint(canvas.Painter());
    }
    QByteArray saved;
    QBuffer out(&saved);
    out.open(QIODevice::WriteOnly);
    recording.SaveToStream(out);
    out.close();
    if (bytes)
        *bytes = saved;
    QBuffer in(&saved);
    in.open(QIODevice::ReadOnly);
    TMetafile loaded;
    if (!loaded.LoadFromStream(in))
        return {};
    return replay(loaded, width, height);
}

QImage replay(const TMetafile &metafile, int width, int height, QRectF target) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    metafile.StretchDraw(p, target.isValid() ? target : QRectF(0, 0, width, height));
    return image;
}

double differingShare(const QImage &a, const QImage &b, int tolerance) {
    if (a.size() != b.size() || a.isNull())
        return 1;
    qint64 differ = 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < x.height(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            if (std::abs(qRed(p[col]) - qRed(q[col])) > tolerance ||
                std::abs(qGreen(p[col]) - qGreen(q[col])) > tolerance ||
                std::abs(qBlue(p[col]) - qBlue(q[col])) > tolerance)
                ++differ;
    }
    return double(differ) / (double(x.width()) * x.height());
}

double inkShare(const QImage &image) {
    QImage white(image.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    return differingShare(image, white, 32);
}

void paintSamplePage(QPainter &p) {
    QFont body(QStringLiteral("Arial"));
    body.setPointSize(10);
    QFont title(QStringLiteral("Times New Roman"));
    title.setPointSize(18);
    title.setBold(true);

    p.setFont(title);
    p.drawText(QRect(0, 10, 400, 40), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("Felhasználói kézikönyv"));
    p.setFont(body);
    for (int i = 0; i < 8; ++i)
        p.drawText(20, 80 + 16 * i, QStringLiteral("Line %1: the quick brown fox jumps over the lazy dog").arg(i + 1));
    p.setPen(Qt::blue);
    p.drawText(QRect(20, 220, 360, 20), Qt::AlignRight, QStringLiteral("Right aligned, blue"));

    p.setPen(QPen(Qt::black, 1));
    p.drawLine(20, 60, 380, 60);
    p.setPen(QPen(Qt::darkGreen, 3));
    p.drawLine(20, 250, 380, 250);
    p.setPen(QPen(Qt::red, 1, Qt::DashLine));
    p.drawLine(20, 260, 380, 260);

    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(255, 220, 120));
    p.drawRect(20, 280, 100, 60);
    p.setBrush(QBrush(Qt::darkBlue, Qt::CrossPattern));
    p.drawEllipse(140, 280, 100, 60);
    p.setBrush(QColor(200, 230, 255));
    canvas::RoundRect(p, QRectF(260, 280, 120, 60), 20, 20);
    p.fillRect(QRect(20, 350, 60, 20), QColor(40, 160, 40));
    p.setBrush(QColor(250, 120, 120));
    const QPoint triangle[] = {QPoint(100, 350), QPoint(160, 400), QPoint(40, 400)};
    p.drawPolygon(triangle, 3);
    p.setBrush(Qt::NoBrush);
    const QPoint zigzag[] = {QPoint(180, 360), QPoint(200, 390), QPoint(220, 360), QPoint(240, 390)};
    p.drawPolyline(zigzag, 4);
    QPainterPath path;
    path.moveTo(260, 400);
    path.cubicTo(280, 340, 340, 440, 380, 360);
    p.setPen(QPen(Qt::magenta, 2));
    p.drawPath(path);

    QImage picture(16, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            picture.setPixel(x, y, qRgb(x * 16, y * 32, 255 - x * 16));
    p.drawImage(QRect(20, 420, 128, 64), picture);

    {
        canvas::ClipRect clip(p, QRectF(180, 420, 80, 30));
        p.setPen(Qt::black);
        p.setFont(title);
        p.drawText(170, 450, QStringLiteral("Clipped text"));
    }
    p.setPen(Qt::black);
    p.setFont(body);
    p.drawText(180, 480, QStringLiteral("After the clip"));
}

EmfBuilder::EmfBuilder(int width, int height) : m_width(width), m_height(height) {}

EmfBuilder &EmfBuilder::record(quint32 type, const QList<qint32> &values) {
    QByteArray r;
    emf::ByteWriter w(r);
    w.u32(type);
    w.u32(quint32(8 + 4 * values.size()));
    for (qint32 v : values)
        w.i32(v);
    return raw(r);
}

EmfBuilder &EmfBuilder::raw(const QByteArray &record) {
    m_records.append(record);
    ++m_count;
    return *this;
}

QByteArray EmfBuilder::bytes() const {
    QByteArray out;
    emf::ByteWriter w(out);
    w.u32(emf::EMR_HEADER);
    w.u32(88);
    for (int v : {0, 0, m_width - 1, m_height - 1})
        w.i32(v);
    // frame in 0.01 mm at 100 pixels per 25.4 mm... kept simple: 1 pixel = 0.254 mm
    for (int v : {0, 0, m_width * 254 / 10, m_height * 254 / 10})
        w.i32(v);
    w.u32(emf::Signature);
    w.u32(emf::Version);
    w.u32(quint32(88 + m_records.size() + 20));
    w.u32(quint32(m_count + 2));
    w.u16(16);
    w.u16(0);
    w.u32(0);
    w.u32(0);
    w.u32(0);
    w.i32(1000); // reference device: 1000 px over 254 mm
    w.i32(1000);
    w.i32(254);
    w.i32(254);
    out.append(m_records);
    w.u32(emf::EMR_EOF);
    w.u32(20);
    w.u32(0);
    w.u32(16);
    w.u32(20);
    return out;
}
