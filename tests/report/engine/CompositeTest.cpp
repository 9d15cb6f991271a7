// Composite jobs: reports that run on one printer, each continuing where the previous one stopped; what a cancel,
// a failure, a second request or a report going away mid-job leaves behind.
#include "GenerationSupport.h"

#include "printer/QRMessages.h"
#include "printer/QRPrinter.h"
#include "report/engine/QRComposite.h"
#include "tests/cli/CliRunner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

void supply(TCustomDezirUzu *report, int records) {
    auto calls = std::make_shared<int>(0);
    report->OnNeedData = [calls, records](QObject *, bool &MoreData) { MoreData = (*calls)++ < records; };
}

// Report "R" of the first definition: a 20 mm title and `records` details of 100 mm; of the second: a 10 mm
// title and `records` details of 50 mm. On A4 with 10 mm margins the first report's three details end on page
// 2 at 110 mm.
struct TwoReports {
    explicit TwoReports(int firstRecords = 3, int secondRecords = 2)
        : a(reportXml(bandXml("T", "rbTitle", 20) + bandXml("D", "rbDetail", 100))),
          b(reportXml(bandXml("BT", "rbTitle", 10) + bandXml("BD", "rbDetail", 50))) {
        supply(a.report, firstRecords);
        supply(b.report, secondRecords);
        a.report->setObjectName(QStringLiteral("A"));
        b.report->setObjectName(QStringLiteral("B"));
        composite.OnAddReports = [this](QObject *) {
            ++adds;
            for (TCustomDezirUzu *report : {a.report, b.report})
                if (report)
                    composite.AddReport(report);
        };
        composite.OnStartReport = [this](QObject *, QObject *report, qint32 i) {
            events << QStringLiteral("start %1 %2 tag %3")
                          .arg(i)
                          .arg(report->objectName())
                          .arg(static_cast<TCustomDezirUzu *>(report)->Tag());
            if (onStart)
                onStart(i);
        };
        composite.OnFinished = [this](QObject *sender) {
            events << QStringLiteral("finished %1").arg(sender == &composite ? "composite" : sender->objectName());
        };
        for (TCustomDezirUzu *report : {a.report, b.report})
            report->OnStartPage = [this](TCustomDezirUzu *report) {
                pageStarts << QStringLiteral("%1:%2").arg(report->objectName()).arg(report->PageNumber);
            };
    }
    LoadedReport a;
    LoadedReport b;
    TQRCompositeReport composite;
    int adds = 0;
    QStringList events;
    QStringList pageStarts;
    std::function<void(int)> onStart;
};

} // namespace

TEST(Composite, TheSecondReportGoesOnWhereTheFirstEnded) {
    // Through an export filter: where each band lands, page by page.
    {
        TwoReports job;
        job.composite.ExportToFilter(job.a.filter);
        EXPECT_EQ(job.a.filter.pages(), (QStringList{"T@100 D@300 D@1300", "D@100 BT@1100 BD@1200 BD@1700"}));
        EXPECT_EQ(job.events, (QStringList{"start 0 A tag 0", "finished A", "start 1 B tag 999", "finished B",
                                           "finished composite"}));
        EXPECT_EQ(job.a.filter.calls.count(QStringLiteral("Finish")), 1);
        EXPECT_EQ(job.pageStarts, (QStringList{"A:1", "A:2"}));
    }
    // Into stored pages: the page numbers run on from the first report into the second.
    {
        TwoReports job(3, 5);
        job.composite.GeneratePages();
        TQRPrinter *printer = job.composite.Printer;
        ASSERT_TRUE(printer);
        EXPECT_EQ(printer->State(), psDone);
        // The second report's title and three details fill page 2 from 110 mm; two more go on page 3.
        EXPECT_EQ(job.pageStarts, (QStringList{"A:1", "A:2", "B:3"}));
        EXPECT_EQ(printer->PagesProduced(), 3);
        EXPECT_EQ(job.b.report->PageNumber, 3);
        EXPECT_FALSE(job.composite.Generating());
        EXPECT_EQ(job.adds, 2); // once to find the first report's paper, once by the loop
    }
}

