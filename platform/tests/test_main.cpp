#include <QApplication>
#include <gtest/gtest.h>

// The tests run inside a QApplication so that the dialog and event-loop seams can be exercised.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
