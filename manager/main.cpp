#include "manager/window/ManagerMain.h"

int main(int argc, char** argv) {
    return marvek::manager::Main(argc, argv);
}
