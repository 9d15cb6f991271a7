// The commands of the standard preview window: zoom, paging, search, save, load, copy, print, printer
// setup, cancel and close.
#include "printer/preview/QRPrev.h"

#include "printer/QRBasePrintDialog.h"
#include "printer/QRError.h"
#include "printer/QRPrinter.h"
#include "printer/QRPrinterSettings.h"
#include "printer/drawing/Metafile.h"
#include "printer/export/QRExportFilterLibrary.h"
#include "printer/export/QRStoredPagesExport.h"
#include "printer/preview/QRPreview.h"
#include "printer/preview/QRSearchDlg.h"
#include "report/engine/QRExportFilter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

namespace {

// One search at a time in the whole program: a search waiting for another to end would wait on itself.
bool searchRunning = false;

// Pages searched between two looks at the window's events.
constexpr int SearchSlice = 25;

} // namespace

bool TQRStandardPreview::raise(TStandPrevEventType type, const QString &name) {
    bool handled = false;
    if (TQRPreviewReport *report = PreviewReport())
        report->RaiseStandPrevEvent(this, type, name, handled);
    return handled;
}

void TQRStandardPreview::failed(const QString &text) {
    m_dialogs->Message(text);
}

template <typename Work> void TQRStandardPreview::ownLoop(Work work) {
    const QPointer<TQRStandardPreview> self(this);
    ++m_ownLoops;
    work();
    if (!self)
        return;
    if (--m_ownLoops == 0 && m_closePending) {
        m_closePending = false;
        close();
    }
}

void TQRStandardPreview::ZoomToFitClick() {
    QApplication::processEvents();
    QRPreview->ZoomToFit();
    ZoomFit->setChecked(true);
}

void TQRStandardPreview::ZoomToWidthClick() {
    QApplication::processEvents();
    QRPreview->ZoomToWidth();
    ZoomToWidth->setChecked(true);
}

void TQRStandardPreview::ZoomTo100Click() {
    QRPreview->WriteZoom(100);
    QRPreview->LayoutPageImage();
    Zoom100->setChecked(true);
}

void TQRStandardPreview::FirstPageClick() {
    GoToPage(1);
}

void TQRStandardPreview::PrevPageClick() {
    GoToPage(QRPreview->PageNumber() - 1);
}

void TQRStandardPreview::NextPageClick() {
    GoToPage(QRPreview->PageNumber() + 1);
}

void TQRStandardPreview::LastPageClick() {
    if (!m_printer)
        return;
    // While pages are produced the last one is still being drawn.
    GoToPage(m_printer->State() == psDone ? m_printer->PagesProduced() : m_printer->PagesProduced() - 1);
}

void TQRStandardPreview::GotoPageButtonClick() {
    if (!m_printer)
        return;
    const int pages = m_printer->PagesProduced();
    const std::optional<QString> answer =
        m_dialogs->InputQuery(QStringLiteral("Select a page from 1 to %1").arg(pages),
                              QStringLiteral("Enter page number"), QString::number(QRPreview->PageNumber()));
    if (!answer || !m_printer)
        return;
    bool number = false;
    int page = answer->trimmed().toInt(&number);
    if (!number || page < 1 || page > pages)
        page = 1;
    GoToPage(page);
}

void TQRStandardPreview::FindButtonClick() {
    if (!m_printer || m_printer->State() == psBusy)
        return;
    if (searchRunning) {
        failed(QStringLiteral("A search is already running."));
        return;
    }
    const std::optional<TQRPreviewDialogs::SearchText> asked = m_dialogs->AskSearchText();
    if (!asked)
        return;
    if (!Search(asked->text, asked->matchCase))
        failed(QStringLiteral("A search is already running."));
}

bool TQRStandardPreview::Search(const QString &text, bool matchCase) {
    if (searchRunning || !m_printer || m_printer->State() == psBusy)
        return false;
    ownLoop([&] { searchPages(text, matchCase); });
    return true;
}

void TQRStandardPreview::searchPages(const QString &text, bool matchCase) {
    searchRunning = true;
    struct Done {
        ~Done() { searchRunning = false; }
    } done;
    m_stopSearch = false;
    SearchResultBox->setEnabled(true);
    SearchTextLabel->setText(text);
    SearchResultBox->clear();
    if (m_showSearch)
        Tabs->setCurrentWidget(TabSearchResult);
    const QPointer<TQRStandardPreview> self(this);
    const int pages = m_printer->PagesProduced();
    for (int p = 1; p <= pages; ++p) {
        if (p % SearchSlice == 0) {
            m_panels[0]->setText(QString::number(p * 100 / pages) + QLatin1Char('%'));
            QApplication::processEvents();
            if (!self)
                return;
            if (m_stopSearch || !m_printer || m_printer->State() != psDone)
                break;
        }
        std::unique_ptr<TMetafile> page;
        try {
            page = m_printer->FetchPage(p);
        } catch (const EQRError &) {
            continue; // a damaged page holds nothing to find
        }
        if (page && PageContainsText(text, *page, matchCase)) {
            auto *item = new QListWidgetItem(QStringLiteral("Page %1").arg(p), SearchResultBox);
            item->setData(Qt::UserRole, p);
        }
    }
    m_panels[0]->clear();
    if (SearchResultBox->count() == 0) {
        SearchResultBox->addItem(QStringLiteral("No matching text"));
        SearchResultBox->setEnabled(false);
    }
}

