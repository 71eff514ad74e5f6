// marvek-machine: the machine prefix from the command line (see app/MachineCommand.h).
#include "machine_tool/app/MachineTool.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const int status = marvek::machine_tool::machineToolMain(arguments, out, err);
    out.flush();
    err.flush();
    return status;
}
