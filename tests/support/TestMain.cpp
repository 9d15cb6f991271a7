#include <QApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

// One application object for every test binary; windows need it, the rest does not mind it.
int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