void TQRStandardPreview::copybuttonClick() {
    if (raise(spCopy, QStringLiteral("Copy")))
        return;
    if (const TMetafile *page = QRPreview->PageImage()->Recording())
        page->CopyToClipboard();
}

void TQRStandardPreview::PrintClick() {
    if (raise(spPrint, QStringLiteral("Print")) || !m_printer)
        return;
    TQRPreviewReport *report = PreviewReport();
    ownLoop([&] {
        try {
            if (!m_reportFileLoaded && report) {
                report->Print();
            } else if (!m_printer->PrintersInstalled()) {
                failed(QStringLiteral("There is no printer installed."));
            } else {
                m_printer->PrintStoredPages();
            }
        } catch (const EQRError &e) {
            failed(e.message());
        } catch (const EPrinterError &e) {
            failed(e.message());
        } catch (const std::exception &e) {
            failed(QString::fromUtf8(e.what()));
        }
    });
}

void TQRStandardPreview::PrintSetupClick() {
    if (!m_printer)
        return;
    TQRPrinter &printer = *m_printer;
    try {
        printer.Device().Refresh();
        if (TQRPreviewReport *report = PreviewReport()) {
            if (!report->SetupPrinter() || !m_printer)
                return;
            const qint32 index = report->PrinterSettings().PrinterIndex();
            ApplyPrintChoices(printer, report->SecondSettings(), index);
            if (!m_reportFileLoaded)
                StorePrintChoices(report->SecondSettings(), index, report->PrinterSettings());
            return;
        }
        // Pages without their report (a loaded file): the window asks on the printer itself.
        const std::unique_ptr<TQRBasePrintDialog> dialog = TQRBasePrintDialog::Create(printer.Device());
        if (!dialog)
            return;
        const int pages = printer.PagesProduced();
        dialog->SetMinPage(1);
        dialog->SetMaxPage(std::max(1, pages));
        dialog->SetFromPage(1);
        dialog->SetToPage(std::max(1, pages));
        dialog->SetOptions(poPageNums | poWarning);
        printer.Device().SetLandscape(printer.Orientation() == poLandscape);
        dialog->SetCopies(printer.Settings().Copies());
        if (!dialog->Execute() || !m_printer)
            return;
        TPrinterSettings &settings = printer.Settings();
        const int index = printer.Device().PrinterIndex();
        if (settings.ReadPrinterIndex() != index) // another printer was chosen
            settings.ReadFromDevice();
        TQRPrinterSettings second;
        dialog->RecordChoices(second, settings.OutputBin(), index);
        if (dialog->PrintRange() != prPageNums) {
            second.SetFirstPage(0);
            second.SetLastPage(0);
        }
        ApplyPrintChoices(printer, second, index);
        settings.TrySetOrientation(second.Orientation());
        if (const std::optional<TQRPaperSize> paper = PaperSizeOfCode(second.CustomPaperCode()))
            settings.TrySetPaperSize(*paper);
    } catch (const EPrinterError &e) {
        failed(e.message());
    } catch (const EQRError &e) {
        failed(e.message());
    }
}

void TQRStandardPreview::SaveClick() {
    if (raise(spSave, QStringLiteral("Save")) || !m_printer)
        return;
    const TQRPreviewReport *report = PreviewReport();
    const QString defaultExtension = PrevSaveTypeExtension(report ? report->PreviewDefaultSaveType() : stQRP);
    const QString filter = defaultExtension + QStringLiteral("|*") + defaultExtension + QLatin1Char('|') +
                           TQRExportFilterLibrary::Instance().SaveDialogFilter();
    const std::optional<TQRPreviewDialogs::SaveChoice> chosen =
        m_dialogs->SaveFileName(QStringLiteral("Save report"), filter, QLatin1Char('*') + defaultExtension);
    if (chosen && m_printer)
        SaveAs(chosen->fileName, chosen->filterIndex);
}

