#include "printer/preview/QRPreviewScript.h"

#include "printer/QRPrinter.h"
#include "printer/preview/QRPrev.h"
#include "printer/preview/QRPreview.h"

#include <QApplication>
#include <QListWidget>

namespace {

// The window's questions answered by the command being run.
class ScriptDialogs : public TQRPreviewDialogs {
public:
    explicit ScriptDialogs(QStringList &output) : m_output(output) {}

    std::optional<QString> input;
    std::optional<SearchText> search;
    std::optional<SaveChoice> save;

    std::optional<QString> InputQuery(const QString &, const QString &, const QString &) override {
        return std::exchange(input, std::nullopt);
    }
    std::optional<SearchText> AskSearchText() override { return std::exchange(search, std::nullopt); }
    std::optional<SaveChoice> SaveFileName(const QString &, const QString &, const QString &) override {
        return std::exchange(save, std::nullopt);
    }
    QString OpenFileName(const QString &, const QString &) override { return {}; }
    void Message(const QString &text) override { m_output << QStringLiteral("message\t") + text; }

private:
    QStringList &m_output;
};

QString modeName(TQRZoomState mode) {
    switch (mode) {
    case qrZoomToFit:
        return QStringLiteral("fit");
    case qrZoomToWidth:
        return QStringLiteral("width");
    case qrZoom100:
        return QStringLiteral("100");
    default:
        return QStringLiteral("other");
    }
}

QString tabbed(const QStringList &fields) {
    return fields.join(QLatin1Char('\t'));
}

} // namespace

TQRPreviewScript::TQRPreviewScript(TQRStandardPreview &window) : m_window(window) {}

bool TQRPreviewScript::Run(const QString &commands, QStringList &output, QString &error) {
    auto owned = std::make_unique<ScriptDialogs>(output);
    ScriptDialogs &dialogs = *owned;
    m_window.SetDialogs(std::move(owned));
    TQRPreview &preview = *m_window.QRPreview;
    const auto zoomLine = [&] {
        output << tabbed({QStringLiteral("zoom"), QString::number(preview.Zoom()), modeName(preview.ZoomMode())});
    };
    const auto pageLine = [&] { output << tabbed({QStringLiteral("page"), QString::number(preview.PageNumber())}); };
    const auto resultsLine = [&] {
        QStringList fields{QStringLiteral("results")};
        for (int i = 0; i < m_window.SearchResultBox->count(); ++i)
            fields << m_window.SearchResultBox->item(i)->text();
        output << tabbed(fields);
    };

    for (const QString &raw : commands.split(QLatin1Char(';'))) {
        const QString command = raw.trimmed();
        if (command.isEmpty())
            continue;
        QApplication::processEvents();
        const qsizetype blank = command.indexOf(QLatin1Char(' '));
        const QString verb = command.left(blank < 0 ? command.size() : blank);
        const QString rest = blank < 0 ? QString() : command.mid(blank + 1).trimmed();
        if (verb == QLatin1String("fit")) {
            m_window.ZoomToFitClick();
            zoomLine();
        } else if (verb == QLatin1String("width")) {
            m_window.ZoomToWidthClick();
            zoomLine();
        } else if (verb == QLatin1String("zoom")) {
            bool number = false;
            const int zoom = rest.toInt(&number);
            if (!number) {
                error = QStringLiteral("zoom takes a number: %1").arg(command);
                return false;
            }
            preview.WriteZoom(zoom);
            zoomLine();
        } else if (verb == QLatin1String("first")) {
            m_window.FirstPageClick();
            pageLine();
        } else if (verb == QLatin1String("prev")) {
            m_window.PrevPageClick();
            pageLine();
        } else if (verb == QLatin1String("next")) {
            m_window.NextPageClick();
            pageLine();
        } else if (verb == QLatin1String("last")) {
            m_window.LastPageClick();
            pageLine();
        } else if (verb == QLatin1String("goto")) {
            dialogs.input = rest;
            m_window.GotoPageButtonClick();
            pageLine();
        } else if (verb == QLatin1String("find")) {
            QString text = rest;
            bool matchCase = false;
            if (text.endsWith(QLatin1String(" case"))) {
                text.chop(5);
                matchCase = true;
            }
            dialogs.search = TQRPreviewDialogs::SearchText{text, matchCase};
            m_window.FindButtonClick();
            resultsLine();
        } else if (verb == QLatin1String("save")) {
            if (rest.isEmpty()) {
                error = QStringLiteral("save takes a file name");
                return false;
            }
            const QString saved = m_window.SaveAs(rest, 1);
            if (!saved.isEmpty())
                output << tabbed({QStringLiteral("saved"), saved});
        } else if (verb == QLatin1String("status")) {
            zoomLine();
            const QSize image = preview.PageImage()->size();
            output << tabbed(
                {QStringLiteral("image"), QString::number(image.width()), QString::number(image.height())});
            pageLine();
            output << tabbed(
                {QStringLiteral("status"), m_window.StatusText(0), m_window.StatusText(1), m_window.StatusText(2)});
            output << tabbed({QStringLiteral("thumbnails"), QString::number(m_window.ThumbnailRows())});
            resultsLine();
        } else {
            error = QStringLiteral("unknown command: %1").arg(command);
            return false;
        }
    }
    return true;
}
