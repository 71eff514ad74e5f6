#include "manager/window/ManagerMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return marvek::manager::Main();
}
