// The companion installs of step 2: which installer runs, how its result is judged, and what the
// installer leaves around the manager program.
#include "SetupTestFixture.h"
#include "setup/engine/Companions.h"
#include "shared/config/Messages.h"

#include <QFile>

using namespace marvek;
using namespace marvek::testing;

namespace {

class CompanionsTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        calls = host(QStringLiteral("C:\\calls.txt"));
    }

    // A companion installer on the CD: a script that records its folder and arguments, then runs body.
    void writeInstaller(const QString& cdFolder, const QByteArray& body) {
        const QString path = QStringLiteral("D:\\") + cdFolder + QStringLiteral("/setup.exe");
        ASSERT_TRUE(temp().writeFile(path, "#!/bin/sh\nC=\"$MARVEK_ROOT/drives/c\"\necho \"" +
                                               cdFolder.toUtf8() + " $*\" >> \"$C/calls.txt\"\n" + body));
        QFile script(host(path));
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // Older than anything installed, as a CD's files are.
        ASSERT_TRUE(script.open(QIODevice::ReadWrite));
        script.setFileTime(QDateTime(QDate(2024, 3, 1), QTime(0, 0)), QFileDevice::FileModificationTime);
    }

    QStringList recordedCalls() {
        return QString::fromUtf8(temp().readFile(QStringLiteral("C:\\calls.txt")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void removeManager() { ASSERT_TRUE(QFile::remove(host(QStringLiteral("C:\\ManualLink\\Mandex.exe")))); }
    QString managerLink() {
        return ctx.os().files().specialFolder(platform::CSIDL_PROGRAMS) + QLatin1Char('\\') +
               setup::Message(ctx, 43) + QStringLiteral(".lnk");
    }

    void startOk() { ASSERT_EQ(start(), setup::StartOutcome::ShowMenu) << ctx.ErrorLine1.toStdString(); }

    QString calls;
};

constexpr const char* InstallManager = "cp \"$0\" \"$C/ManualLink/Mandex.exe\"\n";

// An up-to-date manager is left alone; a missing one comes from the installer of the machine's language,
// else the English one.
TEST_F(CompanionsTest, ManagerInstallerOfTheLanguageElseEnglish) {
    ASSERT_TRUE(base.setLocale("0411"));
    writeInstaller(QStringLiteral("programs/man_manager/09"), InstallManager);
    startOk();
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_TRUE(recordedCalls().isEmpty());
    EXPECT_FALSE(ctx.os().files().exists(managerLink()));
    EXPECT_FALSE(ctx.os().files().exists(QStringLiteral("C:\\ManualLink\\mandex.fdf")));

    removeManager();
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_EQ(recordedCalls(), QStringList{QStringLiteral("programs/man_manager/09 /VERYSILENT /SP-")});
    EXPECT_EQ(view.steps[2].text, setup::Message(ctx, 10));
    EXPECT_TRUE(view.steps[2].bold) << "step 2 stays running until step 2b";

    QFile::remove(calls);
    removeManager();
    writeInstaller(QStringLiteral("programs/man_manager/11"), InstallManager);
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_EQ(recordedCalls(), QStringList{QStringLiteral("programs/man_manager/11 /VERYSILENT /SP-")});
}

TEST_F(CompanionsTest, InstalledManagerGetsShortcutAndVersionFile) {
    removeManager();
    // The payload is a program with a version record: 1.2.3.4 gives "1.2.4".
    ASSERT_TRUE(QFile::copy(QStringLiteral(VERSIONED_PROGRAM), cdRoot + QStringLiteral("/payload")));
    writeInstaller(QStringLiteral("programs/man_manager/09"),
                   "cp \"$(dirname \"$0\")/../../../payload\" \"$C/ManualLink/Mandex.exe\"\n");
    startOk();
    const QString link = managerLink();
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_TRUE(ctx.os().files().fileExists(link));
    EXPECT_TRUE(temp().readFile(QStringLiteral("C:\\ManualLink\\mandex.fdf")).contains("1.2.4"));

    // An existing shortcut is never overwritten; ShortcutIcon 0 makes none.
    ASSERT_TRUE(temp().writeFile(link, "mine"));
    removeManager();
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_EQ(temp().readFile(link), QByteArray("mine"));
    QFile::remove(host(link));
    removeManager();
    ctx.shared.systemParameters.ShortcutIcon = 0;
    ASSERT_TRUE(setup::InstallManagerStep(ctx, view));
    EXPECT_FALSE(ctx.os().files().exists(link));
}

// An installer that installs nothing fails as a missing one does.
TEST_F(CompanionsTest, ManagerInstallerThatInstallsNothingFails) {
    removeManager();
    writeInstaller(QStringLiteral("programs/man_manager/09"), "exit 0\n");
    startOk();
    for (const bool onTheCd : {true, false}) {
        if (!onTheCd)
            QDir(cdRoot + QStringLiteral("/programs/man_manager")).removeRecursively();
        ctx.ErrorLine1.clear();
        EXPECT_FALSE(setup::InstallManagerStep(ctx, view)) << onTheCd;
        EXPECT_EQ(ctx.ErrorLine1, setup::Message(ctx, 18)) << onTheCd;
        EXPECT_EQ(ctx.ErrorLine2, setup::Message(ctx, 24)) << onTheCd;
    }
}

TEST_F(CompanionsTest, ResultLogsDecideAndFailuresAsk) {
    const QByteArray linkOk = "printf '1\\r\\n0\\r\\n' > \"$C/ManualLink/setup.log\"\n";
    const QByteArray noLog = "exit 0\n";
    const QByteArray viewerOk = "mkdir -p \"$C/Program Files/Marvek/Scanlux/View\"\n"
                                "echo 0 > \"$C/Program Files/Marvek/Scanlux/View/setup.log\"\n";
    const QByteArray viewerFails =
        "mkdir -p \"$C/Program Files/Marvek/Scanlux/View\"\n"
        "printf 'copying\\n3\\n' > \"$C/Program Files/Marvek/Scanlux/View/setup.log\"\n";
    struct Case {
        const char* name;
        QByteArray link;
        QByteArray viewer;
        QStringList answers;
        bool succeeds;
        int questions;
    };
    const std::vector<Case> cases = {
        {"both succeed", linkOk, viewerOk, {}, true, 0},
        {"link without log, go on", noLog, viewerOk, {QStringLiteral("6")}, true, 1},
        {"link without log, stop", noLog, noLog, {QStringLiteral("7")}, false, 1},
        {"viewer reports 3, go on", linkOk, viewerFails, {QStringLiteral("6")}, true, 1},
        {"viewer reports 3, default is No", linkOk, viewerFails, {}, false, 1},
    };
    startOk();
    // Installers missing from the CD are skipped without a question.
    EXPECT_TRUE(setup::InstallLinkAndViewerStep(ctx, view));
    EXPECT_TRUE(ui().asked().empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(calls);
        writeInstaller(QStringLiteral("programs/manual_link"), c.link);
        writeInstaller(QStringLiteral("programs/View"), c.viewer);
        for (const QString& answer : c.answers)
            ui().addAnswer(answer);
        const size_t asked = ui().asked().size();
        ctx.ErrorLine1.clear();
        EXPECT_EQ(setup::InstallLinkAndViewerStep(ctx, view), c.succeeds);
        ASSERT_EQ(ui().asked().size(), asked + c.questions);
        if (c.questions > 0) {
            EXPECT_EQ(ui().asked().back().text, setup::Message(ctx, 90) + setup::Message(ctx, 91));
            EXPECT_EQ(ui().asked().back().style, 308);
            EXPECT_EQ(ui().asked().back().title, setup::Message(ctx, 34));
        }
        EXPECT_EQ(ctx.ErrorLine1, c.succeeds ? QString() : setup::Message(ctx, 90));
        if (c.succeeds) {
            EXPECT_EQ(recordedCalls(), (QStringList{QStringLiteral("programs/manual_link 1"),
                                                    QStringLiteral("programs/View /VERYSILENT /SP-")}));
            EXPECT_EQ(view.steps[2].text, setup::Message(ctx, 11));
            EXPECT_EQ(view.steps[2].frame, setup::StepFrameDone);
        }
        // Every log read is deleted.
        EXPECT_FALSE(ctx.os().files().exists(QStringLiteral("C:\\ManualLink\\setup.log")));
        EXPECT_FALSE(ctx.os().files().exists(ctx.ViewerDir + QStringLiteral("\\setup.log")));
    }
}

TEST(ResultLog, LastLineIsTheResult) {
    SharedTestContext base;
    setup::SetupContext ctx(base.os());
    struct Case {
        QByteArray content;
        std::optional<qint16> result;
    };
    for (const Case& c :
         {Case{"0\r\n", 0}, Case{"starting\n2\n", 2}, Case{"5\n0", 0}, Case{"", std::nullopt},
          Case{"0\n\n", std::nullopt}, Case{"done", std::nullopt}, Case{"99999\n", std::nullopt}}) {
        ASSERT_TRUE(base.temp().writeFile(QStringLiteral("C:\\setup.log"), c.content));
        EXPECT_EQ(setup::ReadResultLog(ctx, QStringLiteral("C:\\setup.log")), c.result)
            << c.content.toStdString();
    }
    EXPECT_EQ(setup::ReadResultLog(ctx, QStringLiteral("C:\\missing.log")), std::nullopt);
    EXPECT_EQ(setup::ManagerVersionText(1, 2, 0, 5), QStringLiteral("1.2.5"));
}

} // namespace
