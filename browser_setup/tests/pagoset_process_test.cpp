// The built browser setup as a real process, placed on a CD in drive D: with its message file, on
// systems where no agreement is shown.

#include "PagosetFixture.h"

#include <QDir>
#include <QProcess>

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

// A failed version query shows its box (the message file's text) and goes on; an old system records the
// installed browser without a question.
TEST_F(PagosetProcess, FailedVersionQueryShowsItsBoxAndOldSystemRecordsTheBrowser) {
    const QString box = QStringLiteral("Pagoset\t0\t関数が失敗しました。\t1\tdefault\n");
    failVersionQuery();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(uiLog(), box);
    EXPECT_EQ(temp.readFile(QStringLiteral("C:\\ManualLink\\Pagora.fdf")), formData("Not Installed"));

    setMachine("0409", "5", "1", "Service Pack 1", "D:\\Apps");
    ASSERT_TRUE(temp.writeFile(QStringLiteral("D:\\Apps\\Marvek\\Scanlux\\View\\Pagora.exe"),
                               versionedProgram({1, 1, 0, 2})));
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(registryValue("SOFTWARE\\Marvek\\Scanlux\\MarvekView"),
              QStringLiteral("D:\\Apps\\Marvek\\Scanlux\\View"));
    EXPECT_EQ(temp.readFile(QStringLiteral("C:\\ManualLink\\Pagora.fdf")), formData("Ver 1.1.2"));
    EXPECT_EQ(uiLog(), box); // no question this time
}

} // namespace
