#include "printer/QRMessages.h"
#include "printer/QRPrinter.h"
#include "printer/QRProgressWindow.h"
#include "printer/preview/QRProgressForm.h"
#include "tests/printer/preview/PreviewTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

class ProgressForm : public PreviewTest {};

// Clicks Cancel in the progress window once it has shown `percent`.
class CancelAt : public QObject {
public:
    explicit CancelAt(int percent) : m_percent(percent) { qApp->installEventFilter(this); }
    QStringList seen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == qrmessages::Progress)
            if (auto *form = qobject_cast<TQRProgressForm *>(watched)) {
                const int p = static_cast<TQRMessageEvent *>(event)->Param();
                seen << QString::number(p);
                if (p >= m_percent)
                    QMetaObject::invokeMethod(form->CancelButton, "click", Qt::QueuedConnection);
            }
        return false;
    }

private:
    int m_percent;
};

} // namespace

TEST_F(ProgressForm, GaugeMovesInStepsOfFive) {
    ScriptedReport report;
    TQRProgressForm form(*report.Printer());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Printing progress"));
    EXPECT_EQ(form.size(), QSize(149, 97));
    EXPECT_EQ(form.Gauge->geometry(), QRect(16, 18, 114, 16));
    EXPECT_EQ(form.Info->geometry().topLeft(), QPoint(0, 44));
    EXPECT_EQ(form.CancelButton->geometry(), QRect(36, 68, 75, 25));
    EXPECT_EQ(form.CancelButton->text(), QStringLiteral("Cancel"));
    report.Printer()->SetProgressReceiver(form.Receiver());
    report.Printer()->SetProgress(45);
    QApplication::processEvents();
    EXPECT_EQ(form.Gauge->value(), 45);
    EXPECT_EQ(form.Info->text(), QStringLiteral("45%  Completed"));
    report.Printer()->SetProgress(42);
    QApplication::processEvents();
    EXPECT_EQ(form.Gauge->value(), 45);
    EXPECT_EQ(form.Info->text(), QStringLiteral("45%  Completed"));
    form.SetCaption(QStringLiteral("Exporting Progress"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Exporting Progress"));

    // Its printer gone, the window keeps showing what it is told and Cancel does nothing.
    TQRMessageEvent late(qrmessages::Progress, 50, report.Printer());
    report.FreePrinter();
    QApplication::sendEvent(&form, &late);
    EXPECT_EQ(form.Gauge->value(), 50);
    form.CancelButtonClick();
    EXPECT_FALSE(report.stopRequested);
}

TEST_F(ProgressForm, CancelStopsAPrintAfterItsPage) {
    ScriptedReport report;
    report.Run(8);
    report.Printer()->SetReportReceiver(nullptr); // the stored pages print, the report is not run again
    CancelAt cancel(50);
    const int printed = report.Printer()->PrintStoredPages();
    // Progress 12, 25, 38, 50 (halves to even) arrive as pages 2 to 5 begin; the click after 50 lands while page 5
    // prints, and the job stops after it.
    EXPECT_EQ(cancel.seen, (QStringList{"12", "25", "38", "50"}));
    EXPECT_EQ(printed, 0);
    ASSERT_EQ(system.jobs.size(), 1);
    EXPECT_TRUE(system.jobs[0].aborted);
    EXPECT_EQ(system.jobs[0].pages.size(), 5);
    EXPECT_TRUE(report.stopRequested);
    EXPECT_TRUE(report.Printer()->CancelRequested());
}

TEST_F(ProgressForm, TheRegisteredWindowIsMadeForAPrinter) {
    ScriptedReport report;
    std::unique_ptr<TQRProgressWindow> window = TQRProgressWindow::Create(*report.Printer());
    auto *form = dynamic_cast<TQRProgressForm *>(window.get());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->AttachedPrinter(), report.Printer());
    EXPECT_EQ(window->Receiver(), form);
    window->Show();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    window->Hide();
    EXPECT_FALSE(form->isVisible());
}