TEST(Composite, NothingToRun) {
    TQRCompositeReport composite;
    QStringList finished;
    int adds = 0;
    composite.OnAddReports = [&](QObject *) { ++adds; };
    composite.OnFinished = [&](QObject *sender) { finished << (sender == &composite ? "composite" : "report"); };
    composite.Print();
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_EQ(adds, 1);
    composite.GeneratePages();
    EXPECT_FALSE(composite.Printer);
    composite.Generate(); // no printer is needed for no report
    RecordingFilter filter;
    composite.ExportToFilter(filter);
    EXPECT_EQ(finished, (QStringList{"composite", "composite"}));
    EXPECT_TRUE(filter.calls.isEmpty());
    EXPECT_FALSE(composite.Printer);

    // With reports, Generate runs on the printer its caller gave it, and there must be one.
    TwoReports job;
    EXPECT_THROW(job.composite.Generate(), EQRError);
    EXPECT_FALSE(job.composite.Generating());
}

TEST(Composite, ACancelInTheFirstReportEndsTheJob) {
    // Cancelled through the report, and through the job printer's preview closing (its message window).
    for (const bool byMessage : {false, true}) {
        TwoReports job;
        auto *detail = job.a.find<TQRCustomBand>(QStringLiteral("D"));
        int details = 0;
        detail->BeforePrint = [&](TQRCustomBand *, bool &) {
            if (++details != 2)
                return;
            if (byMessage) {
                TQRMessageEvent close(qrmessages::PreviewClose, 0, job.composite.Printer);
                QCoreApplication::sendEvent(job.composite.MessageWindow(), &close);
            } else {
                job.a.report->Cancel();
            }
        };
        job.composite.Print(); // the stand-in PDF printer
        EXPECT_EQ(details, 2);
        EXPECT_EQ(job.events, (QStringList{"start 0 A tag 0", "finished composite"})) << byMessage;
        EXPECT_FALSE(job.composite.Printer); // the job printer went, once
        EXPECT_FALSE(job.a.report->ReportPrinter);
        EXPECT_FALSE(job.composite.Generating());
        EXPECT_EQ(job.a.report->Tag(), 0);
        EXPECT_TRUE(job.a.report->Idle);
    }
    // Into stored pages the cancelled job keeps what it made, on the one printer the composite owns.
    TwoReports job;
    job.onStart = [&](int i) {
        if (i == 0)
            job.a.find<TQRCustomBand>(QStringLiteral("D"))->BeforePrint = [&](TQRCustomBand *, bool &) {
                job.a.report->Cancel();
            };
    };
    job.composite.GeneratePages();
    ASSERT_TRUE(job.composite.Printer);
    EXPECT_EQ(job.composite.Printer->State(), psDone);
    EXPECT_EQ(job.composite.Printer->parent(), &job.composite);
    EXPECT_EQ(job.events, (QStringList{"start 0 A tag 0", "finished composite"}));
    // An idle job's printer goes when its preview closes.
    TQRMessageEvent close(qrmessages::PreviewClose, 0, job.composite.Printer);
    QCoreApplication::sendEvent(job.composite.MessageWindow(), &close);
    EXPECT_FALSE(job.composite.Printer);
}

TEST(Composite, TagsAndPrintersComeBackAfterARunAndAfterAFailure) {
    for (const bool fail : {false, true}) {
        TwoReports job;
        job.a.report->SetTag(5);
        job.b.report->SetTag(7);
        TQRPrinter own(job.a.report);
        job.a.report->ReportPrinter = &own;
        if (fail)
            job.b.find<TQRCustomBand>(QStringLiteral("BD"))->BeforePrint = [](TQRCustomBand *, bool &) {
                throw std::runtime_error("handler failed");
            };
        QString seenTag;
        job.onStart = [&](int i) {
            if (i == 1)
                seenTag = QString::number(job.b.report->Tag());
        };
        if (fail)
            EXPECT_THROW(job.composite.GeneratePages(), std::runtime_error);
        else
            job.composite.GeneratePages();
        EXPECT_EQ(seenTag, "999");
        EXPECT_EQ(job.a.report->Tag(), 5) << fail;
        EXPECT_EQ(job.b.report->Tag(), 7) << fail;
        EXPECT_EQ(job.a.report->ReportPrinter, &own);
        EXPECT_FALSE(job.b.report->ReportPrinter);
        EXPECT_FALSE(job.composite.Generating());
        EXPECT_TRUE(job.b.report->Idle);
        if (fail) {
            EXPECT_FALSE(job.composite.Printer); // the failed job's pages went
            EXPECT_EQ(job.events, (QStringList{"start 0 A tag 5", "finished A", "start 1 B tag 999"}));
        } else {
            ASSERT_TRUE(job.composite.Printer);
            EXPECT_EQ(job.composite.Printer->PagesProduced(), 2);
        }
        // Each report belongs to the job it was last added to.
        EXPECT_EQ(job.a.report->Composite(), &job.composite);
    }
}

