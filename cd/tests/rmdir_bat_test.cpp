// The CD's clean-up batch RmDir.bat, run as the suite runs it: /bin/sh with one host path.
#include "platform/testing/TempMachine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QString Batch = QStringLiteral(MARVEK_SAMPLE_CD_DIR "/programs/setup/SysDir/RmDir.bat");

// Runs the batch; the exit code (-1 for a crash), with what it wrote to standard error.
int runBatch(const QStringList& arguments, QString* errors = nullptr) {
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), QStringList{Batch} + arguments);
    process.waitForFinished(30000);
    if (errors)
        *errors = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A manual tree with a read-only page inside, as a manual copied from a CD may have.
bool makeTree(const QString& root) {
    QDir().mkpath(root + QStringLiteral("/contents/sec 01"));
    QFile file(root + QStringLiteral("/contents/sec 01/page001.html"));
    return file.open(QIODevice::WriteOnly) && file.write("page") == 4 && file.flush() &&
           file.setPermissions(QFileDevice::ReadOwner);
}

class RmDirBatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QFileInfo::exists(Batch)) << "build the sample_cd target"; }

    marvek::testing::TempMachine machine; // MARVEK_ROOT points at it while the test runs
};

} // namespace

TEST_F(RmDirBatchTest, RemovesTheFolderWithEverythingInIt) {
    const QString folder = machine.host(QStringLiteral("C:\\Link\\Manual\\Aurea Repair"));
    const QString sibling = machine.host(QStringLiteral("C:\\Link\\Manual\\Keep"));
    ASSERT_TRUE(makeTree(folder) && QDir().mkpath(sibling));
    QString errors;
    EXPECT_EQ(runBatch({folder}, &errors), 0) << errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists(sibling));

    // With a trailing slash, and a folder that is already gone.
    ASSERT_TRUE(makeTree(folder));
    EXPECT_EQ(runBatch({folder + QLatin1Char('/')}), 0);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(runBatch({folder}), 0);
}

TEST_F(RmDirBatchTest, RefusesPathsThatWouldRemoveTooMuch) {
    const QString driveC = machine.machine().driveFolder(QLatin1Char('C'));
    const QString mediaD = machine.addDrive(QLatin1Char('D'));
    ASSERT_TRUE(makeTree(driveC + QStringLiteral("/Link")) && makeTree(mediaD + QStringLiteral("/RM010EN")));

    // Empty, relative, the root, a drive root as text or as the folder a drive letter stands for.
    for (const QString& path :
         {QString(), QStringLiteral("relative/folder"), QStringLiteral("Link"), QStringLiteral("/"),
          QStringLiteral("//"), QStringLiteral("C:"), QStringLiteral("C:\\"), QStringLiteral("C:\\Link"),
          driveC, driveC + QLatin1Char('/'), machine.root() + QStringLiteral("/drives/d"), mediaD}) {
        QString errors;
        EXPECT_EQ(runBatch({path}, &errors), 2) << path.toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("refused"))) << path.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(driveC + QStringLiteral("/Link/contents/sec 01/page001.html")));
    EXPECT_TRUE(QFileInfo::exists(mediaD + QStringLiteral("/RM010EN/contents/sec 01/page001.html")));
    EXPECT_EQ(runBatch({}), 2);
}
