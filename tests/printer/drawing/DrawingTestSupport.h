#pragma once

#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <functional>

class TMetafile;

/// A page painted by `paint` straight onto a white image.
QImage paintDirect(int width, int height, const std::function<void(QPainter &)> &paint);
/// The same page recorded, saved to bytes, loaded back and replayed onto a white image.
QImage paintRecorded(int width, int height, const std::function<void(QPainter &)> &paint, QByteArray *bytes = nullptr);
/// A white image with `metafile` replayed into `target` (default: the whole image).
QImage replay(const TMetafile &metafile, int width, int height, QRectF target = {});
/// Share of pixels whose colour differs by more than `tolerance` in some channel.
double differingShare(const QImage &a, const QImage &b, int tolerance = 64);
/// Share of pixels that are not white.
double inkShare(const QImage &image);

/// A page with text, lines, shapes, a bitmap and clipping, as a report page has.
void paintSamplePage(QPainter &painter);

/// Builds metafile bytes by hand: header, the given records, end record.
class EmfBuilder {
public:
    explicit EmfBuilder(int width = 100, int height = 100);
    EmfBuilder &record(quint32 type, const QList<qint32> &values);
    EmfBuilder &raw(const QByteArray &record);
    QByteArray bytes() const;

private:
    int m_width;
    int m_height;
    QByteArray m_records;
    int m_count = 0;
};
