#pragma once

#include "printer/PdfOutline.h"
#include "report/engine/QRReport.h"

#include <QByteArray>
#include <QList>
#include <QString>

class TQRCompositeReport;
class TQRDBRichText;
class TQRForms;
class TTable;

/// One topic of a printed manual: its outline number and title, its depth, and the page its text begins on.
struct TManualTopic {
    QString number;
    QString title;
    int depth = 1;
    int page = 0;
};

/// The user manual of the help: a title band and, for every topic of the viewer's table in outline order, a
/// detail band whose rich text prints the topic's page (the table's HELP field). Read from its stored
/// definition, never shown; a composite job of the viewer prints it.
class TFolvexTavik : public TDezirUzu {
    Q_OBJECT
public:
    explicit TFolvexTavik(QObject *owner = nullptr);

    /// The stored definition, as kept among the program's resources.
    static QByteArray StoredDefinition();
    /// Reads the stored manual into `owner`, which then owns the report and its bands. `FormTavik.TableTV` is
    /// found through `forms`; pictures of the pages come only from the page folder of `startDir`. EQRError when
    /// the viewer's table cannot be found.
    static TFolvexTavik *Load(QObject *owner, const TQRForms &forms, const QString &startDir);

    TQRDBRichText *QRDBRichText1() const;
    /// The topics of the last run, in the order they printed.
    const QList<TManualTopic> &Topics() const { return m_topics; }

private:
    friend class TTopicMarker;
    QList<TManualTopic> m_topics;
};

/// Gives the viewer's table its HELP field: a calculated memo holding the current topic's page from
/// `<startDir>/Help/HTML` (the blank page's content for a topic without one; nothing when neither exists).
/// Call before the table opens.
void AddHelpField(TTable &table, const QString &startDir);

/// The topics as a PDF outline: each under the topic before it that is one level less deep, titled by number and
/// title.
QList<pdf::OutlineItem> TopicOutline(const QList<TManualTopic> &topics);

/// The text of a page file as a page shows it: in the character set it declares, UTF-8 when it declares none.
QString PageText(const QByteArray &bytes);
