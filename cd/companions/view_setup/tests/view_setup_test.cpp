// The viewer package, run as `setup` runs it (programs\View\setup.exe) and as the browser installer runs
// it (Param\PG002.exe, Param\PG002JP.exe).
#include "CompanionTest.h"

namespace marvek::companions::testing {
namespace {

const QString ProgramFilesView = u"C:\\Apps\\Marvek\\Scanlux\\View"_s;
const QString JapaneseView = u"C:\\Program Files\\Marvek\\Scanlux\\View"_s;

class ViewSetupTest : public CompanionTest {
protected:
    ViewSetupTest() {
        // A program-files folder other than the fixed Japanese one tells the two defaults apart.
        setRegistry("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", u"C:\\Apps"_s);
    }

    void expectInstalled(const QString& folder) {
        EXPECT_EQ(lastLogLine(folder), "0");
        EXPECT_EQ(registry(ViewerKey), folder);
        for (const char* file : {"Pagora.exe", "PG_MSG.TXT"})
            EXPECT_EQ(bytes(folder + u'\\' + QLatin1String(file)),
                      bytes(u"D:\\programs\\View\\"_s + QLatin1String(file)))
                << file;
    }
};

struct Caller {
    const char* name;
    const char* package;     // file name the package runs under
    const char* commandLine; // its switches
    const char* locale;      // the user's and the system's language
    bool japaneseFolder;
};
void PrintTo(const Caller& value, std::ostream* out) {
    *out << value.name;
}

class ViewSetupCaller : public ViewSetupTest, public ::testing::WithParamInterface<Caller> {};

TEST_P(ViewSetupCaller, InstallsIntoTheFolderItsCallerExpects) {
    const Caller& caller = GetParam();
    ASSERT_TRUE(t.setLocale(caller.locale));
    copyCdFolder(u"programs/View"_s, u"C:\\CD\\Param"_s, {},
                 {{u"setup.exe"_s, QLatin1String(caller.package)}});

    EXPECT_EQ(run(u"C:\\CD\\Param\\"_s + QLatin1String(caller.package) + QLatin1String(caller.commandLine)),
              0u);
    expectInstalled(caller.japaneseFolder ? JapaneseView : ProgramFilesView);
    EXPECT_FALSE(exists(caller.japaneseFolder ? ProgramFilesView : JapaneseView));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ViewSetupCaller,
    ::testing::Values(Caller{"SetupEnglish", "setup.exe", " /VERYSILENT /SP-", "0409", false},
                      Caller{"SetupJapanese", "setup.exe", " /VERYSILENT /SP-", "0411", true},
                      Caller{"BrowserSetupEnglishPackage", "PG002.exe",
                             " /SP- /VERYSILENT /NOCANCEL /NORESTART", "0411", false},
                      Caller{"BrowserSetupJapanesePackage", "PG002JP.exe",
                             " /SP- /VERYSILENT /NOCANCEL /NORESTART", "0409", true}),
    [](const ::testing::TestParamInfo<Caller>& info) { return std::string(info.param.name); });

TEST_F(ViewSetupTest, InstallsFromTheCdIntoTheRecordedFolderOverAnOlderCopy) {
    const QString folder = u"C:\\Viewer"_s;
    setRegistry(ViewerKey, InstallDirValue, folder);
    ASSERT_TRUE(t.temp().writeFile(folder + u"\\Pagora.exe"_s, "an older browser"));

    ASSERT_EQ(run(u"D:\\programs\\View\\setup.exe /VERYSILENT /SP-"_s), 0u);
    expectInstalled(folder);
    EXPECT_FALSE(exists(ProgramFilesView));
}

} // namespace
} // namespace marvek::companions::testing
