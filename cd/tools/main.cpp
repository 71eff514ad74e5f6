// make_sample_cd: builds the sample service-manual CD tree.
//   make_sample_cd <content folder> <schema.sql> <output folder>
#include "BuildError.h"
#include "CdBuilder.h"

#include <QGuiApplication>
#include <QHashFunctions>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <content folder> <schema.sql> <output folder>\n", argv[0]);
        return 2;
    }
    // The PDF writer emits fonts in hash order: a fixed seed keeps the files the same from run to run.
    QHashSeed::setDeterministicGlobalSeed();
    // Archive times are written in local time: build in UTC so the bytes do not depend on the zone.
    qputenv("TZ", "UTC");
    tzset();
    // PDF rendering needs a GUI application, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid()) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    }
    QGuiApplication app(argc, argv);

    try {
        marvek::cdbuilder::CdBuilder builder(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                                             QString::fromLocal8Bit(argv[3]));
        builder.build();
    } catch (const marvek::cdbuilder::BuildError& error) {
        std::fprintf(stderr, "make_sample_cd: %s\n", error.what());
        return 1;
    }
    return 0;
}
