#include "ControlTestSupport.h"

#include "printer/drawing/Printer.h"
#include "printer/drawing/QtPrinter.h"

#include <QPainter>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
// The machine's own printers must not decide what a new report looks like in these tests: every test starts
// from the PDF printer that stands in where none is installed.
class NoInstalledPrinters : public ::testing::Environment {
public:
    void SetUp() override {
        printers::SetFactory([] { return QtPrinter::PdfFile(printers::StandInFile()); });
    }
};
::testing::Environment *const noInstalledPrinters = ::testing::AddGlobalTestEnvironment(new NoInstalledPrinters);
} // namespace

ControlFixture::ControlFixture() {
    RegisterControlClasses();
    report = new TDezirUzu(&root);
    report->setObjectName(QStringLiteral("Report1"));
    report->Page()->SetPaperSize(TQRPaperSize::A4);
    report->SetShowProgress(false);
}

TQRBand *ControlFixture::band(TQRBandType type, double heightMm) {
    TQRBand *b = report->CreateBand(type);
    b->Size()->SetHeight(heightMm);
    return b;
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

void sql(const QString &file, const char *statements) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::unique_ptr<TQRDefinition> readDefinition(const QString &xml, const QString &baseDir) {
    RegisterControlClasses();
    auto root = std::make_unique<TQRDefinition>();
    TQRReadOptions options;
    options.baseDir = baseDir;
    ReadDefinition(root.get(), xml.toUtf8(), options);
    return root;
}
