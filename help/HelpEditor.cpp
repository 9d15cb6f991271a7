#include "help/HelpEditor.h"

#include "help/Dialogs.h"
#include "help/HelpPages.h"
#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/HelpData.h"
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
const QString HelpEditor::ReadOnlyText =
    QStringLiteral("Ez a súgó csak olvasható: a mappája vagy az adatállománya nem írható, ezért nem módosítható.");
const QString HelpEditor::ConflictText =
    QStringLiteral("A témakört közben egy másik program is módosította, ezért a változtatás nem került rögzítésre.\n"
                   "%1\n"
                   "A mező most a tárolt értéket mutatja, a többi változtatás megmaradt; az F2 rögzíti.");
const QString HelpEditor::ParentGoneText =
    QStringLiteral("Az új témakör szülőpontját közben egy másik program törölte. Állítsa be fő pontnak, "
                   "vagy vesse el az új témakört!");
const QString HelpEditor::GoneText = QStringLiteral("A témakört közben egy másik program törölte.");
const QString HelpEditor::DropPendingText = QStringLiteral(
    "A szerkesztés alatt álló adatok nem rögzíthetők:\n%1\n\nKilép a program a változtatások elvetésével?");
const QString HelpEditor::PageExtension = QStringLiteral("*.htm; *.html");

namespace {

const int kNumberWidth = 20;

// A command refused on what it found inside its transaction: nothing was changed.
struct Refusal {
    QString text;
};

// The field as the editor's labels name it.
QString fieldCaption(const QString &name) {
    if (name == HelpData::TEMAKOR)
        return QStringLiteral("Témakör");
    if (name == HelpData::WORDS)
        return QStringLiteral("Szavak kereséshez");
    if (name == HelpData::HELPCONTEXT)
        return QStringLiteral("Help Context");
    if (name == HelpData::HELPHTML)
        return QStringLiteral("HTML File név");
    return name;
}

} // namespace

HelpEditor::HelpEditor(HelpTopicStore *store, Dialogs *dialogs, const QString &startDir, QObject *parent)
    : QObject(parent), m_store(store), m_dialogs(dialogs), m_startDir(startDir) {}

bool HelpEditor::pending() const {
    const TDataSetState s = m_store->TableHelp->State();
    return s == dsEdit || s == dsInsert;
}

void HelpEditor::ensureOpen() {
    if (!m_store->TableHelp->Active())
        m_store->open(m_startDir);
}

