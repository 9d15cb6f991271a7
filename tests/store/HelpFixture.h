#pragma once

#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Query.h"
#include "store/Table.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QStringList>

#include <gtest/gtest.h>

/// The message of the data-layer error the call raises ("" when it raises none).
template <typename F> QString errorOf(F &&call) {
    try {
        call();
    } catch (const EDatabaseError &e) {
        return e.message();
    }
    return {};
}

/// A help folder with an empty topic table, opened as the editor opens it.
class HelpFixture : public ::testing::Test {
protected:
    void SetUp() override {
        helpDir = folder.mkdir(QStringLiteral("Help"));
        HelpData::createTable(helpDir);
        store.open(folder.path());
    }

    TTable *table() { return store.TableHelp; }
    TField *field(const char *name) { return store.TableHelp->FieldByName(QString::fromLatin1(name)); }

    /// What the editor does for a new topic: insert under the current row (or at the top), give it a title,
    /// post, renumber. Returns the new KOD.
    int addTopic(int parentKod, const QString &title) {
        TTable *t = table();
        QString parent;
        int depth = 1;
        if (parentKod > 0) {
            EXPECT_TRUE(t->Locate(QStringLiteral("KOD"), parentKod));
            parent = field("ERTEK")->AsString();
            depth = field("MELYSEG")->AsInteger() + 1;
        }
        t->Insert();
        field("MELYSEG")->SetAsInteger(depth);
        field("SZULO")->SetAsString(parent);
        field("TEMAKOR")->SetAsString(title);
        const int kod = field("KOD")->AsInteger();
        t->Post();
        store.RenumberOutline(false);
        return kod;
    }

    /// Deletes a topic as the editor does after the user said yes, with the re-parenting pass.
    void deleteTopic(int kod) {
        ASSERT_TRUE(table()->Locate(QStringLiteral("KOD"), kod));
        table()->Delete();
        store.RenumberOutline(true);
    }

    /// "ERTEK:title" of every row in display order.
    QStringList numbers() {
        QStringList out;
        TTable *t = table();
        const qint64 keep = t->Bookmark();
        for (t->First(); !t->Eof(); t->Next())
            out << field("ERTEK")->AsString() + QLatin1Char(':') + field("TEMAKOR")->AsString();
        t->GotoBookmark(keep);
        return out;
    }

    /// Every column of every row, read straight from the file by a separate connection.
    QStringList fileRows() {
        TQuery q;
        q.SetDatabaseName(helpDir);
        q.SetSQL({QStringLiteral("SELECT * FROM HelpData ORDER BY KOD")});
        q.Open();
        QStringList out;
        for (q.First(); !q.Eof(); q.Next()) {
            QStringList cols;
            for (TField *f : q.Fields())
                cols << (f->IsNull() ? QStringLiteral("<null>") : f->AsString());
            out << cols.join(QLatin1Char('|'));
        }
        return out;
    }

    TempFolder folder;
    QString helpDir;
    HelpTopicStore store;
};