QString TQRStandardPreview::SaveAs(QString fileName, int filterIndex) {
    if (!m_printer)
        return {};
    if (m_printer->State() != psDone) {
        failed(QStringLiteral("The report is not complete yet."));
        return {};
    }
    const TQRExportFilterLibrary &library = TQRExportFilterLibrary::Instance();
    TQRPreviewReport *report = PreviewReport();
    QString ext = TQRExportFilterLibrary::SaveExtension(fileName);
    if (ext.isEmpty()) {
        QString chosen = PrevSaveTypeExtension(report ? report->PreviewDefaultSaveType() : stQRP);
        if (filterIndex == 2)
            chosen = QStringLiteral("QRP");
        else if (filterIndex >= 3 && filterIndex - 3 < library.Filters().size())
            chosen = library.Filters()[filterIndex - 3].Extension;
        if (chosen.startsWith(QLatin1Char('.')))
            chosen.remove(0, 1);
        ext = chosen.left(3).toUpper();
        fileName += QLatin1Char('.') + ext;
    }
    try {
        if (ext == QLatin1String("QRP")) {
            m_printer->SavePages(fileName);
            return fileName;
        }
        const TQRExportFilterLibrary::TQRExportFilterLibraryEntry *entry = library.FindByExtension(ext);
        if (!entry) {
            failed(QStringLiteral("%1 was not saved: no export filter writes .%2 files.")
                       .arg(QFileInfo(fileName).fileName(), ext));
            return {};
        }
        const std::unique_ptr<TQRExportFilter> exportFilter = entry->FilterClass(fileName);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        if (report && !m_reportFileLoaded) {
            if (TQRCompositeExporter *composite = report->Composite())
                composite->ExportToFilter(*exportFilter);
            else
                report->Export(*exportFilter);
        } else {
            ExportStoredPages(*m_printer, *exportFilter);
        }
        return fileName;
    } catch (const EQRError &e) {
        failed(e.message());
    } catch (const std::exception &e) {
        failed(QString::fromUtf8(e.what()));
    }
    return {};
}

void TQRStandardPreview::LoadClick() {
    if (raise(spLoad, QStringLiteral("Load")))
        return;
    const QString name =
        m_dialogs->OpenFileName(QStringLiteral("Load report"), QStringLiteral("Folvex file (*.QRP)|*.QRP"));
    if (!name.isEmpty())
        LoadReportFile(name);
}

bool TQRStandardPreview::LoadReportFile(const QString &fileName) {
    if (!m_printer)
        return false;
    if (!QFileInfo(fileName).isFile()) {
        failed(QStringLiteral("File does not exist"));
        return false;
    }
    TQRPrinter &printer = *m_printer;
    try {
        printer.LoadPages(fileName);
    } catch (const EQRError &e) {
        failed(e.message());
        return false;
    }
    m_previewTitle = QFileInfo(fileName).fileName();
    QRPreview->ReloadPage(1);
    m_pageOrientation = printer.Orientation();
    printer.Settings().TrySetOrientation(m_pageOrientation);
    if (TQRPreviewReport *report = PreviewReport())
        report->SetPagePaper(printer.PaperSize(), printer.Orientation());
    if (QRPreview->ZoomMode() == qrZoomToFit)
        QRPreview->ZoomToFit();
    else if (QRPreview->ZoomMode() == qrZoomToWidth)
        QRPreview->ZoomToWidth();
    QRPreview->LayoutPageImage();
    SizeThumbnails();
    m_reportFileLoaded = true;
    pageAvailable(1);
    m_syncingThumbs = true;
    ThumbGrid->selectRow(0);
    m_syncingThumbs = false;
    Print->setEnabled(true);
    SaveReport->setEnabled(false);
    SaveReport->setVisible(false);
    return true;
}

void TQRStandardPreview::CancelButtonClick() {
    if (raise(spCancel, QStringLiteral("Cancel")))
        return;
    if (TQRPreviewReport *report = PreviewReport())
        report->SetStopRequested(true);
}

void TQRStandardPreview::ExitClick() {
    close();
}

void TQRStandardPreview::closeEvent(QCloseEvent *event) {
    if (m_ownLoops > 0) {
        // A search or a print of this window is on the way: it ends first, then the window closes.
        m_closePending = true;
        m_stopSearch = true;
        event->ignore();
        return;
    }
    if (m_printer && m_printer->State() == psBusy) {
        // Pages still being produced: the run is stopped rather than left writing for nobody.
        if (TQRPreviewReport *report = PreviewReport())
            report->SetStopRequested(true);
        m_printer->RequestCancel();
    }
    if (m_printer)
        m_printer->PreviewClosed(); // its report may free the printer here
    QRPreview->AttachPrinter(nullptr);
    event->accept();
}
