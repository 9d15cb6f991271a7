// The editor open on a help set while `tavik` writes to it, as a user meets them.
#include "help/HelpEditor.h"
#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"
#include "tests/cli/CliRunner.h"
#include "tests/help/ScriptedDialogs.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

// `tavik insert --top` while the editor is open, then a top-level insert in the editor: two numbers, not one
// twice. `tavik edit --title`, then the editor changes only the topic's words: the new title stays.
TEST(TavikBesideTheEditor, NeitherDuplicatesNorRevertsWhatTheOtherStored) {
    TempFolder dir;
    ASSERT_EQ(tavik({QStringLiteral("init"), dir.path()}).status, 0);
    for (int i = 1; i <= 6; ++i)
        ASSERT_EQ(tavik({"insert", dir.path(), "--top", "--title", QStringLiteral("Téma %1").arg(i)}).status, 0);
    HelpTopicStore store;
    store.open(dir.path());
    ScriptedDialogs dialogs;
    HelpEditor editor(&store, &dialogs, dir.path());
    TTable *t = store.TableHelp;

    const CliRun inserted = tavik({"insert", dir.path(), "--top", "--title", "A tavik témája"});
    ASSERT_EQ(inserted.status, 0) << inserted.err.toStdString();
    EXPECT_EQ(inserted.out.trimmed(), QStringLiteral("7"));
    ASSERT_TRUE(editor.Insert());
    editor.MakeTopLevel();
    t->FieldByName(HelpData::TEMAKOR)->SetAsString(QStringLiteral("Az ablak témája"));
    ASSERT_TRUE(editor.Post());

    ASSERT_EQ(tavik({"edit", dir.path(), "2", "--title", "Téma 2 (új cím)"}).status, 0);
    ASSERT_TRUE(t->Locate(HelpData::KOD, 2));
    ASSERT_TRUE(editor.BeginEdit());
    t->FieldByName(HelpData::WORDS)->SetAsString(QStringLiteral("csak a szavak"));
    ASSERT_TRUE(editor.Post());
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join('\n').toStdString();

    QStringList lines;
    for (const QString &line : tavik({QStringLiteral("outline"), dir.path()}).lines())
        lines << line.section(QLatin1Char('\t'), 0, 0) + ' ' + line.section(QLatin1Char('\t'), 4, 4) + ' ' +
                     line.section(QLatin1Char('\t'), 7);
    EXPECT_EQ(lines, QStringList({"1 01. Téma 1", "2 02. Téma 2 (új cím)", "3 03. Téma 3", "4 04. Téma 4",
                                  "5 05. Téma 5", "6 06. Téma 6", "7 07. A tavik témája", "8 08. Az ablak témája"}));
    EXPECT_EQ(tavik({QStringLiteral("search"), dir.path(), QStringLiteral("csak a")}).lines(),
              QStringList({"Téma 2 (új cím)", "1 témakör összesen"}));
}
