// The record loop: groups, sub-details, records on demand, counted records and query parameters, checked
// through stored definitions over table files and what the runs tell their filter.
#include "GenerationSupport.h"

#include "printer/QRPrinter.h"
#include "store/Query.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

const QString kData = QStringLiteral("data");

// The current record's value of a field, as a handler sees it while a band prints.
QString current(const LoadedReport &r, const QString &dataSet, const QString &field) {
    return r.find<TDataSet>(dataSet)->FieldByName(field)->AsString();
}

} // namespace

TEST(Groups, FootersSeeTheLastRecordOfTheirGroup) {
    LoadedReport r(reportXml(bandXml("G", "", 10, prop("Expression", "K") + prop("FooterBand", "GF"), "TQRGroup") +
                                 bandXml("D", "rbDetail", 10) + bandXml("GF", "", 10),
                             prop("DataSet", "Q"), queryXml("Q", "SELECT N, K FROM T ORDER BY N")),
                   [](const QString &folder) {
                       makeTable(folder, "T", "N INTEGER, K TEXT", {{1, "A"}, {2, "A"}, {3, "B"}});
                   });
    QStringList footers;
    r.find<TQRCustomBand>("GF")->BeforePrint = [&](TQRCustomBand *, bool &) { footers << current(r, "Q", "N"); };
    EXPECT_EQ(r.trace(), QStringList{"G@100 D@200 D@300 GF@400 G@500 D@600 GF@700"});
    EXPECT_EQ(footers, (QStringList{"2", "3"}));
}

TEST(Groups, KeysCompareByKindAndExactly) {
    // Texts are compared exactly (case counts); equal kinds of error never break.
    LoadedReport r(reportXml(bandXml("G", "", 10, prop("Expression", "K"), "TQRGroup") +
                                 bandXml("E", "", 10, prop("Expression", "NOSUCHNAME"), "TQRGroup") +
                                 bandXml("D", "rbDetail", 10),
                             prop("DataSet", "Q"), queryXml("Q", "SELECT N, K FROM T ORDER BY N")),
                   [](const QString &folder) {
                       makeTable(folder, "T", "N INTEGER, K TEXT", {{1, "a"}, {2, "A"}, {3, "A"}, {4, "a "}});
                   });
    // The error group E is inner: it reprints only with G.
    EXPECT_EQ(r.trace(), QStringList{"G@100 E@200 D@300 G@400 E@500 D@600 D@700 G@800 E@900 D@1000"});
}

TEST(Groups, NestedGroupsWhereOnlyTheOuterKeyChanges) {
    LoadedReport r(reportXml(bandXml("GO", "", 10, prop("Expression", "O") + prop("FooterBand", "FO"), "TQRGroup") +
                                 bandXml("GI", "", 10, prop("Expression", "I") + prop("FooterBand", "FI"), "TQRGroup") +
                                 bandXml("D", "rbDetail", 10) + bandXml("FI", "", 10) + bandXml("FO", "", 10),
                             prop("DataSet", "Q"), queryXml("Q", "SELECT O, I FROM T ORDER BY O")),
                   [](const QString &folder) {
                       makeTable(folder, "T", "O INTEGER, I TEXT", {{1, "x"}, {2, "x"}});
                   });
    EXPECT_EQ(r.trace(), QStringList{"GO@100 GI@200 D@300 FI@400 FO@500 GO@600 GI@700 D@800 FI@900 FO@1000"});
}

TEST(Groups, ReprintOnNewPage) {
    const auto report = [](bool reprint) {
        return reportXml(bandXml("PH", "rbPageHeader", 10) + bandXml("CH", "rbColumnHeader", 10) +
                             bandXml("G", "", 10,
                                     prop("Expression", "K") + prop("ReprintOnNewPage", reprint ? "True" : "False"),
                                     "TQRGroup") +
                             bandXml("D", "rbDetail", 60),
                         prop("DataSet", "Q"), queryXml("Q", "SELECT N, K FROM T ORDER BY N"));
    };
    const auto keys = [](const QStringList &list) {
        return [list](const QString &folder) {
            QList<QVariantList> rows;
            for (int i = 0; i < list.size(); ++i)
                rows << QVariantList{i, list[i]};
            makeTable(folder, "T", "N INTEGER, K TEXT", rows);
        };
    };
    // Group A spans the break: its header comes again below the page and column headers.
    const QStringList spanning{"A", "A", "A", "A", "A", "B"};
    LoadedReport with(report(true), keys(spanning));
    EXPECT_EQ(with.trace(), (QStringList{"PH@100 CH@200 G@300 D@400 D@1000 D@1600 D@2200",
                                         "PH@100 CH@200 G@300 D@400 G@1000 D@1100"}));
    LoadedReport without(report(false), keys(spanning));
    EXPECT_EQ(without.trace(),
              (QStringList{"PH@100 CH@200 G@300 D@400 D@1000 D@1600 D@2200", "PH@100 CH@200 D@300 G@900 D@1000"}));
    // Group B's header is left on page 1 by the detail that overflows right after it; it is not printed again.
    LoadedReport behind(report(true), keys({"A", "A", "A", "B"}));
    EXPECT_EQ(behind.trace(), (QStringList{"PH@100 CH@200 G@300 D@400 D@1000 D@1600 G@2200", "PH@100 CH@200 D@300"}));
}

