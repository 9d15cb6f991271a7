#pragma once

#include "printer/QROutline.h"
#include "printer/drawing/Metafile.h"

#include <QByteArray>
#include <QString>

/// A small recording whose only text is "Page N".
TMetafile numberedPage(int n);
/// The sample report's page n as recorded bytes.
QByteArray samplePageBytes(int n);
/// The text of a recording, its runs joined by newlines.
QString textOf(const TMetafile &page);
QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);
void put32(QByteArray &bytes, qsizetype at, qint32 value);
qint32 get32(const QByteArray &bytes, qsizetype at);
/// An outline entry whose area is made from its key (left 10 x key, right 100 x key).
TQROutlineEntry outlineEntry(const QString &title, int level, int key, int page = 1);
