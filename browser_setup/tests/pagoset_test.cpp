// The browser setup Pagoset: its steps one by one, the agreement dialog driven by mouse clicks, the
// whole pass in this process and the built program as a real process.

#include "browser_setup/app/BrowserRecord.h"
#include "browser_setup/app/OsCheck.h"
#include "browser_setup/app/PackageRun.h"
#include "browser_setup/app/PagosetContext.h"
#include "browser_setup/app/PagosetMain.h"
#include "browser_setup/window/frmContract.h"
#include "platform/FileVersion.h"
#include "platform/testing/BuildPath.h"
#include "shared/testing/SharedTestContext.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

using marvek::testing::BuildPath;

namespace marvek::testing {

using namespace Qt::StringLiterals;

// A PC in a temporary prefix with the browser setup in C:\CD\programs\View (no message file there: the
// built-in table), the manual-link folder C:\ManualLink registered, a scripted UI and the real clock
// (the package is a real process).
class PagosetFixture : public ::testing::Test {
protected:
    PagosetFixture()
        : os(temp.machine(), std::make_unique<platform::ScriptedUserInterface>(),
             std::make_unique<platform::RealClock>()) {
        EXPECT_TRUE(temp.writeFile(u"C:\\ManualLink\\ManualLink.exe"_s, "manual link"));
        EXPECT_TRUE(os.registry().writeString(platform::HKEY_LOCAL_MACHINE,
                                              u"SOFTWARE\\Marvek\\Scanlux\\ManualLink"_s, u"InstallDir"_s,
                                              u"C:\\ManualLink"_s));
        setMachine("0409", "5", "1", "Service Pack 2");
    }

    // machine.ini: the system's language and version, and the program-files folder when given.
    void setMachine(const char* langId, const char* major, const char* minor, const char* servicePack,
                    const char* programFiles = nullptr) {
        writeMachineIni(
            QByteArray("[Locale]\nUserDefaultLangID=") + langId + "\nSystemDefaultLangID=" + langId +
            "\n[System]\nMajorVersion=" + major + "\nMinorVersion=" + minor + "\nCSDVersion=" + servicePack +
            "\n" + (programFiles ? QByteArray("[Environment]\nProgramFiles=") + programFiles + "\n" : ""));
    }
    // machine.ini of a system whose version query fails.
    void failVersionQuery() { writeMachineIni("[System]\nOsVersionFails=1\n"); }
    void writeMachineIni(const QByteArray& text) {
        QFile ini(temp.machine().machineIniFile());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(text);
    }

    std::unique_ptr<browser_setup::PagosetContext> makeContext() {
        return std::make_unique<browser_setup::PagosetContext>(os, u"C:\\CD\\programs\\View"_s);
    }

    // A browser program file with a file-version record.
    QByteArray versionedProgram(platform::FileVersion version) const {
        return QByteArray("\x7f"
                          "ELF stand-in browser ") +
               platform::fileVersionRecord(version) + "end";
    }

    // A browser program at the Western default folder.
    void installBrowser(platform::FileVersion version) {
        ASSERT_TRUE(temp.writeFile(u"C:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe"_s,
                                   versionedProgram(version)));
    }

    // The manual-link version file holding value.
    static QByteArray formData(const char* value) {
        return QByteArray("%FDF-1.2\r\n1 0 obj\r\n<< \r\n/FDF << /Fields [ \r\n<< /V (") + value +
               ")/T (ver_Pagora)>> ] \r\n/F (./readme.pdf) >> \r\n>> \r\nendobj\r\ntrailer\r\n<<\r\n"
               "/Root 1 0 R \r\n\r\n>>\r\n%%EOF\r\n";
    }

