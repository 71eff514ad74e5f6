// Pagora, the program callers start: hands the command line to a running instance, or becomes the
// instance by running the page engine in this process (browser/engine.cpp).
#include "browser/app/Front.h"

int main(int argc, char** argv) {
    return marvek::browser::runFront(argc, argv);
}
