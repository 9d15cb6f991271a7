#include "manual/ManualJob.h"

#include "printer/QRError.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"
#include "store/Table.h"

#include <QFile>

TManualJob::TManualJob(const QString &startDir) {
    Viewer.setStartDir(startDir);
    AddHelpField(*Viewer.TableTV, startDir);
    Viewer.open();
    // The viewer's data stands for the viewer form, as stored references name it.
    Viewer.setObjectName(QStringLiteral("FormTavik"));
    Forms.Add(&Viewer);
    FolvexTavik = TFolvexTavik::Load(&Root, Forms, startDir);
    FolvexTavik->SetShowProgress(false);
    QRCompositeReport1.setObjectName(QStringLiteral("QRCompositeReport1"));
    QRCompositeReport1.OnAddReports = [this](QObject *) { QRCompositeReport1.AddReport(FolvexTavik); };
}

int TManualJob::SavePages(const QString &fileName) {
    QRCompositeReport1.GeneratePages();
    TQRPrinter *printer = QRCompositeReport1.Printer;
    if (!printer || printer->State() != psDone)
        throw EQRError(QStringLiteral("The manual made no pages"));
    printer->SavePages(fileName);
    return printer->PagesProduced();
}

int TManualJob::PrintPdf(const QString &fileName) {
    try {
        {
            printers::ScopedFactory pdf([fileName] { return QtPrinter::PdfFile(fileName); });
            QRCompositeReport1.Print();
        }
        QString error;
        if (!pdf::AddOutline(fileName, TopicOutline(FolvexTavik->Topics()), &error))
            throw EQRError(error);
    } catch (...) {
        QFile::remove(fileName);
        throw;
    }
    return FolvexTavik->PageNumber;
}
