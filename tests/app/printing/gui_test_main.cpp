// The tests' main for code that draws: Qt needs a QGuiApplication for fonts and painting, on the
// offscreen platform unless the environment picks another.
#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
