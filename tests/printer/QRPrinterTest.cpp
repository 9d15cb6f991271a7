#include "printer/QRPrinter.h"
#include "printer/QRError.h"
#include "printer/QRMessages.h"
#include "printer/QRPrinterSettings.h"
#include "printer/QRProgressWindow.h"
#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/Units.h"
#include "printer/sample/SampleReport.h"
#include "tests/printer/PrinterTestSupport.h"
#include "tests/printer/ScriptedPrinter.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

/// Collects the printer's notifications; `onEvent` may act on each.
class Receiver : public QObject {
public:
    QList<QPair<int, int>> events; // (number, parameter)
    std::function<void(TQRMessageEvent &)> onEvent;

protected:
    bool event(QEvent *e) override {
        if (e->type() < qrmessages::Progress || e->type() > qrmessages::PreviewClose)
            return QObject::event(e);
        auto &m = static_cast<TQRMessageEvent &>(*e);
        events.append({e->type() - QEvent::User, m.Param()});
        if (onEvent)
            onEvent(m);
        return true;
    }
};

struct Report : TQRParentReport {
    bool UseStandardprinter() const override { return false; }
    qint32 MemoryLimit() const override { return 250000; }
    bool ShowProgress() const override { return showProgress; }
    double PageWidth() const override { return 2100; }
    double PageLength() const override { return 2970; }
    void RaiseAfterPrint() override { ++afterPrint; }
    bool showProgress = true;
    int afterPrint = 0;
};

// Produces `pages` pages that say "Page N".
void produce(TQRPrinter &printer, int pages) {
    printer.BeginDoc();
    for (int n = 1; n <= pages; ++n) {
        printer.NewPage();
        printer.PageCanvas()->drawText(printer.ToDeviceX(200), printer.ToDeviceY(200),
                                       QStringLiteral("Page %1").arg(n));
    }
    printer.EndDoc();
}

QList<int> eventsOf(const Receiver &r, int number) {
    QList<int> params;
    for (const auto &e : r.events)
        if (e.first == number)
            params << e.second;
    return params;
}

QStringList jobCalls(const ScriptedSystem &system) {
    QStringList calls;
    for (const QString &entry : system.log)
        if (entry == QLatin1String("begin") || entry == QLatin1String("newpage") || entry == QLatin1String("end") ||
            entry == QLatin1String("abort"))
            calls << entry;
    return calls;
}

class QRPrinterTest : public ::testing::Test {
protected:
    QRPrinterTest() { system.queues << ScriptedQueue{}; }
    ScriptedSystem system;
    printers::ScopedFactory guard{system.factory()};
};

} // namespace

TEST_F(QRPrinterTest, PageRangeOnTheDevice) {
    TQRPrinter printer;
    printer.SetOutputTarget(otPrinter);
    printer.SetFirstPage(2);
    printer.SetLastPage(3);
    printer.SetJobTitle(QStringLiteral("Kézikönyv"));
    produce(printer, 5);
    EXPECT_EQ(jobCalls(system), (QStringList{"begin", "newpage", "end"}));
    ASSERT_EQ(system.jobs.size(), 1);
    EXPECT_EQ(system.jobs[0].title, QStringLiteral("Kézikönyv"));
    EXPECT_EQ(system.pageTexts(), (QStringList{"Page 2", "Page 3"}));
    EXPECT_EQ(printer.PagesProduced(), 5);
    EXPECT_EQ(printer.PageCanvas(), nullptr); // page 5's recording is gone too
    EXPECT_EQ(printer.State(), psDone);
    EXPECT_FALSE(printer.FetchPage(2)); // nothing stored

    system.log.clear();
    TQRPrinter beyond;
    beyond.SetOutputTarget(otPrinter);
    beyond.SetFirstPage(7);
    produce(beyond, 5);
    EXPECT_TRUE(jobCalls(system).isEmpty());

    TQRPrinter open;
    open.SetOutputTarget(otPrinter);
    open.SetFirstPage(4);
    produce(open, 5);
    EXPECT_EQ(system.pageTexts(1), (QStringList{"Page 4", "Page 5"}));
}

