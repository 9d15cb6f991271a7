// The controls in stored definitions: every stored property read back, the label's "FontSize", pictures
// beside the definition or inline, and the values a definition may not hold.
#include "ControlTestSupport.h"

#include "report/controls/QRExpression.h"
#include "report/controls/QRImage.h"
#include "report/controls/QRLabel.h"
#include "report/controls/QRShape.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QString definition(const QString &controls, const QString &bandProps = {}) {
    return reportXml(bandXml(QStringLiteral("D"), QStringLiteral("rbDetail"), 30, bandProps + controls), QString());
}

QString control(const QString &cls, const QString &name, const QString &props) {
    return QStringLiteral("<component class=\"%1\" name=\"%2\">%3"
                          "<property name=\"Size.Values\">50 100 20 300</property></component>")
        .arg(cls, name, props);
}

std::unique_ptr<TQRDefinition> read(const QString &xml, const QString &baseDir = {}) {
    RegisterControlClasses();
    return readText(xml, nullptr, baseDir);
}

QString readError(const QString &xml, const QString &baseDir = {}) {
    try {
        read(xml, baseDir);
    } catch (const EQRError &e) {
        return e.message();
    }
    return QStringLiteral("(read)");
}

QByteArray bitmap(const QColor &color) {
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(ControlStreaming, EveryStoredPropertyReadsBackAndWritesTheSameDefinition) {
    const QString xml = definition(
        control("TQRLabel", "Label",
                prop("Alignment", "taRightJustify") + prop("AlignToBand", "True") + prop("AutoSize", "False") +
                    prop("AutoStretch", "True") + prop("BiDiMode", "bdRightToLeft") + prop("Caption", "Köszönöm") +
                    prop("Color", "#FFEE00") + prop("Font.Name", "Times New Roman") + prop("Font.Style", "fsBold") +
                    prop("Transparent", "True") + prop("WordWrap", "False") + prop("ExportAs", "exptNumeric") +
                    prop("Frame.DrawTop", "True") + prop("Enabled", "False") + prop("Tag", "7")) +
        control("TQRExpr", "Value",
                prop("Expression", "SUM(AMOUNT)") + prop("Mask", "#,##0.00") + prop("Master", "R") +
                    prop("ResetAfterPrint", "True")) +
        control("TQRShape", "Shape",
                prop("Shape", "qrsRoundRect") + prop("RoundFactor", "0.25") + prop("VertAdjust", "3") +
                    prop("Pen.Width", "4") + prop("Pen.Color", "#112233") + prop("Pen.Style", "psDash") +
                    prop("Brush.Color", "#445566") + prop("Brush.Style", "bsCross")) +
        control("TQRImage", "Image", prop("AutoSize", "False") + prop("Center", "True") + prop("Stretch", "True")));
    const auto root = read(xml);
    auto *label = find<TQRLabel>(*root, "Label");
    auto *value = find<TQRExpr>(*root, "Value");
    auto *shape = find<TQRShape>(*root, "Shape");
    auto *image = find<TQRImage>(*root, "Image");
    ASSERT_TRUE(label && value && shape && image);
    EXPECT_EQ(label->Caption(), QStringLiteral("Köszönöm"));
    EXPECT_EQ(label->Alignment(), taRightJustify);
    EXPECT_EQ(label->EffectiveAlignment(), taLeftJustify); // mirrored for right-to-left reading
    EXPECT_TRUE(label->AutoStretch());
    EXPECT_FALSE(label->AutoSize());
    EXPECT_FALSE(label->WordWrap());
    EXPECT_FALSE(label->ParentFont());
    EXPECT_EQ(label->Font()->Name(), QStringLiteral("Times New Roman"));
    EXPECT_EQ(label->ExportAs(), exptNumeric);
    EXPECT_EQ(value->Expression(), QStringLiteral("SUM(AMOUNT)"));
    EXPECT_EQ(value->CaptionText(), QStringLiteral("SUM(AMOUNT)"));
    EXPECT_EQ(value->Master(), find<TDezirUzu>(*root, "R"));
    EXPECT_TRUE(value->ResetAfterPrint());
    EXPECT_EQ(shape->Shape(), qrsRoundRect);
    EXPECT_FLOAT_EQ(shape->RoundFactor(), 0.25);
    EXPECT_EQ(shape->VertAdjust(), 3);
    EXPECT_EQ(shape->Pen()->Width(), 4);
    EXPECT_EQ(shape->Brush()->Style(), bsCross);
    EXPECT_TRUE(image->Center() && image->Stretch());

    const QString written = writeText(root.get());
    for (const char *stored :
         {"Caption\">Köszönöm", "\"BiDiMode\">bdRightToLeft", "\"FontSize\">10", "\"Mask\">#,##0.00", "\"Master\">R",
          "\"Shape\">qrsRoundRect", "\"Brush.Style\">bsCross", "\"Center\">True"})
        EXPECT_TRUE(written.contains(QString::fromUtf8(stored))) << stored;
    // Defaults stay out: the expression's AutoSize, the image's empty picture.
    const qsizetype at = written.indexOf(QStringLiteral("name=\"Value\""));
    EXPECT_FALSE(
        written.mid(at, written.indexOf(QStringLiteral("</component>"), at) - at).contains(QStringLiteral("AutoSize")));
    EXPECT_FALSE(written.contains(QStringLiteral("\"Picture\"")));
    EXPECT_EQ(writeText(read(written).get()), written);
}

TEST(ControlStreaming, FontSizeSetsTheFontOnceLoadedAndAParentFontIsNotStored) {
    const auto root = read(definition(control("TQRLabel", "Own", prop("Caption", "x") + prop("FontSize", "28")) +
                                          control("TQRLabel", "Inherited", prop("Caption", "y")) +
                                          control("TQRLabel", "Sized", prop("Font.Size", "9") + prop("FontSize", "0")),
                                      prop("Font.Name", "Times New Roman") + prop("Font.Size", "14")));
    auto *own = find<TQRLabel>(*root, "Own");
    auto *inherited = find<TQRLabel>(*root, "Inherited");
    auto *sized = find<TQRLabel>(*root, "Sized");
    EXPECT_EQ(own->Font()->Size(), 28);
    EXPECT_FALSE(own->ParentFont());
    EXPECT_EQ(own->Font()->Name(), QStringLiteral("Times New Roman"));
    EXPECT_TRUE(inherited->ParentFont());
    EXPECT_EQ(inherited->Font()->Size(), 14);
    EXPECT_EQ(sized->Font()->Size(), 9); // 0 is not a size: the font keeps its own
    const QString written = writeText(root.get());
    const auto rewritten = read(written);
    EXPECT_EQ(find<TQRLabel>(*rewritten, "Own")->Font()->Size(), 28);
    EXPECT_TRUE(find<TQRLabel>(*rewritten, "Inherited")->ParentFont());
    // The inheriting label stores its size, not its font.
    const qsizetype at = written.indexOf(QStringLiteral("name=\"Inherited\""));
    const QString inheritedXml = written.mid(at, written.indexOf(QStringLiteral("</component>"), at) - at);
    EXPECT_TRUE(inheritedXml.contains(QStringLiteral("\"FontSize\">14"))) << inheritedXml.toStdString();
    EXPECT_FALSE(inheritedXml.contains(QStringLiteral("Font.")));
    // A report's properties set the stored size through the same path.
    SetPropertyText(rewritten.get(), find<TQRLabel>(*rewritten, "Inherited"), QStringLiteral("FontSize"),
                    QStringLiteral("20"));
    EXPECT_EQ(find<TQRLabel>(*rewritten, "Inherited")->Font()->Size(), 20);
}

TEST(ControlStreaming, APictureBesideTheDefinitionStaysAFileAndElsewhereGoesInline) {
    TempFolder dir;
    const QString pictures = dir.mkdir(QStringLiteral("pictures"));
    writeFile(QDir(pictures).filePath(QStringLiteral("logo.bmp")), bitmap(Qt::red));
    const QString xml = definition(
        control("TQRImage", "Logo", "<property name=\"Picture\" file=\"pictures/logo.bmp\"/>") +
        control("TQRImage", "Inline",
                QStringLiteral("<property name=\"Picture\" format=\"bmp\" encoding=\"base64\">\n%1\n</property>")
                    .arg(QString::fromLatin1(bitmap(Qt::blue).toBase64()))));
    const auto root = read(xml, dir.path());
    auto *logo = find<TQRImage>(*root, "Logo");
    auto *inlined = find<TQRImage>(*root, "Inline");
    ASSERT_FALSE(logo->Picture().IsNull()) << logo->PictureError().toStdString();
    ASSERT_FALSE(inlined->Picture().IsNull()) << inlined->PictureError().toStdString();
    EXPECT_EQ(logo->Picture().PixelSize(), QSize(6, 4));
    EXPECT_EQ(inlined->PictureBytes(), bitmap(Qt::blue));

    SaveDefinition(root.get(), dir.filePath(QStringLiteral("again.qrx")));
    QFile beside(dir.filePath(QStringLiteral("again.qrx")));
    ASSERT_TRUE(beside.open(QIODevice::ReadOnly));
    const QString besideText = QString::fromUtf8(beside.readAll());
    EXPECT_TRUE(besideText.contains(QStringLiteral("file=\"pictures/logo.bmp\""))) << besideText.toStdString();

    // Saved in another folder the file is not beside it: the picture goes inline, and reads back the same.
    const QString other = dir.mkdir(QStringLiteral("other"));
    SaveDefinition(root.get(), QDir(other).filePath(QStringLiteral("moved.qrx")));
    const auto moved = LoadDefinition(QDir(other).filePath(QStringLiteral("moved.qrx")));
    EXPECT_EQ(find<TQRImage>(*moved, "Logo")->PictureBytes(), bitmap(Qt::red));
    EXPECT_TRUE(find<TQRImage>(*moved, "Logo")->PictureFile().isEmpty());
    EXPECT_EQ(find<TQRImage>(*moved, "Inline")->PictureBytes(), bitmap(Qt::blue));
}

TEST(ControlStreaming, AMissingOrDamagedPictureLeavesTheImageEmptyWithItsReason) {
    TempFolder dir;
    writeFile(dir.filePath(QStringLiteral("bad.jpg")), QByteArray("\xff\xd8\xff\xe0garbage", 11));
    const auto root =
        read(definition(control("TQRImage", "Missing", "<property name=\"Picture\" file=\"none.jpg\"/>") +
                        control("TQRImage", "Damaged", "<property name=\"Picture\" file=\"bad.jpg\"/>") +
                        control("TQRImage", "NotBase64",
                                "<property name=\"Picture\" format=\"jpeg\" encoding=\"base64\">@@@@</property>")),
             dir.path());
    for (const char *name : {"Missing", "Damaged", "NotBase64"}) {
        auto *image = find<TQRImage>(*root, name);
        EXPECT_TRUE(image->Picture().IsNull()) << name;
        EXPECT_FALSE(image->PictureError().isEmpty()) << name;
    }
}

TEST(ControlStreaming, ValuesADefinitionMayNotHoldAreRefusedByComponentAndProperty) {
    const QList<QPair<QString, QString>> cases{
        {control("TQRImage", "Img", "<property name=\"Picture\" file=\"../outside.bmp\"/>"), "Img.Picture"},
        {control("TQRImage", "Img", "<property name=\"Picture\" file=\"/etc/passwd\"/>"), "Img.Picture"},
        {control("TQRImage", "Img", "<property name=\"Picture\" file=\"a/../../b.bmp\"/>"), "Img.Picture"},
        {control("TQRImage", "Img", "<property name=\"Picture\" encoding=\"hex\">00</property>"), "Img.Picture"},
        {control("TQRImage", "Img", "<property name=\"Picture\" colour=\"red\"/>"), "Img.Picture"},
        {control("TQRLabel", "Lbl", prop("FontSize", "big")), "Lbl.FontSize"},
        {control("TQRLabel", "Lbl", prop("FontSize", "-3")), "Lbl.FontSize"},
        {control("TQRLabel", "Lbl", prop("BiDiMode", "bdUpsideDown")), "Lbl.BiDiMode"},
        {control("TQRExpr", "Ex", prop("Master", "D")), "Ex.Master"},
        {control("TQRShape", "Sh", prop("Shape", "qrsTriangle")), "Sh.Shape"},
    };
    for (const auto &[xml, where] : cases) {
        const QString message = readError(definition(xml));
        EXPECT_TRUE(message.startsWith(where + QStringLiteral(": "))) << message.toStdString();
    }
}
