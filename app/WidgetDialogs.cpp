#include "app/WidgetDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

void WidgetDialogs::message(const QString &caption, const QString &text) {
    QMessageBox::warning(m_parent, caption, text, QMessageBox::Ok);
}

void WidgetDialogs::plainMessage(const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool WidgetDialogs::confirm(const QString &caption, const QString &text) {
    return QMessageBox::question(m_parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void WidgetDialogs::error(const QString &text) {
    QMessageBox::critical(m_parent, QApplication::applicationName(), text, QMessageBox::Ok);
}

QString WidgetDialogs::chooseFile(const QString &folder, const QString &defaultExtension) {
    QFileDialog dialog(m_parent, QString(), folder);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The extension is what a name typed without one gets; every file is listed.
    dialog.setDefaultSuffix(QString(defaultExtension).section(QLatin1Char(';'), 0, 0).remove(QLatin1String("*.")).trimmed());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
