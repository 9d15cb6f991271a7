#pragma once

#include "help/Dialogs.h"
#include "tests/support/TestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

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

/// A help folder to start the program in: the current folder is switched to it for the test's length.
class HelpFolderFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    /// Adds a topic under `parentKod` (0: top) through the store, as the editor would; returns its key.
    int addTopic(int parentKod, const QString &title, const QString &page = {});
    void writePage(const QString &name, const QString &body);

    TempFolder folder;
    QString previousDir;
};
