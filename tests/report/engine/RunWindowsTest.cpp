// The windows a run opens through what higher libraries register: progress, the print dialog, the preview.
#include "GenerationSupport.h"

#include "printer/QRBasePrintDialog.h"
#include "printer/QRMessages.h"
#include "printer/QRPreviewInterface.h"
#include "printer/QRPrinter.h"
#include "printer/QRProgressWindow.h"
#include "printer/drawing/Printer.h"
#include "printer/drawing/PrinterFactory.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

void supply(TCustomDezirUzu *report, int records) {
    auto calls = std::make_shared<int>(0);
    report->OnNeedData = [calls, records](QObject *, bool &MoreData) { MoreData = (*calls)++ < records; };
}

// A progress window that writes down what it is told and the progress it hears of.
struct ProgressLog : QObject {
    QStringList calls;
    QList<int> progress;
    bool event(QEvent *event) override {
        if (event->type() == qrmessages::Progress)
            progress << static_cast<TQRMessageEvent *>(event)->Param();
        return true;
    }
};

class LoggedWindow : public TQRProgressWindow {
public:
    explicit LoggedWindow(ProgressLog &log) : m_log(log) {}
    ~LoggedWindow() override { m_log.calls << QStringLiteral("freed"); }
    QObject *Receiver() override { return &m_log; }
    void Show() override { m_log.calls << QStringLiteral("show"); }
    void Hide() override { m_log.calls << QStringLiteral("hide"); }
    void SetCaption(const QString &caption) override { m_log.calls << caption; }

private:
    ProgressLog &m_log;
};

// A print dialog that answers as a script says.
class ScriptedDialog : public TQRBasePrintDialog {
public:
    ScriptedDialog(TPrinter &printer, const std::optional<Answer> &answer, QStringList &seen)
        : TQRBasePrintDialog(printer), m_answer(answer), m_seen(seen) {}
    bool Execute() override {
        m_seen << QStringLiteral("%1-%2 %3-%4 copies %5")
                      .arg(MinPage())
                      .arg(MaxPage())
                      .arg(FromPage())
                      .arg(ToPage())
                      .arg(Copies());
        if (!m_answer)
            return false;
        Confirm(*m_answer);
        return true;
    }

private:
    std::optional<Answer> m_answer;
    QStringList &m_seen;
};

} // namespace

TEST(RunWindows, ProgressWindowsOfPrintingAndExporting) {
    ProgressLog log;
    const TQRProgressWindow::Factory previous =
        TQRProgressWindow::SetFactory([&](TQRPrinter &) { return std::make_unique<LoggedWindow>(log); });
    LoadedReport r(reportXml(bandXml("D", "rbDetail", 100)));
    r.report->SetShowProgress(true);
    supply(r.report, 3);
    r.trace();
    EXPECT_EQ(log.calls, (QStringList{"Exporting Progress", "show", "freed"}));
    // Without a data set of the report's own, progress climbs by 2 per record; it ends at 100.
    QCoreApplication::sendPostedEvents(&log);
    EXPECT_EQ(log.progress, (QList<int>{2, 4, 6, 100}));

    log.calls.clear();
    r.report->SetShowProgress(false);
    supply(r.report, 3);
    r.trace();
    EXPECT_TRUE(log.calls.isEmpty());
    TQRProgressWindow::SetFactory(previous);
}

TEST(RunWindows, SetupPrinterTakesTheDialogsChoices) {
    LoadedReport r(reportXml(bandXml("D", "rbDetail", 100)));
    TDezirUzuPrinterSettings &settings = r.report->PrinterSettings();
    settings.SetCopies(3);
    // Without a registered dialog nothing is asked and nothing changes.
    EXPECT_FALSE(r.report->SetupPrinter());
    EXPECT_EQ(settings.Copies(), 3);

    QStringList seen;
    std::optional<TQRBasePrintDialog::Answer> answer;
    const TQRBasePrintDialog::Factory previous = TQRBasePrintDialog::SetFactory(
        [&](TPrinter &printer) { return std::make_unique<ScriptedDialog>(printer, answer, seen); });
    r.report->SetTag(5);
    EXPECT_FALSE(r.report->SetupPrinter()); // cancelled
    EXPECT_EQ(r.report->Tag(), 1);
    EXPECT_EQ(seen, QStringList{"0-9999 0-0 copies 3"});

    // With pages made, the range is theirs.
    supply(r.report, 7);
    r.report->GeneratePages();
    TQRBasePrintDialog::Answer yes;
    printers::Printer().GetPrinter(yes.names, yes.mode);
    yes.mode.dmOrientation = DeviceMode::DMORIENT_LANDSCAPE;
    yes.range = prPageNums;
    yes.fromPage = 2;
    yes.toPage = 3;
    yes.copies = 2;
    answer = yes;
    EXPECT_TRUE(r.report->SetupPrinter());
    TQRBasePrintDialog::SetFactory(previous);
    EXPECT_EQ(seen.last(), "1-4 1-4 copies 3");
    EXPECT_EQ(r.report->Tag(), 0);
    EXPECT_EQ(settings.Copies(), 2);
    EXPECT_EQ(settings.FirstPage(), 2);
    EXPECT_EQ(settings.LastPage(), 3);
    EXPECT_EQ(r.report->Page()->Orientation(), poLandscape);
    EXPECT_EQ(r.report->SecondSettings().Copies(), 2);
    EXPECT_EQ(r.report->SecondSettings().FirstPage(), 2);
}

TEST(RunWindows, PreviewShowsThePrinterItGenerates) {
    struct Recorder : TQRPreviewInterface {
        explicit Recorder(QList<TQRPrinter *> &shown) : shown(shown) {}
        QObject *Show(TQRPrinter &printer) override {
            shown << &printer;
            // The window is shown before any page is made.
            EXPECT_EQ(printer.State(), psIdle);
            return nullptr;
        }
        QList<TQRPrinter *> &shown;
    };
    QList<TQRPrinter *> shown;
    const TQRPreviewInterfaceClass previous = PreviewInterfaceClass();
    PreviewInterfaceClass() = [&] { return std::make_unique<Recorder>(shown); };
    LoadedReport r(reportXml(bandXml("D", "rbDetail", 100)));
    supply(r.report, 3);
    r.report->Preview();
    PreviewInterfaceClass() = previous;
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], r.report->ReportPrinter.data());
    EXPECT_EQ(r.report->ReportPrinter->PagesProduced(), 2);
    // The report is the preview's view of the printer's report.
    EXPECT_EQ(PreviewReportOf(shown[0]), r.report);
}
