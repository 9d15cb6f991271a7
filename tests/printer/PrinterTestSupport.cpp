#include "tests/printer/PrinterTestSupport.h"

#include "printer/sample/SampleReport.h"

#include <QFile>
#include <QPainter>

TMetafile numberedPage(int n) {
    TMetafile page(200, 100, 96, 96);
    {
        TMetafileCanvas canvas(page);
        canvas->drawText(10, 50, QStringLiteral("Page %1").arg(n));
        canvas->drawRect(5, 5, 20 + n % 50, 10);
    }
    return page;
}

QByteArray samplePageBytes(int n) {
    TMetafile page(samplereport::PageWidth, samplereport::PageHeight, 96, 96);
    {
        TMetafileCanvas canvas(page);
        samplereport::paintPage(canvas.Painter(), n, 10);
    }
    return page.Bytes();
}

QString textOf(const TMetafile &page) {
    QStringList lines;
    for (const auto &run : page.Texts())
        lines << run.text;
    return lines.join(QLatin1Char('\n'));
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

void put32(QByteArray &bytes, qsizetype at, qint32 value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(quint32(value) >> (8 * i));
}

qint32 get32(const QByteArray &bytes, qsizetype at) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= quint32(uchar(bytes[at + i])) << (8 * i);
    return qint32(v);
}

TQROutlineEntry outlineEntry(const QString &title, int level, int key, int page) {
    TQROutlineEntry e;
    e.Title = title;
    e.Level = level;
    e.Key = key;
    e.Page = page;
    e.Area = QRect(QPoint(10 * key, 20), QPoint(100 * key, 200));
    return e;
}
