#include "app/DBEdit.h"

#include "help/TopicText.h"
#include "store/DatabaseError.h"

#include <QFocusEvent>
#include <QIntValidator>
#include <QLocale>
#include <QValidator>

#include <limits>

namespace {

// A topic's text is one line of whole characters: a paste with a TAB or a line break is refused, and so is the
// half of a character that did not fit the field's width.
class TextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override {
        return topictext::hasControlCharacters(input) ? Invalid : Acceptable;
    }
};

} // namespace

TDBEdit::TDBEdit(QWidget *parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, &TDBEdit::userEdited);
}

void TDBEdit::bind(TDataSet *dataSet, const QString &fieldName) {
    m_dataSet = dataSet;
    m_fieldName = fieldName;
    connect(dataSet, &TDataSet::currentChanged, this, &TDBEdit::load);
    connect(dataSet, &TDataSet::rowsChanged, this, &TDBEdit::load);
    connect(dataSet, &TDataSet::stateChanged, this, &TDBEdit::load);
    connect(dataSet, &TDataSet::fieldChanged, this, [this](int index) {
        const TField *f = field();
        if (f && f->Index() == index)
            load();
    });
    connect(dataSet, &TDataSet::updateRecord, this, &TDBEdit::write);
    load();
}

// The field exists once the data set is open: its width bounds the text, an integer field takes digits only.
void TDBEdit::applyFieldRules() {
    const TField *f = field();
    if (m_rulesApplied || !f)
        return;
    m_rulesApplied = true;
    if (f->Size() > 0)
        setMaxLength(f->Size());
    if (isIntegerType(f->DataType())) {
        auto *v = new QIntValidator(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), this);
        v->setLocale(QLocale::c());
        setValidator(v);
    } else if (isTextType(f->DataType())) {
        setValidator(new TextValidator(this));
    }
}

TField *TDBEdit::field() const {
    return m_dataSet ? m_dataSet->FindField(m_fieldName) : nullptr;
}

void TDBEdit::load() {
    if (m_loading)
        return;
    applyFieldRules();
    const TField *f = field();
    // A text the user is typing stays until it is written or the row is left.
    if (m_modified && m_dataSet && (m_dataSet->State() == dsEdit || m_dataSet->State() == dsInsert))
        return;
    m_modified = false;
    // Nothing can be typed where nothing can be stored.
    setReadOnly(m_dataSet && m_dataSet->Active() && !m_dataSet->CanModify());
    const QString text = f && m_dataSet->Active() ? f->AsString() : QString();
    if (text != this->text())
        setText(text);
}

void TDBEdit::write() {
    if (!m_modified || !m_dataSet)
        return;
    TField *f = field();
    if (!f)
        return;
    m_loading = true;
    try {
        f->SetAsString(text());
    } catch (...) {
        m_loading = false;
        throw;
    }
    m_loading = false;
    m_modified = false;
}

void TDBEdit::userEdited() {
    if (!m_dataSet || !m_dataSet->Active())
        return;
    m_loading = true;
    try {
        if (m_dataSet->State() == dsBrowse)
            m_dataSet->Edit();
        m_loading = false;
    } catch (const EDatabaseError &e) {
        m_loading = false;
        if (OnError)
            OnError(e.message());
        load();
        return;
    }
    m_modified = true;
}

void TDBEdit::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    // Only leaving for another control writes the field: a message box or another window taking the focus
    // leaves the typed text as it is.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    // A text the field refuses stays pending: the post or the move that stores the row reports it, once.
    try {
        write();
    } catch (const EDatabaseError &) {
    }
}
