#include "printer/QRBasePrintDialog.h"
#include "printer/QRPrinter.h"
#include "printer/QRPrinterSettings.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPrintDialog.h"
#include "tests/printer/preview/PreviewTestSupport.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>

namespace {

// The Qt dialog answered by a list of steps, one per time it is shown.
class Answers {
public:
    using Step = std::function<int(QPrintDialog &)>;
    explicit Answers(QList<Step> steps) : m_steps(std::move(steps)) {
        m_previous = TQRPrintDialog::SetRunner([this](QPrintDialog &dialog) {
            ++shown;
            return shown <= m_steps.size() ? m_steps[shown - 1](dialog) : int(QDialog::Rejected);
        });
    }
    ~Answers() { TQRPrintDialog::SetRunner(std::move(m_previous)); }
    int shown = 0;

private:
    QList<Step> m_steps;
    TQRPrintDialog::Runner m_previous;
};

Answers::Step pages(int from, int to) {
    return [from, to](QPrintDialog &dialog) {
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        dialog.printer()->setFromTo(from, to);
        return int(QDialog::Accepted);
    };
}

class PrintDialog : public PreviewTest {
protected:
    TPrinter &device() { return printers::Printer(); }
};

} // namespace

TEST_F(PrintDialog, ThePageRangeIsOfferedOnlyWithPageNumbers) {
    bool rangeOffered = true;
    Answers answers({[&](QPrintDialog &dialog) {
                         rangeOffered = dialog.testOption(QAbstractPrintDialog::PrintPageRange);
                         return int(QDialog::Rejected);
                     },
                     [&](QPrintDialog &dialog) {
                         rangeOffered = dialog.testOption(QAbstractPrintDialog::PrintPageRange);
                         EXPECT_EQ(dialog.minPage(), 1);
                         EXPECT_EQ(dialog.maxPage(), 12);
                         return int(QDialog::Rejected);
                     }});
    TQRPrintDialog dialog(device());
    int shows = 0;
    int closes = 0;
    dialog.OnShow = [&] { ++shows; };
    dialog.OnClose = [&] { ++closes; };
    EXPECT_FALSE(dialog.Execute());
    EXPECT_FALSE(rangeOffered);
    dialog.SetOptions(poPageNums | poWarning);
    dialog.SetMinPage(1);
    dialog.SetMaxPage(12);
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(rangeOffered);
    EXPECT_EQ(shows, 2);
    EXPECT_EQ(closes, 2);
}

TEST_F(PrintDialog, ARangeOutsideThePagesIsRefusedAndAskedAgain) {
    Answers answers({pages(11, 13), pages(0, 4), pages(3, 5)});
    TQRPrintDialog dialog(device());
    QStringList refused;
    dialog.OnRefused = [&](const QString &text) { refused << text; };
    dialog.SetOptions(poPageNums);
    dialog.SetMinPage(1);
    dialog.SetMaxPage(12);
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(answers.shown, 3);
    EXPECT_EQ(refused, QStringList(2, QStringLiteral("Choose pages from 1 to 12, the first page not after the last.")));
    EXPECT_EQ(dialog.PrintRange(), prPageNums);
    EXPECT_EQ(dialog.FromPage(), 3);
    EXPECT_EQ(dialog.ToPage(), 5);

    // The rule itself: from 1 (or MinPage) up to MaxPage, the first not after the last; no upper bound without
    // a MaxPage; any range for all pages.
    EXPECT_FALSE(dialog.RangeAcceptable(prPageNums, 5, 3));
    EXPECT_FALSE(dialog.RangeAcceptable(prPageNums, 0, 3));
    EXPECT_FALSE(dialog.RangeAcceptable(prPageNums, 12, 13));
    EXPECT_TRUE(dialog.RangeAcceptable(prPageNums, 12, 12));
    EXPECT_TRUE(dialog.RangeAcceptable(prAllPages, 5, 3));
    dialog.SetMaxPage(0);
    EXPECT_TRUE(dialog.RangeAcceptable(prPageNums, 9000, 9999));
    dialog.SetMinPage(4);
    EXPECT_FALSE(dialog.RangeAcceptable(prPageNums, 3, 9));
}

