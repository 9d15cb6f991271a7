#pragma once

#include "printer/drawing/EmfReader.h"

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

/// Replays a metafile onto any painter, stretched so its picture frame fills a target rectangle. Draws what
/// our recorder writes and the common records of other programs' files; skips what it does not know and
/// any record whose sizes, counts or offsets do not fit.
class EmfPlayer {
public:
    explicit EmfPlayer(const QByteArray &emf);

    bool isValid() const { return m_header.has_value(); }
    const emf::Header &header() const { return *m_header; }

    void play(QPainter &painter, const QRectF &target) const;

    /// One text output: its reference point in the page's reference pixels and its text, with the box its
    /// characters cover (same pixels) and the font it was written in (sized in points so that at the
    /// screen's resolution it is as high as written in logical units).
    struct TextRun {
        QPointF position;
        QString text;
        QRectF box;
        QFont font;
    };
    /// Every text record in order, positioned through the mapping in force when it was drawn.
    QList<TextRun> texts() const;

private:
    QByteArray m_bytes;
    std::optional<emf::Header> m_header;
};
