// The whole installation pass in this process, with the stand-in package as a real process and the
// agreement answered by clicks.

#include "PagosetFixture.h"
#include "browser_setup/app/PagosetMain.h"

namespace {

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
    const QStringList switches = {QStringLiteral("/SP-"), QStringLiteral("/VERYSILENT"),
                                  QStringLiteral("/NOCANCEL"), QStringLiteral("/NORESTART")};
};

TEST_F(PagosetMain, AgreementInstallsTheBrowserOfTheLanguageAndRecordsIt) {
    struct Case {
        const char* langId;
        const char* programFiles;
        const char* package;
        const char* folder;
    };
    const Case cases[] = {
        {"0411", "D:\\Programme", "PG002JP.exe", JapaneseFolder},
        {"0409", nullptr, "PG002.exe", "C:\\Program Files\\Marvek\\Scanlux\\View"},
        {"0407", "D:\\Programme", "PG002.exe", "D:\\Programme\\Marvek\\Scanlux\\View"},
    };
    temp.addDrive(QLatin1Char('D'));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.langId);
        QFile::remove(packageRecord());
        QFile::remove(temp.host(QLatin1String(c.folder) + QStringLiteral("\\Pagora.exe")));
        setMachine(c.langId, "5", "1", "Service Pack 2", c.programFiles);
        // Each package installs where this language's browser belongs; only the chosen one runs.
        installPackage(QStringLiteral("PG002JP.exe"), QLatin1String(JapaneseFolder));
        installPackage(QStringLiteral("PG002.exe"), QLatin1String(c.folder));
        if (QLatin1String(c.package) == u"PG002JP.exe")
            installPackage(QStringLiteral("PG002.exe"), QStringLiteral("C:\\Wrong"));

        EXPECT_EQ(run(answering("AO")), 0);
        EXPECT_EQ(packageArguments(), switches);
        EXPECT_TRUE(exists(QLatin1String(c.folder) + QStringLiteral("\\Pagora.exe")));
        EXPECT_FALSE(exists(QStringLiteral("C:\\Wrong\\Pagora.exe")));
        EXPECT_EQ(registryValue(ViewerKeyPath), QLatin1String(c.folder));
        EXPECT_EQ(temp.readFile(QLatin1String(LinkFile)), formData("Ver 1.1.2"));
    }
    EXPECT_TRUE(ui().asked().empty());
}

TEST_F(PagosetMain, DisagreeingOrClosingTheDialogChangesNothing) {
    installPackage(QStringLiteral("PG002.exe"), QLatin1String(JapaneseFolder));
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
    installPackage(QStringLiteral("PG002.exe"), QStringLiteral("C:\\Elsewhere"));
    setMachine("0409", "5", "1", "Service Pack 1");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(registryValue(ViewerKeyPath), QString());
    EXPECT_EQ(temp.readFile(QLatin1String(LinkFile)), formData("Not Installed"));

    installBrowser({1, 2, 0, 5});
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(registryValue(ViewerKeyPath), QStringLiteral("C:\\Program Files\\Marvek\\Scanlux\\View"));
    EXPECT_EQ(temp.readFile(QLatin1String(LinkFile)), formData("Ver 1.2.5"));
    EXPECT_TRUE(packageArguments().isEmpty());

    QFile::remove(temp.host(QStringLiteral("C:\\CD\\programs\\View\\Param\\PG002.exe")));
    installBrowser({1, 1, 0, 2});
    setMachine("0409", "5", "1", "Service Pack 2");
    ASSERT_TRUE(os.registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(ViewerKeyPath),
                                          QStringLiteral("InstallDir"), {}));
    EXPECT_EQ(run(answering("AO")), 0);
    EXPECT_EQ(registryValue(ViewerKeyPath), QStringLiteral("C:\\Program Files\\Marvek\\Scanlux\\View"));
    EXPECT_EQ(temp.readFile(QLatin1String(LinkFile)), formData("Ver 1.1.2"));

    failVersionQuery();
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(packageArguments().isEmpty());
    ASSERT_EQ(ui().asked().size(), 1u);
    EXPECT_EQ(ui().asked().front().text, QStringLiteral("関数が失敗しました。"));
}

TEST_F(PagosetMain, NoManualLinkFolderWritesNoVersionFile) {
    installPackage(QStringLiteral("PG002.exe"), QStringLiteral("C:\\Program Files\\Marvek\\Scanlux\\View"));
    for (const char* value : {"", "C:\\NoSuchFolder", "C:\\ManualLink\\ManualLink.exe"}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(os.registry().writeString(platform::HKEY_LOCAL_MACHINE,
                                              QStringLiteral("SOFTWARE\\Marvek\\Scanlux\\ManualLink"),
                                              QStringLiteral("InstallDir"), QLatin1String(value)));
        EXPECT_EQ(run(answering("AO")), 0);
        EXPECT_EQ(registryValue(ViewerKeyPath), QStringLiteral("C:\\Program Files\\Marvek\\Scanlux\\View"));
        EXPECT_FALSE(exists(QLatin1String(LinkFile)));
        EXPECT_FALSE(exists(QStringLiteral("C:\\NoSuchFolder\\Pagora.fdf")));
    }
    EXPECT_TRUE(ui().asked().empty());
}

} // namespace
