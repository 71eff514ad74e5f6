// The manual manager's installer from the sample CD, and the manager it installs.
#include "CompanionTest.h"
#include "shared/helpers/FileHelpers.h"

namespace marvek::companions::testing {
namespace {

const QString LinkFolder = QStringLiteral("C:\\Diag\\ManualLink");
const QString Manager = LinkFolder + QStringLiteral("\\Mandex.exe");

class ManagerSetupTest : public CompanionTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ManagerSetupTest, InstallsTheManagerIntoTheManualLinkFolder) {
    setRegistry(ManualLinkKey, InstallDirValue, LinkFolder);
    const QString cdFolder = QStringLiteral("D:\\programs\\man_manager\\") + QLatin1String(GetParam());
    const QString installer = cdFolder + QStringLiteral("\\setup.exe");

    ASSERT_EQ(run(installer + QStringLiteral(" /VERYSILENT /SP-")), 0u);

    EXPECT_EQ(bytes(Manager), bytes(cdFolder + QStringLiteral("\\Mandex.exe")));
    EXPECT_EQ(platform::readFileVersion(host(Manager)), (platform::FileVersion{1, 1, 0, 2}));
    // No result log: the manual-link component's would be mistaken for it.
    EXPECT_FALSE(exists(LinkFolder + QStringLiteral("\\setup.log")));
    // The installed manager is as new as the installer on the CD, so `setup` does not run it again.
    EXPECT_FALSE(shared::IsSourceNewer(t.ctx, installer, Manager));

    // Its SysDir lies beside it.
    for (const char* file : {"SysParameter.ini", "M09.ini", "M11.ini", "RmDir.bat"})
        EXPECT_EQ(bytes(LinkFolder + QStringLiteral("\\SysDir\\") + QLatin1String(file)),
                  bytes(QStringLiteral("D:\\programs\\setup\\SysDir\\") + QLatin1String(file)))
            << file;

    // The manager starts from there; without a database it says so in one box and ends.
    const QString uiLog = t.temp().root() + QStringLiteral("/ui.log");
    const ScopedEnvironment logBoxes("MARVEK_UI_LOG", uiLog);
    EXPECT_EQ(run(Manager), 0u);
    QFile boxes(uiLog);
    ASSERT_TRUE(boxes.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(boxes.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Manual Management Program\t48\tDTX-3 MDB None")))
        << lines[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, ManagerSetupTest, ::testing::Values("09", "11"));

class ManagerSetupFailure : public CompanionTest {};

TEST_F(ManagerSetupFailure, InstallsNothingWithoutAManualLinkFolder) {
    EXPECT_EQ(run(QStringLiteral("D:\\programs\\man_manager\\09\\setup.exe /VERYSILENT /SP-")),
              static_cast<quint32>(InstallResult::NotRegistered));
    EXPECT_FALSE(exists(QStringLiteral("C:\\Program Files\\Marvek")));
}

TEST_F(ManagerSetupFailure, FailsWhenThePayloadIsMissing) {
    setRegistry(ManualLinkKey, InstallDirValue, LinkFolder);
    copyCdFolder(QStringLiteral("programs/man_manager/09"), QStringLiteral("C:\\CD\\09"),
                 {QStringLiteral("Mandex.exe")});
    EXPECT_EQ(run(QStringLiteral("C:\\CD\\09\\setup.exe /VERYSILENT /SP-")),
              static_cast<quint32>(InstallResult::PayloadMissing));
    EXPECT_FALSE(exists(Manager));
}

} // namespace
} // namespace marvek::companions::testing
