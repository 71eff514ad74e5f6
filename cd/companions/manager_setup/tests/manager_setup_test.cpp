// The manual manager's installer from the sample CD, and the manager it installs.
#include "CompanionTest.h"
#include "shared/helpers/FileHelpers.h"

namespace marvek::companions::testing {
namespace {

const QString LinkFolder = u"C:\\Diag\\ManualLink"_s;
const QString Manager = LinkFolder + u"\\Mandex.exe"_s;

class ManagerSetupTest : public CompanionTest {};

TEST_F(ManagerSetupTest, InstallsTheManagerIntoTheManualLinkFolder) {
    setRegistry(ManualLinkKey, InstallDirValue, LinkFolder);
    const QString cdFolder = u"D:\\programs\\man_manager\\09"_s;
    const QString installer = cdFolder + u"\\setup.exe"_s;

    ASSERT_EQ(run(installer + u" /VERYSILENT /SP-"_s), 0u);

    EXPECT_EQ(bytes(Manager), bytes(cdFolder + u"\\Mandex.exe"_s));
    // No result log: the manual-link component's would be mistaken for it.
    EXPECT_FALSE(exists(LinkFolder + u"\\setup.log"_s));
    // The installed manager is as new as the installer on the CD, so `setup` does not run it again.
    EXPECT_FALSE(shared::IsSourceNewer(t.ctx, installer, Manager));

    // Its SysDir lies beside it.
    for (const char* file : {"SysParameter.ini", "M09.ini", "M11.ini", "RmDir.bat"})
        EXPECT_EQ(bytes(LinkFolder + u"\\SysDir\\"_s + QLatin1String(file)),
                  bytes(u"D:\\programs\\setup\\SysDir\\"_s + QLatin1String(file)))
            << file;

    // The manager starts from there; without a database it says so in one box and ends.
    EXPECT_EQ(run(Manager), 0u);
    const QStringList shown = boxes();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(u"Manual Management Program\t48\tDTX-3 MDB None"_s))
        << shown[0].toStdString();
}

TEST_F(ManagerSetupTest, InstallsNothingWithoutAManualLinkFolder) {
    EXPECT_EQ(run(u"D:\\programs\\man_manager\\09\\setup.exe /VERYSILENT /SP-"_s),
              static_cast<quint32>(InstallResult::NotRegistered));
    EXPECT_FALSE(exists(u"C:\\Program Files\\Marvek"_s));
}

} // namespace
} // namespace marvek::companions::testing
