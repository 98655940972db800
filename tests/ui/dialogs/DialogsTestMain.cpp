#include <gtest/gtest.h>

#include <QApplication>

// Widgets need one application object for the whole run, made before any
// test and destroyed before the process exits. Headless even where the test
// list is read without the test environment.
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
