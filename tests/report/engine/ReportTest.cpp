// The report component: its construction, its surface, text measuring and the printer's notifications.
#include "EngineTestSupport.h"

#include "printer/QRMessages.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"
#include "store/Table.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class CountingReport : public TDezirUzu {
public:
    using TDezirUzu::TDezirUzu;
    void Print() override { ++prints; }
    int prints = 0;
};

void send(QObject *receiver, QEvent::Type type, int param, TQRPrinter *printer) {
    TQRMessageEvent event(type, param, printer);
    QCoreApplication::sendEvent(receiver, &event);
}

} // namespace

TEST(Report, ConstructionDefaults) {
    MetricLocale metric;
    TDezirUzu r;
    EXPECT_EQ(r.Options(), TQROption::FirstPageHeader | TQROption::LastPageFooter);
    EXPECT_EQ(r.Functions()->Strings(), (QStringList{"PAGENUMBER", "COLUMNNUMBER", "REPORTTITLE"}));
    EXPECT_EQ(r.Functions()->Data(), (QStringList{"0", "0", "''"}));
    EXPECT_EQ(r.Font()->Name(), QStringLiteral("Arial"));
    EXPECT_EQ(r.Font()->Size(), 10);
    EXPECT_EQ(r.Zoom(), 100);
    EXPECT_EQ(r.CharFontSize(), 12);
    EXPECT_TRUE(r.Idle);
    EXPECT_TRUE(r.RenderPages);
    EXPECT_EQ(r.CursorY, -1);
    EXPECT_TRUE(r.PrintIfEmpty());
    EXPECT_TRUE(r.ShowProgress());
    EXPECT_TRUE(r.SnapToGrid());
    EXPECT_EQ(r.PreviewWidth(), 500);
    EXPECT_EQ(r.BackgroundColor(), QColor(Qt::white));
    EXPECT_EQ(r.PrinterSettings().MemoryLimit(), 250000);
    EXPECT_TRUE(qobject_cast<TQRController *>(r.MainController()));
    EXPECT_EQ(r.MainController()->Host(), &r);
    EXPECT_EQ(r.MainController()->HostReport(), &r);
    // Without a printer that says otherwise the page is A4 (the PDF printer stands in for a missing one).
    EXPECT_EQ(r.Page()->PaperSize(), TQRPaperSize::A4);
    EXPECT_EQ(r.BoundsRect(), QRect(0, 0, 794, 1123));
    EXPECT_EQ(r.PageWidth(), 2100);
    EXPECT_EQ(r.PageLength(), 2970);

    TCustomDezirUzu plain;
    EXPECT_FALSE(qobject_cast<TQRController *>(plain.MainController()));
    TTable table;
    plain.SetDataSet(&table);
    EXPECT_EQ(plain.DataSet(), nullptr);
}

TEST(Report, ResizingACustomPageWritesItBack) {
    ReportFixture f;
    TQRPage *page = f.report->Page();
    f.report->SetBounds(0, 0, 400, 500); // A4: only the bands follow
    EXPECT_DOUBLE_EQ(page->Width(), 210);
    EXPECT_EQ(f.report->Width(), 400);
    page->SetPaperSize(TQRPaperSize::Custom);
    f.report->SetBounds(0, 0, 420, 520);
    EXPECT_DOUBLE_EQ(page->Width(), 420 * 25.4 / 96);
    EXPECT_DOUBLE_EQ(page->Length(), 520 * 25.4 / 96);
    EXPECT_EQ(page->Units(), TQRUnit::MM);
    TQRBand *band = f.band(rbTitle);
    EXPECT_EQ(band->Width(), 420 - 76);
    // The page's own pushes are not written back: a length survives its trip through pixels.
    page->SetWidth(100.04);
    EXPECT_DOUBLE_EQ(page->Width(), 100.04);
    EXPECT_EQ(f.report->Width(), 378);
}

