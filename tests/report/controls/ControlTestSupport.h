#pragma once

#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "report/controls/ControlClasses.h"
#include "tests/report/engine/GenerationSupport.h"

#include <QList>
#include <QPointF>
#include <QStringList>

#include <memory>

/// A report on A4 with 10 mm margins, lengths in millimetres, whose definition may hold the controls.
struct ControlFixture : ReportFixture {
    ControlFixture();
    /// A new control of class T on `parent`, placed in millimetres.
    template <class T> T *add(TQRControl *parent, double left, double top, double width, double height) {
        auto *control = new T(&root);
        control->setObjectName(uniqueComponentName(&root, QString::fromLatin1(T::staticMetaObject.className()).mid(1)));
        control->SetParentControl(parent);
        control->Size()->SetLeft(left);
        control->Size()->SetTop(top);
        control->Size()->SetWidth(width);
        control->Size()->SetHeight(height);
        return control;
    }
};

/// One page printed by hand outside a run: a page-store printer with page 1 open, set as the report's
/// printer, and every printable of the report prepared. `finish` unprepares them and hands out the page.
class OnePage {
public:
    explicit OnePage(TCustomDezirUzu &report);
    ~OnePage();
    TQRPrinter &printer() { return m_printer; }
    std::unique_ptr<TMetafile> finish();

private:
    TCustomDezirUzu &m_report;
    TQRPrinter m_printer;
    bool m_finished = false;
};

/// A text run of a page: its text and its reference point (the baseline's left end) in the page's pixels.
struct PlacedText {
    QString text;
    QPointF at;
};
QList<PlacedText> placedTexts(const TMetafile &page);
/// The texts of a page in recording order.
QStringList pageTexts(const TMetafile &page);
/// The page drawn at its own resolution on white.
QImage pageImage(const TMetafile &page);
/// The types of a page's records in order, without its header and end.
QList<quint32> recordTypes(const TMetafile &page);

/// Runs a report into the page store; the texts of each page.
QList<QStringList> runPages(TCustomDezirUzu &report);
/// The pages of the report's last page-store run.
std::unique_ptr<TMetafile> fetchPage(TCustomDezirUzu &report, int page);

/// The first component of class T named `name`.
template <class T> T *find(const QObject &root, const char *name) {
    return qobject_cast<T *>(FindComponent(&root, QString::fromLatin1(name)));
}
