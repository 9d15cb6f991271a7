#include "printer/export/QRExportFilterLibrary.h"

#include "printer/export/QRPDFExportFilter.h"
#include "printer/export/QRTextExportFilters.h"
#include "report/engine/QRExportFilter.h"

#include <QFileInfo>

namespace {

QString normalExtension(QString extension) {
    if (extension.startsWith(QLatin1Char('.')))
        extension.remove(0, 1);
    return extension.toUpper();
}

template <typename Filter> TQRExportFilterLibrary::TQRExportFilterClass filterClass() {
    return
        [](const QString &fileName) -> std::unique_ptr<TQRExportFilter> { return std::make_unique<Filter>(fileName); };
}

} // namespace

TQRExportFilterLibrary &TQRExportFilterLibrary::Instance() {
    static TQRExportFilterLibrary library = [] {
        TQRExportFilterLibrary l;
        l.AddFilter(filterClass<TQRPDFExportFilter>(), QStringLiteral("PDF document"), QStringLiteral("PDF"));
        l.AddFilter(filterClass<TQRAsciiExportFilter>(), QStringLiteral("Plain text"), QStringLiteral("TXT"));
        l.AddFilter(filterClass<TQRCSVExportFilter>(), QStringLiteral("Comma separated values"), QStringLiteral("CSV"));
        l.AddFilter(filterClass<TQRHTMLExportFilter>(), QStringLiteral("Web page"), QStringLiteral("HTM"));
        return l;
    }();
    return library;
}

void TQRExportFilterLibrary::AddFilter(TQRExportFilterClass filterClass, const QString &description,
                                       const QString &extension) {
    m_filters.append({std::move(filterClass), description, normalExtension(extension)});
}

const TQRExportFilterLibrary::TQRExportFilterLibraryEntry *
TQRExportFilterLibrary::FindByExtension(const QString &extension) const {
    const QString wanted = normalExtension(extension);
    for (const TQRExportFilterLibraryEntry &entry : m_filters)
        if (entry.Extension == wanted)
            return &entry;
    return nullptr;
}

QString TQRExportFilterLibrary::SaveDialogFilter() const {
    QString filter = QStringLiteral("Folvex file(*.QRP)|*.QRP");
    for (const TQRExportFilterLibraryEntry &entry : m_filters)
        filter += QStringLiteral("|%1 (*.%2)|*.%2").arg(entry.Description, entry.Extension);
    return filter;
}

QString TQRExportFilterLibrary::SaveExtension(const QString &fileName) {
    return QFileInfo(fileName).suffix().toUpper().left(3);
}
