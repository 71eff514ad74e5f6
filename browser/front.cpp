// Pagora, the program callers start: hands the command line to a running instance, or becomes the
// instance by running the page engine in this process (browser/engine.cpp).
#include "browser/app/Front.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QCoreApplication app(argc, argv);
    return marvek::browser::runFront(arguments);
}
