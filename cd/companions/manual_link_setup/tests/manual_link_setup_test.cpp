// The manual-link component's installer, run from the sample CD as `setup` runs it.
#include "CompanionTest.h"
#include "platform/Acl.h"
#include "shared/access/AccessControl.h"
#include "shared/database/clsMDB.h"

namespace marvek::companions::testing {
namespace {

const QString Installer = u"D:\\programs\\manual_link\\setup.exe 1"_s;
const QString DefaultFolder = u"C:\\Program Files\\Marvek\\Scanlux\\ManualLink"_s;
const QString Template = u"D:\\programs\\setup\\ManualLink_new.mdb"_s;

class ManualLinkSetupTest : public CompanionTest {};

TEST_F(ManualLinkSetupTest, InstallsProgramAndDatabaseAndRecordsTheFolder) {
    ASSERT_EQ(run(Installer), 0u);

    EXPECT_EQ(registry(ManualLinkKey), DefaultFolder);
    EXPECT_EQ(lastLogLine(DefaultFolder), "0");
    const QString program = DefaultFolder + u"\\ManualLink.exe"_s;
    EXPECT_EQ(bytes(program), bytes(u"D:\\programs\\manual_link\\ManualLink.exe"_s));
    EXPECT_EQ(bytes(DefaultFolder + u"\\ManualLink.mdb"_s), bytes(Template));
    EXPECT_FALSE(os().files().isReadOnly(DefaultFolder + u"\\ManualLink.mdb"_s));

    // The users group may use the folder and what it holds, as the suite grants it.
    t.ctx.UsersGroupName = shared::GetUsersGroupName(t.ctx);
    if (!t.ctx.UsersGroupName.isEmpty() && shared::IsNtfsVolume(t.ctx, DefaultFolder)) {
        EXPECT_TRUE(shared::HasUsersFolderAccess(t.ctx, DefaultFolder));
        const platform::AclResult file =
            platform::readAccessEntries(host(DefaultFolder + "\\ManualLink.mdb"));
        EXPECT_TRUE(
            std::any_of(file.entries.begin(), file.entries.end(), [&](const platform::AccessEntry& e) {
                return e.trustee == t.ctx.UsersGroupName && e.type == platform::ACCESS_ALLOWED_ACE_TYPE;
            }));
    }
}

TEST_F(ManualLinkSetupTest, InstallsIntoTheRecordedFolderAndKeepsItsDatabase) {
    const QString folder = u"C:\\Diag\\Manual Link"_s;
    setRegistry(ManualLinkKey, InstallDirValue, folder + u"\\"_s);
    ASSERT_TRUE(t.temp().writeFile(folder + u"\\ManualLink.mdb"_s, "the installed manuals"));
    ASSERT_TRUE(t.temp().writeFile(folder + u"\\ManualLink.exe"_s, "an older program"));

    ASSERT_EQ(run(Installer), 0u);

    EXPECT_EQ(lastLogLine(folder), "0");
    EXPECT_EQ(registry(ManualLinkKey), folder);
    EXPECT_EQ(bytes(folder + u"\\ManualLink.mdb"_s), "the installed manuals");
    EXPECT_EQ(bytes(folder + u"\\ManualLink.exe"_s), bytes(u"D:\\programs\\manual_link\\ManualLink.exe"_s));
    EXPECT_FALSE(exists(DefaultFolder));
}

// An upgrade cut off after the database lost its name: the installer puts the whole backup back instead
// of making an empty database over it.
TEST_F(ManualLinkSetupTest, RestoresTheUpgradesBackupInsteadOfMakingADatabase) {
    const QString folder = u"C:\\Diag\\Manual Link"_s;
    setRegistry(ManualLinkKey, InstallDirValue, folder);
    const QString backup = folder + u"\\BACK_ManualLink.mdb"_s;
    ASSERT_TRUE(os().files().createFolderPath(folder));
    ASSERT_TRUE(os().files().copyFile(Template, backup));
    ASSERT_TRUE(os().files().setAttributes(backup, platform::FILE_ATTRIBUTE_NORMAL));
    {
        shared::clsMDB db(os().machine());
        ASSERT_TRUE(db.Pcls_MdbOpen(backup));
        ASSERT_EQ(db.Pcls_MdbExecute(u"INSERT INTO M_manage (Pub_No) VALUES ('RM010EN')"_s), 0);
    }
    const QByteArray installed = bytes(backup);

    ASSERT_EQ(run(Installer), 0u);
    EXPECT_EQ(lastLogLine(folder), "0");
    EXPECT_EQ(bytes(folder + u"\\ManualLink.mdb"_s), installed);
    EXPECT_FALSE(exists(backup));
}

// A CD folder that lacks part of the payload, or a PC where the files cannot be put in place.
struct Failure {
    const char* name;
    QStringList leaveOut;   // files of programs\manual_link left off the copied CD
    bool withTemplate;      // the copied CD carries programs\setup\ManualLink_new.mdb
    bool databaseInstalled; // the PC already has a database
    bool readOnlyProgram;   // the installed ManualLink.exe is read-only
    quint32 result;
};
void PrintTo(const Failure& value, std::ostream* out) {
    *out << value.name;
}

class ManualLinkSetupFailure : public ManualLinkSetupTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(ManualLinkSetupFailure, ReportsTheResultOnTheLastLine) {
    const Failure& failure = GetParam();
    copyCdFolder(u"programs/manual_link"_s, u"C:\\CD\\programs\\manual_link"_s, failure.leaveOut);
    if (failure.withTemplate) {
        ASSERT_TRUE(t.temp().writeFile(u"C:\\CD\\programs\\setup\\ManualLink_new.mdb"_s, bytes(Template)));
    }
    const QString database = DefaultFolder + u"\\ManualLink.mdb"_s;
    if (failure.databaseInstalled) {
        ASSERT_TRUE(t.temp().writeFile(database, "the installed manuals"));
    }
    const QString program = DefaultFolder + u"\\ManualLink.exe"_s;
    if (failure.readOnlyProgram) {
        ASSERT_TRUE(t.temp().writeFile(program, "an older program"));
        ASSERT_TRUE(os().files().setAttributes(program, platform::FILE_ATTRIBUTE_READONLY));
    }

