#include "platform/FileVersion.h"
#include "shared/access/AccessControl.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ProcessHelpers.h"
#include "shared/helpers/ShellHelpers.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

// The clean-up batch as the CD ships it: removes the folder it is given.
const QByteArray RmDirScript = "#!/bin/sh\nrm -rf -- \"$1\"\n";

class HelpersTest : public ::testing::Test {
protected:
    bool write(const QString& path, const QByteArray& content = "x") {
        return t.temp().writeFile(path, content);
    }
    bool exists(const QString& path) { return t.os().files().exists(path); }

    marvek::testing::SharedTestContext t;
};

TEST(PathHelpers, ParentFolderAndStripTrailingSeparator) {
    EXPECT_EQ(ParentFolder(QStringLiteral("Q:\\programs\\setup")), QStringLiteral("Q:\\programs"));
    EXPECT_EQ(ParentFolder(QStringLiteral("Q:\\programs")), QStringLiteral("Q:"));
    EXPECT_EQ(ParentFolder(QStringLiteral("Q:")), QStringLiteral("Q:"));
    EXPECT_EQ(ParentFolder(QStringLiteral("D:\\Manuals\\")), QStringLiteral("D:\\Manuals"));
    EXPECT_EQ(ParentFolder(QString()), QString());
    // Three times from the installer's folder: the CD root.
    EXPECT_EQ(ParentFolder(ParentFolder(ParentFolder(QStringLiteral("D:\\programs\\setup")))),
              QStringLiteral("D:"));

    EXPECT_EQ(StripTrailingSeparator(QStringLiteral("C:\\")), QStringLiteral("C:"));
    EXPECT_EQ(StripTrailingSeparator(QStringLiteral("C:\\Temp")), QStringLiteral("C:\\Temp"));
    EXPECT_EQ(StripTrailingSeparator(QStringLiteral("D:\\Manuals\\")), QStringLiteral("D:\\Manuals"));
    EXPECT_EQ(StripTrailingSeparator(QStringLiteral("C:")), QStringLiteral("C:"));
    EXPECT_EQ(StripTrailingSeparator(QString()), QString());
}

TEST_F(HelpersTest, IsSourceNewerComparesWholeSeconds) {
    const QString source = QStringLiteral("C:\\CD\\guide.pdf");
    const QString target = QStringLiteral("C:\\Link\\guide.pdf");
    ASSERT_TRUE(write(source));
    EXPECT_TRUE(IsSourceNewer(t.ctx, source, target)); // no target
    ASSERT_TRUE(write(target));
    const platform::Files& files = t.os().files();
    const qint64 base = 1700000000000;
    ASSERT_TRUE(files.setLastModifiedMs(source, base));
    ASSERT_TRUE(files.setLastModifiedMs(target, base));
    EXPECT_FALSE(IsSourceNewer(t.ctx, source, target)); // equal
    ASSERT_TRUE(files.setLastModifiedMs(source, base + 1000));
    EXPECT_TRUE(IsSourceNewer(t.ctx, source, target));
    ASSERT_TRUE(files.setLastModifiedMs(source, base - 1000));
    EXPECT_FALSE(IsSourceNewer(t.ctx, source, target)); // older
    EXPECT_FALSE(IsSourceNewer(t.ctx, QStringLiteral("C:\\CD\\none.pdf"), target));
}