TEST_F(QRPrinterTest, NativeUnitsToPixels) {
    TQRPrinter store;
    store.BeginDoc();
    EXPECT_EQ(store.ToDeviceWidth(254), rnd(EmfRecorder::screenDpiX()));
    if (EmfRecorder::screenDpiX() == 96) {
        EXPECT_EQ(store.ToDeviceWidth(254), 96);
        EXPECT_EQ(store.ToDeviceX(100), 38);
    }
    store.NewPage(); // a page as big as the paper at screen resolution
    EXPECT_EQ(store.Handle()->width(), store.ToDeviceWidth(2100));
    store.EndDoc();

    system.queues[0].dpiX = system.queues[0].dpiY = 254; // one pixel per 0.1 mm
    TQRPrinter device;
    device.SetOutputTarget(otPrinter);
    device.BeginDoc();
    device.NewPage();
    EXPECT_EQ(device.UnprintableLeft(), 50);
    EXPECT_EQ(device.UnprintableTop(), 60);
    const struct {
        double in;
        int x, width;
    } cases[] = {{52.5, 2, 52}, {53.5, 4, 54}, {50.5, 0, 50}, {49.5, 0, 50}, {48.5, -2, 48}, {-0.5, -50, 0}};
    for (const auto &c : cases) {
        EXPECT_EQ(device.ToDeviceX(c.in), c.x) << c.in;
        EXPECT_EQ(device.ToDeviceWidth(c.in), c.width) << c.in;
    }
    EXPECT_EQ(device.ToDeviceY(62.5), 2);
    EXPECT_EQ(device.ToDeviceHeight(2.5), 2);
    device.EndDoc();
}

