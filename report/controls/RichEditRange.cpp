#include "report/controls/RichEditRange.h"

#include "printer/drawing/Canvas.h"
#include "printer/drawing/Units.h"
#include "report/controls/Picture.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qrcontrols {

namespace {

// Pictures in a page are small; a page cannot make us decode a giant one.
constexpr quint64 kMaxImagePixels = quint64(1) << 24;

// Lines meet exactly; shrinking the drawn band by less than any line is tall keeps the neighbours out.
constexpr double kEdge = 0.25;

int clampToInt(qint64 value) {
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int dpiX(QPaintDevice *device) {
    return device && device->logicalDpiX() > 0 ? device->logicalDpiX() : 96;
}
int dpiY(QPaintDevice *device) {
    return device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
}

QByteArray dataUrlBytes(const QUrl &url) {
    const QByteArray encoded = url.toEncoded();
    const qsizetype comma = encoded.indexOf(',');
    if (comma < 0)
        return {};
    const QByteArray meta = encoded.mid(5, comma - 5); // after "data:"
    const QByteArray payload = QByteArray::fromPercentEncoding(encoded.mid(comma + 1));
    return meta.endsWith(";base64") ? QByteArray::fromBase64(payload) : payload;
}

// The outermost table a block sits in, if any.
QTextTable *outerTable(const QTextBlock &block) {
    QTextTable *table = nullptr;
    for (QTextFrame *frame = QTextCursor(block).currentFrame(); frame; frame = frame->parentFrame())
        if (auto *t = qobject_cast<QTextTable *>(frame))
            table = t;
    return table;
}

} // namespace

int DeviceToTwips(int pixels, int dpi) {
    return dpi > 0 ? clampToInt(qint64(pixels) * 1440 / dpi) : 0;
}

int TwipsToDevice(int twips, int dpi) {
    return rnd(double(twips) * dpi / 1440.0);
}

RichTextDocument::RichTextDocument(QObject *parent) : QTextDocument(parent) {}

void RichTextDocument::setImageFolder(const QString &folder) {
    m_imageFolder = folder;
}

void RichTextDocument::forgetResources() {
    m_refused.clear();
    m_loaded.clear();
}

QVariant RichTextDocument::loadResource(int type, const QUrl &name) {
    const QString key = name.toString();
    if (type == ImageResource) {
        QImage image = loadImage(name);
        if (image.isNull()) {
            m_refused.insert(key);
            // Something must stand in: handed nothing, the layout would open the file itself.
            image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
        } else {
            m_loaded.insert(key);
        }
        addResource(type, name, image);
        return image;
    }
    m_refused.insert(key);
    if (type == StyleSheetResource) {
        addResource(type, name, QString());
        return QString();
    }
    return {};
}

QImage RichTextDocument::loadImage(const QUrl &name) {
    QByteArray bytes;
    if (name.scheme() == QLatin1String("data")) {
        bytes = dataUrlBytes(name);
    } else {
        if (!name.scheme().isEmpty() || !name.host().isEmpty() || m_imageFolder.isEmpty())
            return {};
        QString relative = name.path();
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (relative.isEmpty() || relative.startsWith(QLatin1Char('/')) || QDir::isAbsolutePath(relative))
            return {};
        const QString folder = QFileInfo(m_imageFolder).canonicalFilePath();
        if (folder.isEmpty())
            return {};
        // The real path, links resolved, must still lie inside the folder.
        const QString path = QFileInfo(folder + QLatin1Char('/') + relative).canonicalFilePath();
        if (path.isEmpty() || !path.startsWith(folder + QLatin1Char('/')) || !QFileInfo(path).isFile())
            return {};
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > Picture::MaxFileBytes)
            return {};
        bytes = file.readAll();
    }
    const Picture picture = Picture::FromBytes(bytes, nullptr, kMaxImagePixels);
    return picture.Image();
}

RichEditRange::RichEditRange() : m_document(std::make_unique<RichTextDocument>()) {
    m_document->setDocumentMargin(0);
    auto forget = [this] { m_valid = false; };
    QObject::connect(m_document.get(), &QTextDocument::contentsChanged, m_document.get(), forget);
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    QObject::connect(layout, &QAbstractTextDocumentLayout::update, m_document.get(), forget);
    QObject::connect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, m_document.get(), forget);
}

RichEditRange::~RichEditRange() {
    // The document goes first: its signals must not reach a half-destroyed range.
    m_document.reset();
}

void RichEditRange::SetContent(const QString &text) {
    m_document->clear();
    m_document->forgetResources();
    if (Qt::mightBeRichText(text))
        m_document->setHtml(text);
    else
        m_document->setPlainText(text);
    m_valid = false;
}

int RichEditRange::TextLength() const {
    return std::max(m_document->characterCount() - 1, 0);
}

void RichEditRange::Release() {
    m_units.clear();
    m_units.shrink_to_fit();
    m_valid = false;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next())
        if (QTextLayout *layout = block.layout())
            layout->clearLayout();
    m_document->markContentsDirty(0, m_document->characterCount());
}

