#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class TQRExportFilter;

/// The export filters a preview can save through, in the order its save dialog offers them. One library
/// exists for the process; it starts with the PDF, plain-text, CSV and HTML filters.
class TQRExportFilterLibrary {
public:
    /// Makes a filter that writes `fileName`.
    using TQRExportFilterClass = std::function<std::unique_ptr<TQRExportFilter>(const QString &fileName)>;
    struct TQRExportFilterLibraryEntry {
        TQRExportFilterClass FilterClass;
        QString Description;
        /// Upper case, without the dot.
        QString Extension;
    };

    /// An empty library (the process's own is Instance()).
    TQRExportFilterLibrary() = default;
    /// The process's library, made with the standard filters on first use.
    static TQRExportFilterLibrary &Instance();

    void AddFilter(TQRExportFilterClass filterClass, const QString &description, const QString &extension);
    const QList<TQRExportFilterLibraryEntry> &Filters() const { return m_filters; }
    /// The first entry whose extension is `extension` (compared in upper case, a leading dot ignored).
    const TQRExportFilterLibraryEntry *FindByExtension(const QString &extension) const;
    /// The filter list of a save dialog, pairs separated by "|": the report file, then every entry as
    /// "Description (*.EXT)|*.EXT".
    QString SaveDialogFilter() const;

    /// The extension a file name is saved by: its suffix upper-cased, at most three characters ("x.html" is
    /// saved by "HTM"); empty without one.
    static QString SaveExtension(const QString &fileName);

private:
    QList<TQRExportFilterLibraryEntry> m_filters;
};