    // The stand-in package at C:\CD\programs\View\Param\<name>: records its arguments (one per line) in
    // package.txt and copies the versioned browser program into installFolder.
    void installPackage(const QString& name, const QString& installFolder) {
        const QString payload = temp.root() + u"/payload.bin"_s;
        QFile program(payload);
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write(versionedProgram({1, 1, 0, 2}));
        program.close();
        const QString target = temp.host(installFolder + u"\\Pagora.exe"_s);
        const QByteArray script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                                  QFile::encodeName(packageRecord()) + "'; done\nmkdir -p '" +
                                  QFile::encodeName(QFileInfo(target).path()) + "'\ncp '" +
                                  QFile::encodeName(payload) + "' '" + QFile::encodeName(target) + "'\n";
        const QString packagePath = u"C:\\CD\\programs\\View\\Param\\"_s + name;
        ASSERT_TRUE(temp.writeFile(packagePath, script));
        QFile::setPermissions(temp.host(packagePath),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QString packageRecord() const { return temp.root() + u"/package.txt"_s; }
    QStringList packageArguments() const {
        QFile file(packageRecord());
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    QString registryValue(const char* key) const {
        return os.registry().readString(platform::HKEY_LOCAL_MACHINE, QLatin1String(key), u"InstallDir"_s);
    }

    platform::ScriptedUserInterface& ui() { return static_cast<platform::ScriptedUserInterface&>(os.ui()); }
    // The boxes shown, as "title|style|text".
    QStringList boxes() {
        QStringList shown;
        for (const platform::AskedQuestion& q : ui().asked())
            shown << q.title + u'|' + QString::number(q.style) + u'|' + q.text;
        return shown;
    }

    // Clicks an option on its label: a click beside a short label selects nothing.
    static void clickOption(QWidget* option) {
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
    }

    // What the user does with the agreement dialog, one letter a step: A agree, D disagree (clicks on the
    // option labels), O the OK button, C the close box. OK never closes the dialog before an option is set,
    // and either option enables it.
    static std::function<void(browser_setup::frmContract&)> answering(std::string steps) {
        return [steps](browser_setup::frmContract& form) {
            for (const char step : steps) {
                if (step == 'A' || step == 'D') {
                    clickOption(form.optContract[step == 'A' ? 0 : 1]);
                    EXPECT_TRUE(form.cmdOK->isEnabled());
                } else if (step == 'O') {
                    const bool chosen = form.optContract[0]->isChecked() || form.optContract[1]->isChecked();
                    QTest::mouseClick(form.cmdOK, Qt::LeftButton);
                    EXPECT_EQ(form.isVisible(), !chosen);
                } else {
                    form.close();
                }
            }
        };
    }

    // Runs action on the agreement dialog once it is shown modally, while the returned poll lives.
    [[nodiscard]] static std::unique_ptr<QTimer>
    whenContractShown(std::function<void(browser_setup::frmContract&)> action) {
        auto poll = std::make_unique<QTimer>();
        QObject::connect(
            poll.get(), &QTimer::timeout, poll.get(), [timer = poll.get(), action = std::move(action)] {
                auto* contract = qobject_cast<browser_setup::frmContract*>(QApplication::activeModalWidget());
                if (contract == nullptr)
                    return;
                timer->stop();
                action(*contract);
            });
        poll->start(10);
        return poll;
    }

    TempMachine temp;
    platform::Platform os;
};

} // namespace marvek::testing

using namespace marvek;
using namespace marvek::browser_setup;
using namespace marvek::testing;

namespace {

TEST_F(PagosetFixture, VersionGateOrdersVersionsAndReadsTheServicePackNumber) {
    // Each case: major, minor, service pack and whether the system is supported.
    const std::tuple<const char*, const char*, const char*, int> cases[] = {
        {"5", "0", "Service Pack 4", 0},
        {"5", "1", "Service Pack 1", 0},
        {"5", "1", "Service Pack 2, v.2096", 1},
        {"5", "2", "", 1},
        {"10", "0", "", 1},
        {"4", "10", "Service Pack 6", 0}};
    for (const auto& [major, minor, servicePack, supported] : cases) {
        SCOPED_TRACE(std::string(major) + "." + minor + " " + servicePack);
        setMachine("0409", major, minor, servicePack);
        EXPECT_EQ(GFncOS_Check(*makeContext()), supported);
    }
    EXPECT_TRUE(ui().asked().empty());

    failVersionQuery();
    EXPECT_EQ(GFncOS_Check(*makeContext()), 0);
    EXPECT_EQ(boxes(), QStringList{u"Pagoset|0|関数が失敗しました。"_s});
    // The number runs from the first digit to the first comma (other texts: the fuzz corpus).
    EXPECT_EQ(ServicePackNumber(u"SP 13 , v.2096"_s), 13u);
    EXPECT_EQ(ServicePackNumber(u"Service Pack 1a"_s), std::nullopt);
}

TEST_F(PagosetFixture, VersionTextSkipsTheThirdNumber) {
    const auto ctx = makeContext();
    const std::pair<platform::FileVersion, const char*> cases[] = {
        {{1, 1, 0, 2}, "1.1.2"},
        {{2, 10, 7, 31}, "2.10.31"},
        {{1, 0xFFFF, 0, 0x8000}, "1.-1.-32768"}, // 16-bit signed numbers
    };
    for (const auto& [version, text] : cases) {
        ASSERT_TRUE(temp.writeFile(u"C:\\View\\Pagora.exe"_s, versionedProgram(version)));
        EXPECT_EQ(GFncVer_Get(*ctx, u"C:\\View\\Pagora.exe"_s), QLatin1String(text));
    }
    ASSERT_TRUE(temp.writeFile(u"C:\\View\\Plain.exe"_s, "no record"));
    EXPECT_EQ(GFncVer_Get(*ctx, u"C:\\View\\Plain.exe"_s), QString());
    EXPECT_EQ(GFncVer_Get(*ctx, u"C:\\View\\Missing.exe"_s), QString());
}

TEST_F(PagosetFixture, VersionFileIsWrittenByteForByteOrItsFailureShown) {
    const auto ctx = makeContext();
    const QString path = u"C:\\ManualLink\\Pagora.fdf"_s;
    const std::pair<const char*, const char*> cases[] = {{"1.1.2", "Ver 1.1.2"},
                                                         {"Not Installed", "Not Installed"},
                                                         {"not installed", "not installed"},
                                                         {"Not Installed ", "Ver Not Installed "},
                                                         {"", "Ver "}};
    for (const auto& [version, value] : cases) {
        EXPECT_TRUE(GFncFdf_Write(*ctx, path, QLatin1String(version)));
        EXPECT_EQ(temp.readFile(path), formData(value)) << version;
    }

    // Failures show their box titled "setup".
    EXPECT_FALSE(GFncFdf_Write(*ctx, u"C:\\Missing\\Pagora.fdf"_s, u"1.1.2"_s));
    // A folder that cannot be written to (the owner's write bit taken away; root writes anyway).
    const QString locked = temp.host(u"C:\\ManualLink"_s);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool denied = !GFncFdf_Write(*ctx, u"C:\\ManualLink\\Pagora.fdf"_s, u"1.1.2"_s);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QStringList expected{u"setup|48|Path not found[76]"_s};
    if (denied)
        expected << u"setup|48|Permission denied[70]"_s;
    EXPECT_EQ(boxes(), expected);
}

TEST_F(PagosetFixture, ContractDialogStartsUnchosenAndReturnsTheAnswer) {
    const std::pair<const char*, bool> cases[] = {
        {"AO", true},                  // agree, OK
        {"DO", false},                 // disagree, OK
        {"ADO", false}, {"OAO", true}, // OK before an option does nothing
        {"AC", false},                 // agree, then the close box
    };
    const auto ctx = makeContext();
    for (const auto& [steps, agreed] : cases) {
        SCOPED_TRACE(steps);
        ctx->mbolAgree = !agreed;
        frmContract form(*ctx);
        EXPECT_FALSE(form.optContract[0]->isChecked() || form.optContract[1]->isChecked() ||
                     form.cmdOK->isEnabled());
        const auto poll = whenContractShown(answering(steps));
        EXPECT_EQ(form.GFncCon_Show(), agreed);
        EXPECT_EQ(ctx->mbolAgree, agreed);
        EXPECT_FALSE(form.isVisible());
    }
}

constexpr auto JapaneseFolder = "C:\\Program Files\\Marvek\\Scanlux\\View";
constexpr auto ViewerKeyPath = "SOFTWARE\\MARVEK\\SCANLUX\\MarvekView";
constexpr auto LinkFile = "C:\\ManualLink\\Pagora.fdf";

class PagosetMain : public PagosetFixture {
protected:
    // Runs the pass; contract: what the user does with the dialog (none: it must not be shown).
    int run(std::function<void(frmContract&)> contract = {}) {
        bool shown = false;
        const auto poll = whenContractShown([&shown, contract](frmContract& form) {
            shown = true;
            if (contract) {
                contract(form);
            } else {
                ADD_FAILURE() << "the agreement was shown";
                form.close();
            }
        });
        const auto ctx = makeContext();
        const int code = Main(*ctx);
        EXPECT_EQ(shown, bool(contract));
        return code;
    }

    bool exists(const QString& path) const { return os.files().fileExists(path); }
    const QStringList switches = {u"/SP-"_s, u"/VERYSILENT"_s, u"/NOCANCEL"_s, u"/NORESTART"_s};
};

TEST_F(PagosetMain, AgreementInstallsTheBrowserOfTheLanguageAndRecordsIt) {
    // Each case: the system's language, its program-files folder, the package run and its folder.
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"0411", "D:\\Programme", "PG002JP.exe", JapaneseFolder},
        {"0409", nullptr, "PG002.exe", "C:\\Program Files\\Marvek\\Scanlux\\View"},
        {"0407", "D:\\Programme", "PG002.exe", "D:\\Programme\\Marvek\\Scanlux\\View"}};
    temp.addDrive(u'D');
    for (const auto& [langId, programFiles, package, folder] : cases) {
        SCOPED_TRACE(langId);
        QFile::remove(packageRecord());
        QFile::remove(temp.host(QLatin1String(folder) + u"\\Pagora.exe"_s));
        setMachine(langId, "5", "1", "Service Pack 2", programFiles);
        // Each package installs where this language's browser belongs; only the chosen one runs.
        installPackage(u"PG002JP.exe"_s, QLatin1String(JapaneseFolder));
        installPackage(u"PG002.exe"_s, QLatin1String(folder));
        if (QLatin1String(package) == u"PG002JP.exe")
            installPackage(u"PG002.exe"_s, u"C:\\Wrong"_s);

        EXPECT_EQ(run(answering("AO")), 0);
        EXPECT_EQ(packageArguments(), switches);
        EXPECT_TRUE(exists(QLatin1String(folder) + u"\\Pagora.exe"_s));
        EXPECT_FALSE(exists(u"C:\\Wrong\\Pagora.exe"_s));
        EXPECT_EQ(registryValue(ViewerKeyPath), QLatin1String(folder));
        EXPECT_EQ(temp.readFile(QLatin1String(LinkFile)), formData("Ver 1.1.2"));
    }
    EXPECT_TRUE(ui().asked().empty());
}

TEST_F(PagosetMain, DisagreeingOrClosingTheDialogChangesNothing) {
    installPackage(u"PG002.exe"_s, QLatin1String(JapaneseFolder));
    const auto registryText = [this] {
        QFile file(temp.machine().registryFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray registryBefore = registryText();
    // An installed browser would be recorded by a pass that goes on.
    installBrowser({1, 1, 0, 2});
    for (const char* steps : {"DO", "AC"}) {
        EXPECT_EQ(run(answering(steps)), 0);
        EXPECT_TRUE(packageArguments().isEmpty());
        EXPECT_EQ(registryText(), registryBefore);
        EXPECT_FALSE(exists(QLatin1String(LinkFile)));
    }
}

// Without an install (an old or unknown system, or no package) an installed browser is still recorded.
TEST_F(PagosetMain, WithoutAnInstallTheInstalledBrowserIsStillRecorded) {
    installPackage(u"PG002.exe"_s, u"C:\\Elsewhere"_s);
    setMachine("0409", "5", "1", "Service Pack 1");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(registryValue(ViewerKeyPath), QString());
    EXPECT_EQ(temp.readFile(QLatin1String(LinkFile)), formData("Not Installed"));

    installBrowser({1, 2, 0, 5});
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(registryValue(ViewerKeyPath), u"C:\\Program Files\\Marvek\\Scanlux\\View"_s);
    EXPECT_EQ(temp.readFile(QLatin1String(LinkFile)), formData("Ver 1.2.5"));
    EXPECT_TRUE(packageArguments().isEmpty());

    QFile::remove(temp.host(u"C:\\CD\\programs\\View\\Param\\PG002.exe"_s));
    installBrowser({1, 1, 0, 2});
    setMachine("0409", "5", "1", "Service Pack 2");
    ASSERT_TRUE(os.registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(ViewerKeyPath),
                                          u"InstallDir"_s, {}));
    EXPECT_EQ(run(answering("AO")), 0);
    EXPECT_EQ(registryValue(ViewerKeyPath), u"C:\\Program Files\\Marvek\\Scanlux\\View"_s);
    EXPECT_EQ(temp.readFile(QLatin1String(LinkFile)), formData("Ver 1.1.2"));
}

TEST_F(PagosetMain, NoManualLinkFolderWritesNoVersionFile) {
    installPackage(u"PG002.exe"_s, u"C:\\Program Files\\Marvek\\Scanlux\\View"_s);
    for (const char* value : {"", "C:\\NoSuchFolder", "C:\\ManualLink\\ManualLink.exe"}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(os.registry().writeString(platform::HKEY_LOCAL_MACHINE,
                                              u"SOFTWARE\\Marvek\\Scanlux\\ManualLink"_s, u"InstallDir"_s,
                                              QLatin1String(value)));
        EXPECT_EQ(run(answering("AO")), 0);
        EXPECT_EQ(registryValue(ViewerKeyPath), u"C:\\Program Files\\Marvek\\Scanlux\\View"_s);
        EXPECT_FALSE(exists(QLatin1String(LinkFile)));
        EXPECT_FALSE(exists(u"C:\\NoSuchFolder\\Pagora.fdf"_s));
    }
    EXPECT_TRUE(ui().asked().empty());
}

class PagosetProcess : public PagosetFixture {
protected:
    PagosetProcess() {
        const QString cd = temp.addDrive(u'D');
        const QString folder = cd + u"/programs/View"_s;
        QDir().mkpath(folder);
        const QString built = QFileInfo(BuildPath("PAGOSET_EXE")).path();
        EXPECT_TRUE(QFile::copy(BuildPath("PAGOSET_EXE"), folder + u"/Pagoset.exe"_s));
        EXPECT_TRUE(QFile::copy(built + u"/PG_INST_MSG.TXT"_s, folder + u"/PG_INST_MSG.TXT"_s));
    }

    int run() {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"MARVEK_ROOT"_s, temp.root());
        env.insert(u"MARVEK_UI_LOG"_s, temp.root() + u"/ui.log"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.remove(u"MARVEK_UI_SCRIPT"_s);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(temp.host(u"D:\\programs\\View\\Pagoset.exe"_s), {});
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString uiLog() const {
        QFile log(temp.root() + u"/ui.log"_s);
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }
};

// The built program reads its message file, shows the failed version query's box and goes on.
TEST_F(PagosetProcess, FailedVersionQueryShowsItsBoxAndGoesOn) {
    const QString box = u"Pagoset\t0\t関数が失敗しました。\t1\tdefault\n"_s;
    failVersionQuery();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(uiLog(), box);
    EXPECT_EQ(temp.readFile(u"C:\\ManualLink\\Pagora.fdf"_s), formData("Not Installed"));
}

} // namespace
