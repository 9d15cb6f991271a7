#pragma once

#include "printer/drawing/EmfFormat.h"

#include <QByteArray>
#include <QRect>
#include <QRectF>
#include <QString>

#include <functional>
#include <optional>

namespace emf {

/// What the header record of a metafile says, checked against the bytes at hand.
struct Header {
    quint32 headerSize = 0;
    QRect bounds; // inclusive, device units
    QRect frame;  // inclusive, 0.01 mm
    quint32 bytes = 0;
    quint32 records = 0;
    quint16 handles = 0;
    QSize device;      // reference device, pixels
    QSize millimeters; // reference device, mm
    double pixelsPerMmX = 96 / 25.4;
    double pixelsPerMmY = 96 / 25.4;
    int width = 0; // the picture, reference pixels
    int height = 0;
    QRectF framePixels; // the picture frame in reference pixels
};

/// Parses the header at the start of `data`; none when the bytes are not a metafile header.
std::optional<Header> parseHeader(const uchar *data, qsizetype size);

/// The total length a metafile header declares, read from its first bytes (at least 52 of them);
/// -1 when they do not start a metafile.
qint64 declaredLength(const char *data, qsizetype size);

/// Where the chain of records after the header breaks: the offset of the first record whose length is
/// below a record's least, not a whole number of 4-byte words, or runs past the end the header declares
/// (or of a tail too short for a record). None when the chain holds up to the end record or the end.
std::optional<qsizetype> brokenRecord(const QByteArray &emf);

} // namespace emf

/// One record as enumeration hands it out. For the two text records (83, 84) `chars` and `stringOffset`
/// are the values at bytes 44 and 48 of the record.
struct EmfRecord {
    quint32 type = 0;
    quint32 size = 0;
    qsizetype offset = 0; // from the start of the metafile
    const uchar *data = nullptr;
    quint32 chars = 0;
    quint32 stringOffset = 0;

    bool isText() const { return type == emf::EMR_EXTTEXTOUTA || type == emf::EMR_EXTTEXTOUTW; }
    /// The text of a text record (type 83 decoded from Windows-1250); empty when the count and offset do
    /// not fit inside the record.
    QString text() const;
};

/// Calls `visit` for every record in order until it returns false or the end record passes. A record that
/// claims more bytes than remain, or fewer than a record has, ends the walk. Returns false when the bytes
/// are not a metafile.
bool forEachEmfRecord(const QByteArray &emf, const std::function<bool(const EmfRecord &)> &visit);
