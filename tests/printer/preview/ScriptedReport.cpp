#include "tests/printer/preview/ScriptedReport.h"

#include "printer/QRMessages.h"
#include "printer/QRPreviewReport.h"

#include <QCoreApplication>
#include <QMetaEnum>
#include <QPainter>

ScriptedReport::ScriptedReport(QObject *parent) : QObject(parent) {}

ScriptedReport::~ScriptedReport() = default;

TQRPrinter *ScriptedReport::Printer() {
    if (!m_printer) {
        m_printer = std::make_unique<TQRPrinter>(this, nullptr);
        m_printer->SetReportReceiver(this);
    }
    return m_printer.get();
}

void ScriptedReport::FreePrinter() {
    m_printer.reset();
}

void ScriptedReport::Run(int pages) {
    TQRPrinter &printer = *Printer();
    const QPointer<TQRPrinter> alive(&printer);
    m_running = true;
    stopRequested = false;
    printer.BeginDoc();
    for (int n = 1; n <= pages && !stopRequested && !printer.CancelRequested(); ++n) {
        printer.NewPage();
        QPainter &canvas = *printer.PageCanvas();
        canvas.setFont(QFont(QStringLiteral("Arial"), 12));
        canvas.drawText(printer.ToDeviceX(200), printer.ToDeviceY(200), QStringLiteral("Page %1").arg(n));
        if (pageText) {
            const QStringList lines = pageText(n);
            for (int i = 0; i < lines.size(); ++i)
                canvas.drawText(printer.ToDeviceX(200), printer.ToDeviceY(400 + 80 * i), lines[i]);
        }
        QCoreApplication::processEvents();
        if (!alive)
            break;
        if (whileDrawing)
            whileDrawing(n);
        ++pagesRun;
        if (!alive)
            break;
    }
    if (alive)
        printer.EndDoc();
    m_running = false;
}

void ScriptedReport::RaiseStandPrevEvent(QObject *, TStandPrevEventType eventType, const QString &contName,
                                         bool &Handled) {
    events << QString::fromLatin1(QMetaEnum::fromType<TStandPrevEventType>().valueToKey(eventType)) + QLatin1Char(' ') +
                  contName;
    Handled = handle.contains(eventType);
}

bool ScriptedReport::SetupPrinter() {
    if (setupChoices)
        setupChoices(secondSettings);
    return setupConfirmed;
}

void ScriptedReport::Export(TQRExportFilter &) {
    ++exportCalls;
}

bool ScriptedReport::event(QEvent *event) {
    if (event->type() == qrmessages::PreviewClose) {
        // An idle report frees its printer once the preview has closed; a running one stops.
        if (m_running)
            stopRequested = true;
        else
            FreePrinter();
        return true;
    }
    return QObject::event(event);
}