TEST(Composite, ARequestDuringTheRunIsIgnoredAndAReportThatWentIsSkipped) {
    TwoReports job;
    RecordingFilter filter;
    job.onStart = [&](int i) {
        if (i != 0)
            return;
        job.composite.Print();
        job.composite.GeneratePages();
        job.composite.Generate();
        job.composite.ExportToFilter(filter);
        TQRMessageEvent print(qrmessages::PrintRequest, 0, nullptr);
        QCoreApplication::sendEvent(job.composite.MessageWindow(), &print);
        delete job.b.report; // the second report goes while the first runs
        job.b.report = nullptr;
    };
    job.composite.GeneratePages();
    EXPECT_EQ(job.adds, 2);
    EXPECT_TRUE(filter.calls.isEmpty());
    EXPECT_EQ(job.events, (QStringList{"start 0 A tag 0", "finished A", "finished composite"}));
    ASSERT_TRUE(job.composite.Printer);
    EXPECT_EQ(job.composite.Printer->PagesProduced(), 2);
    EXPECT_EQ(job.a.report->Tag(), 0);
}

#ifdef TAVIK_CLI

TEST(CompositeCli, TellsTheEventsAsTheyComeThenThePages) {
    const QString orders = sourceDir() + QStringLiteral("/demo/orders/orders.qrx");
    const QString topics = sourceDir() + QStringLiteral("/demo/topics.qrx");
    TempFolder folder;
    // The demo reports make two pages each; the second goes on on the first one's last page.
    const CliRun qrp = tavik({"report", "composite", orders, topics, "--out", folder.filePath("job.qrp")});
    EXPECT_EQ(qrp.status, 0) << qrp.err.toStdString();
    EXPECT_EQ(qrp.lines(), (QStringList{"start 0 OrdersReport", "finished OrdersReport", "start 1 TopicsReport",
                                        "finished TopicsReport", "finished composite", "pages 3"}));
    EXPECT_EQ(tavik({"qrp", "info", folder.filePath("job.qrp")}).lines().value(0), "pages 3");

    const CliRun pdf = tavik({"report", "composite", orders, topics, "--pdf", folder.filePath("job.pdf")});
    EXPECT_EQ(pdf.lines().value(5), "pages 3");
    QProcess info;
    info.start("pdfinfo", {folder.filePath("job.pdf")});
    info.waitForFinished();
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+3\\n")));

    // The trace: one job, finished once, by the last report.
    const QStringList trace = tavik({"report", "composite", orders, topics, "--trace"}).lines();
    EXPECT_EQ(trace.count("Finish"), 1);
    EXPECT_EQ(trace.filter(QRegularExpression("^Start ")).size(), 1);
    EXPECT_LT(trace.indexOf("start 1 TopicsReport"), trace.indexOf("Finish"));
    EXPECT_LT(trace.indexOf("Finish"), trace.indexOf("finished TopicsReport"));
    EXPECT_EQ(trace.last(), "pages 3");

    // The page numbers run on: the second report's footer on the page it was handed numbers it as the job does.
    ASSERT_EQ(tavik({"report", "composite", orders, orders, "--out", folder.filePath("twice.qrp")}).status, 0);
    QStringList footers;
    for (const QString &line : tavik({"qrp", "text", folder.filePath("twice.qrp")}).lines())
        if (line.section('\t', 3).startsWith("Page "))
            footers << line.section('\t', 0, 0) + ":" + line.section('\t', 3);
    EXPECT_EQ(footers, (QStringList{"1:Page 1", "2:Page 2", "3:Page 3"}));

    // A cancel in the first report ends the job.
    const CliRun cancelled =
        tavik({"report", "composite", orders, topics, "--out", folder.filePath("c.qrp"), "--cancel-in", "1"});
    EXPECT_EQ(cancelled.lines(), (QStringList{"start 0 OrdersReport", "finished composite", "pages 1"}));

    for (const QStringList &bad : {QStringList{"report", "composite", orders},
                                   QStringList{"report", "composite", orders, "--trace", "--out", "x.qrp"},
                                   QStringList{"report", "composite", orders, "--trace", "--cancel-in", "2"},
                                   QStringList{"report", "composite", folder.filePath("none.qrx"), "--trace"}}) {
        const CliRun r = tavik(bad);
        EXPECT_EQ(r.status, 1) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
}

#endif
