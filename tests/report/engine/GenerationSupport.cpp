#include "GenerationSupport.h"

#include "printer/QRPrinter.h"
#include "report/engine/QRBand.h"

#include <QDir>
#include <QPainter>

#include <sqlite3.h>

#include <stdexcept>

// ---- TTestContent ----

void TTestContent::Prepare() {
    TQRPrintable::Prepare();
    if (m_countRecords && ParentReport())
        ParentReport()->RegisterNotifyExpression(this);
}

void TTestContent::Print(int offsetX, int offsetY) {
    TQRPrintable::Print(offsetX, offsetY);
    auto *band = qobject_cast<TQRCustomBand *>(ParentControl());
    if (!band || m_lines <= 0)
        return;
    if (ContentDone())
        m_next = 0;
    const double top = offsetY + Size()->NativeValue(2);
    double bottom = top + Size()->NativeValue(0);
    double stretch = 0;
    bool stretched = false;
    double y = top + m_lineHeight * 0;
    while (m_next < m_lines) {
        if (y + m_lineHeight > bottom) {
            if (!m_autoStretch || !band->CanExpand(m_lineHeight))
                break;
            band->ExpandBand(m_lineHeight, stretch, stretched);
            bottom = top + Size()->NativeValue(0) + stretch;
            continue;
        }
        printed << QStringLiteral("%1:%2").arg(ParentReport()->PageNumber).arg(m_next);
        ++m_next;
        y += m_lineHeight;
    }
    SetContentDone(!m_autoStretch || m_next >= m_lines);
}

void TTestContent::Notify(QObject *sender, int code) {
    TQRPrintable::Notify(sender, code);
    if (code == 0)
        ++records;
}

std::optional<QPen> TTestContent::StretchedLinePen() const {
    if (!m_bandLine || Tag() != 1000)
        return std::nullopt;
    return QPen(Qt::black, 3);
}

void TTestContent::ExportStretchedLine(TQRExportFilter &, double, double, int) {
    ++linesExported;
}

void TTestContent::StretchDrawPicture(QPainter &canvas, const QRect &rect) {
    canvas.fillRect(rect, m_picture);
}

// ---- RecordingFilter ----

void RecordingFilter::Start(int paperWidth, int paperLength, const QFont &) {
    Started = true;
    calls << QStringLiteral("Start %1 %2").arg(paperWidth).arg(paperLength);
}

void RecordingFilter::PutGraphic(TQRPrintable *control, double x, double y) {
    calls << QStringLiteral("PutGraphic %1 %2 %3").arg(control ? control->objectName() : QString()).arg(x).arg(y);
}

void RecordingFilter::BandDone(TQRCustomBand *band, double x, double y, double expandedHeight) {
    calls << QStringLiteral("%1 %2 %3 %4").arg(band->objectName()).arg(x).arg(y).arg(expandedHeight);
}

QStringList RecordingFilter::pages() const {
    QStringList result;
    QStringList page;
    bool open = false;
    for (const QString &call : calls) {
        if (call == QLatin1String("NewPage")) {
            open = true;
            page.clear();
        } else if (call == QLatin1String("EndPage")) {
            if (open)
                result << page.join(QLatin1Char(' '));
            open = false;
        } else if (open && !call.startsWith(QLatin1String("PutGraphic")) && call.count(QLatin1Char(' ')) == 3) {
            const QStringList parts = call.split(QLatin1Char(' '));
            QString entry = parts[0] + QLatin1Char('@');
            if (parts[1] != QLatin1String("100"))
                entry += parts[1] + QLatin1Char(',');
            entry += parts[2];
            if (parts[3] != QLatin1String("0"))
                entry += QLatin1Char('+') + parts[3];
            page << entry;
        }
    }
    return result;
}

// ---- definitions ----

QString prop(const QString &name, const QString &value) {
    return QStringLiteral("<property name=\"%1\">%2</property>").arg(name, value);
}

QString reportXml(const QString &inside, const QString &props, const QString &outside) {
    // The paper is named, so that no test depends on the default paper of the machine's printers.
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<definition>%1"
                          "<component class=\"TDezirUzu\" name=\"R\">%2%3%4%5%6</component></definition>")
        .arg(outside, prop(QStringLiteral("Units"), QStringLiteral("MM")),
             prop(QStringLiteral("Page.PaperSize"), QStringLiteral("A4")),
             prop(QStringLiteral("Page.Values"), QStringLiteral("100 2970 100 2100 100 100 0")), props, inside);
}

QString bandXml(const QString &name, const QString &type, double heightMm, const QString &props, const QString &cls) {
    QString xml = QStringLiteral("<component class=\"%1\" name=\"%2\">").arg(cls, name);
    if (!type.isEmpty())
        xml += prop(QStringLiteral("BandType"), type);
    xml += prop(QStringLiteral("Size.Values"), QStringLiteral("%1 1900").arg(heightMm * 10));
    return xml + props + QStringLiteral("</component>");
}

QString queryXml(const QString &name, const QString &sql, const QString &props) {
    return QStringLiteral("<component class=\"TQuery\" name=\"%1\">%2%3%4%5</component>")
        .arg(name, prop(QStringLiteral("DatabaseName"), QStringLiteral("data")),
             prop(QStringLiteral("SQL"), QStringLiteral("<item>%1</item>").arg(sql.toHtmlEscaped())), props,
             prop(QStringLiteral("Active"), QStringLiteral("True")));
}

void makeTable(const QString &folder, const QString &table, const QString &columns, const QList<QVariantList> &rows) {
    sqlite3 *db = nullptr;
    const QByteArray file = QDir(folder).filePath(table + QStringLiteral(".db")).toUtf8();
    if (sqlite3_open(file.constData(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot make a table file");
    const auto exec = [db](const QString &sql) {
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    };
    exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns));
    for (const QVariantList &row : rows) {
        QStringList values;
        for (const QVariant &v : row)
            values << (v.typeId() == QMetaType::QString ? QStringLiteral("'%1'").arg(v.toString()) : v.toString());
        exec(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table, values.join(QLatin1Char(','))));
    }
    sqlite3_close(db);
}

// ---- LoadedReport ----

LoadedReport::LoadedReport(const QString &xml, const std::function<void(const QString &)> &data) {
    static const bool registered = [] {
        RegisterTestClasses();
        TQRClassFactory::Instance().Register<TTestContent>();
        return true;
    }();
    Q_UNUSED(registered);
    const QString dataFolder = folder.mkdir(QStringLiteral("data"));
    if (data)
        data(dataFolder);
    root = readText(xml, nullptr, folder.path());
    report = find<TDezirUzu>(QStringLiteral("R"));
    report->SetShowProgress(false);
}

QStringList LoadedReport::trace() {
    filter.calls.clear();
    filter.Started = false;
    report->Export(&filter);
    return filter.pages();
}
