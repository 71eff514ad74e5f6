// The browser setup's steps one by one: the version gate, the package and browser folders, the
// version text, the version file and the registry.

#include "PagosetFixture.h"
#include "browser_setup/app/BrowserRecord.h"
#include "browser_setup/app/OsCheck.h"
#include "browser_setup/app/PackageRun.h"

namespace {

class PagosetSteps : public PagosetFixture {};

TEST_F(PagosetSteps, VersionGateOrdersVersionsAndReadsTheServicePackNumber) {
    struct Case {
        const char* major;
        const char* minor;
        const char* servicePack;
        int supported;
    };
    const Case cases[] = {
        {"5", "0", "Service Pack 4", 0},
        {"5", "1", "", 0},
        {"5", "1", "Service Pack 1", 0},
        {"5", "1", "Service Pack 2a", 0},
        {"5", "1", "Service Pack 2", 1},
        {"5", "1", "Service Pack 2, build note", 1},
        {"5", "1", "Service Pack 10", 1},
        {"5", "1", "Service Pack 99999999999999999999999", 1},
        {"5", "2", "", 1},
        {"6", "0", "", 1},
        {"6", "1", "Service Pack 1", 1},
        {"10", "0", "", 1},
        {"4", "10", "Service Pack 6", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.major) + "." + c.minor + " " + c.servicePack);
        setMachine("0409", c.major, c.minor, c.servicePack);
        EXPECT_EQ(GFncOS_Check(*makeContext()), c.supported);
    }
    EXPECT_TRUE(ui().asked().empty());

    failVersionQuery();
    EXPECT_EQ(GFncOS_Check(*makeContext()), 0);
    ASSERT_EQ(ui().asked().size(), 1u);
    EXPECT_EQ(ui().asked().front().text, QStringLiteral("関数が失敗しました。"));
    EXPECT_EQ(ui().asked().front().style, platform::mb::OKOnly);
    EXPECT_EQ(ui().asked().front().title, QStringLiteral("Pagoset"));
}

TEST_F(PagosetSteps, ServicePackNumberFromTheFirstDigitToTheFirstComma) {
    const std::pair<const char*, std::optional<quint64>> cases[] = {
        {"Service Pack 2", 2},
        {"Service Pack 2, build note", 2},
        {"SP 3 , v.2096", 3},
        {"  7  ", 7},
        {"Service Pack 1a", std::nullopt},
        {"Service Pack 2 (build 2600)", std::nullopt},
        {"Service Pack", std::nullopt},
        {"", std::nullopt},
        {"Service Pack ２", std::nullopt}, // a full-width digit is no digit here
    };
    for (const auto& [text, number] : cases)
        EXPECT_EQ(ServicePackNumber(QString::fromUtf8(text)), number) << text;
}

TEST_F(PagosetSteps, VersionTextSkipsTheThirdNumber) {
    const auto ctx = makeContext();
    const std::pair<platform::FileVersion, const char*> cases[] = {
        {{1, 1, 0, 2}, "1.1.2"},
        {{2, 10, 7, 31}, "2.10.31"},
        {{1, 0xFFFF, 0, 0x8000}, "1.-1.-32768"}, // 16-bit signed numbers
    };
    for (const auto& [version, text] : cases) {
        ASSERT_TRUE(temp.writeFile(QStringLiteral("C:\\View\\Pagora.exe"), versionedProgram(version)));
        EXPECT_EQ(GFncVer_Get(*ctx, QStringLiteral("C:\\View\\Pagora.exe")), QLatin1String(text));
    }
    ASSERT_TRUE(temp.writeFile(QStringLiteral("C:\\View\\Plain.exe"), "no record"));
    EXPECT_EQ(GFncVer_Get(*ctx, QStringLiteral("C:\\View\\Plain.exe")), QString());
    EXPECT_EQ(GFncVer_Get(*ctx, QStringLiteral("C:\\View\\Missing.exe")), QString());
}

TEST_F(PagosetSteps, VersionFileIsWrittenByteForByte) {
    const auto ctx = makeContext();
    const QString path = QStringLiteral("C:\\ManualLink\\Pagora.fdf");
    const std::pair<const char*, const char*> cases[] = {
        {"1.1.2", "Ver 1.1.2"},
        {"Not Installed", "Not Installed"},
        {"NOT INSTALLED", "NOT INSTALLED"},
        {"not installed", "not installed"},
        {"Not Installed ", "Ver Not Installed "},
        {"", "Ver "},
    };
    for (const auto& [version, value] : cases) {
        EXPECT_TRUE(GFncFdf_Write(*ctx, path, QLatin1String(version)));
        EXPECT_EQ(temp.readFile(path), formData(value)) << version;
    }
    EXPECT_TRUE(ui().asked().empty());
}

TEST_F(PagosetSteps, VersionFileFailureShowsItsBoxTitledSetup) {
    const auto ctx = makeContext();
    EXPECT_FALSE(GFncFdf_Write(*ctx, QStringLiteral("C:\\Missing\\Pagora.fdf"), QStringLiteral("1.1.2")));
    // A folder that cannot be written to (the owner's write bit taken away; root writes anyway).
    const QString locked = temp.host(QStringLiteral("C:\\ManualLink"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool denied =
        !GFncFdf_Write(*ctx, QStringLiteral("C:\\ManualLink\\Pagora.fdf"), QStringLiteral("1.1.2"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    ASSERT_EQ(ui().asked().size(), denied ? 2u : 1u);
    EXPECT_EQ(ui().asked()[0].text, QStringLiteral("Path not found[76]"));
    EXPECT_EQ(ui().asked()[0].style, platform::mb::Exclamation);
    EXPECT_EQ(ui().asked()[0].title, QStringLiteral("setup"));
    if (denied) {
        EXPECT_EQ(ui().asked()[1].text, QStringLiteral("Permission denied[70]"));
    }
}

} // namespace
