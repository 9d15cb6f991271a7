#pragma once

#include "help/Dialogs.h"

class QWidget;

/// Dialogs answered by the user: message boxes and the file dialog, over a parent window.
class WidgetDialogs : public Dialogs {
public:
    explicit WidgetDialogs(QWidget *parent) : m_parent(parent) {}
    void message(const QString &caption, const QString &text) override;
    void plainMessage(const QString &text) override;
    bool confirm(const QString &caption, const QString &text) override;
    void error(const QString &text) override;
    QString chooseFile(const QString &folder, const QString &defaultExtension) override;

private:
    QWidget *m_parent;
};
