#include "EngineTestSupport.h"

#include "printer/drawing/Printer.h"
#include "printer/drawing/PrinterFactory.h"
#include "printer/drawing/QtPrinter.h"

#include <gtest/gtest.h>

namespace {
// The machine's own printers (a spooler queue with its own default paper, say) must not decide what a new
// report looks like in these tests: every test starts from the PDF printer that stands in where none is
// installed.
class NoInstalledPrinters : public ::testing::Environment {
public:
    void SetUp() override {
        printers::SetFactory([] { return QtPrinter::PdfFile(printers::StandInFile()); });
    }
};
::testing::Environment *const noInstalledPrinters = ::testing::AddGlobalTestEnvironment(new NoInstalledPrinters);
} // namespace

void RegisterTestClasses() {
    static const bool done = [] {
        RegisterEngineClasses();
        TQRClassFactory::Instance().Register<TTestBox>();
        return true;
    }();
    Q_UNUSED(done);
}

ReportFixture::ReportFixture() {
    RegisterTestClasses();
    report = new TDezirUzu(&root);
    report->setObjectName(QStringLiteral("Report1"));
    report->Page()->SetPaperSize(TQRPaperSize::A4);
}

TQRBand *ReportFixture::band(TQRBandType type, double heightMm) {
    TQRBand *b = report->CreateBand(type);
    b->Size()->SetHeight(heightMm);
    return b;
}

TTestBox *ReportFixture::box(TQRControl *parent, double left, double top, double width, double height) {
    auto *b = new TTestBox(&root);
    b->setObjectName(uniqueComponentName(&root, QStringLiteral("Box")));
    b->SetParentControl(parent);
    b->Size()->SetLeft(left);
    b->Size()->SetTop(top);
    b->Size()->SetWidth(width);
    b->Size()->SetHeight(height);
    return b;
}

std::unique_ptr<TQRDefinition> readText(const QString &xml, const TQRForms *forms, const QString &baseDir) {
    RegisterTestClasses();
    auto root = std::make_unique<TQRDefinition>();
    TQRReadOptions options;
    options.forms = forms;
    options.baseDir = baseDir;
    ReadDefinition(root.get(), xml.toUtf8(), options);
    return root;
}

QString writeText(const QObject *root) {
    return QString::fromUtf8(WriteDefinition(root));
}

QString bandOrder(const TCustomDezirUzu &report) {
    QStringList names;
    for (const TQRCustomBand *band : report.OrderedBands())
        names << band->objectName();
    return names.join(QLatin1Char(' '));
}