TEST(SubDetails, PrintedBeforeOrAfterTheirMaster) {
    const auto data = [](const QString &folder) {
        makeTable(folder, "M", "N INTEGER", {{1}, {2}});
        makeTable(folder, "S", "N INTEGER", {{10}, {20}});
    };
    for (const bool before : {true, false}) {
        LoadedReport r(
            reportXml(bandXml("D", "rbDetail", 10) +
                          bandXml("S", "", 10,
                                  prop("DataSet", "SQ") + prop("Master", "R") + prop("HeaderBand", "SH") +
                                      prop("FooterBand", "SF") + prop("PrintBefore", before ? "True" : "False"),
                                  "TQRSubDetail") +
                          bandXml("SH", "", 5) + bandXml("SF", "", 5),
                      prop("DataSet", "MQ"),
                      queryXml("MQ", "SELECT N FROM M ORDER BY N") + queryXml("SQ", "SELECT N FROM S")),
            data);
        QStringList seen;
        r.find<TQRCustomBand>("S")->BeforePrint = [&](TQRCustomBand *, bool &) {
            seen << current(r, "MQ", "N") + "/" + current(r, "SQ", "N");
        };
        if (before)
            EXPECT_EQ(r.trace(), QStringList{"SH@100 S@150 S@250 SF@350 D@400 SH@500 S@550 S@650 SF@750 D@800"});
        else
            EXPECT_EQ(r.trace(), QStringList{"D@100 SH@200 S@250 S@350 SF@450 D@500 SH@600 S@650 S@750 SF@850"});
        EXPECT_EQ(seen, (QStringList{"1/10", "1/20", "2/10", "2/20"}));
    }
}

TEST(SubDetails, EmptyOnesAndParametersTakenFromTheReport) {
    // The sub-detail's query is opened again for every master record with the report's MASTER value, which a
    // handler sets; its group reads the fields of every reopened query.
    const auto data = [](const QString &folder) {
        makeTable(folder, "M", "N INTEGER", {{1}, {2}, {3}});
        makeTable(folder, "S", "M INTEGER, K TEXT", {{1, "a"}, {1, "b"}, {3, "c"}});
    };
    LoadedReport r(
        reportXml(bandXml("D", "rbDetail", 10) +
                      bandXml("S", "", 10, prop("DataSet", "SQ") + prop("Master", "R") + prop("PrintIfEmpty", "False"),
                              "TQRSubDetail") +
                      bandXml("SG", "", 5, prop("Expression", "K") + prop("Master", "S"), "TQRGroup"),
                  prop("DataSet", "MQ") +
                      prop("Functions.Strings", "<item>PAGENUMBER</item><item>COLUMNNUMBER</item>"
                                                "<item>REPORTTITLE</item><item>MASTER</item>") +
                      prop("Functions.DATA", "<item>0</item><item>0</item><item>''</item><item>0</item>"),
                  queryXml("MQ", "SELECT N FROM M ORDER BY N") +
                      queryXml("SQ", "SELECT K FROM S WHERE M = :MASTER ORDER BY K",
                               prop("Params", "<param name=\"MASTER\" type=\"ftInteger\">0</param>"))),
        data);
    TQREvElement *master = nullptr;
    r.report->OnStartPage = [&](TCustomDezirUzu *report) {
        master = report->Functions()->FindConstant(QStringLiteral("MASTER"));
    };
    r.find<TQRCustomBand>("D")->AfterPrint = [&](TQRCustomBand *, bool) {
        TQREvEnvironment::StoreInteger(master, r.find<TDataSet>("MQ")->FieldByName("N")->AsInteger());
    };
    EXPECT_EQ(r.trace(), QStringList{"D@100 SG@200 S@250 SG@350 S@400 D@500 D@600 SG@700 S@750"});
}

