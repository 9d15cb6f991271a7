#include "tests/app/AppFixture.h"

#include "store/HelpData.h"
#include "store/HelpTopicStore.h"
#include "store/Table.h"

#include <QDir>
#include <QFile>

void HelpFolderFixture::SetUp() {
    previousDir = QDir::currentPath();
    folder.mkdir(QStringLiteral("Help/HTML"));
    HelpData::createTable(folder.filePath(QStringLiteral("Help")));
    writePage(QStringLiteral("Blank.htm"), QStringLiteral("<p>blank page</p>"));
    QDir::setCurrent(folder.path());
}

void HelpFolderFixture::TearDown() { QDir::setCurrent(previousDir); }

void HelpFolderFixture::writePage(const QString &name, const QString &body) {
    QFile f(folder.filePath(QStringLiteral("Help/HTML/") + name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("<html><body>" + body + "</body></html>").toUtf8());
}

int HelpFolderFixture::addTopic(int parentKod, const QString &title, const QString &page) {
    HelpTopicStore store;
    store.open(folder.path());
    TTable *t = store.TableHelp;
    QString parent;
    int depth = 1;
    if (parentKod > 0) {
        EXPECT_TRUE(t->Locate(QStringLiteral("KOD"), parentKod));
        parent = t->FieldByName(QStringLiteral("ERTEK"))->AsString();
        depth = t->FieldByName(QStringLiteral("MELYSEG"))->AsInteger() + 1;
    }
    t->Insert();
    t->FieldByName(QStringLiteral("SZULO"))->SetAsString(parent);
    t->FieldByName(QStringLiteral("MELYSEG"))->SetAsInteger(depth);
    t->FieldByName(QStringLiteral("TEMAKOR"))->SetAsString(title);
    t->FieldByName(QStringLiteral("HELPHTML"))->SetAsString(page);
    const int kod = t->FieldByName(QStringLiteral("KOD"))->AsInteger();
    t->Post();
    store.RenumberOutline(false);
    return kod;
}
