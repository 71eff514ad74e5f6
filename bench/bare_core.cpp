// The floor of the hand-over: a process that only creates a QCoreApplication and ends.
#include <QCoreApplication>

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    return 0;
}
