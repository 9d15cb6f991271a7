#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/export/QRExportFilterLibrary.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPreview.h"
#include "tests/printer/PrinterTestSupport.h"
#include "tests/printer/preview/PreviewTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QToolButton>

namespace {

class SaveLoad : public PreviewTest {
protected:
    bool exists(const QString &name) const { return QFile::exists(folder.filePath(name)); }
};

} // namespace

TEST_F(SaveLoad, SavingWithoutAnExtensionTakesTheChosenType) {
    ScriptedReport report;
    report.Run(3);
    auto window = open(report.Printer());
    dialogs->saves.push_back(TQRPreviewDialogs::SaveChoice{folder.filePath(QStringLiteral("report")), 1});
    window->SaveClick();
    EXPECT_EQ(dialogs->asked.first(),
              QStringLiteral("Save report|.QRP|*.QRP|Folvex file(*.QRP)|*.QRP|PDF document (*.PDF)|*.PDF|Plain text "
                             "(*.TXT)|*.TXT|Comma separated values (*.CSV)|*.CSV|Web page (*.HTM)|*.HTM|*.QRP"));
    // The report file is the page stream byte for byte.
    ASSERT_TRUE(exists(QStringLiteral("report.QRP")));
    report.Printer()->SavePages(folder.filePath(QStringLiteral("direct.qrp")));
    EXPECT_EQ(readFile(folder.filePath(QStringLiteral("report.QRP"))),
              readFile(folder.filePath(QStringLiteral("direct.qrp"))));

    // The second type is the report file too; later ones are the filters, which run the report again.
    EXPECT_EQ(window->SaveAs(folder.filePath(QStringLiteral("second")), 2),
              folder.filePath(QStringLiteral("second.QRP")));
    EXPECT_EQ(window->SaveAs(folder.filePath(QStringLiteral("third")), 3),
              folder.filePath(QStringLiteral("third.PDF")));
    EXPECT_EQ(window->SaveAs(folder.filePath(QStringLiteral("sixth")), 6),
              folder.filePath(QStringLiteral("sixth.HTM")));
    EXPECT_EQ(window->SaveAs(folder.filePath(QStringLiteral("page.txt")), 1),
              folder.filePath(QStringLiteral("page.txt")));
    EXPECT_EQ(report.exportCalls, 3);
    EXPECT_FALSE(exists(QStringLiteral("third.PDF"))); // the report writes exports, not the window
    EXPECT_EQ(window->SaveAs(folder.filePath(QStringLiteral("beyond")), 9),
              folder.filePath(QStringLiteral("beyond.QRP")));

    // A report asking for HTML offers it first; its extension counts by three letters.
    report.saveType = stHTML;
    dialogs->saves.push_back(std::nullopt);
    window->SaveClick();
    EXPECT_TRUE(dialogs->asked.last().startsWith(QStringLiteral("Save report|.HTML|*.HTML|Folvex file(*.QRP)|")));
    EXPECT_TRUE(dialogs->asked.last().endsWith(QStringLiteral("|*.HTML")));
    EXPECT_EQ(window->SaveAs(folder.filePath(QStringLiteral("web")), 1), folder.filePath(QStringLiteral("web.HTM")));
    EXPECT_EQ(report.exportCalls, 4);
    EXPECT_TRUE(dialogs->messages.isEmpty());
    window->close();
}

TEST_F(SaveLoad, AnExtensionNoFilterTakesIsRefusedAloud) {
    ScriptedReport report;
    report.Run(2);
    auto window = open(report.Printer());
    EXPECT_TRUE(window->SaveAs(folder.filePath(QStringLiteral("pages.xyz")), 1).isEmpty());
    EXPECT_TRUE(window->SaveAs(folder.filePath(QStringLiteral("sheet.XLS")), 1).isEmpty());
    EXPECT_EQ(dialogs->messages, (QStringList{"pages.xyz was not saved: no export filter writes .XYZ files.",
                                              "sheet.XLS was not saved: no export filter writes .XLS files."}));
    EXPECT_FALSE(exists(QStringLiteral("pages.xyz")));
    EXPECT_EQ(report.exportCalls, 0);
    window->close();
}

TEST_F(SaveLoad, NothingIsSavedWhilePagesAreProduced) {
    ScriptedReport report;
    auto window = open(report.Printer());
    QString saved = QStringLiteral("not asked");
    report.whileDrawing = [&](int n) {
        if (n == 2)
            saved = window->SaveAs(folder.filePath(QStringLiteral("early.qrp")), 1);
    };
    report.Run(3);
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_EQ(dialogs->messages, QStringList{"The report is not complete yet."});
    EXPECT_FALSE(exists(QStringLiteral("early.qrp")));
    window->close();
}

