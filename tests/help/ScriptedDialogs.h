#pragma once

#include "help/Dialogs.h"

#include <QList>
#include <QStringList>

/// Answers the program's boxes from a script and remembers what was shown.
class ScriptedDialogs : public Dialogs {
public:
    void message(const QString &caption, const QString &text) override { shown << "message|" + caption + "|" + text; }
    void plainMessage(const QString &text) override { shown << "plain|" + text; }
    bool confirm(const QString &caption, const QString &text) override {
        shown << "confirm|" + caption + "|" + text;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void error(const QString &text) override { shown << "error|" + text; }
    QString chooseFile(const QString &folder, const QString &ext) override {
        shown << "file|" + folder + "|" + ext;
        return fileAnswer;
    }
    QStringList shown;
    QList<bool> answers;
    QString fileAnswer;
};