TEST(Controller, PrintIfEmpty) {
    const auto empty = [](const QString &folder) { makeTable(folder, "T", "N INTEGER", {}); };
    const QString bands = bandXml("PH", "rbPageHeader", 10) + bandXml("T", "rbTitle", 10) +
                          bandXml("CH", "rbColumnHeader", 10) + bandXml("D", "rbDetail", 10) +
                          bandXml("S", "rbSummary", 10);
    LoadedReport printed(reportXml(bands, prop("DataSet", "Q"), queryXml("Q", "SELECT N FROM T")), empty);
    EXPECT_EQ(printed.trace(), QStringList{"PH@100 T@200 D@300 S@400"});
    // Without it nothing prints and no page is begun.
    LoadedReport none(
        reportXml(bands, prop("DataSet", "Q") + prop("PrintIfEmpty", "False"), queryXml("Q", "SELECT N FROM T")),
        empty);
    none.report->GeneratePages();
    ASSERT_TRUE(none.report->ReportPrinter);
    EXPECT_EQ(none.report->ReportPrinter->PagesProduced(), 0);
    EXPECT_EQ(none.report->PageNumber, 0);
}

TEST(Controller, RecordsOnDemand) {
    LoadedReport r(reportXml(bandXml("T", "rbTitle", 10) + bandXml("D", "rbDetail", 10)));
    QList<bool> asked;
    int supplied = 3;
    r.report->OnNeedData = [&](QObject *sender, bool &MoreData) {
        EXPECT_EQ(sender, r.report);
        asked << MoreData;
        MoreData = supplied-- > 0;
    };
    EXPECT_EQ(r.trace(), QStringList{"T@100 D@200 D@300 D@400"});
    EXPECT_EQ(asked, (QList<bool>{true, false, false, false}));
    // No data at the first call: nothing, not even the title.
    asked.clear();
    supplied = 0;
    EXPECT_EQ(r.trace(), QStringList{});
    EXPECT_EQ(asked, QList<bool>{true});
}

TEST(Controller, VetoedRecordsAreNotCountedDisabledOnesAre) {
    const QString counter = "<component class=\"TTestContent\" name=\"C\">" + prop("CountRecords", "True") +
                            prop("Size.Values", "50 0 0 500") + "</component>";
    for (const QString &detail : {QStringLiteral("veto"), QStringLiteral("disabled")}) {
        LoadedReport r(reportXml(bandXml("D", "rbDetail", 10, detail == "disabled" ? prop("Enabled", "False") : "") +
                                 bandXml("S", "rbSummary", 10, counter)));
        auto calls = std::make_shared<int>(0);
        r.report->OnNeedData = [calls](QObject *, bool &MoreData) { MoreData = (*calls)++ < 4; };
        if (detail == "veto")
            r.find<TQRCustomBand>("D")->BeforePrint = [n = 0](TQRCustomBand *, bool &PrintBand) mutable {
                PrintBand = ++n != 2;
            };
        r.trace();
        EXPECT_EQ(r.find<TTestContent>("C")->records, detail == "veto" ? 3 : 4) << detail.toStdString();
    }
}

TEST(Controller, CancelStopsAtTheNextRecord) {
    LoadedReport r(
        reportXml(bandXml("D", "rbDetail", 100) + bandXml("S", "rbSummary", 10) + bandXml("F", "rbPageFooter", 10)));
    auto calls = std::make_shared<int>(0);
    r.report->OnNeedData = [calls](QObject *, bool &MoreData) { MoreData = (*calls)++ < 10; };
    int details = 0;
    r.find<TQRCustomBand>("D")->AfterPrint = [&](TQRCustomBand *, bool) {
        if (++details == 3)
            r.report->Cancel();
    };
    const QStringList pages = r.trace();
    // Record 3 prints; no further record, summary or last footer; the filter is still finished.
    EXPECT_EQ(pages, QStringList{"D@100 D@1100 F@2770"});
    EXPECT_EQ(r.filter.calls.mid(r.filter.calls.size() - 2), (QStringList{"D 100 100 0", "Finish"}));
    EXPECT_TRUE(r.report->Idle);

    // Into the page store the pages so far are kept, the last one as it stood.
    *calls = 0;
    details = 0;
    r.report->GeneratePages();
    ASSERT_TRUE(r.report->ReportPrinter);
    EXPECT_EQ(r.report->ReportPrinter->State(), psDone);
    EXPECT_EQ(r.report->ReportPrinter->PagesProduced(), 2);
}

