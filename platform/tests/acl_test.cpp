#include "platform/Acl.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <acl/libacl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/acl.h>

using namespace marvek::platform;

namespace {

// The list of a path in the short text form of getfacl ("user::rwx,group:users:rwx,..."); empty on error.
QString aclText(const QString& path, acl_type_t type) {
    acl_t acl = acl_get_file(QFile::encodeName(path).constData(), type);
    if (!acl)
        return {};
    char* text = acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE);
    const QString result = text ? QString::fromLatin1(text) : QString();
    acl_free(text);
    acl_free(acl);
    return result;
}

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

// A folder on a file system with access lists and the "users" group, or the reason to skip.
class AccessLists : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        if (!supportsAccessLists(m_dir.path()))
            GTEST_SKIP() << "the temporary folder's file system keeps no access lists";
        if (usersGroupName().isEmpty())
            GTEST_SKIP() << "this host has no group \"users\"";
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

} // namespace

TEST(Acl, SystemErrorTexts) {
    EXPECT_EQ(systemErrorText(2, false), "The system cannot find the file specified.");
    EXPECT_EQ(systemErrorText(5, true), "Access is denied.");
    EXPECT_EQ(systemErrorText(122, false), "The data area passed to a system call is too small.");
    EXPECT_EQ(systemErrorText(1332, false), "No mapping between account names and security IDs was done.");
    EXPECT_EQ(systemErrorText(50, false), "The request is not supported.");
    // Network codes only with the network message table.
    EXPECT_EQ(systemErrorText(2102, true), "The workstation driver is not installed.");
    EXPECT_EQ(systemErrorText(2102, false), "");
    EXPECT_EQ(systemErrorText(2999, true), "");
    EXPECT_EQ(systemErrorText(123456, false), "");
}

TEST(Acl, UnknownTrusteesAndMissingPaths) {
    QTemporaryDir dir;
    const QString file = dir.filePath("f.txt");
    touch(file);
    EXPECT_EQ(setGroupAccess(file, "", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_NONE_MAPPED);
    EXPECT_EQ(setGroupAccess(file, "no-such-group-here", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_NONE_MAPPED);
    if (usersGroupName().isEmpty())
        return;
    EXPECT_EQ(setGroupAccess(dir.filePath("missing"), usersGroupName(), FILE_ALL_ACCESS, NO_INHERITANCE),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readAccessEntries(dir.filePath("missing")).error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readAccessEntries(file + "/below").error, ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(supportsAccessLists(dir.filePath("missing")));
    EXPECT_FALSE(supportsAccessLists(""));
}

TEST_F(AccessLists, FullAccessOnAFile) {
    const QString file = path("form.fdf");
    touch(file);
    EXPECT_TRUE(readAccessEntries(file).entries.empty());
    ASSERT_EQ(setGroupAccess(file, "users", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_SUCCESS);
    EXPECT_TRUE(aclText(file, ACL_TYPE_ACCESS).contains("g:users:rwx"))
        << aclText(file, ACL_TYPE_ACCESS).toStdString();
    EXPECT_TRUE(aclText(file, ACL_TYPE_ACCESS).contains("m::rwx"));

    const AclResult result = readAccessEntries(file);
    ASSERT_EQ(result.error, ERROR_SUCCESS);
    ASSERT_EQ(result.entries.size(), 1u);
    EXPECT_EQ(result.entries[0].trustee, "users");
    EXPECT_EQ(result.entries[0].type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(result.entries[0].mask, FILE_ALL_ACCESS);
    EXPECT_EQ(result.entries[0].inheritance, NO_INHERITANCE);

    // Setting again replaces the entry instead of adding one.
    ASSERT_EQ(setGroupAccess(file, "users", GENERIC_READ, NO_INHERITANCE), ERROR_SUCCESS);
    const AclResult again = readAccessEntries(file);
    ASSERT_EQ(again.entries.size(), 1u);
    EXPECT_EQ(again.entries[0].mask, FILE_GENERIC_READ);
    EXPECT_TRUE(aclText(file, ACL_TYPE_ACCESS).contains("m::r--"));
}

TEST_F(AccessLists, InheritableFolderAccessReachesWhatTheFolderHolds) {
    const QString folder = path("Manual");
    ASSERT_TRUE(QDir().mkpath(folder + "/contents/deep"));
    touch(folder + "/index.html");
    touch(folder + "/contents/deep/page.html");
    ASSERT_TRUE(QFile::link(folder + "/index.html", folder + "/link.html"));

    ASSERT_EQ(setGroupAccess(folder, "users", GENERIC_RWX_DELETE, SUB_CONTAINERS_AND_OBJECTS_INHERIT),
              ERROR_SUCCESS);
    const AclResult result = readAccessEntries(folder);
    ASSERT_EQ(result.entries.size(), 1u);
    EXPECT_EQ(result.entries[0].mask, 0x1301BFu); // "RWXD"
    EXPECT_EQ(result.entries[0].type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(result.entries[0].inheritance, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    EXPECT_TRUE(aclText(folder, ACL_TYPE_DEFAULT).contains("g:users:rwx"));

    // What the folder already held got the entries too; what is made later inherits them.
    EXPECT_EQ(readAccessEntries(folder + "/contents/deep").entries.at(0).mask, 0x1301BFu);
    EXPECT_TRUE(aclText(folder + "/contents/deep/page.html", ACL_TYPE_ACCESS).contains("g:users:rwx"));
    EXPECT_TRUE(aclText(folder + "/index.html", ACL_TYPE_ACCESS).contains("g:users:rwx"));
    touch(folder + "/contents/new.html");
    EXPECT_TRUE(aclText(folder + "/contents/new.html", ACL_TYPE_ACCESS).contains("g:users:rwx"));

    // Without inheritance the default entry goes and the folder entry is plain full access.
    ASSERT_EQ(setGroupAccess(folder, "users", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_SUCCESS);
    EXPECT_FALSE(aclText(folder, ACL_TYPE_DEFAULT).contains("g:users"));
    const AclResult plain = readAccessEntries(folder);
    ASSERT_EQ(plain.entries.size(), 1u);
    EXPECT_EQ(plain.entries[0].mask, FILE_ALL_ACCESS);
    EXPECT_EQ(plain.entries[0].inheritance, NO_INHERITANCE);
}

TEST_F(AccessLists, DeniedAndPartialEntries) {
    const QString file = path("data.txt");
    touch(file);
    ASSERT_EQ(setGroupAccess(file, "users", 0, NO_INHERITANCE), ERROR_SUCCESS);
    AclResult result = readAccessEntries(file);
    ASSERT_EQ(result.entries.size(), 1u);
    EXPECT_EQ(result.entries[0].type, ACCESS_DENIED_ACE_TYPE);

    ASSERT_EQ(setGroupAccess(file, "users", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, NO_INHERITANCE),
              ERROR_SUCCESS);
    result = readAccessEntries(file);
    ASSERT_EQ(result.entries.size(), 1u);
    EXPECT_EQ(result.entries[0].type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(result.entries[0].mask, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);

    // The mask entry limits what takes effect (as after chmod g-w).
    ASSERT_EQ(setGroupAccess(file, "users", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_SUCCESS);
    ASSERT_EQ(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup), true);
    result = readAccessEntries(file);
    ASSERT_EQ(result.entries.size(), 1u);
    EXPECT_EQ(result.entries[0].mask, FILE_GENERIC_READ);
}
