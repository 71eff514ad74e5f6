// The built browser setup as a real process, placed on a CD in drive D: with its message file, on
// systems where no agreement is shown.

#include "PagosetFixture.h"

#include <QDir>
#include <QProcess>

using namespace marvek;
using namespace marvek::testing;

namespace {

class PagosetProcess : public PagosetFixture {
protected:
    PagosetProcess() {
        const QString cd = temp.addDrive(QLatin1Char('D'));
        const QString folder = cd + QStringLiteral("/programs/View");
        QDir().mkpath(folder);
        const QString built = QFileInfo(QStringLiteral(PAGOSET_EXE)).path();
        EXPECT_TRUE(QFile::copy(QStringLiteral(PAGOSET_EXE), folder + QStringLiteral("/Pagoset.exe")));
        EXPECT_TRUE(QFile::copy(built + QStringLiteral("/PG_INST_MSG.TXT"),
                                folder + QStringLiteral("/PG_INST_MSG.TXT")));
    }

    int run() {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MARVEK_ROOT"), temp.root());
        env.insert(QStringLiteral("MARVEK_UI_LOG"), temp.root() + QStringLiteral("/ui.log"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("MARVEK_UI_SCRIPT"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(temp.host(QStringLiteral("D:\\programs\\View\\Pagoset.exe")), {});
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString uiLog() const {
        QFile log(temp.root() + QStringLiteral("/ui.log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }
};

TEST_F(PagosetProcess, OldSystemRecordsTheInstalledBrowserWithoutAQuestion) {
    setMachine("0409", "5", "1", "Service Pack 1", "D:\\Apps");
    ASSERT_TRUE(temp.writeFile(QStringLiteral("D:\\Apps\\Marvek\\Scanlux\\View\\Pagora.exe"),
                               versionedProgram({1, 1, 0, 2})));
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(registryValue("SOFTWARE\\Marvek\\Scanlux\\MarvekView"),
              QStringLiteral("D:\\Apps\\Marvek\\Scanlux\\View"));
    EXPECT_TRUE(temp.readFile(QStringLiteral("C:\\ManualLink\\Pagora.fdf"))
                    .contains("<< /V (Ver 1.1.2)/T (ver_Pagora)>> ] \r\n"));
    EXPECT_EQ(uiLog(), QString());
}

TEST_F(PagosetProcess, FailedVersionQueryShowsItsBoxAndGoesOn) {
    QFile ini(temp.machine().machineIniFile());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[System]\nOsVersionFails=1\n");
    ini.close();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(uiLog(), QStringLiteral("Pagoset\t0\t関数が失敗しました。\t1\tdefault\n"));
    EXPECT_TRUE(temp.readFile(QStringLiteral("C:\\ManualLink\\Pagora.fdf")).contains("(Not Installed)"));
}

} // namespace
