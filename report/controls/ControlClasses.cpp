#include "report/controls/ControlClasses.h"

#include "printer/QRPrinter.h"
#include "report/controls/QRExpression.h"
#include "report/controls/QRImage.h"
#include "report/controls/QRLabel.h"
#include "report/controls/QRRichText.h"
#include "report/controls/QRShape.h"
#include "report/engine/QRExportFilter.h"
#include "report/engine/QRFrame.h"
#include "report/engine/QRReport.h"
#include "report/engine/Streaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qrcontrols {

void ExportShape(TQRExportFilter &filter, const TQRPrinter *printer, TQRShapeType type, const QRect &rect,
                 const QColor &brushColor, bool filled, const QColor &penColor, int penWidth) {
    const double fx = printer && printer->PixelsPerUnitX() > 0 ? printer->PixelsPerUnitX() : 96 / 254.0;
    const double fy = printer && printer->PixelsPerUnitY() > 0 ? printer->PixelsPerUnitY() : 96 / 254.0;
    TQRShape shape;
    shape.SetShape(type);
    shape.Brush()->SetColor(brushColor);
    shape.Brush()->SetStyle(filled ? bsSolid : bsClear);
    shape.Pen()->SetColor(penColor);
    shape.Pen()->SetWidth(penWidth);
    shape.Pen()->SetStyle(penWidth > 0 ? psSolid : psClear);
    shape.Size()->SetValues({rect.height() / fy, rect.left() / fx, rect.top() / fy, rect.width() / fx});
    filter.PutGraphic(&shape, rect.left(), rect.top());
}

} // namespace qrcontrols

namespace {

const TQRPrinter *printerOf(const TQRControl *control) {
    TCustomDezirUzu *report = control ? control->ParentReport() : nullptr;
    return report ? report->ReportPrinter.data() : nullptr;
}

// A frame as shapes: the control's own background first, then one rectangle for four edges or a line per edge.
void exportFrame(const TQRFrame &frame, TQRExportFilter &filter, const QRect &rect, int h, int v) {
    const TQRPrinter *printer = printerOf(frame.Control());
    auto *printable = qobject_cast<TQRPrintable *>(frame.Control());
    if (printable && !printable->Transparent())
        qrcontrols::ExportShape(filter, printer, qrsRectangle, rect, printable->Color(), true, Qt::black, 0);
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    if (frame.DrawTop() && frame.DrawBottom() && frame.DrawLeft() && frame.DrawRight()) {
        qrcontrols::ExportShape(filter, printer, qrsRectangle, rect, Qt::white, false, frame.Color(), h);
        return;
    }
    if (frame.DrawTop())
        qrcontrols::ExportShape(filter, printer, qrsHorLine, QRect(rect.left(), rect.top(), rect.width(), v), Qt::white,
                                false, frame.Color(), v);
    if (frame.DrawBottom())
        qrcontrols::ExportShape(filter, printer, qrsHorLine, QRect(rect.left(), bottom - v, rect.width(), v), Qt::white,
                                false, frame.Color(), v);
    if (frame.DrawLeft())
        qrcontrols::ExportShape(filter, printer, qrsVertLine, QRect(rect.left(), rect.top(), h, rect.height()),
                                Qt::white, false, frame.Color(), h);
    if (frame.DrawRight())
        qrcontrols::ExportShape(filter, printer, qrsVertLine, QRect(right - h, rect.top(), h, rect.height()), Qt::white,
                                false, frame.Color(), h);
}

// ---- stored properties ----

TQRStoredProperty fontSizeProperty() {
    TQRStoredProperty property;
    property.name = QStringLiteral("FontSize");
    property.read = [](QObject *object, const TQRNode &node, TQRStreamContext &) {
        for (const auto &attribute : node.attributes)
            if (attribute.first != QLatin1String("name"))
                throw EQRError(QStringLiteral("unknown attribute %1").arg(attribute.first));
        bool ok = false;
        const int points = node.text.trimmed().toInt(&ok);
        if (!ok || points < 0 || points > TQRFont::MaxSize)
            throw EQRError(QStringLiteral("'%1' is not a font size").arg(node.text.trimmed()));
        static_cast<TQRCustomLabel *>(object)->SetFontSize(points);
    };
    property.write = [](const QObject *object, TQRStreamContext &) -> std::optional<TQRNode> {
        const qint32 points = static_cast<const TQRCustomLabel *>(object)->FontSize();
        return TQRNode{QStringLiteral("property"), {}, QString::number(points), {}, 0};
    };
    return property;
}

QString pictureFormat(const QByteArray &bytes, qrcontrols::Picture::Kind kind) {
    switch (kind) {
    case qrcontrols::Picture::Kind::Jpeg:
        return QStringLiteral("jpeg");
    case qrcontrols::Picture::Kind::Metafile:
        return QStringLiteral("emf");
    case qrcontrols::Picture::Kind::Bitmap:
    case qrcontrols::Picture::Kind::None:
        break;
    }
    if (bytes.startsWith("BM"))
        return QStringLiteral("bmp");
    if (bytes.startsWith("\x89PNG"))
        return QStringLiteral("png");
    if (bytes.startsWith("GIF8"))
        return QStringLiteral("gif");
    if (bytes.startsWith(QByteArray("\0\0\1\0", 4)))
        return QStringLiteral("ico");
    return QStringLiteral("unknown");
}

// A picture file named by a definition lies in its folder or below: no absolute name, no way up.
QString pictureFilePath(const QString &baseDir, const QString &name) {
    const QString clean = QDir::cleanPath(QString(name).replace(QLatin1Char('\\'), QLatin1Char('/')));
    if (clean.isEmpty() || QDir::isAbsolutePath(clean) || clean == QLatin1String("..") ||
        clean.startsWith(QLatin1String("../")) || clean.contains(QLatin1Char(':')))
        throw EQRError(QStringLiteral("the picture file '%1' is not beside the definition").arg(name));
    return QDir(baseDir.isEmpty() ? QDir::currentPath() : baseDir).filePath(clean);
}

void readPicture(TQRImage &image, const TQRNode &node, const TQRStreamContext &context) {
    for (const auto &[key, value] : node.attributes)
        if (key != QLatin1String("name") && key != QLatin1String("file") && key != QLatin1String("format") &&
            key != QLatin1String("encoding"))
            throw EQRError(QStringLiteral("unknown attribute %1").arg(key));
    if (node.hasAttribute(QStringLiteral("file"))) {
        if (!node.text.trimmed().isEmpty() || node.hasAttribute(QStringLiteral("encoding")))
            throw EQRError(QStringLiteral("a picture is either a file or inline, not both"));
        const QString path = pictureFilePath(context.baseDir, node.attribute(QStringLiteral("file")));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            image.SetPictureError(QStringLiteral("cannot open the picture %1: %2").arg(path, file.errorString()));
            return;
        }
        if (file.size() > qrcontrols::Picture::MaxFileBytes) {
            image.SetPictureError(QStringLiteral("the picture %1 is too large").arg(path));
            return;
        }
        image.LoadPicture(file.readAll(), QFileInfo(path).absoluteFilePath());
        return;
    }
    QByteArray text = node.text.toLatin1();
    text.replace('\n', "").replace('\r', "").replace(' ', "").replace('\t', "");
    if (text.isEmpty()) {
        image.ClearPicture();
        return;
    }
    const QString encoding = node.attribute(QStringLiteral("encoding"));
    if (encoding != QLatin1String("base64"))
        throw EQRError(QStringLiteral("an inline picture is written in base64, not '%1'").arg(encoding));
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        image.SetPictureError(QStringLiteral("the inline picture is not valid base64"));
        return;
    }
    image.LoadPicture(*decoded);
}

