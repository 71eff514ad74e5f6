#include "TestSupport.h"
#include "platform/FileVersion.h"

#include <QCoreApplication>
#include <sys/stat.h>
#include <thread>

TEST(FileVersion, FindsTheFirstRecordAnywhereInAFile) {
    QTemporaryDir dir;
    const auto versionOf = [&dir](const QString& name, const QByteArray& bytes) {
        EXPECT_TRUE(writeHostFile(dir.filePath(name), bytes));
        return readFileVersion(dir.filePath(name));
    };
    const QByteArray padding(100000, 'M');
    const QByteArray first = fileVersionRecord({1, 1, 0, 2});
    const QByteArray second = fileVersionRecord({9, 9, 9, 9});
    EXPECT_EQ(versionOf("a.exe", padding + first + padding + second), (FileVersion{1, 1, 0, 2}));
    EXPECT_FALSE(versionOf("none.exe", padding).has_value());
    EXPECT_FALSE(versionOf("cut.exe", padding + first.left(20)).has_value());
    EXPECT_FALSE(versionOf("marker-only.exe", first.left(16)).has_value());
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
