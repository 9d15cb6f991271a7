#include "report/expr/FunctionLibrary.h"

#include "report/expr/ExprUnit.h"

void TQRLibrary::Add(std::unique_ptr<TQRLibraryEntry> entry) {
    if (entry)
        m_entries.push_back(std::move(entry));
}

TQRLibraryEntry *TQRLibrary::EntryAt(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_entries[size_t(index)].get();
}

TQRLibraryEntry *TQRLibrary::Find(const QString &name) const {
    for (const auto &entry : m_entries)
        if (QString::compare(entry->Name, name, Qt::CaseInsensitive) == 0)
            return entry.get();
    return nullptr;
}

std::unique_ptr<TQREvElement> TQRFunctionLibrary::CreateFunctionElement(const QString &name) const {
    const TQRLibraryEntry *entry = Find(name);
    if (entry && entry->FunctionClass)
        return std::unique_ptr<TQREvElement>(entry->FunctionClass());
    return std::make_unique<TQREvElementError>(QStringLiteral("Unknown function : ") + name);
}

TQRFunctionLibrary *FunctionRegistry() {
    qrexpr::Unit *u = qrexpr::unit();
    return u ? u->registry : nullptr;
}

void RegisterReportFunction(TQREvFunctionClass functionClass, const QString &name, const QString &description,
                            const QString &argumentTypes, const QString &vendor) {
    TQRFunctionLibrary *registry = FunctionRegistry();
    if (!registry)
        return;
    auto entry = std::make_unique<TQRLibraryEntry>();
    entry->Name = name;
    entry->Description = description;
    entry->ArgumentTypes = argumentTypes;
    entry->FunctionClass = functionClass;
    entry->Vendor = vendor;
    registry->Add(std::move(entry));
}

namespace qrexpr {

QString builtInVendor() {
    return QStringLiteral("TavikEditor");
}

QStringList functionCategories() {
    return {QStringLiteral("All"),         QStringLiteral("Date & time"), QStringLiteral("Math & trig"),
            QStringLiteral("Statistical"), QStringLiteral("Database"),    QStringLiteral("Logical"),
            QStringLiteral("Information"), QStringLiteral("Other")};
}

QString argumentPrompt(QChar typeLetter, int number) {
    switch (typeLetter.toUpper().unicode()) {
    case u'N':
        return QStringLiteral("Argument %1 - numeric value").arg(number);
    case u'S':
        return QStringLiteral("Argument %1 - text Value").arg(number);
    case u'B':
        return QStringLiteral("Argument %1 - logical value").arg(number);
    default:
        return QStringLiteral("Argument %1 - value").arg(number);
    }
}

} // namespace qrexpr
