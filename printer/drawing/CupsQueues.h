#pragma once

#include <QList>
#include <QMarginsF>
#include <QPageSize>
#include <QString>
#include <QStringList>

#include <optional>

/// What the print spooler (CUPS) says about its queues, asked through its own library: no queues when no
/// spooler runs.
namespace cups {

struct Queue {
    /// The papers it offers, in its order, one of each size.
    QList<QPageSize> sizes;
    bool customSizes = false;
    QPageSize defaultSize;
    /// The unprintable margins of the default paper.
    QMarginsF marginsMm;
    bool duplex = false;
    /// "one-sided", "two-sided-long-edge" or "two-sided-short-edge".
    QString defaultSides;
    bool color = false;
    bool collate = true;
    bool landscape = false;
};

/// The queues, by name (an instance as "name/instance").
QStringList QueueNames();
/// The queue jobs go to when none is named; empty without one.
QString DefaultQueue();
/// The queue's papers and defaults; none when it cannot be asked.
std::optional<Queue> Describe(const QString &name);

} // namespace cups
