#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/MachineInfo.h"
#include "platform/MachineSetup.h"
#include "platform/Registry.h"

#include <sys/stat.h>

namespace {

constexpr auto CurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

// A new prefix gets what every Windows PC has: the values the suite reads and the folders behind them and
// behind the special folders, and machine.ini's locale taken from the host's.
TEST(MachineSetup, FreshPrefixGetsTheDefaults) {
    TempMachine temp;
    const ScopedEnvironment all("LC_ALL", "ja_JP.UTF-8");
    const Machine machine(temp.root() + "/new machine");
    ASSERT_TRUE(MachineSetup(machine).ensure());

    const Registry registry(machine);
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, CurrentVersionKey, "ProgramFilesDir"),
              "C:\\Program Files");
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, CurrentVersionKey, "CommonFilesDir"),
              "C:\\Program Files\\Common Files");
    for (const char* folder : {"C:\\Program Files", "C:\\Program Files\\Common Files",
                               "C:\\Documents and Settings\\All Users\\Desktop",
                               "C:\\Documents and Settings\\All Users\\Start Menu\\Programs"})
        EXPECT_TRUE(QFileInfo(machine.toHost(folder)).isDir()) << folder;
    const Files files(machine);
    for (const int csidl : {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY})
        EXPECT_TRUE(QFileInfo(machine.toHost(files.specialFolder(csidl))).isDir()) << csidl;

    EXPECT_EQ(readAll(machine.machineIniFile()),
              "[Locale]\nUserDefaultLangID=0411\nSystemDefaultLangID=0411\n"
              "ACP=932\n\n[Environment]\nProgramFiles=C:\\Program Files\n");
    // The machine keeps its locale whoever starts a program later.
    const ScopedEnvironment other("LC_ALL", "de_DE.UTF-8");
    const MachineInfo info(machine);
    EXPECT_EQ(info.userDefaultLangId(), 0x0411);
    EXPECT_EQ(info.ansiCodePage(), 932);
    EXPECT_TRUE(MachineSetup(machine).isComplete());
}

// LC_ALL before LANG, the language identifier of MachineInfo's table, 0409 for what it does not know.
TEST(MachineSetup, LocaleOfTheHost) {
    struct Case {
        const char* lcAll;
        const char* lang;
        const char* langId;
        const char* codePage;
    };
    const Case cases[] = {
        {nullptr, "ja_JP.UTF-8", "0411", "932"},  {"de_DE.UTF-8", "ja_JP.UTF-8", "0407", "1252"},
        {nullptr, "en_GB.UTF-8", "0809", "1252"}, {nullptr, "C.UTF-8", "0409", "1252"},
        {nullptr, nullptr, "0409", "1252"},       {"", "fr_CA", "0C0C", "1252"},
    };
    for (const Case& c : cases) {
        TempMachine temp;
        const ScopedEnvironment all("LC_ALL", c.lcAll);
        const ScopedEnvironment lang("LANG", c.lang);
        const Machine machine(temp.root() + "/m");
        ASSERT_TRUE(MachineSetup(machine).ensure());
        const QByteArray ini = readAll(machine.machineIniFile());
        EXPECT_TRUE(ini.contains(QByteArray("UserDefaultLangID=") + c.langId +
                                 "\nSystemDefaultLangID=" + c.langId + "\nACP=" + c.codePage + "\n"))
            << (c.lang ? c.lang : "unset") << ": " << ini.toStdString();
    }
}

// What a prefix has is never overwritten, an empty value and another section's case included; what it
// lacks goes into the section the reader reads. The demonstration's hand-written registry.ini keeps
// every line.
TEST(MachineSetup, ExistingValuesAreNeverOverwritten) {
    TempMachine temp;
    const ScopedEnvironment all("LC_ALL", "en_US.UTF-8");
    const Machine& machine = temp.machine();
    const QByteArray registryText =
        "[SOFTWARE\\MARVEK\\Scanlux]\nProgramPath=C:\\Program Files\\Marvek\\Scanlux\n\n"
        "; set by hand\n[software\\microsoft\\windows\\currentversion]\n"
        "ProgramFilesDir=D:\\Apps\n";
    ASSERT_TRUE(writeHostFile(machine.registryFile(), registryText));
    ASSERT_TRUE(writeHostFile(machine.machineIniFile(), "[locale]\r\nUserDefaultLangID=0411\r\nACP=\r\n\r\n"
                                                        "[System]\r\nLogonName=tech\r\n"));
    ASSERT_TRUE(MachineSetup(machine).ensure());

    const QByteArray registryAfter = readAll(machine.registryFile());
    EXPECT_TRUE(registryAfter.startsWith(registryText)) << registryAfter.toStdString();
    const Registry registry(machine);
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, CurrentVersionKey, "ProgramFilesDir"), "D:\\Apps");
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, CurrentVersionKey, "CommonFilesDir"),
              "C:\\Program Files\\Common Files");
    EXPECT_EQ(registry.values(HKEY_LOCAL_MACHINE, CurrentVersionKey).size(), 2u);
    // D: does not exist, so its folder is not made; C:'s Common Files is.
    EXPECT_FALSE(machine.driveExists('d'));
    EXPECT_TRUE(QFileInfo(machine.toHost("C:\\Program Files\\Common Files")).isDir());

    // The first line ends decide the new lines' ends; SystemDefaultLangID follows the machine's user
    // language as MachineInfo reads it, the empty ACP stays (MachineInfo then derives 932 from it).
    EXPECT_EQ(readAll(machine.machineIniFile()),
              "[locale]\r\nUserDefaultLangID=0411\r\nACP=\r\nSystemDefaultLangID=0409\r\n\r\n[System]\r\n"
              "LogonName=tech\r\n\r\n[Environment]\r\nProgramFiles=C:\\Program Files\r\n");

    // A complete prefix is only read: neither file is replaced again.
    const ino_t registryInode = inodeOf(machine.registryFile());
    const ino_t iniInode = inodeOf(machine.machineIniFile());
    EXPECT_TRUE(MachineSetup(machine).isComplete());
    ASSERT_TRUE(MachineSetup(machine).ensure());
    EXPECT_EQ(inodeOf(machine.registryFile()), registryInode);
    EXPECT_EQ(inodeOf(machine.machineIniFile()), iniInode);
}

// The values the machine tool sets: replaced in place, other lines kept, added where missing.
TEST(MachineSetup, WriteIniValuesReplacesInTheFirstSection) {
    TempMachine temp;
    const QString file = temp.root() + "/machine.ini";
    ASSERT_TRUE(writeHostFile(file, "; note\n[Locale]\nACP = 1252\n[Locale]\nACP=437\n"));
    ASSERT_TRUE(
        writeIniValues(file, {{"LOCALE", "acp", "932"}, {"Locale", "UserDefaultLangID", "0411"}}, true));
    EXPECT_EQ(readAll(file), "; note\n[Locale]\nacp=932\nUserDefaultLangID=0411\n[Locale]\nACP=437\n");
}