TEST_F(SaveLoad, ALoadedFileExportsItsOwnPages) {
    const QString file = reportFile(QStringLiteral("stored.qrp"), 3,
                                    [](int n) { return QStringList{QStringLiteral("Sor %1: árvíztűrő").arg(n)}; });
    TQRPrinter printer;
    printer.LoadPages(file);
    auto window = open(&printer);
    for (const QString &name :
         {QStringLiteral("out.txt"), QStringLiteral("out.csv"), QStringLiteral("out.html"), QStringLiteral("out.pdf")})
        EXPECT_EQ(window->SaveAs(folder.filePath(name), 1), folder.filePath(name));
    const QString text = QString::fromUtf8(readFile(folder.filePath(QStringLiteral("out.txt"))));
    EXPECT_TRUE(text.contains(QStringLiteral("Sor 2: árvíztűrő")));
    EXPECT_EQ(text.count(QLatin1Char('\f')), 2);
    EXPECT_EQ(QString::fromUtf8(readFile(folder.filePath(QStringLiteral("out.csv")))).count(QStringLiteral("\r\n")), 6);
    EXPECT_TRUE(QString::fromUtf8(readFile(folder.filePath(QStringLiteral("out.html"))))
                    .contains(QStringLiteral("Sor 3: árvíztűrő")));
    EXPECT_TRUE(readFile(folder.filePath(QStringLiteral("out.pdf"))).startsWith("%PDF"));
    EXPECT_TRUE(dialogs->messages.isEmpty());
    window->close();
}

TEST_F(SaveLoad, LoadingAReportFile) {
    const QString file = reportFile(QStringLiteral("twelve.qrp"), 12);
    ScriptedReport report;
    report.Run(2);
    auto window = open(report.Printer());

    // What is not there, or not a report file, leaves the pages as they were.
    dialogs->opens.push_back(folder.filePath(QStringLiteral("missing.qrp")));
    window->LoadClick();
    EXPECT_EQ(dialogs->asked.last(), QStringLiteral("Load report|Folvex file (*.QRP)|*.QRP"));
    writeFile(folder.filePath(QStringLiteral("junk.qrp")), QByteArray(300, 'x'));
    EXPECT_FALSE(window->LoadReportFile(folder.filePath(QStringLiteral("junk.qrp"))));
    ASSERT_EQ(dialogs->messages.size(), 2);
    EXPECT_EQ(dialogs->messages[0], QStringLiteral("File does not exist"));
    EXPECT_FALSE(dialogs->messages[1].isEmpty());
    EXPECT_EQ(report.Printer()->PagesProduced(), 2);
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Page 1 of 2"));

    dialogs->opens.push_back(file);
    window->LoadClick();
    EXPECT_EQ(window->StatusText(1), QStringLiteral("Page 1 of 12"));
    EXPECT_EQ(window->StatusText(2), QStringLiteral("twelve.qrp"));
    EXPECT_EQ(window->ThumbnailRows(), 12);
    EXPECT_EQ(window->ThumbGrid->currentIndex().row(), 0);
    EXPECT_TRUE(window->ReportFileLoaded());
    EXPECT_FALSE(window->SaveReport->isVisible());
    EXPECT_FALSE(window->SaveReport->isEnabled());
    EXPECT_TRUE(window->Print->isEnabled());
    EXPECT_EQ(report.paper, TQRPaperSize::A4);
    EXPECT_EQ(report.orientation, poPortrait);
    EXPECT_EQ(textOf(*window->QRPreview->PageImage()->Recording()), QStringLiteral("Page 1"));
    // The loaded pages print as they are, not by running the report.
    window->PrintClick();
    EXPECT_EQ(report.printCalls, 0);
    ASSERT_EQ(system.jobs.size(), 1);
    EXPECT_EQ(system.jobs[0].pages.size(), 12);
    window->close();
}

TEST_F(SaveLoad, EachWindowKeepsItsOwnFileState) {
    const QString file = reportFile(QStringLiteral("one.qrp"), 1);
    ScriptedReport first;
    first.Run(2);
    ScriptedReport second;
    second.title = QStringLiteral("Second");
    second.Run(2);
    auto a = open(first.Printer());
    TestDialogs *aDialogs = dialogs;
    auto b = open(second.Printer());
    aDialogs->opens.push_back(file);
    a->LoadClick();
    EXPECT_TRUE(a->ReportFileLoaded());
    EXPECT_FALSE(b->ReportFileLoaded());
    EXPECT_EQ(b->PreviewTitle(), QStringLiteral("Second"));
    b->PrintClick(); // the second still runs its report again
    EXPECT_EQ(second.printCalls, 1);
    EXPECT_TRUE(b->SaveReport->isVisible());
    a->close();
    b->close();
}

TEST_F(SaveLoad, PrintingWithoutAPrinterSaysSo) {
    ScriptedSystem none;
    printers::ScopedFactory noPrinters(none.factory());
    const QString file = reportFile(QStringLiteral("two.qrp"), 2);
    TQRPrinter printer;
    printer.LoadPages(file);
    auto window = open(&printer);
    window->PrintClick();
    EXPECT_EQ(dialogs->messages, QStringList{"There is no printer installed."});
    window->close();
}
