// Runs that go wrong: errors mid-run, definitions that would ask for pages without end, re-entry and deletion
// from the messages a run lets through, and the two targets of one run agreeing.
#include "GenerationSupport.h"

#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "report/expr/Environment.h"
#include "store/DataSet.h"
#include "store/DatabaseError.h"
#include "tests/printer/ScriptedPrinter.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

void supply(TCustomDezirUzu *report, int records) {
    auto calls = std::make_shared<int>(0);
    report->OnNeedData = [calls, records](QObject *, bool &MoreData) { MoreData = (*calls)++ < records; };
}

// Runs an action when a posted event reaches it, as a window would while a run lets messages through.
class Poster : public QObject {
public:
    std::function<void()> action;
    bool event(QEvent *event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        action();
        return true;
    }
};

// A page drawn small enough that both targets' resolutions come out alike.
QImage thumbnail(const TMetafile &page) {
    QImage image(105, 148, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    page.StretchDraw(painter, QRectF(0, 0, image.width(), image.height()));
    return image;
}

int differingPixels(const QImage &a, const QImage &b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue()) > 60)
                ++n;
        }
    return n;
}

const QString kColoured =
    bandXml("PH", "rbPageHeader", 15, prop("Color", "#FFE0A0") + prop("Frame.DrawBottom", "True")) +
    bandXml("D", "rbDetail", 40, prop("Color", "#A0C8FF") + prop("Frame.DrawLeft", "True") + prop("Frame.Width", "3")) +
    bandXml("PF", "rbPageFooter", 10, prop("Color", "#C0F0C0"));

// One installed printer without unprintable margins, in place of the machine's, while it lives.
struct OnePrinter {
    OnePrinter() {
        ScriptedQueue queue;
        queue.offsetX = queue.offsetY = 0;
        system.queues = {queue};
    }
    ScriptedSystem system;
    const printers::ScopedFactory factory{system.factory()};
};

} // namespace

TEST(RunFaults, AFailedRunLeavesTheReportAsItWasAndTheNextOneWorks) {
    LoadedReport r(reportXml(
        bandXml("G", "", 10, prop("Expression", "PAGENUMBER"), "TQRGroup") +
        bandXml("D", "rbDetail", 100,
                "<component class=\"TTestContent\" name=\"C\">" + prop("Size.Values", "50 0 0 500") + "</component>")));
    TQREvEnvironment *global = GlobalEnvironment();
    {
        // The global entries hold the global environment prepared once anything was compiled.
        TQREvaluator any;
        any.Compile(QStringLiteral("1"));
    }
    const int globalCount = global ? global->PrepareCount() : 0;
    int details = 0;
    bool fail = true;
    r.find<TQRCustomBand>("D")->BeforePrint = [&](TQRCustomBand *, bool &) {
        if (++details == 3 && fail)
            throw EDatabaseError(QStringLiteral("T.db: the table is locked"));
    };
    supply(r.report, 5);
    try {
        r.report->GeneratePages();
        ADD_FAILURE() << "the error was swallowed";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.message(), "T.db: the table is locked");
    }
    EXPECT_TRUE(r.report->Idle);
    EXPECT_EQ(r.report->Units(), TQRUnit::MM);
    EXPECT_EQ(r.report->Functions()->PrepareCount(), 0);
    EXPECT_EQ(global ? global->PrepareCount() : 0, globalCount);
    EXPECT_FALSE(r.find<TTestContent>("C")->RunActive());
    EXPECT_FALSE(r.find<TQRGroup>("G")->KeyEvaluator().IsCompiled());
    EXPECT_FALSE(r.find<TQRGroup>("G")->KeyEvaluator().HasDatasetList());
    EXPECT_EQ(r.report->DataSets->Count(), 0);
    EXPECT_FALSE(r.report->ReportPrinter); // the run's printer went; none was there before

    fail = false;
    details = 0;
    supply(r.report, 5);
    r.report->GeneratePages();
    ASSERT_TRUE(r.report->ReportPrinter);
    EXPECT_EQ(r.report->ReportPrinter->State(), psDone);
    EXPECT_EQ(r.report->ReportPrinter->PagesProduced(), 3);
    EXPECT_EQ(details, 5);
}

TEST(RunFaults, AQueryThatCannotTakeItsParameterEndsTheRun) {
    const auto data = [](const QString &folder) {
        makeTable(folder, "M", "N INTEGER", {{1}, {2}});
        makeTable(folder, "S", "D TEXT", {{"2024-01-01"}});
    };
    LoadedReport r(reportXml(bandXml("D", "rbDetail", 10) +
                                 bandXml("S", "", 10, prop("DataSet", "SQ") + prop("Master", "R"), "TQRSubDetail"),
                             prop("DataSet", "MQ") +
                                 prop("Functions.Strings", "<item>PAGENUMBER</item><item>COLUMNNUMBER</item>"
                                                           "<item>REPORTTITLE</item><item>DAY</item>") +
                                 prop("Functions.DATA", "<item>0</item><item>0</item><item>''</item>"
                                                        "<item>'no day at all'</item>"),
                             queryXml("MQ", "SELECT N FROM M") +
                                 queryXml("SQ", "SELECT D FROM S WHERE D >= :DAY",
                                          prop("Params", "<param name=\"DAY\" type=\"ftDate\"/>"))),
                   data);
    EXPECT_THROW(r.trace(), EQRError);
    EXPECT_TRUE(r.report->Idle);
    EXPECT_FALSE(r.report->Exporting());
    EXPECT_EQ(r.filter.calls.count("Finish"), 0); // a failed export is not finished as if it had succeeded
}

