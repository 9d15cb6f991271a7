#pragma once

#include <QSizeF>
#include <QString>

/// One paper a printer offers: its code (a device paper code, or a driver code above DMPAPER_USER), its
/// name and its portrait size.
struct PaperInfo {
    int code = 0;
    QString name;
    QSizeF sizeMm;
};

/// One paper source of a printer with its bin code.
struct BinInfo {
    int code = 0;
    QString name;
};
