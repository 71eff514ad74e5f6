#include "shared/access/AccessControl.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ProcessHelpers.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

class HelpersTest : public ::testing::Test {
protected:
    bool write(const char* path, const QByteArray& content = "x") {
        return t.temp().writeFile(q(path), content);
    }
    bool readOnly(const char* path) {
        return t.os().files().setAttributes(q(path), platform::FILE_ATTRIBUTE_READONLY);
    }
    bool exists(const char* path) { return t.os().files().exists(q(path)); }
    QByteArray read(const char* path) { return t.temp().readFile(q(path)); }

    marvek::testing::SharedTestContext t;
};

TEST(PathHelpers, ParentFolderStripTrailingSeparatorAndRemovableFolders) {
    QStringList parents, stripped;
    for (const char* path : {"Q:\\programs\\setup", "Q:", "C:\\", "D:\\Manuals\\", ""}) {
        parents << ParentFolder(q(path));
        stripped << StripTrailingSeparator(q(path));
    }
    EXPECT_EQ(parents, QStringList({"Q:\\programs", "Q:", "C:", "D:\\Manuals", ""}));
    EXPECT_EQ(stripped, QStringList({"Q:\\programs\\setup", "Q:", "C:", "D:\\Manuals", ""}));
    for (const char* path :
         {"", "   ", "C:", "C:\\", "c:/", "C:\\.", "C:\\Temp\\..", "C:\\...", "C:\\ ", "C:\\\\", "UnZipTemp",
          "\\UnZipTemp", "C:UnZipTemp", "\\\\server\\share\\x", "1:\\x", "C:\\a*"})
        EXPECT_FALSE(IsRemovableFolderPath(q(path))) << path;
    for (const char* path : {"C:\\Temp", "d:\\Manuals\\AB1234", "C:/x", "C:\\..\\Temp", "C:\\マニュアル"})
        EXPECT_TRUE(IsRemovableFolderPath(q(path))) << path;
}

TEST_F(HelpersTest, IsSourceNewerComparesWholeSecondsAndWaitsFitSixteenBits) {
    const QString source = q("C:\\CD\\guide.pdf"), target = q("C:\\Link\\guide.pdf");
    ASSERT_TRUE(write("C:\\CD\\guide.pdf"));
    EXPECT_TRUE(IsSourceNewer(t.ctx, source, target)); // no target
    EXPECT_FALSE(IsSourceNewer(t.ctx, q("C:\\CD\\none.pdf"), source));
    ASSERT_TRUE(write("C:\\Link\\guide.pdf") && t.os().files().setLastModifiedMs(target, 1700000000000));
    for (const auto& [offsetMs, newer] :
         {std::pair(0, false), std::pair(999, false), std::pair(1000, true)}) {
        ASSERT_TRUE(t.os().files().setLastModifiedMs(source, 1700000000000 + offsetMs));
        EXPECT_EQ(IsSourceNewer(t.ctx, source, target), newer) << offsetMs;
    }

    for (int seconds : {32, 33, 0, -1}) // n x 1000 must fit 16 bits
        WaitSeconds(t.ctx, seconds);
    EXPECT_EQ(t.clock().sleptMs(), 32000);
    EXPECT_EQ(t.clock().sleeps(), 1);
}

