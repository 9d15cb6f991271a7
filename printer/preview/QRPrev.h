#pragma once

#include "printer/QRPreviewInterface.h"
#include "printer/QRPreviewReport.h"
#include "printer/preview/QRPreviewDialogs.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAbstractTableModel;
class QGroupBox;
class QLabel;
class QListWidget;
class QTabWidget;
class QTableView;
class QToolButton;
class TQRPreview;
class TQRPrinter;
class TQRPreviewReport;

/// The window in which a user pages through a report printer's pages while they are produced, zooms,
/// searches their text, saves them (as a report file or through an export filter), loads report files,
/// sets up the printer and prints. Closing it while pages are still produced stops the run; it holds the
/// printer through a guarded pointer and frees itself once closed.
class TQRStandardPreview : public QMainWindow {
    Q_OBJECT
public:
    explicit TQRStandardPreview(TQRPrinter *printer, QWidget *parent = nullptr);
    ~TQRStandardPreview() override;

    TQRPrinter *AttachedPrinter() const { return m_printer; }
    /// The report whose printer is shown, while it is there (none for a bare printer).
    TQRPreviewReport *PreviewReport() const;
    const QString &PreviewTitle() const { return m_previewTitle; }
    bool ReportFileLoaded() const { return m_reportFileLoaded; }
    bool ShowThumbs() const { return m_showThumbs; }
    bool ShowSearch() const { return m_showSearch; }
    TQRZoomState InitialZoom() const { return m_initialZoom; }

    /// The window's questions (real dialogs unless replaced).
    TQRPreviewDialogs &Dialogs() { return *m_dialogs; }
    void SetDialogs(std::unique_ptr<TQRPreviewDialogs> dialogs);

    void GoToPage(int n);
    void UpdateStatus();
    void SizeThumbnails();
    /// Searches every page for `text` and lists the pages that hold it; false, and nothing done, while a
    /// search runs (here or in another preview) or pages are still produced.
    bool Search(const QString &text, bool matchCase);
    /// Saves as the save command does once a name and filter are chosen (an extension added from the filter
    /// when the name has none); returns the name written, empty when nothing was.
    QString SaveAs(QString fileName, int filterIndex);
    /// Opens a report file as the load command does; false when it could not be opened.
    bool LoadReportFile(const QString &fileName);
    /// The text of a status-bar panel (0 progress, 1 page, 2 title).
    QString StatusText(int panel) const;
    int ThumbnailRows() const;

    // Tool buttons.
    QToolButton *ZoomFit, *ZoomToWidth, *Zoom100, *FirstPage, *PreviousPage, *nextPage, *LastPage, *GotoPageButton,
        *FindButton, *copybutton, *PrintSetup, *Print, *LoadReport, *SaveReport, *CancelButton, *ExitButton;
    QTabWidget *Tabs;
    QWidget *TabThumbs, *TabSearchResult;
    QTableView *ThumbGrid;
    QGroupBox *GroupBox1;
    QLabel *SearchTextLabel;
    QListWidget *SearchResultBox;
    TQRPreview *QRPreview;

    // Thumbnail geometry.
    int ThumbTextHeight = 0;
    int ThumbPageWidth = 0;
    int ThumbPageHeight = 0;
    int ThumbOffsetX = 0;
    int LastProgressShown = 0;

    // Commands of the buttons and keys.
    void ZoomToFitClick();
    void ZoomToWidthClick();
    void ZoomTo100Click();
    void FirstPageClick();
    void PrevPageClick();
    void NextPageClick();
    void LastPageClick();
    void GotoPageButtonClick();
    void FindButtonClick();
    void copybuttonClick();
    void PrintSetupClick();
    void PrintClick();
    void LoadClick();
    void SaveClick();
    void CancelButtonClick();
    void ExitClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildWindow();
    QWidget *buildToolBar(QWidget *parent);
    void buildTabs(QWidget *parent);
    void buildStatusBar();
    void connectCommands();
    void pageAvailable(int n);
    void progressUpdate(int percent);
    bool keyDown(int key, Qt::KeyboardModifiers modifiers);
    void scrollUp();
    void scrollDown();
    void setRows(int rows);
    void setCommandsEnabled(bool enabled);
    void thumbnailChosen(int row);
    void searchResultChosen();
    bool raise(TStandPrevEventType type, const QString &name);
    void searchPages(const QString &text, bool matchCase);
    /// Runs a command that lets events run (search, printing); a close asked for meanwhile waits for it.
    template <typename Work> void ownLoop(Work work);
    void failed(const QString &text);

    QPointer<TQRPrinter> m_printer;
    std::unique_ptr<TQRPreviewDialogs> m_dialogs;
    QAbstractTableModel *m_thumbs = nullptr;
    QLabel *m_panels[3] = {};
    bool m_showThumbs = true;
    bool m_showSearch = true;
    TQRZoomState m_initialZoom = qrZoomToFit;
    TPrinterOrientation m_pageOrientation = poPortrait;
    QString m_previewTitle;
    bool m_reportFileLoaded = false;
    bool m_syncingThumbs = false;
    bool m_pagingByKey = false;
    int m_ownLoops = 0;
    bool m_closePending = false;
    bool m_stopSearch = false;
};

/// Opens the standard preview window for a report's printer.
class TQRStandardPreviewInterface : public TQRPreviewInterface {
public:
    QObject *Show(TQRPrinter &printer) override;
    QObject *ShowModal(TQRPrinter &printer) override;
};