    EXPECT_EQ(run(u"C:\\CD\\programs\\manual_link\\setup.exe 1"_s), failure.result);
    EXPECT_EQ(lastLogLine(DefaultFolder), QString::number(failure.result));
    EXPECT_EQ(registry(ManualLinkKey).isEmpty(), failure.result != 0);
    if (failure.databaseInstalled) {
        EXPECT_EQ(bytes(database), "the installed manuals");
    }
    if (failure.readOnlyProgram) {
        EXPECT_EQ(bytes(program), "an older program");
    }
    EXPECT_FALSE(exists(program + u".new"_s));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManualLinkSetupFailure,
    ::testing::Values(Failure{"ProgramMissing", {u"ManualLink.exe"_s}, true, false, false, 1},
                      Failure{"TemplateMissing", {}, false, false, false, 1},
                      Failure{"TemplateMissingButDatabaseInstalled", {}, false, true, false, 0},
                      Failure{"InstalledProgramReadOnly", {}, true, true, true, 3}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

TEST_F(ManualLinkSetupTest, AFolderThatCannotBeMadeFailsWithoutLog) {
    ASSERT_TRUE(t.temp().writeFile(u"C:\\Program Files\\Marvek"_s, "a file in the way"));
    EXPECT_EQ(run(Installer), static_cast<quint32>(InstallResult::FolderNotCreated));
    EXPECT_EQ(lastLogLine(DefaultFolder), "<no log>");
    EXPECT_TRUE(registry(ManualLinkKey).isEmpty());
}

} // namespace
} // namespace marvek::companions::testing
