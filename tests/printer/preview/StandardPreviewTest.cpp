#include "printer/QRPreviewInterface.h"
#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPreview.h"
#include "tests/printer/PrinterTestSupport.h"
#include "tests/printer/preview/PreviewTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

class StandardPreview : public PreviewTest {
protected:
    static void closeAndWait(QPointer<TQRStandardPreview> &window) {
        if (window)
            window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
    static QStringList enabledCommands(const TQRStandardPreview &w) {
        QStringList names;
        for (QToolButton *b : {w.ZoomFit, w.ZoomToWidth, w.Zoom100, w.FirstPage, w.PreviousPage, w.nextPage, w.LastPage,
                               w.GotoPageButton, w.FindButton, w.copybutton, w.PrintSetup, w.Print, w.LoadReport,
                               w.SaveReport, w.CancelButton, w.ExitButton})
            if (b->isEnabled())
                names << b->objectName();
        return names;
    }
};

const QStringList AllCommands{"ZoomFit",    "ZoomToWidth", "Zoom100",        "FirstPage",  "PreviousPage",
                              "nextPage",   "LastPage",    "GotoPageButton", "FindButton", "copybutton",
                              "PrintSetup", "Print",       "LoadReport",     "SaveReport", "ExitButton"};

} // namespace

TEST_F(StandardPreview, ButtonsHintsAndTexts) {
    ScriptedReport report;
    report.Run(3);
    auto window = open(report.Printer());
    const QList<QPair<QToolButton *, QString>> hints{
        {window->ZoomFit, "Zoom to fit"},
        {window->ZoomToWidth, "Zoom to width"},
        {window->Zoom100, "100% Size"},
        {window->FirstPage, "First page"},
        {window->PreviousPage, "Previous page"},
        {window->nextPage, "Next page"},
        {window->LastPage, "Last page"},
        {window->GotoPageButton, "Select a Page"},
        {window->FindButton, "Search for Text"},
        {window->copybutton, "Copy page to clipboard"},
        {window->PrintSetup, "Printer setup"},
        {window->Print, "Print"},
        {window->LoadReport, "Load report"},
        {window->SaveReport, "Save report"},
        {window->CancelButton, "Cancel the report"},
        {window->ExitButton, "Close Preview"},
    };
    for (const auto &[button, hint] : hints) {
        EXPECT_EQ(button->toolTip(), hint) << button->objectName().toStdString();
        EXPECT_TRUE(button->isVisible()) << button->objectName().toStdString();
    }
    EXPECT_EQ(window->ExitButton->text(), QStringLiteral("&Close"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Report Preview : Scripted report"));
    EXPECT_EQ(report.Printer()->JobTitle(), QStringLiteral("Scripted report"));
    EXPECT_EQ(window->Tabs->tabText(0), QStringLiteral("ThumbNails"));
    EXPECT_EQ(window->Tabs->tabText(1), QStringLiteral("Search Results"));
    EXPECT_EQ(window->Tabs->width(), 193);
    EXPECT_EQ(window->size(), QSize(640, 480));
    EXPECT_FALSE(window->SearchResultBox->isEnabled());
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Page 1 of 3"));
    EXPECT_EQ(window->StatusText(2), QStringLiteral("Scripted report"));
    EXPECT_EQ(window->ThumbnailRows(), 3);
    EXPECT_EQ(enabledCommands(*window), AllCommands); // a finished report: all but Cancel
    EXPECT_TRUE(window->ZoomFit->isChecked());
    EXPECT_EQ(window->QRPreview->ZoomMode(), qrZoomToFit);
    EXPECT_EQ(report.events, QStringList{"spOpen "});
    closeAndWait(window);
    EXPECT_FALSE(window);
}

TEST_F(StandardPreview, TheReportChoosesPanesAndZoom) {
    ScriptedReport report;
    report.Run(2);
    report.showThumbs = false;
    report.showSearch = false;
    report.initialZoom = qrZoomOther;
    report.zoom = 150;
    auto window = open(report.Printer());
    EXPECT_FALSE(window->Tabs->isVisible());
    EXPECT_FALSE(window->FindButton->isVisible());
    EXPECT_EQ(window->QRPreview->Zoom(), 150);
    EXPECT_TRUE(window->Zoom100->isChecked());
    closeAndWait(window);

    report.showSearch = true;
    report.initialZoom = qrZoomToWidth;
    window = open(report.Printer());
    EXPECT_TRUE(window->Tabs->isVisible());
    EXPECT_FALSE(window->Tabs->isTabVisible(0));
    EXPECT_TRUE(window->Tabs->isTabVisible(1));
    EXPECT_TRUE(window->ZoomToWidth->isChecked());
    EXPECT_EQ(window->QRPreview->ZoomMode(), qrZoomToWidth);
    closeAndWait(window);
}

TEST_F(StandardPreview, WhilePagesAreProduced) {
    ScriptedReport report;
    auto window = open(report.Printer());
    QStringList seen;
    report.whileDrawing = [&](int n) {
        if (n != 5)
            return;
        seen << window->StatusText(1) << QString::number(window->ThumbnailRows());
        seen << enabledCommands(*window).join(QLatin1Char(','));
        QTest::keyClick(window->QRPreview, Qt::Key_End); // keys still page
        seen << QString::number(window->QRPreview->PageNumber()) << window->StatusText(1);
    };
    report.Run(7);
    EXPECT_EQ(seen, (QStringList{"Page 1 of 5", "4", "ZoomFit,ZoomToWidth,Zoom100,copybutton,CancelButton,ExitButton",
                                 "4", "Page 4 of 5"}));
    QApplication::processEvents();
    // Done: every command, no Cancel, a thumbnail per page.
    EXPECT_EQ(enabledCommands(*window), AllCommands);
    EXPECT_EQ(window->ThumbnailRows(), 7);
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Page 4 of 7"));
    window->LastPageClick();
    EXPECT_EQ(window->QRPreview->PageNumber(), 7);
    EXPECT_EQ(window->ThumbGrid->currentIndex().row(), 6);
    closeAndWait(window);
}

TEST_F(StandardPreview, ProgressShowsInStepsOfFive) {
    ScriptedReport report;
    auto window = open(report.Printer());
    QStringList shown;
    report.whileDrawing = [&](int n) {
        shown << window->StatusText(0);
        report.Printer()->SetProgress(QList<int>{3, 7, 11, 12, 100, 0, 5}.value(n - 1));
    };
    report.Run(8);
    // Each value is shown on the next page: 3 is too small a step, 7 and 12 are shown, 100 and 0 clear.
    EXPECT_EQ(shown, (QStringList{"", "", "7%", "7%", "12%", "", "", "5%"}));
    closeAndWait(window);
}

TEST_F(StandardPreview, GoToPageTakesOnlyPagesThereAre) {
    ScriptedReport report;
    report.Run(12);
    auto window = open(report.Printer());
    for (const QString &typed : {QStringLiteral("7"), QStringLiteral("0"), QStringLiteral("99"), QStringLiteral("abc"),
                                 QStringLiteral(" 12 "), QStringLiteral("-3")})
        dialogs->inputs.push_back(typed);
    QList<int> pages;
    for (int i = 0; i < 6; ++i) {
        window->GotoPageButtonClick();
        pages << window->QRPreview->PageNumber();
    }
    EXPECT_EQ(pages, (QList<int>{7, 1, 1, 1, 12, 1}));
    EXPECT_EQ(dialogs->asked.first(), QStringLiteral("Select a page from 1 to 12|Enter page number|1"));
    EXPECT_EQ(dialogs->asked.at(1), QStringLiteral("Select a page from 1 to 12|Enter page number|7"));
    window->GotoPageButtonClick(); // cancelled: the page stays
    EXPECT_EQ(window->QRPreview->PageNumber(), 1);
    closeAndWait(window);
}

TEST_F(StandardPreview, KeysAndWheelPageAndScroll) {
    ScriptedReport report;
    report.Run(5);
    auto window = open(report.Printer());
    window->ZoomTo100Click(); // taller than the window: there is room to scroll
    QApplication::processEvents();
    TQRPreview &preview = *window->QRPreview;
    QScrollBar &bar = *preview.verticalScrollBar();
    ASSERT_GT(bar.maximum(), 200);
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(window->ThumbGrid, k, m); // the window sees keys before the control that has focus
        return preview.PageNumber();
    };
    EXPECT_EQ(key(Qt::Key_PageDown), 2);
    EXPECT_EQ(key(Qt::Key_PageDown, Qt::ControlModifier), 5);
    EXPECT_EQ(key(Qt::Key_PageUp), 4);
    EXPECT_EQ(key(Qt::Key_PageUp, Qt::ControlModifier), 1);
    EXPECT_EQ(key(Qt::Key_PageUp, Qt::ControlModifier | Qt::ShiftModifier), 1); // Ctrl not alone: previous
    EXPECT_EQ(key(Qt::Key_End), 5);
    EXPECT_EQ(key(Qt::Key_Home), 1);

    EXPECT_EQ(key(Qt::Key_Down), 1);
    EXPECT_EQ(bar.value(), 43);
    bar.setValue(bar.maximum() - 10);
    EXPECT_EQ(key(Qt::Key_Down), 2); // past the end: the next page, from its top
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(key(Qt::Key_Up), 1); // above the top: the previous page, near its end
    EXPECT_EQ(bar.value(), bar.maximum() - 43);
    bar.setValue(20);
    EXPECT_EQ(key(Qt::Key_Up), 1); // from page 1: to the top
    EXPECT_EQ(bar.value(), 0);

    // The wheel over the page is the Up and Down keys.
    QWheelEvent down(QPointF(50, 50), preview.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(preview.viewport(), &down);
    EXPECT_EQ(bar.value(), 43);
    QWheelEvent up(QPointF(50, 50), preview.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(preview.viewport(), &up);
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Page 1 of 5"));

    // Escape closes.
    QTest::keyClick(window->ThumbGrid, Qt::Key_Escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
}

TEST_F(StandardPreview, ThumbnailsChoosePagesAndFollowThem) {
    ScriptedReport report;
    report.Run(4);
    auto window = open(report.Printer());
    window->SizeThumbnails();
    EXPECT_GT(window->ThumbPageHeight, window->ThumbPageWidth); // portrait paper
    EXPECT_EQ(window->ThumbGrid->verticalHeader()->defaultSectionSize(), window->ThumbPageHeight);
    window->ThumbGrid->setCurrentIndex(window->ThumbGrid->model()->index(2, 0));
    EXPECT_EQ(window->QRPreview->PageNumber(), 3);
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Page 3 of 4"));
    window->NextPageClick();
    EXPECT_EQ(window->ThumbGrid->currentIndex().row(), 3);
    // A thumbnail is the page drawn small: its cell is not blank.
    const QImage cells = window->ThumbGrid->viewport()->grab().toImage();
    int dark = 0;
    for (int y = 0; y < cells.height(); ++y)
        for (int x = 0; x < cells.width(); ++x)
            dark += qGray(cells.pixel(x, y)) < 60;
    EXPECT_GT(dark, 100);
    closeAndWait(window);
}

TEST_F(StandardPreview, PagesInPreviewStopsTheRun) {
    ScriptedReport report;
    report.pagesInPreview = 2;
    auto window = open(report.Printer());
    report.Run(10);
    EXPECT_TRUE(report.stopRequested);
    EXPECT_EQ(report.Printer()->PagesProduced(), 2);
    closeAndWait(window);
}

TEST_F(StandardPreview, CancelStopsTheRunAndKeepsItsPages) {
    ScriptedReport report;
    auto window = open(report.Printer());
    report.whileDrawing = [&](int n) {
        if (n == 3) {
            ASSERT_TRUE(window->CancelButton->isEnabled());
            window->CancelButton->click();
        }
    };
    report.Run(10);
    QApplication::processEvents();
    EXPECT_EQ(report.events, (QStringList{"spOpen ", "spCancel Cancel"}));
    EXPECT_EQ(report.Printer()->PagesProduced(), 3);
    EXPECT_EQ(report.Printer()->State(), psDone);
    EXPECT_FALSE(window->CancelButton->isEnabled());
    EXPECT_EQ(window->ThumbnailRows(), 3);
    closeAndWait(window);
}

TEST_F(StandardPreview, ClosingWhilePagesAreProducedStopsTheRun) {
    ScriptedReport report;
    auto window = open(report.Printer());
    TQRPrinter *printer = report.Printer();
    int afterPreview = 0;
    printer->AfterPreview = [&](TQRPrinter *) { ++afterPreview; };
    report.whileDrawing = [&](int n) {
        if (n == 3)
            window->ExitClick(); // the window goes while the run still draws on its printer
    };
    report.Run(50);
    // The run stopped at the page it was on and finished it; the printer it drew on is still the report's.
    EXPECT_EQ(report.pagesRun, 3);
    EXPECT_EQ(report.Printer(), printer);
    EXPECT_EQ(printer->State(), psDone);
    EXPECT_EQ(printer->PagesProduced(), 3);
    EXPECT_EQ(printer->ProgressReceiver(), nullptr);
    EXPECT_FALSE(printer->PreviewShowing());
    EXPECT_EQ(afterPreview, 1);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    // The finished pages are whole.
    EXPECT_EQ(textOf(*printer->FetchPage(3)), QStringLiteral("Page 3"));

    // Closed on an idle report, the report frees its printer.
    window = open(report.Printer());
    closeAndWait(window);
    EXPECT_FALSE(window);
    report.Printer(); // a new one
    EXPECT_NE(report.Printer(), nullptr);
}

TEST_F(StandardPreview, TheReportCanTakeOverCommands) {
    ScriptedReport report;
    report.Run(2);
    report.handle = {spCopy, spPrint, spSave, spLoad, spCancel};
    auto window = open(report.Printer());
    QApplication::clipboard()->clear();
    window->copybuttonClick();
    window->PrintClick();
    window->SaveClick();
    window->LoadClick();
    window->CancelButtonClick();
    EXPECT_EQ(report.events, (QStringList{"spOpen ", "spCopy Copy", "spPrint Print", "spSave Save", "spLoad Load",
                                          "spCancel Cancel"}));
    EXPECT_EQ(report.printCalls, 0);
    EXPECT_FALSE(report.stopRequested);
    EXPECT_TRUE(dialogs->asked.isEmpty()); // no save or open dialog was shown
    const QMimeData *nothing = QApplication::clipboard()->mimeData();
    EXPECT_TRUE(!nothing || !nothing->hasFormat(QStringLiteral("image/x-emf")));

    // Not handled: the window acts.
    report.handle.clear();
    window->copybuttonClick();
    const QMimeData *copied = QApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->data(QStringLiteral("image/x-emf")), window->QRPreview->PageImage()->Recording()->Bytes());
    window->PrintClick(); // the report runs again to the printer
    EXPECT_EQ(report.printCalls, 1);
    window->CancelButtonClick();
    EXPECT_TRUE(report.stopRequested);
    closeAndWait(window);
}

TEST_F(StandardPreview, TheInterfaceOpensTheWindow) {
    ScriptedReport report;
    report.Run(2);
    QObject *shown = NewPreviewInterface()->Show(*report.Printer());
    auto *window = qobject_cast<TQRStandardPreview *>(shown);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->AttachedPrinter(), report.Printer());
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Page 1 of 2"));
    QPointer<TQRStandardPreview> guard(window);
    closeAndWait(guard);

    // Modal: returns once the window has closed (the report made a new printer when the first closed).
    TQRPrinter &again = *report.Printer();
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *preview = qobject_cast<TQRStandardPreview *>(w))
                preview->close();
    });
    EXPECT_EQ(NewPreviewInterface()->ShowModal(again), nullptr);

    // Without the preview library's registration a report opens nothing.
    const TQRPreviewInterfaceClass registered = PreviewInterfaceClass();
    PreviewInterfaceClass() = nullptr;
    EXPECT_EQ(NewPreviewInterface()->Show(*report.Printer()), nullptr);
    PreviewInterfaceClass() = registered;
}