std::optional<TQRNode> writePicture(const TQRImage &image, const TQRStreamContext &context) {
    if (image.PictureBytes().isEmpty())
        return std::nullopt;
    TQRNode node{QStringLiteral("property"), {}, QString(), {}, 0};
    // A picture read from a file beside the definition stays a file while the definition stays beside it.
    if (!image.PictureFile().isEmpty() && !context.baseDir.isEmpty()) {
        const QString relative = QDir(context.baseDir).relativeFilePath(image.PictureFile());
        if (!relative.startsWith(QLatin1String("..")) && !QDir::isAbsolutePath(relative) &&
            QFileInfo(QDir(context.baseDir).filePath(relative)).canonicalFilePath() ==
                QFileInfo(image.PictureFile()).canonicalFilePath()) {
            node.setAttribute(QStringLiteral("file"), relative);
            return node;
        }
    }
    node.setAttribute(QStringLiteral("format"), pictureFormat(image.PictureBytes(), image.Picture().kind()));
    node.setAttribute(QStringLiteral("encoding"), QStringLiteral("base64"));
    const QByteArray base64 = image.PictureBytes().toBase64();
    QString text;
    for (qsizetype i = 0; i < base64.size(); i += 76)
        text += QLatin1Char('\n') + QString::fromLatin1(base64.mid(i, 76));
    node.text = text + QLatin1Char('\n');
    return node;
}

TQRStoredProperty pictureProperty() {
    TQRStoredProperty property;
    property.name = QStringLiteral("Picture");
    property.read = [](QObject *object, const TQRNode &node, TQRStreamContext &context) {
        readPicture(*static_cast<TQRImage *>(object), node, context);
    };
    property.write = [](const QObject *object, TQRStreamContext &context) {
        return writePicture(*static_cast<const TQRImage *>(object), context);
    };
    return property;
}

} // namespace

void RegisterControlClasses() {
    static const bool registered = [] {
        RegisterEngineClasses();
        TQRClassFactory &factory = TQRClassFactory::Instance();
        factory.Register<TQRLabel>();
        factory.Register<TQRExpr>();
        factory.Register<TQRShape>();
        factory.Register<TQRImage>();
        factory.Register<TQRRichEdit>();
        factory.Register<TQRRichText>();
        factory.Register<TQRDBRichText>();
        factory.AddStoredProperty(&TQRCustomLabel::staticMetaObject, fontSizeProperty());
        factory.AddStoredProperty(&TQRImage::staticMetaObject, pictureProperty());
        // A label that takes its band's font stores none of its own.
        factory.SetStoredIf(&TQRCustomLabel::staticMetaObject, QStringLiteral("Font"),
                            [](const QObject *o) { return !static_cast<const TQRCustomLabel *>(o)->ParentFont(); });
        TQRFrame::SetExportHook(exportFrame);
        SetRectangleExport([](TQRExportFilter &filter, const QRect &rect, const QColor &color) {
            const TQRPrinter *printer = filter.Report ? filter.Report->ReportPrinter.data() : nullptr;
            qrcontrols::ExportShape(filter, printer, qrsRectangle, rect, color, true, Qt::black, 0);
        });
        return true;
    }();
    Q_UNUSED(registered);
}
