#pragma once

#include <functional>
#include <memory>

class QObject;
class TQRPrinter;

/// How a report opens a preview window on its printer. This base opens none; the preview library
/// registers the standard preview window as the process's PreviewInterfaceClass, so the report engine
/// opens it without knowing the widgets.
class TQRPreviewInterface {
public:
    virtual ~TQRPreviewInterface() = default;
    /// Shows a preview of `printer` and returns its window (none here).
    virtual QObject *Show(TQRPrinter &printer);
    /// Shows a preview and returns when it has closed; the window, if it still exists, or none.
    virtual QObject *ShowModal(TQRPrinter &printer);
};

/// Makes the preview interface a report uses.
using TQRPreviewInterfaceClass = std::function<std::unique_ptr<TQRPreviewInterface>()>;

/// The process's preview interface class (none until the preview library registers its own).
TQRPreviewInterfaceClass &PreviewInterfaceClass();
/// An interface made by PreviewInterfaceClass, or the base one that opens nothing.
std::unique_ptr<TQRPreviewInterface> NewPreviewInterface();
