// PagoraEngine: the browser with its page engine, run by Pagora (browser/front.cpp) when it becomes
// the running instance.
#include "browser/app/PagoraMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    marvek::browser::prepareWebEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // the program ends by its own rule
    return marvek::browser::Main(arguments);
}
