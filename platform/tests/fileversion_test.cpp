#include "TestSupport.h"
#include "platform/FileVersion.h"
#include "platform/testing/BuildPath.h"

#include <QCoreApplication>

using marvek::testing::BuildPath;

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

TEST(FileVersion, BuiltProgramsCarryTheirRecord) {
    EXPECT_EQ(readFileVersion(BuildPath("MARVEK_VERSIONED_PROGRAM")), (FileVersion{1, 2, 3, 4}));
    // This test program has no record of its own, and the platform library linked into it must not be
    // taken for one.
    EXPECT_FALSE(readFileVersion(QCoreApplication::applicationFilePath()).has_value());
}
