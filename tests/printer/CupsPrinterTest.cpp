// Prints through a real CUPS queue when the machine has one that writes PDF files (scripts/cups-pdf-queue
// sets one up); skips otherwise.
#include "printer/QRPrinter.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"
#include "printer/sample/SampleReport.h"
#include "tests/support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// Where the PDF queue puts its files: the "Out" line of its configuration, else ~/PDF.
QString cupsPdfFolder() {
    QString folder = QStringLiteral("${HOME}/PDF");
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly))
        for (const QString &line : QString::fromLocal8Bit(conf.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("Out ")))
                folder = line.mid(4).trimmed();
    return folder.replace(QStringLiteral("${HOME}"), QDir::homePath());
}

} // namespace

TEST(CupsPrinter, StoredReportThroughTheSpooler) {
    printers::ScopedFactory guard([] { return std::make_unique<QtPrinter>(); });
    TPrinter &standard = printers::Printer();
    const QStringList names = standard.Printers();
    int queue = -1;
    for (int i = 0; i < names.size() && queue < 0; ++i)
        if (QPrinterInfo::printerInfo(names[i]).makeAndModel().contains(QLatin1String("CUPS-PDF")))
            queue = i;
    if (queue < 0)
        GTEST_SKIP() << "no CUPS queue that writes PDF files (cupsd is not running here, or has no cups-pdf printer; "
                        "scripts/cups-pdf-queue sets one up as root)";
    standard.SetPrinterIndex(queue);

    TempFolder dir;
    const QString file = dir.filePath(QStringLiteral("manual.qrp"));
    samplereport::write(file, 5, true);
    const QString title = QStringLiteral("tavikcups%1").arg(QRandomGenerator::global()->bounded(1000000000));
    TQRPrinter printer;
    ASSERT_TRUE(printer.PrintersInstalled());
    EXPECT_EQ(printer.Settings().DeviceName(), names[queue]);
    EXPECT_EQ(printer.Settings().DriverName(), names[queue] + QStringLiteral(".ppd"));
    EXPECT_TRUE(printer.Settings().PaperSupported(TQRPaperSize::A4));
    for (const PaperInfo &paper : printer.Device().Papers().value_or(QList<PaperInfo>())) {
        if (paper.code == int(TQRPaperSize::CSheet)) { // the queue offers both the 17 x 22 and the 18 x 24 in sheet
            EXPECT_NEAR(paper.sizeMm.width(), 431.8, 1) << paper.name.toStdString();
        }
    }
    printer.LoadPages(file);
    printer.SetJobTitle(title);
    printer.SetFirstPage(2);
    printer.SetLastPage(4);
    ASSERT_EQ(printer.PrintStoredPages(), 3);

    const QDir out(cupsPdfFolder());
    QString pdf;
    for (QDeadlineTimer deadline(60000); pdf.isEmpty() && !deadline.hasExpired(); QThread::msleep(200)) {
        const QStringList found = out.entryList({title + QStringLiteral("*.pdf")}, QDir::Files);
        if (!found.isEmpty() && pdfPages(out.filePath(found[0])) > 0)
            pdf = out.filePath(found[0]);
    }
    ASSERT_FALSE(pdf.isEmpty()) << "the job did not arrive in " << out.path().toStdString();
    EXPECT_EQ(pdfPages(pdf), 3);
    QFile::remove(pdf);
}
