#include "printer/sample/SampleReport.h"

#include "printer/QRPageList.h"
#include "printer/drawing/Canvas.h"
#include "printer/drawing/Metafile.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace samplereport {

namespace {

const QImage &picture() {
    static const QImage image = [] {
        QImage i(64, 32, QImage::Format_RGB32);
        for (int y = 0; y < i.height(); ++y)
            for (int x = 0; x < i.width(); ++x)
                i.setPixel(x, y, qRgb(255 - x * 4, 80 + y * 5, x * 4));
        return i;
    }();
    return image;
}

} // namespace

void paintPage(QPainter &p, int page, int pages) {
    QFont title(QStringLiteral("Times New Roman"));
    title.setPointSize(20);
    title.setBold(true);
    QFont body(QStringLiteral("Arial"));
    body.setPointSize(10);

    p.setFont(title);
    p.setPen(Qt::black);
    p.drawText(QRect(38, 38, 718, 50), Qt::AlignCenter, QStringLiteral("Felhasználói kézikönyv"));
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(38, 92, 756, 92);

    p.setFont(body);
    p.setPen(Qt::black);
    for (int line = 0; line < 30; ++line)
        p.drawText(57, 130 + 20 * line,
                   QStringLiteral("%1.%2  Árvíztűrő tükörfúrógép – page %1, line %2 of the sample report")
                       .arg(page)
                       .arg(line + 1));

    p.setPen(QPen(Qt::darkBlue, 1));
    p.setBrush(QColor(255, 235, 170));
    p.drawRect(57, 760, 160, 90);
    p.setBrush(QBrush(QColor(40, 90, 200), Qt::DiagCrossPattern));
    p.drawEllipse(247, 760, 160, 90);
    p.setBrush(QColor(200, 235, 200));
    canvas::RoundRect(p, QRectF(437, 760, 160, 90), 24, 24);
    p.setBrush(QColor(240, 130, 130));
    const QPoint arrow[] = {QPoint(627, 760), QPoint(737, 805), QPoint(627, 850)};
    p.drawPolygon(arrow, 3);
    QPainterPath wave;
    wave.moveTo(57, 900);
    wave.cubicTo(200, 860, 400, 940, 737, 900);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::darkMagenta, 2, Qt::DashLine));
    p.drawPath(wave);

    canvas::StretchDraw(p, QRectF(57, 930, 128, 64), picture());

    p.setPen(QPen(Qt::black, 1));
    p.drawLine(38, 1060, 756, 1060);
    p.setFont(body);
    p.drawText(QRect(38, 1066, 718, 24), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Page %1 of %2").arg(page).arg(pages));
}

void generate(TQRPageList &list, int pages, bool compress) {
    list.SetPageStream(std::make_unique<TQRStream>());
    list.Clear();
    list.SetCompression(compress);
    for (int page = 1; page <= pages; ++page) {
        TMetafile recording(PageWidth, PageHeight, 96, 96);
        {
            TMetafileCanvas canvas(recording);
            paintPage(canvas.Painter(), page, pages);
        }
        list.AddPage(recording);
    }
    list.WriteFileHeader();
}

void write(const QString &fileName, int pages, bool compress) {
    TQRPageList list;
    generate(list, pages, compress);
    list.SavePages(fileName);
}

} // namespace samplereport
