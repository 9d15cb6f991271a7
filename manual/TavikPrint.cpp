#include "manual/TavikPrint.h"

#include "help/HelpPages.h"
#include "printer/QRError.h"
#include "printer/QRPrinter.h"
#include "report/controls/ControlClasses.h"
#include "report/controls/QRRichText.h"
#include "report/engine/QRBand.h"
#include "report/engine/Streaming.h"
#include "store/Table.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <memory>

/// Notified by the detail band's controller right after the band has found its room: where a topic begins.
/// Placed on the detail band at run time only (it is not part of the stored definition).
class TTopicMarker : public TQRPrintable {
    Q_OBJECT
public:
    explicit TTopicMarker(TFolvexTavik *manual, QObject *owner) : TQRPrintable(owner), m_manual(manual) {}

    void Prepare() override {
        TQRPrintable::Prepare();
        if (m_manual)
            m_manual->m_topics.clear();
        if (TCustomDezirUzu *report = ParentReport())
            report->RegisterNotifyExpression(this);
    }
    void Print(int, int) override {}
    void Notify(QObject *, int) override {
        TFolvexTavik *manual = m_manual;
        TDataSet *table = manual ? manual->DataSet() : nullptr;
        if (!table || !table->Active())
            return;
        TManualTopic topic;
        const auto text = [table](const char *name) {
            const TField *field = table->FindField(QString::fromLatin1(name));
            return field ? field->AsString() : QString();
        };
        topic.number = text("ERTEK");
        topic.title = text("TEMAKOR");
        topic.depth = text("MELYSEG").toInt();
        topic.page = manual->PageNumber;
        manual->m_topics << topic;
        // The preview lists the topics beside the pages.
        if (TQRPrinter *printer = manual->ReportPrinter) {
            TQROutlineEntry entry;
            entry.Title = (topic.number + QLatin1Char(' ') + topic.title).left(TQROutlineEntry::MaxTitle);
            entry.Level = std::clamp(topic.depth, 1, TQROutlineEntry::MaxLevel);
            entry.Page = topic.page;
            entry.Key = int(manual->m_topics.size());
            printer->PageList().Outline().AddEntry(entry);
        }
    }

private:
    QPointer<TFolvexTavik> m_manual;
};

TFolvexTavik::TFolvexTavik(QObject *owner) : TDezirUzu(owner) {}

QByteArray TFolvexTavik::StoredDefinition() {
    QFile file(QStringLiteral(":/manual/FolvexTavik.qrx"));
    if (!file.open(QIODevice::ReadOnly))
        throw EQRError(QStringLiteral("The manual's definition is missing from the program"));
    return file.readAll();
}

TFolvexTavik *TFolvexTavik::Load(QObject *owner, const TQRForms &forms, const QString &startDir) {
    RegisterControlClasses();
    TQRClassFactory::Instance().Register<TFolvexTavik>();
    TQRReadOptions options;
    options.forms = &forms;
    options.openDataSets = false;
    const QList<QObject *> made = ReadDefinition(owner, StoredDefinition(), options);
    TFolvexTavik *manual = nullptr;
    for (QObject *component : made)
        if ((manual = qobject_cast<TFolvexTavik *>(component)))
            break;
    if (!manual)
        throw EQRError(QStringLiteral("The manual's definition holds no manual"));
    if (TQRDBRichText *text = manual->QRDBRichText1())
        text->SetImageFolder(helppages::pageFolder(startDir));
    if (auto *detail = qobject_cast<TQRCustomBand *>(FindComponent(owner, QStringLiteral("QRBand2")))) {
        auto *marker = new TTopicMarker(manual, owner);
        marker->setObjectName(QStringLiteral("TopicMarker"));
        marker->SetParentControl(detail);
    }
    return manual;
}

TQRDBRichText *TFolvexTavik::QRDBRichText1() const {
    return qobject_cast<TQRDBRichText *>(FindComponent(parent(), QStringLiteral("QRDBRichText1")));
}

QList<pdf::OutlineItem> TopicOutline(const QList<TManualTopic> &topics) {
    QList<pdf::OutlineItem> top;
    // The lists the next topic may go into, by depth: a topic deeper than the one before it by more than a
    // level goes one level below it.
    std::vector<QList<pdf::OutlineItem> *> path{&top};
    for (const TManualTopic &topic : topics) {
        const size_t depth = size_t(std::clamp(topic.depth, 1, int(path.size())));
        path.resize(depth);
        QList<pdf::OutlineItem> &list = *path.back();
        pdf::OutlineItem item;
        item.title = topic.number.isEmpty() ? topic.title : topic.number + QLatin1Char(' ') + topic.title;
        item.page = std::max(1, topic.page);
        list << item;
        path.push_back(&list.last().children);
    }
    return top;
}

QString PageText(const QByteArray &bytes) {
    static const QRegularExpression charset(QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = charset.match(QString::fromLatin1(bytes.left(2048)));
    if (match.hasMatch()) {
        QStringDecoder decoder(match.captured(1).toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

void AddHelpField(TTable &table, const QString &startDir) {
    QList<TFieldDef> defs = table.FieldDefs();
    for (const TFieldDef &def : std::as_const(defs))
        if (def.Name.compare(QLatin1String("HELP"), Qt::CaseInsensitive) == 0)
            return;
    TFieldDef help;
    help.Name = QStringLiteral("HELP");
    help.DataType = ftMemo;
    help.Calculated = true;
    help.Visible = false;
    defs << help;
    table.SetFieldDefs(defs);
    // A page is read once for all the reads of its topic (a band that continues over pages reads it again).
    struct Cache {
        QString path;
        QDateTime modified;
        qint64 size = -1;
        QString text;
    };
    auto cache = std::make_shared<Cache>();
    table.OnCalcFields = [startDir, cache](TDataSet *dataSet) {
        const TField *page = dataSet->FindField(QStringLiteral("HELPHTML"));
        TField *field = dataSet->FindField(QStringLiteral("HELP"));
        if (!field)
            return;
        const QString path =
            page ? helppages::pageToShow(startDir, page->AsString(), page->IsNull()) : helppages::blankPage(startDir);
        if (path.isEmpty()) {
            field->Clear();
            return;
        }
        const QFileInfo info(path);
        if (path != cache->path || info.lastModified() != cache->modified || info.size() != cache->size) {
            QFile file(path);
            cache->text = file.open(QIODevice::ReadOnly) ? PageText(file.readAll()) : QString();
            cache->path = path;
            cache->modified = info.lastModified();
            cache->size = info.size();
        }
        field->SetAsString(cache->text);
    };
}

#include "TavikPrint.moc"
