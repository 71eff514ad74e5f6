// The program setup as a real process started through the process layer, from a copy of the sample
// CD in drive D:, answered by a screen script.
#include "ScreensFixture.h"
#include "platform/Processes.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTest>

using namespace marvek;
using namespace marvek::testing;

namespace {

class ProgramTest : public ScreensFixture {
protected:
    void SetUp() override {
        ScreensFixture::SetUp();
        // The CD carries the program as built.
        ASSERT_TRUE(QFileInfo(cdRoot + QStringLiteral("/programs/setup/setup.exe")).isExecutable());
        ASSERT_TRUE(temp().writeFile(QStringLiteral("C:\\ManualLink\\UnZipTemp\\left.txt"), "scratch"));
        files = temp().root() + QStringLiteral("/run");
        ASSERT_TRUE(QDir().mkpath(files));
    }

    // Runs setup.exe from the CD with the screen script; its exit code.
    quint32 runSetup(const char* script) {
        const QString scriptFile = files + QStringLiteral("/script.txt");
        QFile file(scriptFile);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        const ScopedEnvironment screenScript("MARVEK_SCREEN_SCRIPT", scriptFile.toUtf8());
        const ScopedEnvironment screenLog("MARVEK_SCREEN_LOG",
                                          (files + QStringLiteral("/screen.log")).toUtf8());
        const ScopedEnvironment shots("MARVEK_SCREENSHOT_DIR", (files + QStringLiteral("/shots")).toUtf8());
        const ScopedEnvironment uiLog("MARVEK_UI_LOG", (files + QStringLiteral("/ui.log")).toUtf8());
        const std::unique_ptr<platform::ChildProcess> child = base.os().processes().start(
            QStringLiteral("D:\\programs\\setup\\setup.exe"), platform::WindowMode::Hidden);
        if (!child) {
            ADD_FAILURE() << "setup.exe did not start";
            return 1;
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return child->exitCode() != 259; }, 180000));
        return child->exitCode();
    }

    // The lines of a log file, with the given first field (all when empty).
    QStringList logLines(const char* name, const char* kind = "") const {
        QFile file(files + QLatin1Char('/') + QLatin1String(name));
        QStringList lines;
        if (!file.open(QIODevice::ReadOnly))
            return lines;
        for (const QString& line :
             QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.startsWith(QLatin1String(kind)))
                lines.append(line);
        }
        return lines;
    }

    QStringList shownForms() const {
        QStringList forms;
        for (const QString& line : logLines("screen.log", "shown"))
            forms.append(line.section(QLatin1Char('\t'), 1));
        return forms;
    }

    QString files;
};

// Agree, OK on every folder screen, end: every manual of the CD is installed and registered, the
// result screen lists them, the scratch folder is cleaned up, and every screen was photographed.
TEST_F(ProgramTest, InstallsTheManualsOfTheCd) {
    ASSERT_EQ(runSetup("frmMenu cmdStartInstall\nfrmStartUp O_Value(1)\nfrmStartUp B_OK\n"
                       "frmDirectorySelect B_OK *\nfrmResult B_END\nfrmTarm B_END\n"),
              0u);
    EXPECT_EQ(shownForms(), QStringList({"frmMenu", "frmStartUp", "frmMain"}) +
                                QStringList(6, QStringLiteral("frmDirectorySelect")) +
                                QStringList({"frmResult", "frmTarm"}));

    ASSERT_EQ(start(), setup::StartOutcome::ShowMenu);
    EXPECT_TRUE(logLines("ui.log").isEmpty());
    const QString base = QStringLiteral("C:\\Marvek\\Scanlux\\Link\\Manual\\");
    for (const char* pubNo : {"BRM00EN", "NCF00EN", "RM011EN", "RMJ00JA", "EWD00EN"}) {
        ASSERT_EQ(ctx.db.FindInstalledManual(QLatin1String(pubNo)), 0) << pubNo;
        EXPECT_TRUE(ctx.db.CurrentManual.InsPath.startsWith(base)) << pubNo;
        EXPECT_TRUE(QFileInfo::exists(host(ctx.db.CurrentManual.InsPath))) << pubNo;
    }
    EXPECT_FALSE(QFileInfo::exists(host(QStringLiteral("C:\\ManualLink\\UnZipTemp"))));

    const QStringList shots = QDir(files + QStringLiteral("/shots")).entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(shots.isEmpty());
    EXPECT_EQ(shots.first(), QStringLiteral("01-frmMenu.png"));
    EXPECT_TRUE(shots.last().endsWith(QLatin1String("-frmTarm.png")));
    EXPECT_FALSE(QImage(files + QStringLiteral("/shots/") + shots.last()).isNull());
}

// Disagreeing ends at once without the clean-up; a database check that fails at the start shows the
// result screen (M019 / M024) and ends with the clean-up.
TEST_F(ProgramTest, DisagreeAndStartFailure) {
    ASSERT_EQ(runSetup("frmMenu cmdStartInstall\nfrmStartUp O_Value(2)\nfrmStartUp B_OK\n"), 0u);
    EXPECT_EQ(shownForms(), (QStringList{"frmMenu", "frmStartUp"}));
    EXPECT_TRUE(logLines("ui.log").isEmpty());
    EXPECT_TRUE(QFileInfo::exists(host(QStringLiteral("C:\\ManualLink\\UnZipTemp\\left.txt"))));
    EXPECT_FALSE(QFileInfo::exists(host(QStringLiteral("C:\\Marvek\\Scanlux\\Link\\Manual"))));

    QFile::remove(files + QStringLiteral("/screen.log"));
    ASSERT_TRUE(QFile::remove(host(QStringLiteral("C:\\ManualLink\\ManualLink.mdb"))));
    ASSERT_EQ(runSetup("frmResult B_END\n"), 0u);
    ASSERT_EQ(start(), setup::StartOutcome::ShowResult);
    EXPECT_EQ(shownForms(), QStringList{"frmResult"});
    EXPECT_TRUE(logLines("ui.log").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(host(QStringLiteral("C:\\ManualLink\\UnZipTemp"))));
}

} // namespace
