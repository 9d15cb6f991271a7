#include "help/HelpEditor.h"
#include "store/HelpData.h"

#include "help/Dialogs.h"
#include "help/HelpPages.h"
#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/HelpTopicStore.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QDir>

const QString HelpEditor::EditingCaption = QStringLiteral("Figyelmeztetés a felhasználónak!");
const QString HelpEditor::EditingText = QStringLiteral("Az adatok még szerkesztés alatt vanak. Először rögzítsük!");
const QString HelpEditor::ChildrenText =
    QStringLiteral("A szülőponthoz tartoznak gyermek pontok, így az nem törölhető!");
const QString HelpEditor::DeleteCaption = QStringLiteral("Figyelmeztetés a felhasználónak");
const QString HelpEditor::DeleteText = QStringLiteral("Végrehajtható a törlés?");
const QString HelpEditor::TooDeepText =
    QStringLiteral("Ide nem szúrható be új témakör: a sorszáma nem férne el a 20 karakteres mezőben.");
const QString HelpEditor::PageExtension = QStringLiteral("*.htm; *.html");

namespace {
const int kNumberWidth = 20;
}

HelpEditor::HelpEditor(HelpTopicStore *store, Dialogs *dialogs, const QString &startDir, QObject *parent)
    : QObject(parent), m_store(store), m_dialogs(dialogs), m_startDir(startDir) {}

bool HelpEditor::pending() const {
    const TDataSetState s = m_store->TableHelp->State();
    return s == dsEdit || s == dsInsert;
}

void HelpEditor::SetPanelMelyseg(const QString &text) {
    if (m_depth == text)
        return;
    m_depth = text;
    emit depthChanged(text);
}

void HelpEditor::ShowCurrentDepth() {
    const TTable *t = m_store->TableHelp;
    SetPanelMelyseg(QString::number(t->Active() ? t->FieldByName(HelpData::MELYSEG)->AsInteger() : 0));
}

int HelpEditor::childCount(const QString &parentNumber) {
    TQuery *k = m_store->KeresQuery;
    k->Close();
    k->Params(0).SetAsString(parentNumber);
    k->Open();
    const int n = k->RecordCount();
    k->Close();
    return n;
}

bool HelpEditor::Insert() {
    TTable *t = m_store->TableHelp;
    if (pending()) {
        m_dialogs->message(EditingCaption, EditingText);
        return false;
    }
    const QString parent = t->FieldByName(HelpData::ERTEK)->AsString();
    const int p = t->FieldByName(HelpData::MELYSEG)->AsInteger();
    const int depth = p < 10 ? p + 1 : p;
    // The renumber pass will make the new topic its parent's last child; refuse before anything changes when
    // that number would not fit the number field.
    if (!parent.isEmpty()) {
        const QString number = parent + QLatin1Char('.') + QString::number(childCount(parent) + 1);
        if (number.size() > kNumberWidth) {
            m_dialogs->plainMessage(TooDeepText);
            return false;
        }
    }
    t->Insert();
    t->FieldByName(HelpData::MELYSEG)->SetAsInteger(depth);
    SetPanelMelyseg(QString::number(depth));
    RefreshParentCandidates();
    t->FieldByName(HelpData::SZULO)->SetAsString(parent);
    if (FocusTitle)
        FocusTitle();
    return true;
}

void HelpEditor::Post() {
    if (pending())
        m_store->TableHelp->Post();
    m_store->RenumberOutline(false);
    if (FocusGrid)
        FocusGrid();
}

void HelpEditor::Cancel() {
    m_store->TableHelp->Cancel();
}

void HelpEditor::StorePending() {
    if (!pending())
        return;
    m_store->TableHelp->CheckBrowseMode();
    m_store->RenumberOutline(false);
}

void HelpEditor::MakeTopLevel() {
    if (m_store->TableHelp->State() != dsInsert)
        return;
    SetPanelMelyseg(QStringLiteral("1"));
    RefreshParentCandidates();
}

void HelpEditor::RefreshParentCandidates() {
    const int d = m_depth.toInt();
    if (d > 1) {
        TQuery *q = m_store->SzulopontQuery;
        q->Close();
        q->Params(0).SetAsInteger(d - 1);
        q->Params(1).SetAsString(QString());
        q->Open();
    } else if (d == 1 && m_store->TableHelp->State() == dsInsert) {
        m_store->TableHelp->FieldByName(HelpData::SZULO)->SetAsString(QString());
    }
}

bool HelpEditor::Delete() {
    TTable *t = m_store->TableHelp;
    if (pending()) {
        m_dialogs->message(EditingCaption, EditingText);
        return false;
    }
    // Without a successful check for children nothing is deleted: the query's error ends the command.
    if (childCount(t->FieldByName(HelpData::ERTEK)->AsString()) > 0) {
        m_dialogs->plainMessage(ChildrenText);
        return false;
    }
    if (!m_dialogs->confirm(DeleteCaption, DeleteText))
        return false;
    t->Delete();
    m_store->RenumberOutline(true);
    return true;
}

void HelpEditor::ChoosePage() {
    const QString path =
        m_dialogs->chooseFile(resolvePathIgnoringCase(m_startDir, QStringLiteral("Help")), PageExtension);
    if (path.isEmpty())
        return;
    SetPage(path);
}

void HelpEditor::SetPage(const QString &chosenPath) {
    TTable *t = m_store->TableHelp;
    const QString name = helppages::pageName(chosenPath);
    if (t->State() == dsBrowse)
        t->Edit();
    t->FieldByName(HelpData::HELPHTML)->SetAsString(name);
    emit navigate(helppages::pageToShow(m_startDir, name, name.isEmpty()));
}

QString HelpEditor::CurrentPage() const {
    const TTable *t = m_store->TableHelp;
    if (!t->Active())
        return helppages::blankPage(m_startDir);
    const TField *page = t->FieldByName(HelpData::HELPHTML);
    return helppages::pageToShow(m_startDir, page->AsString(), page->IsNull());
}

void HelpEditor::CellClicked() {
    Cancel();
    ShowCurrentDepth();
    emit navigate(CurrentPage());
}
