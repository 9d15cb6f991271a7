#pragma once

#include "report/engine/QRExportFilter.h"

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>

/// One piece of text on a page, as a filter places it: left and top edge, width and height in 0.1 mm.
struct TQRTextItem {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    QFont font;
    QString text;
};

/// The pages of a run as their text: what the text filters collect from TextOut calls.
struct TQRTextPage {
    QList<TQRTextItem> items;
    /// The items grouped into lines (an item joins a line when its middle lies within the line's first
    /// item), top to bottom, each line left to right.
    QList<QList<TQRTextItem>> Lines() const;
};

/// A filter that keeps the text written on each page and writes its file when the run finishes; graphics
/// are left out. Writing replaces the file only once it is complete; a file that cannot be written raises
/// EQRError naming it.
class TQRTextExportFilter : public TQRExportFilter {
public:
    explicit TQRTextExportFilter(const QString &fileName) : m_fileName(fileName) {}

    void Start(int paperWidth, int paperLength, const QFont &font) override;
    void EndPage() override {}
    void Finish() override;
    void NewPage() override;
    void PutGraphic(TQRPrintable *, double, double) override {}
    void BandDone(TQRCustomBand *, double, double, double) override {}
    void TextOut(double x, double y, const QFont &font, const QColor &background, TAlignment alignment,
                 const QString &text) override;

    const QString &FileName() const { return m_fileName; }
    const QList<TQRTextPage> &Pages() const { return m_pages; }
    int PaperWidth() const { return m_paperWidth; }
    int PaperLength() const { return m_paperLength; }

protected:
    /// The file's bytes.
    virtual QByteArray Render() const = 0;
    /// The title of the output: the printer's job title, else the file's base name.
    QString Title() const;

private:
    QString m_fileName;
    QList<TQRTextPage> m_pages;
    int m_paperWidth = 0;
    int m_paperLength = 0;
};

/// Plain text in UTF-8: each line of a page at columns of 2 mm, pages separated by a form feed.
class TQRAsciiExportFilter : public TQRTextExportFilter {
public:
    using TQRTextExportFilter::TQRTextExportFilter;
    /// The width of one text column, in 0.1 mm.
    static constexpr double ColumnWidth = 20;

protected:
    QByteArray Render() const override;
};

/// Comma-separated values in UTF-8: one record per line of text, one field per column, where columns are
/// the left edges of the whole run's text within 3 mm of each other.
class TQRCSVExportFilter : public TQRTextExportFilter {
public:
    using TQRTextExportFilter::TQRTextExportFilter;
    static constexpr double ColumnTolerance = 30;

protected:
    QByteArray Render() const override;
};

/// One HTML file with a sheet per page, each text placed where it stands on the page, in its font.
class TQRHTMLExportFilter : public TQRTextExportFilter {
public:
    using TQRTextExportFilter::TQRTextExportFilter;

protected:
    QByteArray Render() const override;
};

/// Writes `bytes` to `fileName`, replacing it only once complete; EQRError when it cannot.
void WriteExportFile(const QString &fileName, const QByteArray &bytes);
