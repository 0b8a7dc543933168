// The main of the tests that need a real screen: modal boxes and windows behave differently on
// the offscreen platform, which opens none. Without a display the tests skip.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
