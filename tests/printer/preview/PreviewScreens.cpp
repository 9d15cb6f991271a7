// Pictures of the preview window, the print dialog and the progress window, for the README:
//   tavik_preview_screens OUTDIR
#include "printer/QRPrinter.h"
#include "printer/sample/SampleReport.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPreview.h"
#include "printer/preview/QRPreviewWindows.h"
#include "printer/preview/QRPrintDialog.h"
#include "printer/preview/QRProgressForm.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPrintDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

static bool save(QWidget *w, const QString &file) {
    QApplication::processEvents();
    const bool ok = w->grab().save(file);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "cannot write", qPrintable(file));
    return ok;
}

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TavikEditor"));
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    if (argc < 2) {
        std::fprintf(stderr, "usage: tavik_preview_screens OUTDIR\n");
        return 1;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    RegisterPreviewWindows();
    QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("manual.qrp"));
    samplereport::write(file, 12, true);
    bool ok = true;

    TQRPrinter printer;
    printer.LoadPages(file);
    printer.SetJobTitle(QStringLiteral("manual.qrp"));
    auto *window = new TQRStandardPreview(&printer);
    window->setWindowState(Qt::WindowNoState);
    window->resize(1100, 820);
    window->show();
    (void)QTest::qWaitForWindowExposed(window);
    window->activateWindow();
    window->ZoomToWidthClick();
    window->GoToPage(2);
    ok = save(window, out + QStringLiteral("/preview.png")) && ok;
    window->Search(QStringLiteral("page 3, line"), false);
    window->GoToPage(3);
    ok = save(window, out + QStringLiteral("/preview-search.png")) && ok;

    TQRPrintDialog dialog(printer.Device(), window);
    dialog.SetOptions(poPageNums | poWarning);
    dialog.SetMinPage(1);
    dialog.SetMaxPage(12);
    dialog.SetFromPage(1);
    dialog.SetToPage(12);
    TQRPrintDialog::SetRunner([&](QPrintDialog &d) {
        d.show();
        (void)QTest::qWaitForWindowExposed(&d);
        for (QPushButton *b : d.findChildren<QPushButton *>()) // the choices unfolded
            if (b->text().contains(QLatin1String("Options")))
                b->click();
        QApplication::processEvents();
        ok = save(&d, out + QStringLiteral("/print-dialog.png")) && ok;
        return int(QDialog::Rejected);
    });
    dialog.Execute();

    TQRProgressForm progress(printer);
    progress.show();
    (void)QTest::qWaitForWindowExposed(&progress);
    printer.SetProgressReceiver(&progress);
    printer.SetProgress(45);
    QApplication::processEvents();
    ok = save(&progress, out + QStringLiteral("/progress.png")) && ok;
    printer.SetProgressReceiver(nullptr);
    delete window;
    return ok ? 0 : 1;
}