void RichEditRange::ensureLayout(int targetDpiX, int targetDpiY, double width) {
    if (m_valid && targetDpiX == m_targetDpiX && targetDpiY == m_targetDpiY && width == m_width)
        return;
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    if (targetDpiX != m_targetDpiX || targetDpiY != m_targetDpiY || !layout->paintDevice()) {
        // Fonts are measured on a stand-in of the target's resolution, which lives as long as we do.
        m_measure = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        m_measure.setDotsPerMeterX(qRound(targetDpiX / 0.0254));
        m_measure.setDotsPerMeterY(qRound(targetDpiY / 0.0254));
        layout->setPaintDevice(&m_measure);
        m_document->markContentsDirty(0, m_document->characterCount());
    }
    if (m_document->textWidth() != width)
        m_document->setTextWidth(width);
    m_document->size(); // lays out the whole document

    // Units of placement: a line, or a whole row of an outer table (rows joined by cells spanning them).
    m_units.clear();
    QTextTable *unitTable = nullptr;
    int unitRow = -1;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        QTextLayout *lines = block.layout();
        if (!lines || lines->lineCount() == 0)
            continue;
        const QRectF box = layout->blockBoundingRect(block);
        const double originY = box.top(); // the layout's position, where its lines' y are counted from
        QTextTable *table = outerTable(block);
        const int row = table ? table->cellAt(block.position()).row() : -1;
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            Unit unit;
            unit.first = block.position() + line.textStart();
            unit.end = unit.first + line.textLength() + (i == lines->lineCount() - 1 ? 1 : 0);
            unit.top = originY + line.y();
            unit.bottom = unit.top + line.height();
            const bool joins = table && !m_units.empty() && table == unitTable &&
                               (row == unitRow || unit.top < m_units.back().bottom - kEdge);
            if (joins) {
                Unit &last = m_units.back();
                last.end = std::max(last.end, unit.end);
                last.top = std::min(last.top, unit.top);
                last.bottom = std::max(last.bottom, unit.bottom);
            } else {
                m_units.push_back(unit);
            }
            unitTable = table;
            unitRow = row;
        }
    }
    m_targetDpiX = targetDpiX;
    m_targetDpiY = targetDpiY;
    m_width = width;
    m_valid = true;
}

void RichEditRange::draw(QPainter &painter, int first, double top, double bottom, const QColor &color) {
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    // The layout draws whole blocks, and of a block cut at the top also the line just above the cut (which
    // a page recording would keep as text though the clip hides it). So the lines of a block entered in its
    // middle are drawn here, and the layout draws from the next block on.
    double from = top;
    const QTextBlock block = m_document->findBlock(first);
    if (QTextLayout *lines = block.isValid() ? block.layout() : nullptr; lines && !outerTable(block)) {
        const int index = lines->lineForTextPosition(first - block.position()).lineNumber();
        if (index > 0) {
            const QRectF box = layout->blockBoundingRect(block);
            painter.save();
            painter.setPen(color);
            for (int i = index; i < lines->lineCount(); ++i) {
                const QTextLine line = lines->lineAt(i);
                if (box.top() + line.y() >= bottom - kEdge)
                    break;
                line.draw(&painter, box.topLeft());
            }
            painter.restore();
            from = box.bottom();
        }
    }
    if (from >= bottom)
        return;
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, color);
    // Only lines inside the band are drawn at all, so a recording holds each character once.
    context.clip = QRectF(-1e6, from + kEdge, 2e6, std::max(bottom - from - 2 * kEdge, 0.0));
    layout->draw(&painter, context);
}

std::size_t RichEditRange::unitAt(int position) const {
    return std::size_t(
        std::partition_point(m_units.begin(), m_units.end(), [position](const Unit &u) { return u.end <= position; }) -
        m_units.begin());
}

RichEditRange::Result RichEditRange::FormatRange(const Request &request) {
    Result result;
    const int length = TextLength();
    const int first = std::max(request.first, 0);
    if (first >= length)
        return result;

    QPaintDevice *device = request.device ? request.device : request.painter ? request.painter->device() : nullptr;
    QPaintDevice *target = request.target ? request.target : device;
    const int tdx = dpiX(target);
    const int tdy = dpiY(target);
    const double width = std::max(request.rect.width(), 0) * double(tdx) / 1440.0;
    const double height = request.rect.height() * double(tdy) / 1440.0;
    ensureLayout(tdx, tdy, width);

    const std::size_t n = m_units.size();
    const std::size_t start = unitAt(first);
    if (start >= n)
        return result;
    const double startY = m_units[start].top;
    std::size_t stop = start;
    while (stop < n && m_units[stop].bottom - startY <= height + 1e-6)
        ++stop;
    result.firstLineEnd = start + 1 < n ? m_units[start + 1].first : AllFits;
    if (stop == start && request.forceFirstLine) {
        stop = start + 1;
        result.clipped = true;
    }
    result.next = stop < n ? m_units[stop].first : AllFits;
    const double used = stop > start ? m_units[stop - 1].bottom - startY : 0;
    result.heightTwips = clampToInt(qint64(std::ceil(used * 1440.0 / tdy - 1e-9)));

    if (request.painter && stop > start) {
        const int dx = dpiX(device);
        const int dy = dpiY(device);
        const QRectF box(request.rect.x() * double(dx) / 1440.0, request.rect.y() * double(dy) / 1440.0,
                         std::max(request.rect.width(), 0) * double(dx) / 1440.0,
                         std::max(request.rect.height(), 0) * double(dy) / 1440.0);
        const double endY = stop < n ? m_units[stop].top : m_document->size().height() + 1;
        QPainter &painter = *request.painter;
        canvas::ClipRect clip(painter, box);
        painter.translate(box.topLeft());
        painter.scale(double(dx) / tdx, double(dy) / tdy);
        painter.translate(0, -startY);
        draw(painter, m_units[start].first, startY, endY, request.textColor);
    }
    return result;
}

} // namespace qrcontrols
