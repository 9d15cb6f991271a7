#include "printer/drawing/EmfFormat.h"
#include "printer/drawing/EmfRecorder.h"
#include "printer/drawing/Metafile.h"
#include "tests/printer/drawing/DrawingTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace emf;

TEST(Recorder, ReplayMatchesDirectPainting) {
    const QImage direct = paintDirect(400, 500, paintSamplePage);
    QByteArray bytes;
    const QImage replayed = paintRecorded(400, 500, paintSamplePage, &bytes);
    ASSERT_FALSE(replayed.isNull());
    EXPECT_GT(inkShare(direct), 0.05);
    const double share = differingShare(direct, replayed);
    if (share > 0.002) {
        direct.save(QStringLiteral("/tmp/direct.png"));
        replayed.save(QStringLiteral("/tmp/replayed.png"));
    }
    EXPECT_LT(share, 0.002);
}
