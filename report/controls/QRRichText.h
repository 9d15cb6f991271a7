#pragma once

#include "report/controls/RichEditRange.h"
#include "report/engine/QRGraphics.h"
#include "report/engine/QRPrintable.h"
#include "store/DataSet.h"

#include <QPointer>
#include <QStringList>

class TField;
class TQRPrinter;

/// A rich-text document with its default font, paragraph alignment and background colour: what a rich-text
/// control prints. Each control owns one; a definition may also hold one on its own, which a control then
/// prints instead of its own (`SourceRichEdit`). The content is HTML when it looks like HTML, plain text
/// otherwise; it never loads anything from outside except pictures from the one folder `SetImageFolder` names.
class TQRRichEdit : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_PROPERTY(TQRFont *Font READ Font)
    Q_PROPERTY(qrengine::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
public:
    explicit TQRRichEdit(QObject *owner = nullptr);
    ~TQRRichEdit() override;

    /// The content as lines (a definition stores it so).
    QStringList Lines() const;
    void SetLines(const QStringList &lines);
    /// The content as one text, lines joined by line breaks.
    const QString &Text() const { return m_text; }
    void SetText(const QString &text);
    TQRFont *Font() const { return m_font; }
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    const QColor &Color() const { return m_color; }
    void SetColor(const QColor &color) { m_color = color; }

    /// The folder (with its sub-folders) relative picture names in the content are read from; empty, the
    /// default, reads none. Nothing else outside the content is ever read.
    void SetImageFolder(const QString &folder);
    const QString &ImageFolder() const { return m_imageFolder; }

    /// The document laid out and formatted, its content and format brought up to date.
    qrcontrols::RichEditRange &Range();
    /// Characters of the document (a paragraph break counts as one).
    int TextLength() { return Range().TextLength(); }
    /// Drops the cached layout.
    void Release() { m_range.Release(); }

private:
    void formatChanged() { m_formatDirty = true; }

    TQRFont *m_font;
    TAlignment m_alignment = taLeftJustify;
    QColor m_color = Qt::white;
    QString m_text;
    QString m_imageFolder;
    qrcontrols::RichEditRange m_range;
    bool m_contentDirty = false;
    bool m_formatDirty = true;
};

/// Prints a rich-text document inside its rectangle on a band. A longer text is cut at the rectangle's
/// bottom, or, with AutoStretch, grows the band in 5 mm steps as far as the page allows and continues at
/// the first unprinted character on the band's next column or page, so every character prints exactly once.
class TQRCustomRichText : public TQRPrintable {
    Q_OBJECT
    Q_PROPERTY(qrengine::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(bool AutoStretch READ AutoStretch WRITE SetAutoStretch)
    Q_PROPERTY(TQRFont *Font READ Font)
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_PROPERTY(TQRRichEdit *SourceRichEdit READ SourceRichEdit WRITE SetSourceRichEdit)
public:
    /// How far a stretching control grows its band at a time, native units.
    static constexpr double StretchStep = 50;

    explicit TQRCustomRichText(QObject *owner = nullptr);
    ~TQRCustomRichText() override;

    TQRRichEdit *Editor() const { return m_editor; }
    TQRRichEdit *SourceRichEdit() const { return m_source; }
    void SetSourceRichEdit(TQRRichEdit *source);
    /// The document printed: SourceRichEdit when set, the own editor otherwise.
    TQRRichEdit &Source() const { return m_source ? *m_source : *m_editor; }

    TAlignment Alignment() const { return m_editor->Alignment(); }
    void SetAlignment(TAlignment alignment) override;
    void SetColor(const QColor &color) override;
    TQRFont *Font() const { return m_editor->Font(); }
    QStringList Lines() const { return m_editor->Lines(); }
    void SetLines(const QStringList &lines) { m_editor->SetLines(lines); }
    bool AutoStretch() const { return m_autoStretch; }
    void SetAutoStretch(bool on) { m_autoStretch = on; }
    /// Folder of the pictures a content may show (see TQRRichEdit); applies to the own editor.
    void SetImageFolder(const QString &folder) { m_editor->SetImageFolder(folder); }

    /// The first character not yet printed.
    qint32 ContinueAt = 0;

    void Print(int offsetX, int offsetY) override;
    /// The height the whole document needs at the control's width, in screen pixels, as the band measures
    /// its controls: the design height grown in the same 5 mm steps a print stretches by.
    void GetExpandedHeight(double &height) override;
    bool HasExpandedHeight() const override { return true; }
    qint64 ContentPosition() const override { return ContinueAt; }
    void DropRemainingContent() override;
    void Paint(QPainter &painter) override;

protected:
    /// Brings the document up to date before it is printed or measured (a data field's content).
    virtual void LoadContent() {}

private:
    struct Place;
    Place place(const TQRPrinter *printer, QPaintDevice *device, double x, double y, double height) const;
    void exportImage(TCustomDezirUzu &report, TQRPrinter &printer, QPaintDevice *device, const QRect &rect, int first,
                     bool force);

    TQRRichEdit *m_editor;
    QPointer<TQRRichEdit> m_source;
    bool m_autoStretch = false;
};

/// A rich-text control with a fixed document.
class TQRRichText : public TQRCustomRichText {
    Q_OBJECT
public:
    explicit TQRRichText(QObject *owner = nullptr);
};

/// A rich-text control that prints, for every record, the content of a memo or blob field of a data set
/// (HTML or plain text). The content is data from outside: it reaches no file or address, and shows pictures
/// only from the folder the caller allows (`SetImageFolder`). A string field is not printed; its display text
/// is what GetFieldString answers.
class TQRDBRichText : public TQRCustomRichText {
    Q_OBJECT
    Q_PROPERTY(TDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
public:
    explicit TQRDBRichText(QObject *owner = nullptr);

    TDataSet *DataSet() const;
    void SetDataSet(TDataSet *dataSet);
    const QString &DataField() const { return m_dataField; }
    void SetDataField(const QString &name) { m_dataField = name; }
    /// The bound field while prepared, looked up afresh at every call (a reopened data set has new fields).
    TField *Field() const;

    void Prepare() override;
    void Unprepare() override;
    void GetFieldString(QString &text) override;

protected:
    void LoadContent() override;

private:
    QPointer<TDataSet> m_dataSet;
    QString m_dataField;
};
