#pragma once

#include "printer/QRPrinter.h"
#include "printer/drawing/Metafile.h"
#include "report/controls/ControlClasses.h"
#include "report/engine/QRReport.h"
#include "report/engine/Streaming.h"

#include <QList>
#include <QLocale>
#include <QPointF>
#include <QStringList>

#include <memory>

/// Metric defaults (millimetres, A4) for new reports while it lives, whatever the machine's locale.
class MetricLocale {
public:
    MetricLocale() : m_saved(QLocale()) { QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary)); }
    ~MetricLocale() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

/// A definition root holding one report on A4 with 10 mm margins, lengths in millimetres.
struct ControlFixture {
    ControlFixture();
    MetricLocale metric;
    TQRDefinition root;
    TDezirUzu *report;
    TQRBand *band(TQRBandType type, double heightMm = 10);
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

/// Runs SQL statements on a database file (made when missing).
void sql(const QString &file, const char *statements);
/// Reads a definition text (relative names from `baseDir`) into a fresh root.
std::unique_ptr<TQRDefinition> readDefinition(const QString &xml, const QString &baseDir = {});
/// The first component of class T named `name`.
template <class T> T *find(const QObject &root, const char *name) {
    return qobject_cast<T *>(FindComponent(&root, QString::fromLatin1(name)));
}

inline void PrintTo(const QString &s, std::ostream *os) {
    *os << '"' << s.toStdString() << '"';
}
