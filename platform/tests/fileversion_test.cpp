#include "platform/FileVersion.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace marvek::platform;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

} // namespace

TEST(FileVersion, RecordBytes) {
    const QByteArray record = fileVersionRecord({1, 2, 0x0304, 0xFFFF});
    // Put together from pieces so that this program does not carry the marker itself.
    const QByteArray expected = QByteArray(1, '\x7f') + QByteArray("MVK-FILE") + QByteArray("VERSION") +
                                QByteArray("\x01\x00\x02\x00\x04\x03\xff\xff", 8);
    EXPECT_EQ(record, expected);
}

TEST(FileVersion, FindsTheFirstRecordAnywhereInAFile) {
    QTemporaryDir dir;
    const QByteArray padding(100000, 'M');
    const QByteArray first = fileVersionRecord({1, 1, 0, 2});
    const QByteArray second = fileVersionRecord({9, 9, 9, 9});
    EXPECT_EQ(readFileVersion(writeFile(dir, "a.exe", padding + first + padding + second)),
              (FileVersion{1, 1, 0, 2}));
    EXPECT_EQ(readFileVersion(writeFile(dir, "start.exe", first)), (FileVersion{1, 1, 0, 2}));

    EXPECT_FALSE(readFileVersion(writeFile(dir, "none.exe", padding)).has_value());
    EXPECT_FALSE(readFileVersion(writeFile(dir, "empty.exe", QByteArray())).has_value());
    EXPECT_FALSE(readFileVersion(writeFile(dir, "cut.exe", padding + first.left(20))).has_value());
    EXPECT_FALSE(readFileVersion(writeFile(dir, "marker-only.exe", first.left(16))).has_value());
    EXPECT_FALSE(readFileVersion(dir.filePath("missing.exe")).has_value());
    EXPECT_FALSE(readFileVersion(dir.path()).has_value()); // a folder
}

TEST(FileVersion, ReadsAStreamThatCannotBeMapped) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // The record straddles the reader's first block boundary (1 MiB) and ends the stream, so that the
    // writer is done when the reader stops.
    const QByteArray bytes = QByteArray((1 << 20) - 10, 'x') + fileVersionRecord({4, 3, 2, 1});
    std::thread writer([&] {
        QFile out(fifo);
        if (out.open(QIODevice::WriteOnly))
            out.write(bytes);
    });
    const auto version = readFileVersion(fifo);
    writer.join();
    EXPECT_EQ(version, (FileVersion{4, 3, 2, 1}));
}

TEST(FileVersion, BuiltProgramsCarryTheirRecord) {
    EXPECT_EQ(readFileVersion(QStringLiteral(MARVEK_VERSIONED_PROGRAM)), (FileVersion{1, 2, 3, 4}));
    // This test program has no record of its own, and the platform library linked into it must not be
    // taken for one.
    EXPECT_FALSE(readFileVersion(QCoreApplication::applicationFilePath()).has_value());
}
