#include "ControlTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {
// Definitions read by any test may hold the controls.
class ControlClasses : public ::testing::Environment {
public:
    void SetUp() override { RegisterControlClasses(); }
};
::testing::Environment *const controlClasses = ::testing::AddGlobalTestEnvironment(new ControlClasses);
} // namespace

ControlFixture::ControlFixture() {
    RegisterControlClasses();
    report->SetShowProgress(false);
}

OnePage::OnePage(TCustomDezirUzu &report) : m_report(report), m_printer(&report) {
    m_printer.BeginDoc();
    m_printer.NewPage();
    report.ReportPrinter = &m_printer;
    for (TQRPrintable *p : report.AllPrintables())
        p->Prepare();
}

OnePage::~OnePage() {
    if (!m_finished)
        finish();
}

std::unique_ptr<TMetafile> OnePage::finish() {
    m_finished = true;
    for (TQRPrintable *p : m_report.AllPrintables())
        p->Unprepare();
    m_printer.EndDoc();
    m_report.ReportPrinter = nullptr;
    return m_printer.FetchPage(1);
}

QList<PlacedText> placedTexts(const TMetafile &page) {
    QList<PlacedText> out;
    for (const EmfPlayer::TextRun &run : page.Texts())
        out << PlacedText{run.text, run.position};
    return out;
}

QStringList pageTexts(const TMetafile &page) {
    QStringList out;
    for (const EmfPlayer::TextRun &run : page.Texts())
        out << run.text;
    return out;
}

QImage pageImage(const TMetafile &page) {
    QImage image(page.Width(), page.Height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    page.StretchDraw(painter, QRectF(0, 0, image.width(), image.height()));
    return image;
}

QList<quint32> recordTypes(const TMetafile &page) {
    QList<quint32> out;
    page.Enumerate([&out](const EmfRecord &record) {
        if (record.type != 1 && record.type != 14)
            out << record.type;
        return true;
    });
    return out;
}

QList<QStringList> runPages(TCustomDezirUzu &report) {
    report.GeneratePages();
    QList<QStringList> pages;
    TQRPrinter *printer = report.ReportPrinter;
    if (!printer)
        return pages;
    for (int n = 1; n <= printer->PagesProduced(); ++n)
        if (auto page = printer->FetchPage(n))
            pages << pageTexts(*page);
    return pages;
}

std::unique_ptr<TMetafile> fetchPage(TCustomDezirUzu &report, int page) {
    TQRPrinter *printer = report.ReportPrinter;
    return printer ? printer->FetchPage(page) : nullptr;
}