TEST_F(HelpersTest, CopyFileReplacingOverAReadOnlyTarget) {
    const QString source = QStringLiteral("C:\\CD\\man_info_do.ci");
    const QString target = QStringLiteral("C:\\man_info\\man_info_do.ci");
    ASSERT_TRUE(write(source, "new"));
    ASSERT_TRUE(write(target, "old"));
    const platform::Files& files = t.os().files();
    ASSERT_TRUE(files.setAttributes(source, platform::FILE_ATTRIBUTE_READONLY)); // as on a CD
    ASSERT_TRUE(files.setAttributes(target, platform::FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(CopyFileReplacing(t.ctx, source, target));
    EXPECT_EQ(t.temp().readFile(target), QByteArray("new"));
    EXPECT_EQ(files.attributes(target), platform::FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(IsWritable(t.ctx, target));
    EXPECT_FALSE(IsWritable(t.ctx, source));
    EXPECT_FALSE(IsWritable(t.ctx, QStringLiteral("C:\\none")));
    EXPECT_EQ(t.clock().sleeps(), 1);
}

TEST_F(HelpersTest, CopyFileReplacingNeverLosesTheTarget) {
    const QString target = QStringLiteral("C:\\man_info\\man_info_do.ci");
    ASSERT_TRUE(write(target, "keep"));
    EXPECT_FALSE(CopyFileReplacing(t.ctx, QStringLiteral("C:\\CD\\missing.ci"), target));
    EXPECT_FALSE(CopyFileReplacing(t.ctx, target, target));
    EXPECT_FALSE(CopyFileReplacing(t.ctx, target, QStringLiteral("c:\\MAN_INFO\\Man_Info_Do.ci")));
    EXPECT_EQ(t.temp().readFile(target), QByteArray("keep"));
    EXPECT_FALSE(CopyFileReplacing(t.ctx, target, QStringLiteral("C:\\missing folder\\x.ci")));
}

TEST_F(HelpersTest, CopyFileWithAccessPausesBetweenItsSteps) {
    const QString source = QStringLiteral("C:\\CD\\programs\\setup\\man_info_us.ci");
    const QString target = QStringLiteral("C:\\Link\\man_info_us.ci");
    t.ctx.UsersGroupName = GetUsersGroupName();
    ASSERT_TRUE(write(source, "cd"));
    ASSERT_TRUE(write(target, "pc"));
    ASSERT_TRUE(t.os().files().setAttributes(target, platform::FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(CopyFileWithAccess(t.ctx, source, target));
    EXPECT_EQ(t.temp().readFile(target), QByteArray("cd"));
    EXPECT_TRUE(IsWritable(t.ctx, target));
    // After clearing the old attributes, before and after the copy, after clearing the copy's attributes,
    // and the pause after a successful grant.
    EXPECT_EQ(t.clock().sleeps(), 5);
    EXPECT_EQ(t.clock().sleptMs(), 5000);
    EXPECT_EQ(t.clock().eventPumps(), 4);
    EXPECT_TRUE(t.ui().asked().empty());
}

TEST_F(HelpersTest, CopyFileWithAccessReportsAFailedGrantAndKeepsTheCopy) {
    if (!IsNtfsVolume(t.ctx, QStringLiteral("C:\\")))
        GTEST_SKIP() << "no access lists on this file system";
    const QString source = QStringLiteral("C:\\CD\\guide.pdf");
    const QString target = QStringLiteral("C:\\Link\\guide.pdf");
    ASSERT_TRUE(write(source, "pdf"));
    ASSERT_TRUE(t.os().files().createFolderPath(QStringLiteral("C:\\Link")));
    t.ctx.UsersGroupName.clear();
    t.ui().addAnswer(QStringLiteral("1"));
    t.ui().addAnswer(QStringLiteral("1"));
    EXPECT_TRUE(CopyFileWithAccess(t.ctx, source, target));
    EXPECT_EQ(t.temp().readFile(target), QByteArray("pdf"));
    ASSERT_EQ(t.ui().asked().size(), 2u); // the system error text, then the access error
    EXPECT_EQ(t.ui().asked()[1].text, QStringLiteral("Set Access Error = C:\\Link\\guide.pdf"));
    EXPECT_EQ(t.ui().asked()[1].style, platform::mb::OKOnly);
}

TEST_F(HelpersTest, DeleteFileForceRemovesAReadOnlyFile) {
    const QString path = QStringLiteral("C:\\Link\\mandex.fdf");
    ASSERT_TRUE(write(path));
    ASSERT_TRUE(t.os().files().setAttributes(path, platform::FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeleteFileForce(t.ctx, path));
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(t.clock().sleptMs(), 1000);
    EXPECT_TRUE(DeleteFileForce(t.ctx, path)); // nothing to delete
}

TEST_F(HelpersTest, WaitSecondsSkipsWaitsBeyondSixteenBits) {
    WaitSeconds(t.ctx, 1);
    WaitSeconds(t.ctx, 32);
    EXPECT_EQ(t.clock().sleptMs(), 33000);
    WaitSeconds(t.ctx, 33);
    WaitSeconds(t.ctx, 0);
    WaitSeconds(t.ctx, -1);
    EXPECT_EQ(t.clock().sleeps(), 2);
}

TEST_F(HelpersTest, RunAndWaitPollsOnceASecondUntilTheChildEnds) {
    // The child ends (exit code 3) once the third one-second wait has passed.
    ASSERT_TRUE(write(QStringLiteral("C:\\tools\\wait for go.bat"),
                      "while [ ! -e \"$1\" ]; do sleep 0.02; done\nexit 3\n"));
    const QString go = t.temp().host(QStringLiteral("C:\\tools")) + QStringLiteral("/go");
    t.clock().onSleep = [&] {
        if (t.clock().sleeps() == 3)
            QFile(go).open(QIODevice::WriteOnly);
        QThread::msleep(10);
    };
    quint32 exitCode = 0;
    ASSERT_TRUE(RunAndWait(t.ctx, QStringLiteral("C:\\tools\\wait for go.bat \"C:\\tools\\go\""), &exitCode));
    EXPECT_EQ(exitCode, 3u);
    EXPECT_GE(t.clock().sleeps(), 3);
    EXPECT_EQ(t.clock().sleptMs(), 1000LL * t.clock().sleeps());
    EXPECT_EQ(t.clock().eventPumps(), t.clock().sleeps());
}

TEST_F(HelpersTest, RunAndWaitReportsAProgramThatCannotStart) {
    EXPECT_FALSE(RunAndWait(t.ctx, QStringLiteral("C:\\tools\\missing.exe /VERYSILENT /SP-")));
    EXPECT_EQ(t.clock().sleeps(), 0);
}

TEST(CleanupPaths, OnlyFoldersBelowADriveRootMayBeRemoved) {
    for (const char* path : {"", "   ", "C:", "C:\\", "D:\\", "c:/", "C:\\.", "C:\\..", "C:\\Temp\\..",
                             "C:\\...", "C:\\ ", "C:\\\\", "UnZipTemp", "\\UnZipTemp", "C:UnZipTemp",
                             "\\\\server\\share\\x", "1:\\x", "C:\\a\"b", "C:\\a*"})
        EXPECT_FALSE(IsRemovableFolderPath(QString::fromUtf8(path))) << path;
    for (const char* path : {"C:\\Temp", "d:\\Manuals\\AB1234", "C:\\Program Files\\Link\\UnZipTemp", "C:/x",
                             "C:\\..\\Temp", "C:\\マニュアル"})
        EXPECT_TRUE(IsRemovableFolderPath(QString::fromUtf8(path))) << path;
}

class CleanupTest : public HelpersTest {
protected:
    void SetUp() override { ASSERT_TRUE(write(t.ctx.CleanupBatchPath, RmDirScript)); }
};

TEST_F(CleanupTest, ResetFolderEmptiesAndRecreatesTheFolder) {
    const QString folder = QStringLiteral("C:\\Program Files\\Link\\UnZipTemp");
    ASSERT_TRUE(write(folder + QStringLiteral("\\manual\\index.html")));
    ASSERT_TRUE(write(folder + QStringLiteral("\\readme.txt")));
    ASSERT_TRUE(write(QStringLiteral("C:\\Program Files\\Link\\keep.txt")));
    ASSERT_TRUE(ResetFolder(t.ctx, folder));
    EXPECT_TRUE(t.os().files().folderExists(folder));
    EXPECT_TRUE(QDir(t.temp().host(folder)).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_TRUE(exists(QStringLiteral("C:\\Program Files\\Link\\keep.txt")));
    EXPECT_GE(t.clock().sleeps(), 1);
    EXPECT_TRUE(t.ui().asked().empty());

    // A missing folder is simply created.
    ASSERT_TRUE(ResetFolder(t.ctx, QStringLiteral("C:\\Program Files\\Link\\New")));
    EXPECT_TRUE(t.os().files().folderExists(QStringLiteral("C:\\Program Files\\Link\\New")));
}

TEST_F(CleanupTest, BatchPathWithBlanksRunsQuotedAndUnquoted) {
    t.ctx.setProgramFolder(QStringLiteral("C:\\Program Files\\Marvek\\Mandex"));
    ASSERT_TRUE(write(t.ctx.CleanupBatchPath, RmDirScript));
    t.temp().addDrive(QLatin1Char('D'));
    for (const BatchQuoting quoting : {BatchQuoting::FolderOnly, BatchQuoting::BatchAndFolder}) {
        const QString folder = QStringLiteral("D:\\Manuals\\AB 1234");
        ASSERT_TRUE(write(folder + QStringLiteral("\\contents\\AB1234.pdf")));
        ASSERT_TRUE(RunCleanupBatch(t.ctx, folder, quoting));
        EXPECT_FALSE(exists(folder));
        EXPECT_TRUE(t.os().files().folderExists(QStringLiteral("D:\\Manuals")));
    }
}

TEST_F(CleanupTest, RootsEmptyAndRelativePathsAreRefusedAndReported) {
    t.temp().addDrive(QLatin1Char('D'));
    ASSERT_TRUE(write(QStringLiteral("C:\\keep.txt")));
    ASSERT_TRUE(write(QStringLiteral("D:\\Manuals\\AB1234\\index.html")));
    const QStringList refused = {QString(),
                                 QStringLiteral("C:"),
                                 QStringLiteral("C:\\"),
                                 QStringLiteral("D:\\"),
                                 QStringLiteral("D:\\Manuals\\.."),
                                 QStringLiteral("Manuals"),
                                 QStringLiteral("\\\\server\\share\\Manuals")};
    size_t asked = 0;
    for (const QString& folder : refused) {
        EXPECT_FALSE(RunCleanupBatch(t.ctx, folder)) << folder.toStdString();
        EXPECT_FALSE(ResetFolder(t.ctx, folder)) << folder.toStdString();
        asked += 2;
        ASSERT_EQ(t.ui().asked().size(), asked);
        const platform::AskedQuestion& box = t.ui().asked().back();
        EXPECT_EQ(box.style, platform::mb::OKOnly | platform::mb::Exclamation);
        EXPECT_EQ(box.title, t.ctx.AppTitle);
        EXPECT_TRUE(box.text.contains(QStringLiteral("not removed"))) << box.text.toStdString();
    }
    EXPECT_EQ(t.clock().sleeps(), 0); // nothing was started
    EXPECT_TRUE(exists(QStringLiteral("C:\\keep.txt")));
    EXPECT_TRUE(exists(QStringLiteral("D:\\Manuals\\AB1234\\index.html")));
    EXPECT_TRUE(exists(t.ctx.CleanupBatchPath));
}

TEST_F(HelpersTest, FileVersionOfAProgramFile) {
    const QString program = QStringLiteral("C:\\Link\\Mandex.exe");
    ASSERT_TRUE(write(program, QByteArray(100, '\0') + platform::fileVersionRecord({1, 2, 3, 4}) + "tail"));
    int major = -1, minor = -1, build = -1, revision = -1;
    ASSERT_TRUE(GetFileVersion(t.ctx, program, major, minor, build, revision));
    EXPECT_EQ(std::vector<int>({major, minor, build, revision}), std::vector<int>({1, 2, 3, 4}));

    ASSERT_TRUE(write(QStringLiteral("C:\\Link\\readme.txt"), "no version here"));
    int untouched[4] = {7, 7, 7, 7};
    EXPECT_FALSE(GetFileVersion(t.ctx, QStringLiteral("C:\\Link\\readme.txt"), untouched[0], untouched[1],
                                untouched[2], untouched[3]));
    EXPECT_FALSE(GetFileVersion(t.ctx, QStringLiteral("C:\\Link\\none.exe"), untouched[0], untouched[1],
                                untouched[2], untouched[3]));
    EXPECT_EQ(std::vector<int>(untouched, untouched + 4), std::vector<int>({7, 7, 7, 7}));
}

TEST_F(HelpersTest, BrowseForFolderKeepsTheInitialFolderOnCancel) {
    t.ui().addAnswer(QStringLiteral("folder:D:\\Manuals"));
    t.ui().addAnswer(QStringLiteral("folder:"));
    EXPECT_EQ(BrowseForFolder(t.ctx, QStringLiteral("Install folder"), QStringLiteral("C:\\Link\\Manual")),
              QStringLiteral("D:\\Manuals"));
    EXPECT_EQ(BrowseForFolder(t.ctx, QStringLiteral("Install folder"), QStringLiteral("C:\\Link\\Manual")),
              QStringLiteral("C:\\Link\\Manual"));
    ASSERT_EQ(t.ui().asked().size(), 2u);
    EXPECT_EQ(t.ui().asked()[0].title, QStringLiteral("Install folder"));
    EXPECT_EQ(t.ui().asked()[0].text, QStringLiteral("C:\\Link\\Manual"));
}

} // namespace
