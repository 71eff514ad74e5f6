#pragma once

#include "platform/Registry.h"
#include "platform/testing/BuildPath.h"
#include "setup/engine/FolderSelect.h"
#include "setup/engine/InstallView.h"
#include "setup/engine/SetupContext.h"
#include "setup/engine/Startup.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QProcess>
#include <QThread>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace marvek::testing {

// The installation window as the tests see it: the step labels and bars the flows set, and a folder
// screen driven by a list of button clicks ("ok", "change", "cancel"). A screen still open when the
// clicks run out is answered with OK, and closed as a cancel without question if that fails.
class RecordingView : public setup::InstallView {
public:
    struct Step {
        QString text;
        bool bold = false;
        quint32 frame = 0;
    };

    explicit RecordingView(setup::SetupContext& ctx) : m_ctx(ctx) {}

    void showStep(int step, const QString& text, bool bold, quint32 frameColour) override {
        steps[step] = {text, bold, frameColour};
        stepLog.push_back(step * 10 + (bold ? 1 : 2));
    }
    setup::ProgressBarState& bar(setup::Bar which) override { return bars[static_cast<int>(which)]; }
    void repaint() override {}
    void setMousePointer(int shape) override { pointer = shape; }
    void showFolderScreen() override {
        setup::FolderScreen screen(m_ctx);
        folderScreens.push_back(screen.texts());
        if (onFolderScreen)
            onFolderScreen();
        while (!folderClicks.empty()) {
            const std::string click = folderClicks.front();
            folderClicks.pop_front();
            if (click == "change")
                screen.change();
            else if (click == "ok" ? screen.ok() : screen.cancel())
                return;
        }
        if (!screen.ok())
            m_ctx.InstallBase.clear();
    }

    std::map<int, Step> steps;
    std::vector<int> stepLog; // step * 10 + 1 running, + 2 done
    int pointer = setup::DefaultPointer;
    setup::ProgressBarState bars[3];
    std::deque<std::string> folderClicks;
    std::vector<setup::FolderScreen::Texts> folderScreens;
    std::function<void()> onFolderScreen;

private:
    setup::SetupContext& m_ctx;
};

// A workshop PC in a temporary prefix with a copy of the sample CD in drive D:, the diagnostic
// software's registry values, the manual-link component in C:\ManualLink with a database made from the
// CD's template, and an installed manager newer than the CD's installer. The UI answers from a script
// and the clock is instant.
class SetupFixture : public ::testing::Test {
protected:
    SetupFixture() : ctx(base.os()), view(ctx) {}

    void SetUp() override {
        placeCd(q("C:\\Marvek\\Scanlux"));
        // The companion installers are tried by the tests that want them.
        QDir(cdRoot + q("/programs/manual_link")).removeRecursively();
        QDir(cdRoot + q("/programs/View")).removeRecursively();
        QDir(cdRoot + q("/programs/man_manager")).removeRecursively();
        base.os().registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::ManualLinkKey),
                                         q("InstallDir"), q("C:\\ManualLink"));
        ASSERT_TRUE(temp().writeFile(q("C:\\Marvek\\Scanlux\\readme.txt"), "diagnostic software"));
        ASSERT_TRUE(temp().writeFile(q("C:\\ManualLink\\ManualLink.exe"), "manual link"));
        ASSERT_TRUE(temp().writeFile(q("C:\\ManualLink\\Mandex.exe"), "manager"));
        ASSERT_TRUE(QFile::copy(cdRoot + q("/programs/setup/ManualLink_new.mdb"),
                                temp().host(q("C:\\ManualLink\\ManualLink.mdb"))));
        QFile(temp().host(q("C:\\ManualLink\\ManualLink.mdb")))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    }

    TempMachine& temp() { return base.temp(); }
    platform::ScriptedUserInterface& ui() { return base.ui(); }
    platform::TestClock& clock() { return base.clock(); }
    QString host(const QString& windowsPath) { return temp().host(windowsPath); }

    // A box shown: its text, title and style.
    static QStringList box(const platform::AskedQuestion& asked) {
        return {asked.text, asked.title, QString::number(asked.style)};
    }
    QStringList lastBox() {
        return ui().asked().empty() ? QStringList{q("<no box>")} : box(ui().asked().back());
    }

    QString message(int number) const { return setup::Message(ctx, number); }
    static std::pair<QString, QString> errorLines(const setup::SetupContext& c) {
        return {c.ErrorLine1, c.ErrorLine2};
    }

    setup::StartOutcome start() { return setup::StartSetup(ctx, q("D:\\programs\\setup"), false); }

    // The CD's catalogue value of a manual folder changed in place.
    void setCdValue(const QString& folder, const QString& key, const QString& value) {
        QFile file(cdRoot + QLatin1Char('/') + folder + q("/car_info.ci"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromLatin1(file.readAll()).split(q("\r\n"));
        file.close();
        for (QString& line : lines) {
            if (line.startsWith(key + QLatin1Char('=')))
                line = key + QLatin1Char('=') + value;
        }
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines.join(q("\r\n")).toLatin1());
    }

    // A shell command that appends the arguments it is given to a line of the host file record.
    QString recorderCommand(const QString& record) {
        const QString script = q("C:\\recorder.sh");
        EXPECT_TRUE(temp().writeFile(script, "echo \"$*\" >> '" + record.toUtf8() + "'\n"));
        return q("/bin/sh ") + host(script);
    }
    // What a detached program wrote to the host file record, once a whole line is there (at most 15 s).
    static QByteArray waitForLine(const QString& record) {
        QByteArray written;
        for (int i = 0; i < 750 && !written.endsWith('\n'); ++i) {
            QThread::msleep(20);
            QFile file(record);
            if (file.open(QIODevice::ReadOnly))
                written = file.readAll();
        }
        return written.trimmed();
    }

    // A copy of the sample CD in drive D: on a PC whose diagnostic software lies in the folder scanlux.
    void placeCd(const QString& scanlux) {
        cdRoot = base.temp().addDrive(QLatin1Char('D'));
        ASSERT_EQ(QProcess::execute(q("cp"), {q("-a"), BuildPath("MARVEK_SAMPLE_CD_DIR") + q("/."), cdRoot}),
                  0);
        const platform::Registry& registry = base.os().registry();
        registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::ScanluxKey), q("ProgramPath"),
                             scanlux);
        registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::WindowsVersionKey),
                             q("ProgramFilesDir"), q("C:\\Program Files"));
    }

    SharedTestContext base;
    QString cdRoot;
    setup::SetupContext ctx;
    RecordingView view;
};

} // namespace marvek::testing
