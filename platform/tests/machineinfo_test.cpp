#include "TestSupport.h"
#include "platform/MachineInfo.h"

#include <pwd.h>
#include <unistd.h>

TEST(MachineInfo, LanguageIdentifiersOfPosixLocales) {
    const std::pair<const char*, quint16> cases[] = {
        {"JA_jp.eucJP", 0x0411}, {"en_GB.UTF-8", 0x0809}, {"de_CH@euro", 0x0807}, {"zh_TW", 0x0404},
        {"zh_HK.UTF-8", 0x0C04}, {"C.UTF-8", 0x0409},     {"", 0x0409},           {"xx_YY", 0x0409},
    };
    for (const auto& [locale, id] : cases)
        EXPECT_EQ(MachineInfo::langIdFromPosixLocale(locale), id) << locale;
}

// The system version as major, minor and service pack; "failed" when the query fails.
std::tuple<quint32, quint32, QString> versionOf(const MachineInfo& info) {
    const auto version = info.osVersion();
    return version ? std::tuple(version->major, version->minor, version->servicePack)
                   : std::tuple(0u, 0u, QString("failed"));
}

// The user and system language, the ANSI code page, the short date and the long time format.
QStringList localeOf(const MachineInfo& info) {
    return {QString::number(info.userDefaultLangId(), 16), QString::number(info.systemDefaultLangId(), 16),
            QString::number(info.ansiCodePage()), info.shortDateFormat(), info.longTimeFormat()};
}

TEST(MachineInfo, DefaultsComeFromTheEnvironmentAndMachineIniOverridesThem) {
    TempMachine temp;
    const MachineInfo info(temp.machine());
    {
        const ScopedEnvironment all("LC_ALL", QByteArray());
        const ScopedEnvironment lang("LANG", "ja_JP.UTF-8");
        EXPECT_EQ(localeOf(info), QStringList({"411", "411", "932", "yyyy/MM/dd", "H:mm:ss"}));
        const ScopedEnvironment allWins("LC_ALL", "de_DE.UTF-8");
        EXPECT_EQ(localeOf(info), QStringList({"407", "407", "1252", "M/d/yyyy", "h:mm:ss AP"}));
    }
    EXPECT_EQ(versionOf(info), std::tuple(5u, 1u, QString("Service Pack 3")));
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(info.logonName(), QString::fromLocal8Bit(user->pw_name));

    const ScopedEnvironment all("LC_ALL", QByteArray());
    const ScopedEnvironment lang("LANG", "en_US.UTF-8");
    const QString ini = temp.machine().machineIniFile();
    ASSERT_TRUE(writeHostFile(ini, "[Locale]\nUserDefaultLangID=0x0C04\nSystemDefaultLangID = 0411\n"
                                   "[System]\nMajorVersion=6\nMinorVersion=0\nCSDVersion=\n"
                                   "LogonName=Techniker Ümit\n"));
    // The code page follows the system language when ACP is not given.
    EXPECT_EQ(localeOf(info).mid(0, 4), QStringList({"c04", "411", "932", "M/d/yyyy"}));
    EXPECT_EQ(versionOf(info), std::tuple(6u, 0u, QString())); // present but empty: no service pack
    EXPECT_EQ(info.logonName(), QString::fromUtf8("Techniker Ümit"));

    // Read once, the values stay those of that moment; the machine's own reader follows the file.
    const MachineInfo once = MachineInfo::readOnce(temp.machine());
    ASSERT_TRUE(writeHostFile(ini, "[Locale]\nUserDefaultLangID=0411\nSystemDefaultLangID=0411\nACP=1252\n"
                                   "[System]\nOsVersionFails=1\n"));
    EXPECT_EQ(localeOf(once).mid(0, 3), QStringList({"c04", "411", "932"}));
    EXPECT_EQ(versionOf(once), std::tuple(6u, 0u, QString()));
    EXPECT_EQ(once.logonName(), QString::fromUtf8("Techniker Ümit"));
    EXPECT_EQ(localeOf(info).mid(2, 2), QStringList({"1252", "yyyy/MM/dd"}));
    EXPECT_EQ(versionOf(info), std::tuple(0u, 0u, QString("failed")));

    // Values that do not convert fall back.
    ASSERT_TRUE(writeHostFile(ini, "[Locale]\nUserDefaultLangID=zz\nSystemDefaultLangID=12345\nACP=abc\n"
                                   "[System]\nMajorVersion=x\n"));
    EXPECT_EQ(localeOf(info).mid(0, 3), QStringList({"409", "409", "1252"}));
    EXPECT_EQ(std::get<0>(versionOf(info)), 5u);
}

TEST(MachineInfo, WindowsEnvironmentVariablesIgnoreCaseAndHaveDefaults) {
    TempMachine temp;
    const MachineInfo info(temp.machine());
    const ScopedEnvironment hostVariable("ProgramFiles", "/opt/host");
    EXPECT_EQ(info.environmentVariable("programfiles"), "C:\\Program Files"); // never the host's
    EXPECT_EQ(info.environmentVariable("TEMP") + info.environmentVariable(""), "");

    ASSERT_TRUE(writeHostFile(temp.machine().machineIniFile(),
                              "[environment]\nPROGRAMFILES = D:\\Programme\nTemp=C:\\Temp\n"));
    EXPECT_EQ(info.environmentVariable("programfiles"), "D:\\Programme");
    EXPECT_EQ(info.environmentVariable("TEMP"), "C:\\Temp");
}
