#pragma once

#include "report/engine/QRPrintable.h"
#include "report/engine/QRReport.h"
#include "report/engine/Streaming.h"
#include "tests/support/TestSupport.h"

#include <QList>
#include <QLocale>

/// A printable control of the tests: publishes what descendants publish and records the protocol calls.
class TTestBox : public TQRPrintable {
    Q_OBJECT
    Q_PROPERTY(qrengine::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(bool AlignToBand READ AlignToBand WRITE SetAlignToBand)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit TTestBox(QObject *owner = nullptr) : TQRPrintable(owner) {}
    const QString &Caption() const { return m_caption; }
    void SetCaption(const QString &caption) { m_caption = caption; }

    void Prepare() override {
        TQRPrintable::Prepare();
        calls << QStringLiteral("Prepare");
    }
    void Print(int x, int y) override {
        calls << QStringLiteral("Print %1 %2").arg(x).arg(y);
        TQRPrintable::Print(x, y);
    }
    void Unprepare() override {
        TQRPrintable::Unprepare();
        calls << QStringLiteral("Unprepare");
    }
    QStringList calls;

private:
    QString m_caption;
};

/// Registers TTestBox with the class factory (once).
void RegisterTestClasses();

/// Metric defaults (millimetres, A4) for new reports while it lives, whatever the machine's locale.
class MetricLocale {
public:
    MetricLocale() : m_saved(QLocale()) { QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary)); }
    ~MetricLocale() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

/// A definition root holding one report on A4 with 10 mm margins (the manual's page).
struct ReportFixture {
    ReportFixture();
    MetricLocale metric;
    TQRDefinition root;
    TDezirUzu *report;
    /// A band of the type, named like the report names bands.
    TQRBand *band(TQRBandType type, double heightMm = 10);
    /// A test box on a parent, in millimetres.
    TTestBox *box(TQRControl *parent, double left, double top, double width, double height);
};

/// Reads a definition text into a fresh root; the root is returned.
std::unique_ptr<TQRDefinition> readText(const QString &xml, const TQRForms *forms = nullptr,
                                        const QString &baseDir = {});
/// The definition of a root as text.
QString writeText(const QObject *root);
/// Names of the bands in print order, joined by spaces.
QString bandOrder(const TCustomDezirUzu &report);
