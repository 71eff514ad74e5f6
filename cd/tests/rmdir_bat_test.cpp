// The CD's clean-up batch RmDir.bat, run as the suite runs it: /bin/sh with one host path.
#include "platform/testing/TempMachine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QString Batch = QStringLiteral(MARVEK_SAMPLE_CD_DIR "/programs/setup/SysDir/RmDir.bat");

struct BatchRun {
    int exitCode = -1;
    QString errors;
};

BatchRun runBatch(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), QStringList{Batch} + arguments);
    process.waitForFinished(30000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

bool makeTree(const QString& root) {
    QDir().mkpath(root + QStringLiteral("/contents/sec 01"));
    QFile file(root + QStringLiteral("/contents/sec 01/page001.html"));
    if (!file.open(QIODevice::WriteOnly) || file.write("page") != 4)
        return false;
    file.close();
    // A read-only file inside, as a manual copied from a CD may have.
    return file.setPermissions(QFileDevice::ReadOwner);
}

class RmDirBatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QFileInfo::exists(Batch)) << "build the sample_cd target"; }

    marvek::testing::TempMachine machine; // MARVEK_ROOT points at it while the test runs
};

} // namespace

TEST_F(RmDirBatchTest, RemovesTheFolderWithEverythingInIt) {
    const QString folder = machine.host(QStringLiteral("C:\\Link\\Manual\\Aurea Repair"));
    ASSERT_TRUE(makeTree(folder));
    const QString sibling = machine.host(QStringLiteral("C:\\Link\\Manual\\Keep"));
    ASSERT_TRUE(QDir().mkpath(sibling));

    const BatchRun run = runBatch({folder});
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists(sibling));

    // With a trailing slash, and a folder that is already gone.
    ASSERT_TRUE(makeTree(folder));
    EXPECT_EQ(runBatch({folder + QLatin1Char('/')}).exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(runBatch({folder}).exitCode, 0);
}

TEST_F(RmDirBatchTest, RefusesPathsThatWouldRemoveTooMuch) {
    const QString driveC = machine.machine().driveFolder(QLatin1Char('C'));
    ASSERT_TRUE(makeTree(driveC + QStringLiteral("/Link")));
    const QString mediaD = machine.addDrive(QLatin1Char('D'));
    ASSERT_TRUE(makeTree(mediaD + QStringLiteral("/RM010EN")));

    const QStringList refused = {
        QString(),
        QStringLiteral("relative/folder"),
        QStringLiteral("Link"),
        QStringLiteral("/"),
        QStringLiteral("//"),
        QStringLiteral("C:"),
        QStringLiteral("C:\\"),
        QStringLiteral("C:\\Link"),
        driveC,
        driveC + QLatin1Char('/'),
        machine.root() + QStringLiteral("/drives/d"),
        mediaD, // the folder a drive letter stands for
    };
    for (const QString& path : refused) {
        const BatchRun run = runBatch({path});
        EXPECT_EQ(run.exitCode, 2) << path.toStdString();
        EXPECT_TRUE(run.errors.contains(QStringLiteral("refused"))) << path.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(driveC + QStringLiteral("/Link/contents/sec 01/page001.html")));
    EXPECT_TRUE(QFileInfo::exists(mediaD + QStringLiteral("/RM010EN/contents/sec 01/page001.html")));
    EXPECT_EQ(runBatch({}).exitCode, 2);
}