TEST_F(QRPrinterTest, StateErrors) {
    TQRPrinter printer;
    const auto message = [](auto &&call) {
        try {
            call();
        } catch (const EQRError &e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_EQ(message([&] { printer.NewPage(); }), QStringLiteral("Illegal call to NewPage"));
    printer.BeginDoc();
    printer.NewPage();
    printer.PageCanvas()->drawText(10, 10, QStringLiteral("Page 1"));
    EXPECT_EQ(message([&] { printer.BeginDoc(); }), QStringLiteral("QRPrinter not ready"));
    ASSERT_NE(printer.PageCanvas(), nullptr); // the open page survives the refused call
    printer.PageCanvas()->drawText(10, 30, QStringLiteral("still"));
    printer.EndDoc();
    EXPECT_EQ(message([&] { printer.NewPage(); }), QStringLiteral("Illegal call to NewPage"));
    EXPECT_EQ(message([&] { printer.BeginDoc(); }), QStringLiteral("QRPrinter not ready"));
    EXPECT_EQ(textOf(*printer.FetchPage(1)), QStringLiteral("Page 1\nstill"));
    EXPECT_FALSE(printer.FetchPage(0));
    EXPECT_FALSE(printer.FetchPage(2));
    printer.DiscardPages();
    EXPECT_EQ(printer.State(), psIdle);
    EXPECT_FALSE(printer.FetchPage(1));
    produce(printer, 2); // idle again: a new run
    EXPECT_EQ(printer.PagesProduced(), 2);
}

TEST_F(QRPrinterTest, PagesAnnouncedAsTheyAreDone) {
    Receiver receiver;
    TQRPrinter printer;
    printer.SetProgressReceiver(&receiver);
    produce(printer, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(eventsOf(receiver, 0x401), (QList<int>{1, 2, 3}));
    EXPECT_EQ(printer.PagesReady(), 3);
    EXPECT_EQ(printer.PageList().StoredPages(), 3);
    printer.SetProgress(42);
    EXPECT_TRUE(eventsOf(receiver, 0x400).isEmpty()); // posted, not sent
    QCoreApplication::processEvents();
    EXPECT_EQ(eventsOf(receiver, 0x400), (QList<int>{42}));
}

TEST_F(QRPrinterTest, ProgressWhilePrintingStoredPages) {
    Report report;
    TQRPrinter printer(&report);
    produce(printer, 4);
    Receiver receiver;
    printer.SetProgressReceiver(&receiver);
    printer.SetFirstPage(3);
    printer.SetLastPage(4);
    EXPECT_EQ(printer.PrintStoredPages(), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(eventsOf(receiver, 0x400), (QList<int>{50, 100}));
    EXPECT_EQ(jobCalls(system), (QStringList{"begin", "newpage", "end"}));
    EXPECT_EQ(system.pageTexts(), (QStringList{"Page 3", "Page 4"}));
    EXPECT_EQ(printer.CurrentPage(), 4);
    EXPECT_EQ(report.afterPrint, 1);

    // A progress window takes the notifications while it is there, shown and hidden again; the earlier
    // receiver gets them back.
    struct Window : TQRProgressWindow {
        QObject &receiver;
        QStringList &calls;
        Window(QObject &r, QStringList &c) : receiver(r), calls(c) {}
        QObject *Receiver() override { return &receiver; }
        void Show() override { calls << "show"; }
        void Hide() override { calls << "hide"; }
        void SetCaption(const QString &) override {}
    };
    Receiver windowReceiver;
    QStringList calls;
    const auto previous = TQRProgressWindow::SetFactory([&](TQRPrinter &) {
        calls << "made";
        return std::make_unique<Window>(windowReceiver, calls);
    });
    printer.PrintStoredPages();
    TQRProgressWindow::SetFactory(previous);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (QStringList{"made", "show", "hide"}));
    EXPECT_EQ(eventsOf(windowReceiver, 0x400), (QList<int>{50, 100}));
    EXPECT_EQ(printer.ProgressReceiver(), &receiver);
}

TEST_F(QRPrinterTest, StoredPagesWithinThePagesThereAre) {
    TQRPrinter printer;
    produce(printer, 4);
    printer.SetLastPage(9);
    EXPECT_EQ(printer.PrintStoredPages(), 4);
    EXPECT_EQ(system.pageTexts(), (QStringList{"Page 1", "Page 2", "Page 3", "Page 4"}));
    printer.SetFirstPage(6);
    EXPECT_EQ(printer.PrintStoredPages(), 0);
    printer.SetFirstPage(-3);
    printer.SetLastPage(1);
    EXPECT_EQ(printer.PrintStoredPages(), 1);
    EXPECT_EQ(system.jobs.size(), 2); // no job for the empty range

    // The page is drawn over the whole paper: the printable area's corner is the device origin.
    const auto runs = system.jobs[1].pages[0]->Texts();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_NEAR(runs[0].position.x(), 200 * 300 / 254.0 - 50, 4);
}

TEST_F(QRPrinterTest, CancellingAPrint) {
    TQRPrinter printer;
    produce(printer, 3);
    printer.RequestCancel(); // long after the run: no effect on a print
    EXPECT_EQ(printer.PrintStoredPages(), 3);

    Report report;
    TQRPrinter watched(&report);
    produce(watched, 3);
    Receiver receiver;
    receiver.onEvent = [&](TQRMessageEvent &e) {
        if (e.type() == qrmessages::Progress && e.Param() > 50)
            e.Printer()->RequestCancel();
    };
    watched.SetProgressReceiver(&receiver);
    system.log.clear();
    EXPECT_EQ(watched.PrintStoredPages(), 0);
    EXPECT_EQ(jobCalls(system), (QStringList{"begin", "newpage", "newpage", "abort"}));
    EXPECT_TRUE(system.jobs.last().aborted);
}

TEST_F(QRPrinterTest, PrintRequestGoesToTheReport) {
    Receiver report;
    TQRPrinter printer;
    produce(printer, 2);
    printer.SetReportReceiver(&report);
    EXPECT_EQ(printer.PrintStoredPages(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(report.events, (QList<QPair<int, int>>{{0x402, 0}}));
    EXPECT_TRUE(system.jobs.isEmpty());
    printer.Settings().SetPrintMetaFile(true);
    EXPECT_EQ(printer.PrintStoredPages(), 2);
}

TEST_F(QRPrinterTest, PreviewClosing) {
    Receiver report;
    TQRPrinter printer;
    int afterPreview = 0;
    printer.AfterPreview = [&](TQRPrinter *sender) {
        EXPECT_EQ(sender, &printer);
        ++afterPreview;
    };
    printer.SetReportReceiver(&report);
    printer.BeginDoc();
    printer.NewPage();
    printer.SetShowingPreview(true);
    printer.PreviewClosed();
    EXPECT_TRUE(printer.CancelRequested());
    EXPECT_FALSE(printer.PreviewShowing());
    EXPECT_EQ(afterPreview, 1);
    EXPECT_EQ(report.events, (QList<QPair<int, int>>{{0x404, 0}})); // sent at once
    printer.PreviewClosed();                                        // not showing any more
    EXPECT_EQ(afterPreview, 1);
    printer.EndDoc();
}

TEST_F(QRPrinterTest, DiscardDuringARunKeepsItsStream) {
    TQRPrinter printer;
    printer.BeginDoc();
    printer.NewPage();
    TQRStream *stream = printer.PageList().PageStream();
    printer.DiscardPages();
    EXPECT_TRUE(printer.CancelRequested());
    EXPECT_EQ(printer.State(), psBusy);
    EXPECT_EQ(printer.PageList().PageStream(), stream);
    printer.PageCanvas()->drawText(10, 10, QStringLiteral("late"));
    printer.NewPage(); // the generator still finishes its page
    printer.EndDoc();
    EXPECT_EQ(printer.State(), psIdle);
    EXPECT_EQ(printer.PageList().PageStream(), nullptr);
    EXPECT_EQ(printer.PageList().StoredPages(), 0);

    // Discarded while the end of a run lets messages run: the header is not written into nothing.
    Receiver receiver;
    TQRPrinter other;
    receiver.onEvent = [&](TQRMessageEvent &e) {
        if (e.type() == qrmessages::PageReady && e.Printer()->State() == psDone)
            e.Printer()->DiscardPages();
    };
    other.SetProgressReceiver(&receiver);
    produce(other, 2);
    EXPECT_EQ(other.State(), psIdle);
    EXPECT_EQ(other.PageList().PageStream(), nullptr);
}

// A preview may close, and its report free the printer, whenever the printer lets messages run.
TEST_F(QRPrinterTest, FreedWhileLettingMessagesRun) {
    Report report;
    auto *printer = new TQRPrinter(&report);
    produce(*printer, 4);
    Receiver receiver;
    receiver.onEvent = [&](TQRMessageEvent &e) {
        if (e.type() == qrmessages::Progress && e.Param() == 50)
            delete e.Printer();
    };
    printer->SetProgressReceiver(&receiver);
    printer->PrintStoredPages();
    EXPECT_EQ(jobCalls(system), (QStringList{"begin", "newpage", "newpage", "abort"}));
    EXPECT_EQ(report.afterPrint, 0);

    // Events posted before the printer went name none.
    auto *closing = new TQRPrinter;
    QList<bool> senders;
    receiver.onEvent = [&](TQRMessageEvent &e) {
        senders << (e.Printer() != nullptr);
        if (e.Printer() && e.Printer()->State() == psDone)
            delete e.Printer();
    };
    closing->SetProgressReceiver(&receiver);
    QPointer<TQRPrinter> watch(closing);
    produce(*closing, 2);
    EXPECT_FALSE(watch);
    QCoreApplication::processEvents();
    EXPECT_EQ(senders, (QList<bool>{true, false}));
}

TEST_F(QRPrinterTest, AbortedRunKeepsItsPages) {
    TempFolder dir;
    TQRPrinter printer;
    printer.BeginDoc();
    for (int n = 1; n <= 3; ++n) {
        printer.NewPage();
        printer.PageCanvas()->drawText(10, 10, QStringLiteral("Page %1").arg(n));
    }
    printer.AbortDoc();
    EXPECT_EQ(printer.State(), psDone);
    const QString path = dir.filePath(QStringLiteral("aborted.qrp"));
    printer.SavePages(path);
    TQRPageList list;
    list.LoadPages(path);
    EXPECT_EQ(list.StoredPages(), 3);
    EXPECT_EQ(textOf(*list.FetchPage(3)), QStringLiteral("Page 3"));
}

TEST_F(QRPrinterTest, PaperFromTheLoadedFile) {
    TempFolder dir;
    const auto report = [&](int width, int height, int dpi) {
        TQRPageList list;
        list.SetPageStream(std::make_unique<TQRStream>());
        TMetafile page(width, height, dpi, dpi);
        list.AddPage(page);
        list.WriteFileHeader();
        const QString path = dir.filePath(QStringLiteral("%1x%2-%3.qrp").arg(width).arg(height).arg(dpi));
        list.SavePages(path);
        return path;
    };
    const struct {
        QList<int> papers;
        int width, height;
        TQRPaperSize size;
        TPrinterOrientation orientation;
        int dpi = 96;
    } cases[] = {
        {{1, 9}, 794, 1123, TQRPaperSize::A4, poPortrait},
        {{1, 9, 10}, 794, 1123, TQRPaperSize::A4Small, poPortrait}, // the last one of that size
        {{1, 9}, 1123, 794, TQRPaperSize::A4, poLandscape},
        {{1, 9}, 816, 1056, TQRPaperSize::Letter, poPortrait},
        {{8, 9}, 816, 1056, TQRPaperSize::A4, poPortrait}, // not supported: the paper stays
        {{1, 3, 4}, 1056, 1632, TQRPaperSize::Ledger, poLandscape},
        // Tabloid turned is Ledger; a device without Ledger keeps Tabloid upright.
        {{1, 3}, 1056, 1632, TQRPaperSize::Tabloid, poPortrait},
        {{5, 9}, 400, 400, TQRPaperSize::A4, poPortrait},        // no such paper
        {{1, 9}, 4961, 7016, TQRPaperSize::A4, poPortrait, 600}, // recorded at another resolution
        {{1, 9}, 1579, 1116, TQRPaperSize::A4, poLandscape, 135},
    };
    for (const auto &c : cases) {
        system.queues[0].paperCodes = c.papers;
        TQRPrinter printer;
        printer.LoadPages(report(c.width, c.height, c.dpi));
        EXPECT_EQ(printer.PaperSize(), c.size) << c.width << "x" << c.height;
        EXPECT_EQ(printer.Orientation(), c.orientation) << c.width << "x" << c.height;
        EXPECT_EQ(printer.State(), psDone);
        EXPECT_TRUE(printer.LoadedFromFile());
        EXPECT_EQ(printer.PagesProduced(), 1);
    }
}

TEST_F(QRPrinterTest, ABadFileLeavesThePages) {
    TempFolder dir;
    TQRPrinter printer;
    produce(printer, 3);
    const QString bad = dir.filePath(QStringLiteral("bad.qrp"));
    writeFile(bad, QByteArray(300, 'x'));
    for (const QString &path : {bad, dir.filePath(QStringLiteral("missing.qrp"))}) {
        EXPECT_THROW(printer.LoadPages(path), EQRError);
        EXPECT_EQ(printer.State(), psDone);
        EXPECT_EQ(printer.PagesProduced(), 3);
        EXPECT_EQ(textOf(*printer.FetchPage(2)), QStringLiteral("Page 2"));
    }
    const QString good = dir.filePath(QStringLiteral("good.qrp"));
    samplereport::write(good, 2, true);
    printer.LoadPages(good);
    EXPECT_EQ(printer.PagesProduced(), 2);

    TQRPrinter busy;
    busy.BeginDoc();
    EXPECT_THROW(busy.LoadPages(good), EQRError);
    EXPECT_EQ(busy.State(), psBusy);
    busy.EndDoc();
}

TEST_F(QRPrinterTest, PrivatePrinterFollowsTheApplicationsChoice) {
    ScriptedQueue second;
    second.name = QStringLiteral("Second");
    second.dpiX = second.dpiY = 600;
    system.queues << second;
    printers::Printer().SetPrinterIndex(1);
    TQRPrinter printer;
    EXPECT_TRUE(printer.PrintersInstalled());
    EXPECT_EQ(printer.Device().PrinterIndex(), 1);
    EXPECT_EQ(printer.Settings().DpiX(), 600);
    EXPECT_EQ(printer.Settings().DeviceName(), QStringLiteral("Second"));

    printer.SelectPrinter(0);
    EXPECT_EQ(printer.Settings().DpiX(), 300);
    for (int ignored : {-1, 0, 2, -5}) {
        printer.SelectPrinter(ignored);
        EXPECT_EQ(printer.Device().PrinterIndex(), 0) << ignored;
    }
}

TEST_F(QRPrinterTest, ReportSettingsReachTheDevice) {
    TDezirUzuPrinterSettings settings;
    settings.SetCopies(2);
    settings.SetFirstPage(2);
    settings.SetLastPage(5);
    settings.SetDuplex(true);
    settings.SetOutputBin(TQRBin::Lower);
    settings.SetPrintQuality(600);
    TQRPrinter printer;
    printer.ApplyReportSettings(settings, {TQRPaperSize::Custom, poLandscape, 1000.4, 2000.5});
    EXPECT_EQ(printer.FirstPage(), 2);
    EXPECT_EQ(printer.LastPage(), 5);
    EXPECT_EQ(printer.Settings().PrintQuality(), 600);
    EXPECT_FALSE(printer.Settings().Duplex()); // the device has none
    EXPECT_EQ(printer.OrientedWidth(), 2000);
    EXPECT_EQ(printer.OrientedLength(), 1000);
    printer.SetOutputTarget(otPrinter);
    printer.BeginDoc();
    const DeviceMode &m = system.modesSet.last();
    EXPECT_EQ(m.dmPaperWidth, 1000);
    EXPECT_EQ(m.dmPaperLength, 2000);
    EXPECT_EQ(m.dmCopies, 2);
    EXPECT_EQ(m.dmDefaultSource, 2);
    EXPECT_EQ(m.dmOrientation, DeviceMode::DMORIENT_LANDSCAPE);
    printer.EndDoc();
}

TEST(QRPrinterNoPrinters, PageStoreStillWorks) {
    ScriptedSystem none;
    printers::ScopedFactory guard(none.factory());
    TQRPrinter printer;
    EXPECT_FALSE(printer.PrintersInstalled());
    EXPECT_EQ(printer.PaperSize(), TQRPaperSize::A4);
    produce(printer, 2);
    EXPECT_EQ(printer.PageList().StoredPages(), 2);
    EXPECT_EQ(printer.PrintStoredPages(), 0);
}
