#pragma once

#include <QString>

#include <functional>
#include <memory>

class QObject;
class TQRPrinter;

/// The small window that shows how far printing or exporting has come and lets the user cancel it. The
/// printer and the report reach it only through this interface; the preview library registers the window
/// that implements it, so nothing below that library links a widget toolkit.
class TQRProgressWindow {
public:
    using Factory = std::function<std::unique_ptr<TQRProgressWindow>(TQRPrinter &printer)>;

    virtual ~TQRProgressWindow() = default;
    /// The object the printer's progress notifications are posted to (its ProgressReceiver).
    virtual QObject *Receiver() = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    /// "Printing progress" unless a caller says otherwise ("Exporting Progress").
    virtual void SetCaption(const QString &caption) = 0;

    /// A new window bound to `printer`; none when no window has been registered.
    static std::unique_ptr<TQRProgressWindow> Create(TQRPrinter &printer);
    /// Installs how windows are made (none: no window) and returns the factory installed before.
    static Factory SetFactory(Factory factory);
};
