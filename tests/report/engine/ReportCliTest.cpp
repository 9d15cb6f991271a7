// The report verbs of the tavik tool, run as a user runs them.
#include "tests/cli/CliRunner.h"
#include "tests/support/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#ifdef TAVIK_CLI

namespace {

QString fixture(const char *name) {
    return QStringLiteral(TAVIK_ENGINE_FIXTURES "/") + QString::fromLatin1(name);
}

QByteArray bytesOf(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(ReportVerbs, ShowListsComponentsBandsAndControls) {
    const CliRun r = tavik({QStringLiteral("report"), QStringLiteral("show"), fixture("orders.qrx")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines(), (QStringList{
                             "component\tTQuery\tOrders\t-",
                             "component\tTDezirUzu\tOrderReport\t-",
                             "component\tTQRBand\tPageHeader\tOrderReport",
                             "component\tTQRBand\tTitle\tOrderReport",
                             "component\tTQRGroup\tCustomerGroup\tOrderReport",
                             "component\tTQRBand\tDetail\tOrderReport",
                             "component\tTQRChildBand\tDetailNote\tOrderReport",
                             "component\tTQRBand\tCustomerFooter\tOrderReport",
                             "component\tTQRBand\tSummary\tOrderReport",
                             "component\tTQRBand\tPageFooter\tOrderReport",
                             "band\tPageHeader\trbPageHeader\t38\t38\t718\t23",
                             "band\tTitle\trbTitle\t38\t61\t718\t79",
                             "band\tCustomerGroup\trbGroupHeader\t38\t140\t718\t30",
                             "band\tDetail\trbDetail\t38\t170\t718\t19",
                             "band\tDetailNote\trbChild\t38\t189\t718\t15",
                             "band\tCustomerFooter\trbGroupFooter\t38\t204\t718\t23",
                             "band\tSummary\trbSummary\t38\t227\t718\t38",
                             "band\tPageFooter\trbPageFooter\t38\t265\t718\t19",
                         }));
}

TEST(ReportVerbs, PropsSetThroughTheSettersAndGetInUnits) {
    const QString def = fixture("orders.qrx");
    const CliRun r = tavik({"report",
                            "props",
                            def,
                            "--set",
                            "OrderReport.Page.Length=100",
                            "--set",
                            "OrderReport.Page.Orientation=poLandscape",
                            "--get",
                            "OrderReport.Page.Width",
                            "--get",
                            "OrderReport.Page.Length",
                            "--get",
                            "Title.Size.Width",
                            "--get",
                            "Orders.SQL",
                            "--get",
                            "Orders.Params",
                            "--get",
                            "OrderReport.Options",
                            "--get",
                            "CustomerGroup.Master"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines(), (QStringList{
                             "OrderReport.Page.Width\t297", // the A4 length was not taken, and the page turned
                             "OrderReport.Page.Length\t210",
                             "Title.Size.Width\t277.01875", // 1047 pixels
                             "Orders.SQL\tSELECT CUSTOMER, AMOUNT FROM Orders\\nWHERE AMOUNT > :MINIMUM\\nORDER BY "
                             "CUSTOMER",
                             "Orders.Params\t<param name=\"MINIMUM\" type=\"ftFloat\">0</param>",
                             "OrderReport.Options\tFirstPageHeader,LastPageFooter",
                             "CustomerGroup.Master\tOrderReport",
                         }));

    const CliRun units = tavik({"report", "props", def, "--set", "OrderReport.Page.PaperSize=Custom", "--set",
                                "OrderReport.Page.Length=100", "--set", "OrderReport.ReportTitle=a\\tb\\\\c", "--units",
                                "Pixels", "--get", "OrderReport.Page.Length", "--get", "Title.Size.Height", "--get",
                                "OrderReport.ReportTitle", "--get", "OrderReport.Units"});
    ASSERT_EQ(units.status, 0) << units.err.toStdString();
    EXPECT_EQ(units.lines(), (QStringList{"OrderReport.Page.Length\t377.9527559055117", "Title.Size.Height\t79",
                                          "OrderReport.ReportTitle\ta\\tb\\\\c", "OrderReport.Units\tMM"}));
}

TEST(ReportVerbs, SaveWritesTheSameBytesBack) {
    TempFolder dir;
    const QString out = dir.filePath(QStringLiteral("again.qrx"));
    const CliRun r = tavik({"report", "save", fixture("orders.qrx"), out});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(bytesOf(out), bytesOf(fixture("orders.qrx")));
}

TEST(ReportVerbs, FaultsEndWithOneLine) {
    TempFolder dir;
    const QString bad = dir.filePath(QStringLiteral("bad.qrx"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<definition><component class=\"TDezirUzu\" name=\"R\">\n"
                "<component class=\"TQRBand\" name=\"B\"><property name=\"Size.Values\">1 2 3</property>"
                "</component></component></definition>");
    }
    const QString def = fixture("orders.qrx");
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"report", "show", bad}, "tavik: B.Size.Values: Values needs 2 numbers, not 3 (line 2)"},
        {{"report", "show", dir.filePath("none.qrx")}, "tavik: " + dir.filePath("none.qrx") + ": file not found"},
        {{"report", "show"}, "tavik: usage: tavik report show DEF"},
        {{"report", "props", def, "--get", "Nobody.Tag"}, "tavik: no component named Nobody"},
        {{"report", "props", def, "--get", "Title"}, "tavik: 'Title' is not NAME.PROP"},
        {{"report", "props", def, "--get", "Title.Height"}, "tavik: Title.Height: unknown property"},
        {{"report", "props", def},
         "tavik: usage: tavik report props DEF [--set NAME.PROP=VALUE]... [--units U] "
         "--get NAME.PROP..."},
        {{"report", "props", def, "--units", "Points", "--get", "Title.Tag"},
         "tavik: --units takes MM, Inches, Pixels, Characters or Native, not 'Points'"},
        {{"report", "props", def, "--set", "Title.LinkBand=Detail", "--set", "Detail.LinkBand=Title", "--get",
          "Title.Tag"},
         "tavik: Detail.LinkBand: Circular linking not allowed"},
        {{"report", "props", def, "--set", "Title.BandType=rbNothing", "--get", "Title.Tag"},
         "tavik: Title.BandType: 'rbNothing' is not a value of TQRBandType"},
        {{"report", "props", def, "--set", "Title.Tag", "--get", "Title.Tag"},
         "tavik: --set takes NAME.PROP=VALUE, not 'Title.Tag'"},
        {{"report", "save", bad, dir.filePath("out.qrx")},
         "tavik: B.Size.Values: Values needs 2 numbers, not 3 (line 2)"},
        {{"report", "save", def, dir.filePath("no/such/folder/out.qrx")}, ""},
    };
    for (const auto &c : cases)
        ExpectOneLineFailure(tavik(c.args), c.args, c.message);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.qrx"))));
}

#endif
