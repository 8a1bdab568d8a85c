// Test main for widget tests: Qt's offscreen platform and a fixed style, so
// the tests need no display and lay out the same on every machine.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/test_environment.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    orvane::testing::EnsurePrivateRuntimeFolder();
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
