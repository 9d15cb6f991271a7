#pragma once

#include "tests/help/ScriptedDialogs.h"
#include "tests/support/TestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

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
