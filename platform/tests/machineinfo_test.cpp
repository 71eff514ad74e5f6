#include "ScopedEnvironment.h"
#include "platform/MachineInfo.h"
#include "platform/testing/TempMachine.h"

#include <QFile>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

using namespace marvek::platform;
using marvek::testing::TempMachine;

namespace {

// LC_ALL and LANG for the life of the object.
struct ScopedLocale {
    ScopedLocale(const QByteArray& lcAll, const QByteArray& langValue)
        : all("LC_ALL", lcAll), lang("LANG", langValue) {}
    ScopedEnvironment all;
    ScopedEnvironment lang;
};

void writeMachineIni(const TempMachine& temp, const QByteArray& text) {
    QFile file(temp.machine().machineIniFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

} // namespace

TEST(MachineInfo, LanguageIdentifiersOfPosixLocales) {
    const std::pair<const char*, quint16> cases[] = {
        {"ja_JP.UTF-8", 0x0411}, {"ja_JP.eucJP", 0x0411}, {"ja", 0x0411},
        {"en_US.UTF-8", 0x0409}, {"en_GB.UTF-8", 0x0809}, {"en_AU", 0x0C09},
        {"de_DE@euro", 0x0407},  {"de_CH.UTF-8", 0x0807}, {"fr_FR.UTF-8", 0x040C},
        {"fr_CA", 0x0C0C},       {"zh_CN.UTF-8", 0x0804}, {"zh_TW.UTF-8", 0x0404},
        {"zh_HK.UTF-8", 0x0C04}, {"zh_MO", 0x1404},       {"C", 0x0409},
        {"C.UTF-8", 0x0409},     {"POSIX", 0x0409},       {"", 0x0409},
        {"xx_YY", 0x0409},       {"JA_jp", 0x0411},
    };
    for (const auto& [locale, id] : cases)
        EXPECT_EQ(MachineInfo::langIdFromPosixLocale(locale), id) << locale;
}

TEST(MachineInfo, DefaultsComeFromTheEnvironment) {
    TempMachine temp;
    const MachineInfo info(temp.machine());
    {
        ScopedLocale locale(QByteArray(), "ja_JP.UTF-8");
        EXPECT_EQ(info.userDefaultLangId(), 0x0411);
        EXPECT_EQ(info.systemDefaultLangId(), 0x0411);
        EXPECT_EQ(info.ansiCodePage(), 932);
        EXPECT_EQ(info.shortDateFormat(), "yyyy/MM/dd");
        EXPECT_EQ(info.longTimeFormat(), "H:mm:ss");
    }
    {
        ScopedLocale locale("de_DE.UTF-8", "ja_JP.UTF-8"); // LC_ALL wins
        EXPECT_EQ(info.userDefaultLangId(), 0x0407);
        EXPECT_EQ(info.ansiCodePage(), 1252);
        EXPECT_EQ(info.shortDateFormat(), "M/d/yyyy");
        EXPECT_EQ(info.longTimeFormat(), "h:mm:ss AP");
    }
    {
        ScopedLocale locale{QByteArray(), QByteArray()};
        EXPECT_EQ(info.userDefaultLangId(), 0x0409);
    }
    const auto version = info.osVersion();
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->major, 5u);
    EXPECT_EQ(version->minor, 1u);
    EXPECT_EQ(version->servicePack, "Service Pack 3");

    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(info.logonName(), QString::fromLocal8Bit(user->pw_name));
}

TEST(MachineInfo, MachineIniOverridesTheDefaults) {
    TempMachine temp;
    const MachineInfo info(temp.machine());
    ScopedLocale locale(QByteArray(), "en_US.UTF-8");
    writeMachineIni(temp, "[Locale]\n"
                          "UserDefaultLangID=0x0C04\n"
                          "SystemDefaultLangID = 0411\n"
                          "[System]\n"
                          "MajorVersion=6\n"
                          "MinorVersion=0\n"
                          "CSDVersion=\n"
                          "LogonName=Techniker Ümit\n");
    EXPECT_EQ(info.userDefaultLangId(), 0x0C04);
    EXPECT_EQ(info.systemDefaultLangId(), 0x0411);
    EXPECT_EQ(info.ansiCodePage(), 932); // follows the system language when ACP is not given
    EXPECT_EQ(info.shortDateFormat(), "M/d/yyyy");
    const auto version = info.osVersion();
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->major, 6u);
    EXPECT_EQ(version->minor, 0u);
    EXPECT_EQ(version->servicePack, ""); // present but empty: no service pack
    EXPECT_EQ(info.logonName(), QString::fromUtf8("Techniker Ümit"));

    writeMachineIni(temp, "[Locale]\nUserDefaultLangID=0411\nSystemDefaultLangID=0411\nACP=1252\n"
                          "[System]\nOsVersionFails=1\n");
    EXPECT_EQ(info.ansiCodePage(), 1252);
    EXPECT_EQ(info.shortDateFormat(), "yyyy/MM/dd");
    EXPECT_FALSE(info.osVersion().has_value());

    // Values that do not convert fall back.
    writeMachineIni(temp, "[Locale]\nUserDefaultLangID=zz\nSystemDefaultLangID=12345\nACP=abc\n"
                          "[System]\nMajorVersion=x\n");
    EXPECT_EQ(info.userDefaultLangId(), 0x0409);
    EXPECT_EQ(info.systemDefaultLangId(), 0x0409);
    EXPECT_EQ(info.ansiCodePage(), 1252);
    EXPECT_EQ(info.osVersion()->major, 5u);
}
