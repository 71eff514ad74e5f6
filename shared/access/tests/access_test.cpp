#include "platform/Acl.h"
#include "shared/access/AccessControl.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

class AccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.ctx.UsersGroupName = GetUsersGroupName();
        ASSERT_TRUE(QDir().mkpath(t.temp().host(QStringLiteral("C:\\Manuals\\AB1234"))));
    }

    // The access tests need a users group and a file system with access lists.
    bool aclsAvailable() const {
        return !t.ctx.UsersGroupName.isEmpty() && IsNtfsVolume(t.ctx, QStringLiteral("C:\\Manuals"));
    }

    marvek::testing::SharedTestContext t;
};

TEST(AccessMaskLettersTest, LettersOfTheMask) {
    EXPECT_EQ(AccessMaskLetters(0x1F01FF), QStringLiteral("All"));
    EXPECT_EQ(AccessMaskLetters(0xFFFFFFFF), QStringLiteral("All"));
    EXPECT_EQ(AccessMaskLetters(0x1301BF), QStringLiteral("RWXD")); // the inherited folder entry on disk
    EXPECT_EQ(AccessMaskLetters(0x120089), QStringLiteral("R"));
    EXPECT_EQ(AccessMaskLetters(0x1200A9), QStringLiteral("RX"));
    EXPECT_EQ(AccessMaskLetters(0x120088), QString()); // one bit of R missing
    EXPECT_EQ(AccessMaskLetters(0xD0000), QStringLiteral("DPO"));
    EXPECT_EQ(AccessMaskLetters(0xE0010000), QStringLiteral("D")); // generic rights are not letters
    EXPECT_EQ(AccessMaskLetters(0), QString());
}

TEST_F(AccessTest, OnlyDriveRootsOfAccessListVolumesAreNtfs) {
    EXPECT_FALSE(IsNtfsVolume(t.ctx, QStringLiteral("\\\\server\\share\\manual")));
    EXPECT_FALSE(IsNtfsVolume(t.ctx, QStringLiteral("Q:\\no drive")));
    EXPECT_FALSE(IsNtfsVolume(t.ctx, QStringLiteral("C:")));
    EXPECT_FALSE(IsNtfsVolume(t.ctx, QString()));
    const bool acl = platform::supportsAccessLists(t.temp().host(QStringLiteral("C:\\")));
    EXPECT_EQ(IsNtfsVolume(t.ctx, QStringLiteral("c:\\Manuals")), acl);
}

TEST_F(AccessTest, NetworkErrorTextsComeFromTheNetworkMessageFileWhenItExists) {
    EXPECT_EQ(GetSystemErrorText(t.ctx, 2102), platform::systemErrorText(2102, false));
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\WINNT\\SYSTEM32\\NETMSG.DLL"), "MZ"));
    EXPECT_EQ(GetSystemErrorText(t.ctx, 2102), platform::systemErrorText(2102, true));
    EXPECT_EQ(GetSystemErrorText(t.ctx, 5), platform::systemErrorText(5, false)); // not a network code
    EXPECT_LE(GetSystemErrorText(t.ctx, 5).size(), 255);
}

TEST_F(AccessTest, FolderEntryIsRecognisedAsRwxdButFullControlIsNot) {
    if (!aclsAvailable())
        GTEST_SKIP() << "no users group or no access lists on this file system";
    const QString folder = QStringLiteral("C:\\Manuals\\AB1234");
    EXPECT_FALSE(HasUsersFolderAccess(t.ctx, folder));

    // Full control alone does not count: the repair adds the folder entry.
    ASSERT_EQ(platform::setGroupAccess(t.temp().host(folder), t.ctx.UsersGroupName, platform::FILE_ALL_ACCESS,
                                       platform::NO_INHERITANCE),
              platform::ERROR_SUCCESS);
    EXPECT_FALSE(HasUsersFolderAccess(t.ctx, folder));

    ASSERT_TRUE(GrantUsersFolderAccess(t.ctx, folder));
    EXPECT_TRUE(HasUsersFolderAccess(t.ctx, folder));
    // Another group's entry does not count.
    t.ctx.UsersGroupName = QStringLiteral("no-such-group-of-this-test");
    EXPECT_FALSE(HasUsersFolderAccess(t.ctx, folder));
    EXPECT_TRUE(t.ui().asked().empty());
}