TEST_F(PrintDialog, TheConfirmedChoicesGoBackToThePrinter) {
    Answers answers({[](QPrintDialog &dialog) {
        QPrinter &p = *dialog.printer();
        p.setPageSize(QPageSize(QPageSize::A5));
        p.setPageOrientation(QPageLayout::Landscape);
        p.setCopyCount(3);
        p.setCollateCopies(true);
        p.setColorMode(QPrinter::GrayScale);
        return int(QDialog::Accepted);
    }});
    TQRPrintDialog dialog(device());
    ASSERT_TRUE(dialog.Execute());
    ASSERT_FALSE(system.modesSet.isEmpty());
    const DeviceMode &mode = system.modesSet.last();
    EXPECT_EQ(mode.dmPaperSize, 11);
    EXPECT_EQ(mode.dmPaperWidth, 1480);
    EXPECT_EQ(mode.dmPaperLength, 2100);
    EXPECT_EQ(mode.dmOrientation, DeviceMode::DMORIENT_LANDSCAPE);
    EXPECT_EQ(mode.dmCopies, 3);
    EXPECT_EQ(mode.dmCollate, 1);
    EXPECT_EQ(mode.dmColor, DeviceMode::DMCOLOR_MONOCHROME);
    EXPECT_EQ(dialog.PaperSize(), 11);
    EXPECT_EQ(dialog.Orientation(), DeviceMode::DMORIENT_LANDSCAPE);
    EXPECT_EQ(dialog.Copies(), 3);
    EXPECT_EQ(dialog.Collate(), 1);
    EXPECT_EQ(dialog.ColorOption(), DeviceMode::DMCOLOR_MONOCHROME);
    EXPECT_EQ(dialog.OutputBin(), 1);
    EXPECT_EQ(dialog.PrintRange(), prAllPages);
    EXPECT_FALSE(dialog.Duplex());
}

TEST_F(PrintDialog, OneCopyKeepsThePrintersOwnCount) {
    struct Confirming : TQRBasePrintDialog {
        using TQRBasePrintDialog::TQRBasePrintDialog;
        bool Execute() override { return false; }
    } dialog(device());
    TQRBasePrintDialog::Answer answer;
    device().GetPrinter(answer.names, answer.mode);
    answer.mode.dmCopies = 4; // a driver that makes the copies itself answers one
    answer.copies = 1;
    dialog.Confirm(answer);
    EXPECT_EQ(dialog.Copies(), 4);
    answer.copies = 2;
    dialog.Confirm(answer);
    EXPECT_EQ(dialog.Copies(), 2);
    // Writing the copies sets the printer's count too.
    dialog.SetCopies(7);
    EXPECT_EQ(device().Copies(), 7);
}

TEST_F(PrintDialog, ChoicesAreRecordedAndApplied) {
    ScriptedReport report;
    report.Run(4);
    TQRPrinter &printer = *report.Printer();
    struct Confirming : TQRBasePrintDialog {
        using TQRBasePrintDialog::TQRBasePrintDialog;
        bool Execute() override { return false; }
    } dialog(printer.Device());
    TQRBasePrintDialog::Answer answer;
    printer.Device().GetPrinter(answer.names, answer.mode);
    answer.mode.dmDefaultSource = 258; // a driver's own bin
    answer.mode.dmCollate = 1;
    answer.mode.dmPrintQuality = 600;
    answer.range = prPageNums;
    answer.fromPage = 2;
    answer.toPage = 3;
    answer.copies = 2;
    dialog.Confirm(answer);
    TQRPrinterSettings second;
    dialog.RecordChoices(second, TQRBin::Auto, 0);
    EXPECT_EQ(second.CustomBinCode(), 258);
    EXPECT_EQ(second.OutputBin(), TQRBin::Lower); // 258 - 256 is the lower bin's code
    EXPECT_EQ(second.FirstPage(), 2);
    EXPECT_EQ(second.LastPage(), 3);
    EXPECT_EQ(second.Copies(), 2);
    EXPECT_EQ(second.PrintQuality(), 600);
    EXPECT_EQ(second.CustomPaperCode(), 9);

    ApplyPrintChoices(printer, second, 0);
    EXPECT_TRUE(printer.Settings().UseCustomBinCode());
    EXPECT_EQ(printer.Settings().CustomBinCode(), 258);
    EXPECT_EQ(printer.Settings().Collate(), 1);
    EXPECT_EQ(printer.Settings().Copies(), 2);
    EXPECT_EQ(printer.FirstPage(), 2);
    EXPECT_EQ(printer.LastPage(), 3);
    // A bin code below 13 is a bin of the list.
    second.SetCustomBinCode(2);
    ApplyPrintChoices(printer, second, 0);
    EXPECT_FALSE(printer.Settings().UseCustomBinCode());
    EXPECT_EQ(printer.Settings().OutputBin(), TQRBin::Lower);

    TQRPrinterSettings settings;
    StorePrintChoices(second, 0, settings);
    EXPECT_EQ(settings.PrinterIndex(), 0);
    EXPECT_EQ(settings.OutputBin(), TQRBin::Lower);
    EXPECT_FALSE(settings.UseCustomBinCode());
    EXPECT_EQ(settings.FirstPage(), 2);
    EXPECT_EQ(settings.PaperSize(), TQRPaperSize::A4);
}

