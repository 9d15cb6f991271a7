#include "tests/store/HelpFixture.h"

#include <sqlite3.h>

namespace {

// A column of a row as the file holds it, read by another program.
QString storedText(const QString &file, const char *column, int kod) {
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(
        db, QStringLiteral("SELECT %1 FROM HelpData WHERE KOD=?").arg(QLatin1String(column)).toUtf8().constData(), -1,
        &st, nullptr);
    sqlite3_bind_int(st, 1, kod);
    QString text = QStringLiteral("<none>");
    if (sqlite3_step(st) == SQLITE_ROW)
        text =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), sqlite3_column_bytes(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return text;
}

} // namespace

using TextWidth = HelpFixture;

// A text longer than its field is cut to the width, but never inside a character: half a surrogate pair would
// be stored as "?", a letter cut from its combining accent would be another letter.
TEST_F(TextWidth, ACutNeverSplitsACharacter) {
    const QString x49(49, QLatin1Char('x'));
    const struct {
        QString typed;
        QString kept;
    } cases[] = {
        {x49 + QStringLiteral("🙂"), x49}, // 51 units: the pair would be split
        {QString(48, QLatin1Char('x')) + QStringLiteral("🙂"),
         QString(48, QLatin1Char('x')) + QStringLiteral("🙂")},
        {x49 + QStringLiteral("e\u0301"), x49},                  // e and its accent, 51 units
        {x49 + QStringLiteral("ab"), x49 + QStringLiteral("a")}, // plain letters cut at the width
        {QStringLiteral("🙂").repeated(26), QStringLiteral("🙂").repeated(25)},
    };
    const int kod = addTopic(0, QStringLiteral("t"));
    for (const auto &c : cases) {
        ASSERT_TRUE(table()->Locate(HelpData::KOD, kod));
        table()->Edit();
        field("TEMAKOR")->SetAsString(c.typed);
        table()->Post();
        EXPECT_EQ(field("TEMAKOR")->AsString(), c.kept);
        EXPECT_EQ(storedText(helpDir + "/HelpData.db", "TEMAKOR", kod), c.kept);
    }
    // What another program stored too long is read cut the same way.
    execSql(helpDir + "/HelpData.db", QStringLiteral("UPDATE HelpData SET TEMAKOR = '%1' WHERE KOD = %2")
                                          .arg(x49 + QStringLiteral("🙂🙂"))
                                          .arg(kod)
                                          .toUtf8()
                                          .constData());
    store.close();
    store.open(folder.path());
    ASSERT_TRUE(table()->Locate(HelpData::KOD, kod));
    EXPECT_EQ(field("TEMAKOR")->AsString(), x49);
}