TEST_F(HelpersTest, CopyFileReplacingReplacesAReadOnlyTargetAndNeverLosesIt) {
    const QString source = q("C:\\CD\\man_info_do.ci"), target = q("C:\\man_info\\man_info_do.ci");
    ASSERT_TRUE(write("C:\\CD\\man_info_do.ci", "new") && write("C:\\man_info\\man_info_do.ci", "old"));
    ASSERT_TRUE(readOnly("C:\\CD\\man_info_do.ci") && readOnly("C:\\man_info\\man_info_do.ci"));
    ASSERT_TRUE(CopyFileReplacing(t.ctx, source, target));
    EXPECT_EQ(read("C:\\man_info\\man_info_do.ci"), "new");
    EXPECT_EQ(t.os().files().attributes(target), platform::FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(t.clock().sleeps(), 1);
    EXPECT_TRUE(IsWritable(t.ctx, target));
    EXPECT_FALSE(IsWritable(t.ctx, source));
    EXPECT_FALSE(IsWritable(t.ctx, q("C:\\none")));

    // A missing source, or the target itself under another spelling: the target stays.
    EXPECT_FALSE(CopyFileReplacing(t.ctx, q("C:\\CD\\missing.ci"), target));
    EXPECT_FALSE(CopyFileReplacing(t.ctx, target, target));
    EXPECT_FALSE(CopyFileReplacing(t.ctx, target, q("c:\\MAN_INFO\\Man_Info_Do.ci")));
    EXPECT_EQ(read("C:\\man_info\\man_info_do.ci"), "new");
    EXPECT_FALSE(CopyFileReplacing(t.ctx, target, q("C:\\missing folder\\x.ci")));
}

TEST_F(HelpersTest, CopyFileWithAccessPausesBetweenItsStepsAndKeepsTheCopyWhenTheGrantFails) {
    const QString source = q("C:\\CD\\man_info_us.ci"), target = q("C:\\Link\\man_info_us.ci");
    t.ctx.UsersGroupName = GetUsersGroupName(t.ctx);
    ASSERT_TRUE(write("C:\\CD\\man_info_us.ci", "cd") && write("C:\\Link\\man_info_us.ci", "pc"));
    ASSERT_TRUE(readOnly("C:\\Link\\man_info_us.ci"));
    ASSERT_TRUE(CopyFileWithAccess(t.ctx, source, target));
    EXPECT_EQ(read("C:\\Link\\man_info_us.ci"), "cd");
    EXPECT_TRUE(IsWritable(t.ctx, target));
    // After clearing the old attributes, before and after the copy, after clearing the copy's
    // attributes, and after a successful grant.
    EXPECT_EQ(t.clock().sleptMs(), 5000);
    EXPECT_EQ(t.clock().eventPumps(), 4);
    EXPECT_TRUE(t.ui().asked().empty());
    if (!IsNtfsVolume(t.ctx, q("C:\\")))
        GTEST_SKIP() << "no access lists on this file system";
    t.ctx.UsersGroupName.clear();
    t.ctx.AppTitle = q("Service Manual Setup"); // a screen's caption: these boxes take the program's title
    ASSERT_TRUE(write("C:\\CD\\man_info_us.ci", "new"));
    EXPECT_TRUE(CopyFileWithAccess(t.ctx, source, target));
    EXPECT_EQ(read("C:\\Link\\man_info_us.ci"), "new");
    ASSERT_EQ(t.ui().asked().size(), 2u); // the system error text, then the access error
    EXPECT_EQ(t.ui().asked()[1].text, q("Set Access Error = C:\\Link\\man_info_us.ci"));
    for (const platform::AskedQuestion& box : t.ui().asked())
        EXPECT_EQ(box.title, q("Manual Install Program"));
}

TEST_F(HelpersTest, RunAndWaitPollsOnceASecondUntilTheChildEnds) {
    EXPECT_FALSE(RunAndWait(t.ctx, q("C:\\tools\\missing.exe /VERYSILENT /SP-")));
    EXPECT_EQ(t.clock().sleeps(), 0);
    // The child ends (exit code 3) once the third one-second wait has passed.
    ASSERT_TRUE(write("C:\\tools\\wait for go.bat", "while [ ! -e \"$1\" ]; do sleep 0.02; done\nexit 3\n"));
    t.clock().onSleep = [&] {
        if (t.clock().sleeps() == 3)
            QFile(t.temp().host(q("C:\\tools\\go"))).open(QIODevice::WriteOnly);
        QThread::msleep(10);
    };
    quint32 exitCode = 0;
    ASSERT_TRUE(RunAndWait(t.ctx, q("C:\\tools\\wait for go.bat \"C:\\tools\\go\""), &exitCode));
    EXPECT_EQ(exitCode, 3u);
    EXPECT_GE(t.clock().sleeps(), 3);
    EXPECT_EQ(t.clock().sleptMs(), 1000LL * t.clock().sleeps());
    EXPECT_EQ(t.clock().eventPumps(), t.clock().sleeps());
}

TEST_F(HelpersTest, CleanupRemovesOnlyTheFolderGivenAndRefusesRootsEmptyAndRelativePaths) {
    t.ctx.setProgramFolder(q("C:\\Program Files\\Marvek\\Mandex")); // blanks in the batch path
    ASSERT_TRUE(t.temp().writeFile(t.ctx.CleanupBatchPath, "#!/bin/sh\nrm -rf -- \"$1\"\n"));
    t.temp().addDrive(QLatin1Char('D'));
    ASSERT_TRUE(write("C:\\Link\\Temp\\manual\\index.html") && write("C:\\Link\\keep.txt") &&
                write("C:\\keep.txt"));
    ASSERT_TRUE(ResetFolder(t.ctx, q("C:\\Link\\Temp")));
    EXPECT_TRUE(QDir(t.temp().host(q("C:\\Link\\Temp"))).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    EXPECT_TRUE(exists("C:\\Link\\keep.txt"));
    ASSERT_TRUE(ResetFolder(t.ctx, q("C:\\Link\\New"))); // a missing folder is created
    EXPECT_TRUE(t.os().files().folderExists(q("C:\\Link\\New")));
    for (const BatchQuoting quoting : {BatchQuoting::FolderOnly, BatchQuoting::BatchAndFolder}) {
        ASSERT_TRUE(write("D:\\Manuals\\AB 1234\\contents\\AB1234.pdf"));
        ASSERT_TRUE(RunCleanupBatch(t.ctx, q("D:\\Manuals\\AB 1234"), quoting));
        EXPECT_FALSE(exists("D:\\Manuals\\AB 1234"));
    }
    EXPECT_TRUE(t.ui().asked().empty());

    const int sleeps = t.clock().sleeps();
    ASSERT_TRUE(write("D:\\Manuals\\AB1234\\index.html"));
    for (const char* folder :
         {"", "C:", "C:\\", "D:\\", "D:\\Manuals\\..", "Manuals", "\\\\server\\share\\M"}) {
        EXPECT_FALSE(RunCleanupBatch(t.ctx, q(folder))) << folder;
        EXPECT_FALSE(ResetFolder(t.ctx, q(folder))) << folder;
    }
    ASSERT_EQ(t.ui().asked().size(), 14u);
    for (const platform::AskedQuestion& box : t.ui().asked()) {
        EXPECT_EQ(box.style, platform::mb::OKOnly | platform::mb::Exclamation);
        EXPECT_EQ(box.title, t.ctx.AppTitle);
        EXPECT_TRUE(box.text.contains(q("not removed"))) << box.text.toStdString();
    }
    EXPECT_EQ(t.clock().sleeps(), sleeps); // nothing was started
    EXPECT_TRUE(exists("C:\\keep.txt") && exists("D:\\Manuals\\AB1234\\index.html"));
    EXPECT_TRUE(t.os().files().exists(t.ctx.CleanupBatchPath));
}

} // namespace
