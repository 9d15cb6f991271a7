#include "EngineTestSupport.h"

ReportFixture::ReportFixture() {
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

QString bandOrder(const TCustomDezirUzu &report) {
    QStringList names;
    for (const TQRCustomBand *band : report.OrderedBands())
        names << band->objectName();
    return names.join(QLatin1Char(' '));
}