TEST(Controller, ParametersTakeTheReportsValuesByType) {
    // Each parameter takes the value of its kind; one of another kind leaves the parameter as it was. A date
    // comes as a text in the locale's short form.
    const auto data = [](const QString &folder) {
        makeTable(folder, "T", "N INTEGER, S TEXT, F REAL, B INTEGER, D TEXT",
                  {{1, "a", 1.0, 1, "2024-03-01"},
                   {2, "a", 2.0, 1, "2024-03-01"},
                   {3, "a", 2.0, 0, "2024-03-01"},
                   {4, "b", 2.0, 1, "2024-03-01"},
                   {5, "a", 2.0, 1, "2024-02-29"},
                   {6, "a", 2.0, 1, "2024-03-02"}});
    };
    const QString day = QLocale::system().toString(QDate(2024, 3, 1), QLocale::ShortFormat);
    const auto report = [&](const QString &least) {
        return reportXml(
            bandXml("D", "rbDetail", 10),
            prop("DataSet", "Q") + prop("PrintIfEmpty", "False") +
                prop("Functions.Strings", "<item>PAGENUMBER</item><item>COLUMNNUMBER</item>"
                                          "<item>REPORTTITLE</item><item>NAME</item>"
                                          "<item>LIMIT</item><item>FLAG</item>"
                                          "<item>SINCE</item><item>LEAST</item>") +
                prop("Functions.DATA", "<item>0</item><item>0</item><item>''</item>"
                                       "<item>'a'</item><item>1.5</item><item>TRUE</item>"
                                       "<item>'" +
                                           day + "'</item><item>" + least + "</item>"),
            queryXml("Q",
                     "SELECT N FROM T WHERE S = :NAME AND F > :LIMIT AND B = :FLAG AND D >= :SINCE AND N >= :LEAST "
                     "ORDER BY N",
                     prop("Params", "<param name=\"NAME\" type=\"ftString\">x</param>"
                                    "<param name=\"LIMIT\" type=\"ftFloat\">9</param>"
                                    "<param name=\"FLAG\" type=\"ftBoolean\">False</param>"
                                    "<param name=\"SINCE\" type=\"ftDate\">2000-01-01</param>"
                                    "<param name=\"LEAST\" type=\"ftInteger\">6</param>")));
    };
    const auto numbers = [](LoadedReport &r) {
        QStringList seen;
        r.find<TQRCustomBand>("D")->BeforePrint = [&](TQRCustomBand *, bool &) { seen << current(r, "Q", "N"); };
        r.trace();
        return seen;
    };
    LoadedReport integer(report("2"), data);
    EXPECT_EQ(numbers(integer), (QStringList{"2", "6"})) << day.toStdString();
    // A float does not go into an integer parameter: it keeps its 6.
    LoadedReport fractional(report("2.0"), data);
    EXPECT_EQ(numbers(fractional), QStringList{"6"});
}

TEST(Controller, DateParametersReadTheLocalesShortForm) {
    // A short form with a two-digit year means the year within fifty years of today, not the 1900s.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(ParamDateValue(us.toString(QDate(2024, 3, 1), QLocale::ShortFormat), ftDate, us), QDate(2024, 3, 1));
    const QDate recent = QDate::currentDate().addYears(-10);
    EXPECT_EQ(ParamDateValue(us.toString(recent, QLocale::ShortFormat), ftDate, us), recent);
    const QDate soon = QDate::currentDate().addYears(20);
    EXPECT_EQ(ParamDateValue(us.toString(soon, QLocale::ShortFormat), ftDate, us), soon);
    // A four-digit year is taken as it stands.
    const QLocale hu(QLocale::Hungarian, QLocale::Hungary);
    EXPECT_EQ(ParamDateValue(hu.toString(QDate(1905, 12, 24), QLocale::ShortFormat), ftDate, hu), QDate(1905, 12, 24));
    const QDateTime at(QDate(2024, 3, 1), QTime(13, 45));
    EXPECT_EQ(ParamDateValue(us.toString(at, QLocale::ShortFormat), ftDateTime, us), at);
    EXPECT_EQ(ParamDateValue(us.toString(QTime(13, 45), QLocale::ShortFormat), ftTime, us), QTime(13, 45));
    EXPECT_FALSE(ParamDateValue("no day", ftDate, us).isValid());
    EXPECT_FALSE(ParamDateValue("13/45/24", ftDate, us).isValid());
}
