// Reads arbitrary bytes as a report definition. A definition that loads must write back, read again and
// write the same bytes; then the loaded reports are turned, zoomed and re-unitted, and their bands given
// and relieved of child bands. Seeds: fuzz/seeds/definition (definitions as the writer writes them, and
// hand-written ones with faults).
#include "report/controls/ControlClasses.h"
#include "report/engine/QRPrintable.h"
#include "report/engine/QRReport.h"
#include "report/engine/Streaming.h"
#include "store/Table.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A printable control as the controls library makes them.
class TFuzzBox : public TQRPrintable {
    Q_OBJECT
    Q_PROPERTY(qrengine::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(bool AlignToBand READ AlignToBand WRITE SetAlignToBand)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
public:
    explicit TFuzzBox(QObject *owner = nullptr) : TQRPrintable(owner) {}
};

TQRForms &forms() {
    static TQRDefinition viewer;
    static TQRForms registry;
    static const bool made = [] {
        viewer.setObjectName(QStringLiteral("FormTavik"));
        (new TTable(&viewer))->setObjectName(QStringLiteral("TableTV"));
        registry.Add(&viewer);
        return true;
    }();
    Q_UNUSED(made);
    return registry;
}

QByteArray load(TQRDefinition &root, const QByteArray &bytes) {
    TQRReadOptions options;
    options.baseDir = QStringLiteral("/nonexistent");
    options.forms = &forms();
    options.openDataSets = false;
    ReadDefinition(&root, bytes, options);
    return WriteDefinition(&root);
}

[[noreturn]] void finding(const char *what, const QByteArray &detail) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.constData());
    std::abort();
}

void exercise(TQRDefinition &root) {
    const QObjectList components = root.children();
    for (QObject *component : components) {
        auto *report = qobject_cast<TCustomDezirUzu *>(component);
        if (!report)
            continue;
        report->SetZoom(37);
        report->SetUnits(TQRUnit::Characters);
        report->Page()->SetOrientation(poLandscape);
        report->Page()->SetColumns(report->Page()->Columns() + 1);
        report->SetUnits(TQRUnit::Pixels);
        for (TQRCustomBand *band : QList<TQRCustomBand *>(report->OrderedBands())) {
            band->Size()->SetHeight(band->Size()->Height() + 1);
            band->HeightWithLinks();
            band->EffectiveType();
        }
        const QList<TQRCustomBand *> bands = report->OrderedBands();
        for (TQRCustomBand *band : bands)
            if (!band->HasChild()) {
                band->SetHasChild(true);
                band->SetHasChild(false);
            }
        report->OrderBands();
        report->ArrangeBands();
        for (TQRPrintable *printable : report->AllPrintables())
            printable->ApplyAlignment();
    }
}

} // namespace

// Qt's font database keeps fontconfig patterns of every face it resolved until the process ends.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    RegisterControlClasses();
    TQRClassFactory::Instance().Register<TFuzzBox>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    TQRDefinition root;
    QByteArray written;
    try {
        written = load(root, bytes);
    } catch (const EQRError &) {
        if (!root.children().isEmpty())
            finding("a refused definition left components behind", bytes);
        return 0;
    }
    TQRDefinition again;
    QByteArray rewritten;
    try {
        rewritten = load(again, written);
    } catch (const EQRError &e) {
        finding("a written definition does not read back", e.message().toUtf8() + "\n" + written);
    }
    if (rewritten != written)
        finding("a written definition reads back to other bytes", written + "\n----\n" + rewritten);
    try {
        exercise(root);
        WriteDefinition(&root);
    } catch (const EQRError &) {
    }
    return 0;
}

#include "fuzz_definition.moc"
