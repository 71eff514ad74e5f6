#include "browser_setup/app/PagosetMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return marvek::browser_setup::Main();
}
