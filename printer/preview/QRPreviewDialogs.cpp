#include "printer/preview/QRPreviewDialogs.h"

#include "printer/preview/QRSearchDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

std::optional<QString> TQRWidgetPreviewDialogs::InputQuery(const QString &caption, const QString &prompt,
                                                           const QString &value) {
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<TQRPreviewDialogs::SearchText> TQRWidgetPreviewDialogs::AskSearchText() {
    TSearchDlg dialog(m_parent);
    dialog.exec();
    if (dialog.Dismissed)
        return std::nullopt;
    return SearchText{dialog.Edit1->text(), dialog.CheckBox1->isChecked()};
}

QStringList TQRWidgetPreviewDialogs::NameFilters(const QString &filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        if (patterns.toLower() != patterns)
            patterns += QLatin1Char(' ') + patterns.toLower();
        QString description = parts[i];
        // Qt reads the patterns from the last brackets of a name filter.
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0)
            description = description.left(open).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return filters;
}

std::optional<TQRPreviewDialogs::SaveChoice>
TQRWidgetPreviewDialogs::SaveFileName(const QString &title, const QString &filter, const QString &fileName) {
    QFileDialog dialog(m_parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = NameFilters(filter);
    dialog.setNameFilters(filters);
    if (!fileName.contains(QLatin1Char('*')))
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return SaveChoice{dialog.selectedFiles().first(), int(filters.indexOf(dialog.selectedNameFilter())) + 1};
}

QString TQRWidgetPreviewDialogs::OpenFileName(const QString &title, const QString &filter) {
    return QFileDialog::getOpenFileName(m_parent, title, QString(), NameFilters(filter).join(QLatin1String(";;")));
}

void TQRWidgetPreviewDialogs::Message(const QString &text) {
    QMessageBox::information(m_parent, QApplication::applicationName(), text);
}
