// make_cd_image: writes a CD tree as an ISO 9660 image with Rock Ridge and Joliet.
//   make_cd_image <CD tree> <image file> <volume label>
#include "BuildError.h"
#include "CdImage.h"

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <CD tree> <image file> <volume label>\n", argv[0]);
        return 2;
    }
    try {
        marvek::cdbuilder::writeCdImage(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                                        QString::fromLocal8Bit(argv[3]));
    } catch (const marvek::cdbuilder::BuildError& error) {
        std::fprintf(stderr, "make_cd_image: %s\n", error.what());
        return 1;
    }
    return 0;
}
