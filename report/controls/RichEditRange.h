#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextDocument>

#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;

namespace qrcontrols {

/// A position in pixels of a device of `dpi` pixels per inch as twips (1/1440 inch), truncated.
int DeviceToTwips(int pixels, int dpi);
/// Twips as pixels of a device of `dpi` pixels per inch, rounded.
int TwipsToDevice(int twips, int dpi);

/// A rich-text document whose content comes from outside (a data field, a help page). Laying it out or
/// printing it never reaches for anything beyond it: no style sheet, no file or network address, no absolute
/// path. Only pictures in one folder the owner names (and its sub-folders) are loaded, and pictures written
/// inline as data; a name that leaves the folder by ".." or a symbolic link is refused. A refused picture
/// shows nothing (a transparent stand-in, as large as the content asks for).
class RichTextDocument : public QTextDocument {
public:
    explicit RichTextDocument(QObject *parent = nullptr);

    /// The folder pictures may come from; empty (the default) allows none.
    void setImageFolder(const QString &folder);
    QString imageFolder() const { return m_imageFolder; }

    /// Names of resources asked for and refused, and of pictures loaded, since the content was last set.
    QStringList refusedResources() const { return m_refused.values(); }
    QStringList loadedImages() const { return m_loaded.values(); }
    void forgetResources();

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    QImage loadImage(const QUrl &name);

    QString m_imageFolder;
    QSet<QString> m_refused;
    QSet<QString> m_loaded;
};

/// Lays out a character range of a rich-text document into a rectangle and tells where it stopped: the
/// rich-text controls print a long text page by page through it, continuing each time at the first character
/// that did not fit. Breaks fall between lines, and a table row is never split, so printing from each answer
/// to the next shows every character exactly once. The layout is kept between calls while the document, the
/// width and the target's resolution stay the same; `Release` drops it.
class RichEditRange {
public:
    /// The answer when everything from the first character on fitted.
    static constexpr int AllFits = -1;

    RichEditRange();
    ~RichEditRange();
    RichEditRange(const RichEditRange &) = delete;
    RichEditRange &operator=(const RichEditRange &) = delete;

    RichTextDocument *document() const { return m_document.get(); }
    /// HTML when it looks like HTML, plain text otherwise. Forgets the resources of the previous content.
    void SetContent(const QString &text);
    /// Characters of the document, each break between paragraphs counted as one.
    int TextLength() const;

    struct Request {
        /// The device whose pixels the rectangle is measured in (its resolution converts the twips).
        QPaintDevice *device = nullptr;
        /// The device the text is laid out for (fonts measured on it); none means `device`.
        QPaintDevice *target = nullptr;
        /// Draws on `device` through this painter; none only measures.
        QPainter *painter = nullptr;
        /// The rectangle to fill, in twips: left, top, and right - left, bottom - top as its width and height.
        QRect rect;
        /// The first character to place (0, or an earlier answer; a position inside a line starts at that
        /// line). The range runs to the end of the document.
        int first = 0;
        /// When not even the first line fits, place it anyway, cut at the rectangle's bottom. A caller whose
        /// rectangle cannot grow (a full page) asks this after a first answer that placed nothing, so a
        /// picture taller than any page ends instead of being carried forward for ever.
        bool forceFirstLine = false;
        /// Colour of text whose format names none.
        QColor textColor = Qt::black;
    };
    struct Result {
        /// The first character that did not fit, or AllFits.
        int next = AllFits;
        /// The character after the first line of the range: where a forced placement continues.
        int firstLineEnd = AllFits;
        /// Height of what was placed, in twips (rounded up).
        int heightTwips = 0;
        /// A forced first line was cut at the rectangle's bottom.
        bool clipped = false;
    };
    Result FormatRange(const Request &request);
    /// Drops the kept layout (a rich-edit control's cached formatting).
    void Release();

private:
    struct Unit {
        int first = 0; // first character
        int end = 0;   // one past the last character
        double top = 0;
        double bottom = 0;
    };
    void ensureLayout(int targetDpiX, int targetDpiY, double width);
    std::size_t unitAt(int position) const;
    void draw(QPainter &painter, int first, double top, double bottom, const QColor &color);

    std::unique_ptr<RichTextDocument> m_document;
    std::vector<Unit> m_units;
    bool m_valid = false;
    QImage m_measure;
    int m_targetDpiX = 0;
    int m_targetDpiY = 0;
    double m_width = -1;
};

} // namespace qrcontrols
