#pragma once

#include "report/expr/Elements.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

/// One registered function: its name, the builder's texts and the class that makes its elements.
///
/// `Description` is "<syntax>|<one-line text>"; `ArgumentTypes` is a category digit followed by one letter
/// per argument (N numeric, S text, B logical, V any value).
struct TQRLibraryEntry {
    QString Name;
    QString Description;
    QString ArgumentTypes;
    TQREvFunctionClass FunctionClass = nullptr;
    QString Vendor;
};

/// An ordered list of library entries, looked up by name ignoring case; the first of equal names wins.
class TQRLibrary {
public:
    virtual ~TQRLibrary() = default;

    void Add(std::unique_ptr<TQRLibraryEntry> entry);
    int Count() const { return int(m_entries.size()); }
    /// The entry at a 0-based position; null past the last one.
    virtual TQRLibraryEntry *EntryAt(int index) const;
    /// The first entry of that name, ignoring case; null when none.
    TQRLibraryEntry *Find(const QString &name) const;

private:
    std::vector<std::unique_ptr<TQRLibraryEntry>> m_entries;
};

/// The library of function classes that compiled expressions call.
class TQRFunctionLibrary : public TQRLibrary {
public:
    /// A fresh element of the named function, or an error element "Unknown function : NAME".
    std::unique_ptr<TQREvElement> CreateFunctionElement(const QString &name) const;
};

/// The process-wide function registry, holding the built-ins in their order; null once the process is
/// shutting down.
TQRFunctionLibrary *FunctionRegistry();

/// Adds a function to the registry. The report engine and other libraries register their own functions
/// this way (`RegisterReportFunction(qrFunctionClass<MyFunction>, "MYFUNC", "MYFUNC(<X>)|Does it", "7N",
/// "Vendor")`); a class implements `ComputeResult`, and `AccumulateRecord`/`ResetState` when it aggregates.
/// A name already registered is listed again but never found.
void RegisterReportFunction(TQREvFunctionClass functionClass, const QString &name, const QString &description,
                            const QString &argumentTypes, const QString &vendor);

namespace qrexpr {

/// The supplier text of every built-in function.
QString builtInVendor();
/// The design-time builder's categories, indexed by the category digit of `ArgumentTypes`.
QStringList functionCategories();
/// The builder's prompt for argument `number` (from 1) of type letter N, S, B or V.
QString argumentPrompt(QChar typeLetter, int number);

} // namespace qrexpr
