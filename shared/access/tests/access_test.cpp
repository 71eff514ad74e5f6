#include "platform/Acl.h"
#include "shared/access/AccessControl.h"
#include "shared/testing/SharedTestContext.h"

#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::shared;

namespace {

const QString Folder = QStringLiteral("C:\\Manuals\\AB1234");
const QString File = QStringLiteral("C:\\Manuals\\mandex.fdf");

TEST(AccessControl, MaskLettersVolumesAndErrorTexts) {
    const std::pair<quint32, const char*> letters[] = {
        {0x1F01FF, "All"}, {0xFFFFFFFF, "All"}, {0x1301BF, "RWXD"}, {0x1200A9, "RX"},
        {0x120088, ""},    {0xD0000, "DPO"},    {0xE0010000, "D"}}; // generic rights are not letters
    for (const auto& [mask, text] : letters)
        EXPECT_EQ(AccessMaskLetters(mask), QLatin1String(text)) << mask;

    marvek::testing::SharedTestContext t;
    for (const char* path : {"\\\\server\\share\\manual", "Q:\\no drive", "C:", ""})
        EXPECT_FALSE(IsNtfsVolume(t.ctx, QLatin1String(path))) << path;
    EXPECT_EQ(IsNtfsVolume(t.ctx, QStringLiteral("c:\\Manuals")),
              platform::supportsAccessLists(t.temp().host(QStringLiteral("C:\\"))));
    // Network codes take their text from the network message file when it exists.
    EXPECT_EQ(GetSystemErrorText(t.ctx, 2102), platform::systemErrorText(2102, false));
    ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\WINNT\\SYSTEM32\\NETMSG.DLL"), "MZ"));
    EXPECT_EQ(GetSystemErrorText(t.ctx, 2102), platform::systemErrorText(2102, true));
    EXPECT_EQ(GetSystemErrorText(t.ctx, 5), platform::systemErrorText(5, false));
}

class AccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.ctx.UsersGroupName = GetUsersGroupName(t.ctx);
        ASSERT_TRUE(t.temp().writeFile(Folder + QStringLiteral("\\index.html"), "x") &&
                    t.temp().writeFile(File, "x"));
        if (t.ctx.UsersGroupName.isEmpty() || !IsNtfsVolume(t.ctx, QStringLiteral("C:\\Manuals")))
            GTEST_SKIP() << "no users group or no access lists on this file system";
    }
    quint32 setUsers(const QString& path, quint32 mask) {
        return platform::setGroupAccess(t.temp().host(path), t.ctx.UsersGroupName, mask,
                                        platform::NO_INHERITANCE);
    }
    platform::AccessEntry entry(const QString& path) {
        const auto list = platform::readAccessEntries(t.temp().host(path)).entries;
        return list.size() == 1 ? list[0] : platform::AccessEntry{9, 0, {}, 0};
    }

    marvek::testing::SharedTestContext t;
};

TEST_F(AccessTest, FolderAccessIsRecognisedByRwxdOrDenialButNotByFullControl) {
    EXPECT_FALSE(HasUsersFolderAccess(t.ctx, Folder));
    ASSERT_EQ(setUsers(Folder, platform::FILE_ALL_ACCESS), platform::ERROR_SUCCESS);
    EXPECT_FALSE(HasUsersFolderAccess(t.ctx, Folder)) << "full control alone does not count";
    ASSERT_TRUE(GrantUsersFolderAccess(t.ctx, Folder));
    EXPECT_TRUE(HasUsersFolderAccess(t.ctx, Folder));
    // chmod 700 leaves the entry in place but takes its rights away: no access, and no denial either.
    ASSERT_TRUE(
        QFile::setPermissions(t.temp().host(Folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_FALSE(HasUsersFolderAccess(t.ctx, Folder));
    ASSERT_TRUE(GrantUsersFolderAccess(t.ctx, Folder));
    EXPECT_TRUE(HasUsersFolderAccess(t.ctx, Folder));
    ASSERT_EQ(setUsers(Folder, 0), platform::ERROR_SUCCESS);
    ASSERT_EQ(entry(Folder).type, platform::ACCESS_DENIED_ACE_TYPE);
    EXPECT_TRUE(HasUsersFolderAccess(t.ctx, Folder)) << "a denied entry counts";
    t.ctx.UsersGroupName = QStringLiteral("no-such-group-of-this-test");
    EXPECT_FALSE(HasUsersFolderAccess(t.ctx, Folder)) << "another group's entry does not count";
    EXPECT_TRUE(t.ui().asked().empty());
}

TEST_F(AccessTest, FileGrantsGiveFullAccessAndReportFailures) {
    ASSERT_TRUE(GrantUsersFullAccess(t.ctx, File));
    EXPECT_EQ(entry(File).trustee, t.ctx.UsersGroupName);
    EXPECT_EQ(AccessMaskLetters(entry(File).mask), QStringLiteral("All"));
    // The launcher grants to the fixed name "Users" without looking the group up.
    ASSERT_EQ(setUsers(File, platform::FILE_GENERIC_READ), platform::ERROR_SUCCESS);
    t.ctx.UsersGroupName.clear();
    EXPECT_TRUE(GrantFixedUsersFullAccess(t.ctx, File));
    EXPECT_EQ(AccessMaskLetters(entry(File).mask), QStringLiteral("All"));
    EXPECT_TRUE(t.ui().asked().empty());

    // Without a group name the grant fails with the system's text under the program's title (not the
    // caption of the screen shown); the folder grant fails silently.
    t.ctx.AppTitle = q("Service Manual Setup");
    EXPECT_FALSE(GrantUsersFullAccess(t.ctx, File));
    EXPECT_FALSE(GrantUsersFolderAccess(t.ctx, Folder));
    ASSERT_EQ(t.ui().asked().size(), 1u);
    const platform::AskedQuestion& box = t.ui().asked()[0];
    EXPECT_EQ(std::tie(box.text, box.style, box.title),
              std::make_tuple(GetSystemErrorText(t.ctx, platform::ERROR_NONE_MAPPED), platform::mb::OKOnly,
                              q("Manual Install Program")));
}

} // namespace