TEST(RunFaults, AQueryThatCannotReopenEndsTheRunAndTheNextRunWorks) {
    // The sub-detail's query is reopened for every master record; its table goes while record 2 prints.
    const auto data = [](const QString &folder) {
        makeTable(folder, "M", "N INTEGER", {{1}, {2}, {3}});
        makeTable(folder, "S", "M INTEGER", {{1}, {2}, {3}});
    };
    LoadedReport r(reportXml(bandXml("D", "rbDetail", 10) +
                                 bandXml("S", "", 10, prop("DataSet", "SQ") + prop("Master", "R"), "TQRSubDetail"),
                             prop("DataSet", "MQ") +
                                 prop("Functions.Strings", "<item>PAGENUMBER</item><item>COLUMNNUMBER</item>"
                                                           "<item>REPORTTITLE</item><item>MASTER</item>") +
                                 prop("Functions.DATA", "<item>0</item><item>0</item><item>''</item><item>0</item>"),
                             queryXml("MQ", "SELECT N FROM M ORDER BY N") +
                                 queryXml("SQ", "SELECT M FROM S WHERE M = :MASTER",
                                          prop("Params", "<param name=\"MASTER\" type=\"ftInteger\">0</param>"))),
                   data);
    const QString table = r.folder.filePath(QStringLiteral("data/S.db"));
    int details = 0;
    bool drop = true;
    r.find<TQRCustomBand>("D")->BeforePrint = [&](TQRCustomBand *, bool &) {
        if (++details == 2 && drop)
            execSql(table, "DROP TABLE S");
        TQREvEnvironment::StoreInteger(r.report->Functions()->FindConstant(QStringLiteral("MASTER")),
                                       r.find<TDataSet>("MQ")->FieldByName("N")->AsInteger());
    };
    EXPECT_THROW(r.trace(), EDatabaseError);
    EXPECT_EQ(details, 2);
    EXPECT_TRUE(r.report->Idle);
    EXPECT_FALSE(r.report->Exporting());
    EXPECT_EQ(r.report->Units(), TQRUnit::MM);
    EXPECT_EQ(r.report->DataSets->Count(), 0);
    EXPECT_EQ(r.report->Functions()->PrepareCount(), 0);
    EXPECT_EQ(r.filter.calls.count("Finish"), 0);

    // With the table back and its query opened again, the same report runs to its end.
    execSql(table, "CREATE TABLE S (M INTEGER); INSERT INTO S VALUES (1), (2), (3)");
    drop = false;
    details = 0;
    r.find<TDataSet>("SQ")->Open();
    EXPECT_EQ(r.trace(), QStringList{"D@100 S@200 D@300 S@400 D@500 S@600"});
    EXPECT_EQ(details, 3);
}

TEST(RunFaults, APrinterJobOfAFailedRunIsAborted) {
    OnePrinter printer;
    ScriptedSystem &system = printer.system;
    LoadedReport r(reportXml(kColoured));
    bool fail = true;
    int details = 0;
    r.find<TQRCustomBand>("D")->BeforePrint = [&](TQRCustomBand *, bool &) {
        if (++details == 80 && fail)
            throw EQRError(QStringLiteral("stop"));
    };
    supply(r.report, 100);
    EXPECT_THROW(r.report->Print(), EQRError);
    ASSERT_EQ(system.jobs.size(), 1);
    EXPECT_TRUE(system.jobs[0].aborted);
    EXPECT_TRUE(r.report->Idle);

    fail = false;
    details = 0;
    supply(r.report, 100);
    r.report->Print();
    ASSERT_EQ(system.jobs.size(), 2);
    EXPECT_TRUE(system.jobs[1].ended);
    EXPECT_FALSE(system.jobs[1].aborted);
    EXPECT_EQ(system.jobs[1].pages.size(), r.report->PageNumber);
}

