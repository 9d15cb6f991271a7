#include "printer/drawing/Metafile.h"
#include "tests/printer/drawing/DrawingTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QPainter>
#include <QStandardPaths>
#include <QSvgRenderer>

#include <gtest/gtest.h>

// Another program's reader must take our recordings: their text as text, their drawing visible.
TEST(IndependentReader, ConvertsARecordedPage) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("emf2svg-conv"));
    if (tool.isEmpty())
        GTEST_SKIP() << "emf2svg-conv is not installed (Debian package emf2svg); the independent reader check "
                        "did not run";
    TempFolder dir;
    TMetafile page(400, 500, 96, 96);
    {
        TMetafileCanvas canvas(page);
        paintSamplePage(canvas.Painter());
    }
    const QString emfPath = dir.filePath(QStringLiteral("page.emf"));
    const QString svgPath = dir.filePath(QStringLiteral("page.svg"));
    {
        QFile f(emfPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(page.Bytes());
    }
    const ProcessRun run = runProcess(tool, {QStringLiteral("-i"), emfPath, QStringLiteral("-o"), svgPath});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QFile svg(svgPath);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray content = svg.readAll();
    EXPECT_TRUE(content.contains(QStringLiteral("Felhasználói kézikönyv").toUtf8()));
    EXPECT_TRUE(content.contains("Line 8: the quick brown fox jumps over the lazy dog"));
    EXPECT_TRUE(content.contains("Right aligned, blue"));

    QSvgRenderer renderer(content);
    ASSERT_TRUE(renderer.isValid());
    QImage image(400, 500, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, 400, 500));
    }
    // The shapes band (filled rectangle, ellipse, rounded rectangle) shows in the other reader's picture.
    EXPECT_GT(inkShare(image.copy(20, 280, 360, 60)), 0.3);
    EXPECT_GT(inkShare(image.copy(0, 60, 400, 150)), 0.02);
    // The open curve stays open: nothing on the chord between its ends.
    EXPECT_GT(inkShare(image.copy(255, 340, 130, 65)), 0.01);
    EXPECT_EQ(inkShare(image.copy(288, 388, 5, 5)), 0);
    EXPECT_EQ(inkShare(image.copy(348, 368, 5, 5)), 0);
}
