#include "browser/app/PagoraMain.h"

#include <QApplication>
#include <gtest/gtest.h>

// The browser tests run inside a QApplication prepared as Pagora prepares its own: the page engine
// needs its environment (no sandbox as root) and shared OpenGL contexts before the application exists.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    marvek::browser::prepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