bool HelpEditor::refuseReadOnly() {
    if (!m_store->ReadOnly())
        return false;
    m_dialogs->plainMessage(ReadOnlyText);
    return true;
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

void HelpEditor::followCurrent() {
    ShowCurrentDepth();
    emit navigate(CurrentPage());
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

void HelpEditor::Refresh() {
    if (m_store->TableHelp->Active())
        m_store->TableHelp->RefreshIfChanged();
}

bool HelpEditor::readyToChange() {
    ensureOpen();
    if (pending()) {
        m_dialogs->message(EditingCaption, EditingText);
        return false;
    }
    if (refuseReadOnly())
        return false;
    m_store->TableHelp->RefreshIfChanged();
    return true;
}

bool HelpEditor::Insert() {
    TTable *t = m_store->TableHelp;
    if (!readyToChange())
        return false;
    const QString parent = t->FieldByName(HelpData::ERTEK)->AsString();
    const qint32 parentKey = parent.isEmpty() ? 0 : t->FieldByName(HelpData::KOD)->AsInteger();
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
    m_parentKey = parentKey;
    t->FieldByName(HelpData::MELYSEG)->SetAsInteger(depth);
    SetPanelMelyseg(QString::number(depth));
    RefreshParentCandidates();
    t->FieldByName(HelpData::SZULO)->SetAsString(parent);
    if (FocusTitle)
        FocusTitle();
    return true;
}

bool HelpEditor::BeginEdit() {
    ensureOpen();
    if (refuseReadOnly())
        return false;
    m_store->TableHelp->Edit();
    return true;
}

// The parent's number may have changed since the insert began (another writer renumbered the outline): the new
// topic goes under the same parent topic, found by its key.
void HelpEditor::placeUnderParent() {
    TTable *t = m_store->TableHelp;
    if (t->State() != dsInsert || m_parentKey == 0)
        return;
    if (t->Lookup(HelpData::KOD, m_parentKey, HelpData::KOD).isNull())
        throw Refusal{ParentGoneText};
    const QString number = t->Lookup(HelpData::KOD, m_parentKey, HelpData::ERTEK).toString();
    TField *szulo = t->FieldByName(HelpData::SZULO);
    if (szulo->AsString() != number)
        szulo->SetAsString(number);
}

QString HelpEditor::conflictText(const EDatabaseConflict &conflict) const {
    QStringList lines;
    for (int i = 0; i < conflict.columns().size(); ++i) {
        const int c = conflict.columns()[i];
        lines << QStringLiteral("%1: az Ön által megadott érték „%2”, a tárolt érték „%3”.")
                     .arg(fieldCaption(conflict.fieldNames().value(i)), conflict.refused().value(c).toString(),
                          conflict.current().value(c).toString());
    }
    return ConflictText.arg(lines.join(QLatin1Char('\n')));
}

bool HelpEditor::Post() {
    ensureOpen();
    if (refuseReadOnly())
        return false;
    m_store->checkParentOrder(); // before the row is stored: a post without its pass would stay unnumbered
    try {
        m_store->write([this] {
            placeUnderParent();
            if (pending())
                m_store->TableHelp->Post();
            m_store->RenumberOutline(false);
        });
    } catch (const Refusal &refusal) {
        m_dialogs->plainMessage(refusal.text);
        return false;
    } catch (const EDatabaseConflict &conflict) {
        m_dialogs->message(EditingCaption, conflictText(conflict));
        return false;
    }
    if (FocusGrid)
        FocusGrid();
    followCurrent();
    return true;
}

void HelpEditor::Cancel() {
    m_store->TableHelp->Cancel();
    followCurrent();
}

QString HelpEditor::StorePending() {
    if (!pending())
        return {};
    try {
        m_store->checkParentOrder();
        m_store->write([this] {
            placeUnderParent();
            m_store->TableHelp->CheckBrowseMode();
            m_store->RenumberOutline(false);
        });
    } catch (const Refusal &refusal) {
        return refusal.text;
    } catch (const EDatabaseConflict &conflict) {
        return conflictText(conflict);
    } catch (const EDatabaseError &e) {
        return e.message();
    }
    return {};
}

void HelpEditor::MakeTopLevel() {
    if (m_store->TableHelp->State() != dsInsert)
        return;
    m_parentKey = 0;
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
    if (!readyToChange())
        return false;
    m_store->checkParentOrder();
    // Without a successful check for children nothing is deleted: the query's error ends the command.
    if (childCount(t->FieldByName(HelpData::ERTEK)->AsString()) > 0) {
        m_dialogs->plainMessage(ChildrenText);
        return false;
    }
    if (!m_dialogs->confirm(DeleteCaption, DeleteText))
        return false;
    // The answer may come much later: the checks are made again on what the file holds then.
    const bool empty = t->IsEmpty();
    const qint32 key = t->FieldByName(HelpData::KOD)->AsInteger();
    try {
        m_store->write([&] {
            if (!empty) {
                if (!t->Locate(HelpData::KOD, key))
                    throw Refusal{GoneText};
                if (childCount(t->FieldByName(HelpData::ERTEK)->AsString()) > 0)
                    throw Refusal{ChildrenText};
            }
            t->Delete();
            m_store->RenumberOutline(true);
        });
    } catch (const Refusal &refusal) {
        m_dialogs->plainMessage(refusal.text);
        followCurrent();
        return false;
    }
    followCurrent();
    return true;
}

void HelpEditor::ChoosePage() {
    ensureOpen();
    if (refuseReadOnly())
        return;
    const QString path =
        m_dialogs->chooseFile(resolvePathIgnoringCase(m_startDir, QStringLiteral("Help")), PageExtension);
    if (path.isEmpty())
        return;
    SetPage(path);
}

void HelpEditor::SetPage(const QString &chosenPath) {
    TTable *t = m_store->TableHelp;
    ensureOpen();
    if (refuseReadOnly())
        return;
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
    m_store->TableHelp->Cancel();
    followCurrent();
}