TEST_F(AccessTest, DeniedUsersEntryCounts) {
    if (!aclsAvailable())
        GTEST_SKIP() << "no users group or no access lists on this file system";
    const QString setfacl = QStandardPaths::findExecutable(QStringLiteral("setfacl"));
    if (setfacl.isEmpty())
        GTEST_SKIP() << "setfacl is not installed";
    const QString folder = QStringLiteral("C:\\Manuals\\AB1234");
    ASSERT_EQ(QProcess::execute(setfacl,
                                {QStringLiteral("-m"), QStringLiteral("g:%1:---").arg(t.ctx.UsersGroupName),
                                 t.temp().host(folder)}),
              0);
    EXPECT_TRUE(HasUsersFolderAccess(t.ctx, folder));
}

TEST_F(AccessTest, FullAccessOnAFile) {
    if (!aclsAvailable())
        GTEST_SKIP() << "no users group or no access lists on this file system";
    const QString file = QStringLiteral("C:\\Manuals\\mandex.fdf");
    ASSERT_TRUE(t.temp().writeFile(file, "x"));
    ASSERT_TRUE(GrantUsersFullAccess(t.ctx, file));
    const platform::AclResult list = platform::readAccessEntries(t.temp().host(file));
    ASSERT_EQ(list.error, platform::ERROR_SUCCESS);
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].trustee, t.ctx.UsersGroupName);
    EXPECT_EQ(AccessMaskLetters(list.entries[0].mask), QStringLiteral("All"));
    EXPECT_TRUE(t.ui().asked().empty());
}

TEST_F(AccessTest, LauncherGrantsToTheFixedNameUsers) {
    EXPECT_EQ(HostTrusteeName(QStringLiteral("Users")), GetUsersGroupName());
    EXPECT_EQ(HostTrusteeName(QStringLiteral("USERS")), GetUsersGroupName());
    EXPECT_EQ(HostTrusteeName(QStringLiteral("staff")), QStringLiteral("staff"));
    if (!aclsAvailable())
        GTEST_SKIP() << "no users group or no access lists on this file system";
    t.ctx.UsersGroupName.clear(); // the launcher does not look the name up
    const QString file = QStringLiteral("C:\\man_info\\man_info_do.ci");
    ASSERT_TRUE(t.temp().writeFile(file, "x"));
    EXPECT_TRUE(GrantFixedUsersFullAccess(t.ctx, file));
    const platform::AclResult list = platform::readAccessEntries(t.temp().host(file));
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].trustee, GetUsersGroupName());
}

TEST_F(AccessTest, GrantWithoutUsersGroupNameShowsTheSystemErrorText) {
    if (!aclsAvailable())
        GTEST_SKIP() << "no access lists on this file system";
    t.ctx.UsersGroupName.clear();
    const QString file = QStringLiteral("C:\\Manuals\\mandex.fdf");
    ASSERT_TRUE(t.temp().writeFile(file, "x"));
    EXPECT_FALSE(GrantUsersFullAccess(t.ctx, file));
    ASSERT_EQ(t.ui().asked().size(), 1u);
    EXPECT_EQ(t.ui().asked()[0].text, GetSystemErrorText(t.ctx, platform::ERROR_NONE_MAPPED));
    EXPECT_EQ(t.ui().asked()[0].style, platform::mb::OKOnly);
    EXPECT_EQ(t.ui().asked()[0].title, t.ctx.AppTitle);
    // The folder grant fails silently.
    EXPECT_FALSE(GrantUsersFolderAccess(t.ctx, QStringLiteral("C:\\Manuals\\AB1234")));
    EXPECT_EQ(t.ui().asked().size(), 1u);
}

TEST_F(AccessTest, VolumeWithoutAccessListsIsLeftAlone) {
    // procfs keeps no access lists; nothing is written there.
    ASSERT_TRUE(t.temp().machine().mapDrive(QLatin1Char('F'), QStringLiteral("/proc")));
    if (IsNtfsVolume(t.ctx, QStringLiteral("F:\\")))
        GTEST_SKIP() << "/proc reports access lists here";
    t.ctx.UsersGroupName.clear(); // would make any real grant fail
    EXPECT_TRUE(GrantUsersFullAccess(t.ctx, QStringLiteral("F:\\version")));
    EXPECT_TRUE(GrantFixedUsersFullAccess(t.ctx, QStringLiteral("F:\\version")));
    EXPECT_TRUE(t.ui().asked().empty());
}

} // namespace