TEST(Report, TextMeasuresOnTheScreen) {
    ReportFixture f;
    TQRFont font;
    const int narrow = f.report->TextWidth(font, QStringLiteral("IIII"));
    const int wide = f.report->TextWidth(font, QStringLiteral("WWWW"));
    EXPECT_GT(wide, narrow); // fonts are there
    EXPECT_EQ(f.report->TextWidth(font, QString()), 1);
    const int height = f.report->TextHeight(font, QStringLiteral("A"));
    EXPECT_GE(height, 13); // a 10-point font is 13 pixels high at 96 dpi
    EXPECT_LE(height, 18);
    font.SetSize(20);
    EXPECT_GT(f.report->TextHeight(font, QStringLiteral("A")), height);
    EXPECT_GT(f.report->TextWidth(font, QStringLiteral("WWWW")), wide);
}

TEST(Report, PrinterNotifications) {
    TempFolder dir;
    printers::ScopedFactory pdf([&dir] { return QtPrinter::PdfFile(dir.filePath(QStringLiteral("x.pdf"))); });
    MetricLocale metric;
    CountingReport report;
    send(&report, qrmessages::PrintRequest, 0, nullptr);
    EXPECT_EQ(report.prints, 1);

    // Page 1 ready: the design surface shows it.
    auto *printer = new TQRPrinter(&report);
    report.ReportPrinter = printer;
    printer->BeginDoc();
    printer->NewPage();
    printer->NewPage();
    send(&report, qrmessages::PageReady, 2, printer);
    EXPECT_FALSE(report.DesignPage);
    send(&report, qrmessages::PageReady, 1, printer);
    ASSERT_TRUE(report.DesignPage);
    report.DropDesignPage();
    EXPECT_FALSE(report.DesignPage);

    // Preview closed during a run: the run is cancelled, the printer stays.
    report.Idle = false;
    send(&report, qrmessages::PreviewClose, 0, printer);
    EXPECT_TRUE(report.RunCancelled);
    EXPECT_TRUE(printer->CancelRequested());
    EXPECT_EQ(report.ReportPrinter, printer);
    printer->EndDoc();

    // Preview closed while idle: the printer stops showing, tells AfterPreview, and goes.
    report.Idle = true;
    int afterPreview = 0;
    printer->AfterPreview = [&afterPreview](TQRPrinter *) { ++afterPreview; };
    printer->SetShowingPreview(true);
    QPointer<TQRPrinter> watched(printer);
    send(&report, qrmessages::PreviewClose, 0, printer);
    EXPECT_EQ(afterPreview, 1);
    EXPECT_TRUE(watched.isNull());
    EXPECT_EQ(report.ReportPrinter, nullptr);
    send(&report, qrmessages::PreviewClose, 0, nullptr); // nothing left to close
    report.Cancel();                                     // idle: nothing to cancel
    EXPECT_EQ(report.prints, 1);
}

TEST(Report, ThePrinterSeesTheReportsSettings) {
    ReportFixture f;
    f.report->PrinterSettings().SetUseStandardprinter(true);
    f.report->PrinterSettings().SetMemoryLimit(1000);
    f.report->SetShowProgress(false);
    int afterPrint = 0;
    f.report->AfterPrint = [&](QObject *sender) {
        EXPECT_EQ(sender, f.report);
        ++afterPrint;
    };
    TQRParentReport &parent = *f.report;
    EXPECT_TRUE(parent.UseStandardprinter());
    EXPECT_EQ(parent.MemoryLimit(), 1000);
    EXPECT_FALSE(parent.ShowProgress());
    f.report->Page()->SetOrientation(poLandscape);
    EXPECT_EQ(parent.PageWidth(), 2970);
    EXPECT_EQ(parent.PageLength(), 2100);
    EXPECT_FALSE(parent.Exporting());
    parent.RaiseAfterPrint();
    EXPECT_EQ(afterPrint, 1);
}