TEST_F(PrintDialog, PrinterSetupOfALoadedFilePrintsTheChosenPages) {
    TQRPrinter printer;
    printer.LoadPages(reportFile(QStringLiteral("twelve.qrp"), 12));
    auto *window = new TQRStandardPreview(&printer);
    window->SetDialogs(std::make_unique<TestDialogs>());
    window->show();
    int maxPage = 0;
    Answers answers({[&](QPrintDialog &dialog) {
        maxPage = dialog.maxPage();
        return pages(3, 5)(dialog);
    }});
    window->PrintSetupClick();
    EXPECT_EQ(maxPage, 12);
    EXPECT_EQ(printer.FirstPage(), 3);
    EXPECT_EQ(printer.LastPage(), 5);
    window->PrintClick();
    ASSERT_EQ(system.jobs.size(), 1);
    EXPECT_EQ(system.pageTexts(), (QStringList{"Page 3", "Page 4", "Page 5"}));
    window->close();
}

TEST_F(PrintDialog, PrinterSetupOfAReportUsesItsDialogAndKeepsTheChoices) {
    ScriptedReport report;
    report.Run(4);
    report.printerSettings.SetPrinterIndex(0);
    report.setupChoices = [](TDezirUzuPrinterSettings &second) {
        second.SetCopies(3);
        second.SetFirstPage(2);
        second.SetLastPage(4);
        second.SetCustomBinCode(15);
        second.SetCollate(1);
    };
    auto *window = new TQRStandardPreview(report.Printer());
    window->show();
    report.setupConfirmed = false;
    window->PrintSetupClick();
    EXPECT_EQ(report.Printer()->FirstPage(), 0); // cancelled: nothing changes
    EXPECT_EQ(report.printerSettings.Copies(), 1);
    report.setupConfirmed = true;
    window->PrintSetupClick();
    EXPECT_EQ(report.Printer()->FirstPage(), 2);
    EXPECT_EQ(report.Printer()->LastPage(), 4);
    EXPECT_EQ(report.Printer()->Settings().Copies(), 3);
    EXPECT_TRUE(report.Printer()->Settings().UseCustomBinCode());
    EXPECT_EQ(report.printerSettings.Copies(), 3); // the next run prints the same way
    EXPECT_EQ(report.printerSettings.FirstPage(), 2);
    EXPECT_TRUE(report.printerSettings.UseCustomBinCode());
    EXPECT_EQ(report.printerSettings.CustomBinCode(), 15);
    window->close();
}

TEST_F(PrintDialog, WithoutAPrinterTheDialogSaysSo) {
    ScriptedSystem none;
    printers::ScopedFactory noPrinters(none.factory());
    Answers answers({pages(1, 1)});
    TQRPrintDialog dialog(printers::Printer());
    QStringList refused;
    dialog.OnRefused = [&](const QString &text) { refused << text; };
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(answers.shown, 0);
    EXPECT_EQ(refused, QStringList{"There is no default printer currently selected"});
}
