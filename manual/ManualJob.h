#pragma once

#include "help/HelpViewerStore.h"
#include "manual/TavikPrint.h"
#include "report/engine/QRComposite.h"
#include "report/engine/Streaming.h"

#include <QString>

/// The manual of a help folder printed as the help viewer holds it: the viewer's table (with its HELP field)
/// registered as FormTavik, the manual read against it, and the composite job whose report list it fills.
class TManualJob {
public:
    /// Opens the folder's table; raises the data layer's error when it cannot.
    explicit TManualJob(const QString &startDir);

    /// Prints the manual into a report file; returns the pages.
    int SavePages(const QString &fileName);
    /// Prints the manual into a PDF whose bookmarks lead to the topics; returns the pages. On failure no file is
    /// left behind.
    int PrintPdf(const QString &fileName);

    HelpViewerStore Viewer;
    TQRForms Forms;
    TQRDefinition Root;
    TFolvexTavik *FolvexTavik = nullptr;
    TQRCompositeReport QRCompositeReport1;
};
