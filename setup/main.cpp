#include "setup/app/SetupMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // the program ends through EndSetup
    return marvek::setup::Main();
}
