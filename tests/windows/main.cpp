// The window tests need one QApplication for the whole run, made before any test.

#include "gui/classic_look.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Test discovery runs the program without the test environment; it needs no display either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    stowix::ApplyClassicLook(application);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