TEST(RunFaults, NoPagesWithoutEnd) {
    // A control that never fits: one more page is tried, then its rest is dropped.
    LoadedReport stuck(reportXml(
        bandXml("D", "rbDetail", 10,
                "<component class=\"TTestContent\" name=\"C\">" + prop("Size.Values", "50 0 0 500") +
                    prop("Lines", "1") + prop("LineHeight", "5000") + prop("AutoStretch", "True") + "</component>")));
    supply(stuck.report, 2);
    EXPECT_EQ(stuck.trace(), (QStringList{"", "D@100", "D@100"}));
    EXPECT_TRUE(stuck.find<TTestContent>("C")->ContentDone());

    // A reprinted group header that forces a page would begin page after page.
    LoadedReport forced(
        reportXml(bandXml("PH", "rbPageHeader", 10) +
                  bandXml("G", "", 10,
                          prop("Expression", "'A'") + prop("ReprintOnNewPage", "True") + prop("ForceNewPage", "True"),
                          "TQRGroup") +
                  bandXml("D", "rbDetail", 100)));
    supply(forced.report, 3);
    EXPECT_EQ(forced.trace(), (QStringList{"PH@100 G@200 D@300 D@1300", "PH@100 G@200 D@300"}));

    // A page header that does not fit above the footers would begin new pages to find room.
    LoadedReport tall(reportXml(bandXml("PH", "rbPageHeader", 150) + bandXml("D", "rbDetail", 10) +
                                bandXml("PF", "rbPageFooter", 140)));
    supply(tall.report, 2);
    EXPECT_EQ(tall.trace(), (QStringList{"PH@100 D@1600 PF@1470", "PH@100 D@1600 PF@1470"}));
}

TEST(RunFaults, MessagesDuringARunCannotRerunOrFreeTheReport) {
    LoadedReport r(reportXml(bandXml("D", "rbDetail", 100)));
    supply(r.report, 10);
    const QPointer<TDezirUzu> report = r.report;
    Poster poster;
    int calls = 0;
    // Messages run while the run's printer is made and then once per record; each time a window deletes the
    // report or a band of it, or asks for another run.
    poster.action = [&] {
        ++calls;
        EXPECT_TRUE(report->Running());
        const int page = report->PageNumber;
        report->GeneratePages(); // refused: a run is going
        report->Print();
        EXPECT_EQ(report->PageNumber, page);
        if (calls == 1) {
            r.find<TQRCustomBand>("D")->deleteLater();
            QCoreApplication::postEvent(&poster, new QEvent(QEvent::User));
        } else {
            report->deleteLater();
        }
    };
    QCoreApplication::postEvent(&poster, new QEvent(QEvent::User));
    report->GeneratePages();
    EXPECT_EQ(calls, 2);
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->Idle);
    EXPECT_TRUE(report->RunCancelled); // a report asked to go stops its run
    ASSERT_TRUE(report->ReportPrinter);
    EXPECT_EQ(report->ReportPrinter->State(), psDone);
    EXPECT_TRUE(r.find<TQRCustomBand>("D"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(report);
    EXPECT_FALSE(r.find<TQRCustomBand>("D"));
}

TEST(RunFaults, TheDataSetListOutlivesTheRun) {
    LoadedReport r(reportXml(bandXml("G", "", 10, prop("Expression", "Q.N"), "TQRGroup") + bandXml("D", "rbDetail", 10),
                             prop("DataSet", "Q"), queryXml("Q", "SELECT N FROM T")),
                   [](const QString &folder) {
                       makeTable(folder, "T", "N INTEGER", {{1}, {2}});
                   });
    int listed = 0;
    r.find<TQRCustomBand>("D")->BeforePrint = [&](TQRCustomBand *, bool &) { listed = r.report->DataSets->Count(); };
    EXPECT_EQ(r.trace(), QStringList{"G@100 D@200 G@300 D@400"});
    EXPECT_GE(listed, 1);
    // Whatever kept the run's list keeps a list that still exists, now empty.
    TQRDataSetList *list = r.report->DataSets.get();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(r.report->Functions()->PrepareCount(), 0);
    EXPECT_FALSE(r.find<TQRGroup>("G")->KeyEvaluator().HasDatasetList());
}

TEST(RunFaults, ThePageStoreAndThePrinterGetTheSamePages) {
    OnePrinter printer;
    ScriptedSystem &system = printer.system;
    LoadedReport r(reportXml(kColoured));
    supply(r.report, 20);
    r.report->GeneratePages();
    supply(r.report, 20);
    r.report->Print();
    TQRPrinter *stored = r.report->ReportPrinter;
    ASSERT_TRUE(stored);
    ASSERT_EQ(system.jobs.size(), 1);
    const ScriptedJob &job = system.jobs[0];
    ASSERT_EQ(stored->PagesProduced(), 4);
    ASSERT_EQ(job.pages.size(), 4);
    for (int n = 1; n <= 4; ++n) {
        const std::unique_ptr<TMetafile> page = stored->FetchPage(n);
        ASSERT_TRUE(page);
        const QImage a = thumbnail(*page);
        const QImage b = thumbnail(*job.pages[n - 1]);
        EXPECT_LT(differingPixels(a, b), a.width() * a.height() / 100) << "page " << n;
        EXPECT_NE(a.pixelColor(52, 30), QColor(Qt::white)); // the bands are there
    }
}
