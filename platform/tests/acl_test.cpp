#include "TestSupport.h"
#include "platform/Acl.h"

#include <acl/libacl.h>
#include <sys/acl.h>

namespace {

// The list of a path in the short text form of getfacl ("user::rwx,group:users:rwx,..."); empty on error.
QString aclText(const QString& path, acl_type_t type = ACL_TYPE_ACCESS) {
    acl_t acl = acl_get_file(QFile::encodeName(path).constData(), type);
    if (!acl)
        return {};
    char* text = acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE);
    const QString result = text ? QString::fromLatin1(text) : QString();
    acl_free(text);
    acl_free(acl);
    return result;
}

// The one entry of a path (checked to be the only one) as trustee, type, mask and inheritance.
std::tuple<std::string, int, quint32, int> onlyEntry(const QString& path) {
    const AclResult result = readAccessEntries(path);
    EXPECT_EQ(result.error, ERROR_SUCCESS);
    EXPECT_EQ(result.entries.size(), 1u) << path.toStdString();
    const AccessEntry entry = result.entries.empty() ? AccessEntry{} : result.entries[0];
    return {entry.trustee.toStdString(), entry.type, entry.mask, entry.inheritance};
}
constexpr int Allowed = ACCESS_ALLOWED_ACE_TYPE;

// A folder on a file system with access lists and the "users" group, or the reason to skip.
class AccessLists : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        if (!supportsAccessLists(m_dir.path()))
            GTEST_SKIP() << "the temporary folder's file system keeps no access lists";
        if (usersGroupName(Machine(QDir::tempPath())).isEmpty())
            GTEST_SKIP() << "this host has no group \"users\"";
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

} // namespace

TEST(Acl, SystemErrorTextsUnknownTrusteesAndMissingPaths) {
    // Network codes only with the network message table.
    EXPECT_EQ(systemErrorText(2102, true), "The workstation driver is not installed.");
    EXPECT_EQ(systemErrorText(2102, false) + systemErrorText(123456, false), "");

    QTemporaryDir dir;
    const QString file = dir.filePath("f.txt");
    ASSERT_TRUE(writeHostFile(file, {}));
    EXPECT_EQ(setGroupAccess(file, "", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_NONE_MAPPED);
    EXPECT_EQ(setGroupAccess(file, "no-such-group-here", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_NONE_MAPPED);
    EXPECT_FALSE(supportsAccessLists(dir.filePath("missing")) || supportsAccessLists(""));
    if (usersGroupName(Machine(QDir::tempPath())).isEmpty())
        return;
    EXPECT_EQ(setGroupAccess(dir.filePath("missing"), usersGroupName(Machine(QDir::tempPath())),
                             FILE_ALL_ACCESS, NO_INHERITANCE),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readAccessEntries(dir.filePath("missing")).error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readAccessEntries(file + "/below").error, ERROR_PATH_NOT_FOUND);
}

TEST_F(AccessLists, EntriesOnAFile) {
    const QString file = path("form.fdf");
    ASSERT_TRUE(writeHostFile(file, {}));
    EXPECT_TRUE(readAccessEntries(file).entries.empty());
    ASSERT_EQ(setGroupAccess(file, "users", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_SUCCESS);
    EXPECT_TRUE(aclText(file).contains("g:users:rwx")) << aclText(file).toStdString();
    EXPECT_EQ(onlyEntry(file), std::tuple("users", Allowed, FILE_ALL_ACCESS, NO_INHERITANCE));

    // Setting again replaces the entry instead of adding one.
    ASSERT_EQ(setGroupAccess(file, "users", GENERIC_READ, NO_INHERITANCE), ERROR_SUCCESS);
    EXPECT_EQ(onlyEntry(file), std::tuple("users", Allowed, FILE_GENERIC_READ, NO_INHERITANCE));
    ASSERT_EQ(setGroupAccess(file, "users", 0, NO_INHERITANCE), ERROR_SUCCESS);
    EXPECT_EQ(std::get<1>(onlyEntry(file)), ACCESS_DENIED_ACE_TYPE);

    // The mask entry limits what takes effect (as after chmod g-w).
    ASSERT_EQ(setGroupAccess(file, "users", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_SUCCESS);
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    EXPECT_EQ(onlyEntry(file), std::tuple("users", Allowed, FILE_GENERIC_READ, NO_INHERITANCE));
    // A mask that leaves nothing (chmod go-rwx) takes the rights away but is no denial.
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(onlyEntry(file), std::tuple("users", Allowed, 0u, NO_INHERITANCE));
}

TEST_F(AccessLists, InheritableFolderAccessReachesWhatTheFolderHolds) {
    const QString folder = path("Manual");
    ASSERT_TRUE(writeHostFile(folder + "/index.html", {}));
    ASSERT_TRUE(writeHostFile(folder + "/contents/deep/page.html", {}));
    ASSERT_TRUE(QFile::link(folder + "/index.html", folder + "/link.html"));

    ASSERT_EQ(setGroupAccess(folder, "users", GENERIC_RWX_DELETE, SUB_CONTAINERS_AND_OBJECTS_INHERIT),
              ERROR_SUCCESS);
    EXPECT_EQ(onlyEntry(folder),
              std::tuple("users", Allowed, 0x1301BFu, SUB_CONTAINERS_AND_OBJECTS_INHERIT)); // "RWXD"
    EXPECT_TRUE(aclText(folder, ACL_TYPE_DEFAULT).contains("g:users:rwx"));

    // What the folder already held got the entries too; what is made later inherits them.
    EXPECT_EQ(readAccessEntries(folder + "/contents/deep").entries.at(0).mask, 0x1301BFu);
    ASSERT_TRUE(writeHostFile(folder + "/contents/new.html", {}));
    for (const char* file : {"/contents/deep/page.html", "/index.html", "/contents/new.html"})
        EXPECT_TRUE(aclText(folder + file).contains("g:users:rwx")) << file;

    // Without inheritance the default entry goes and the folder entry is plain full access.
    ASSERT_EQ(setGroupAccess(folder, "users", FILE_ALL_ACCESS, NO_INHERITANCE), ERROR_SUCCESS);
    EXPECT_FALSE(aclText(folder, ACL_TYPE_DEFAULT).contains("g:users"));
    EXPECT_EQ(onlyEntry(folder), std::tuple("users", Allowed, FILE_ALL_ACCESS, NO_INHERITANCE));
}
