#include "TestSupport.h"
#include "platform/Registry.h"

#include <thread>
#include <vector>

namespace {

const QString ScanluxKey = QStringLiteral("SOFTWARE\\MARVEK\\Scanlux");

class RegistryTest : public ::testing::Test {
protected:
    QString read(const QString& key, const QString& name) const {
        return registry.readString(HKEY_LOCAL_MACHINE, key, name);
    }
    bool write(const QString& key, const QString& name, const QString& value) const {
        return registry.writeString(HKEY_LOCAL_MACHINE, key, name, value);
    }
    QByteArray file() const { return readHostFile(temp.machine().registryFile()); }

    TempMachine temp;
    const Registry registry{temp.machine()};
};

} // namespace

TEST_F(RegistryTest, MissingKeysAndValuesReadEmptyAndKeysCompareWithoutRegardToCase) {
    EXPECT_EQ(read(ScanluxKey, "ProgramPath"), ""); // no file yet
    ASSERT_TRUE(write("SOFTWARE\\MARVEK\\Scanlux\\MarvekView", "InstallDir", "C:\\Program Files\\Pagora"));
    // Another value, another key, and HKEY_CURRENT_USER read empty; nothing is written there or to a bad key.
    EXPECT_EQ(read("SOFTWARE\\MARVEK\\Scanlux\\MarvekView", "Other") +
                  read("SOFTWARE\\Nothing", "InstallDir") +
                  registry.readString(0x80000001u, "SOFTWARE\\MARVEK\\Scanlux\\MarvekView", "InstallDir"),
              "");
    EXPECT_FALSE(registry.writeString(0x80000001u, ScanluxKey, "ProgramPath", "x") ||
                 write("\\", "ProgramPath", "x") || write("SOFTWARE\nX", "ProgramPath", "x"));

    EXPECT_EQ(read("software\\marvek\\scanlux\\marvekview", "INSTALLDIR"), "C:\\Program Files\\Pagora");
    EXPECT_EQ(read("\\SOFTWARE\\Marvek\\Scanlux\\MarvekView\\", "installdir"), "C:\\Program Files\\Pagora");
    // Writing under another spelling replaces the value instead of adding a second key.
    ASSERT_TRUE(write("Software\\Marvek\\Scanlux\\MarvekView", "installDIR", "D:\\Pagora"));
    EXPECT_EQ(read("SOFTWARE\\MARVEK\\Scanlux\\MarvekView", "InstallDir"), "D:\\Pagora");
    EXPECT_EQ(file().count("[SOFTWARE\\MARVEK\\Scanlux\\MarvekView]"), 1) << file().constData();
    EXPECT_EQ(file().count("InstallDir="), 1) << file().constData();
}

// Awkward text comes back as written. A value that does not fit the 256-character buffer reads empty; the
// text is cut at its first NUL, but the NUL and what follows still count for the fit.
TEST_F(RegistryTest, ValuesRoundTripUnlessTheyDoNotFitTheBuffer) {
    std::vector<std::pair<QString, QString>> cases = {
        {QString(256, 'b'), ""},
        {QString("C:\\a") + QChar(0) + "rest", "C:\\a"},
        {"x" + QString(QChar(0)) + QString(254, 'y'), ""},
    };
    for (const QString& asWritten :
         {QString("C:\\Program Files\\Marvek\\"), QString("  leading and trailing  "), QString("\"quoted\""),
          QString("line one\r\nline two\ttab"), QString("a=b;c[d]"), QString::fromUtf8("マニュアル\\日本語"),
          QString(), QString(255, 'a')})
        cases.emplace_back(asWritten, asWritten);
    for (qsizetype i = 0; i < std::ssize(cases); ++i)
        ASSERT_TRUE(write(ScanluxKey, QString("V%1").arg(i), cases[i].first));
    ASSERT_TRUE(write(ScanluxKey, "odd=name ", "x"));
    ASSERT_TRUE(write(ScanluxKey, "", "default value"));
    for (qsizetype i = 0; i < std::ssize(cases); ++i)
        EXPECT_EQ(read(ScanluxKey, QString("V%1").arg(i)), cases[i].second) << i;
    EXPECT_EQ(read(ScanluxKey, "odd=name "), "x");
    EXPECT_EQ(read(ScanluxKey, ""), "default value");
}

TEST_F(RegistryTest, HandWrittenFileIsReadAndKeptIntact) {
    const QByteArray original = "; written by hand\r\n"
                                "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                                "ProgramFilesDir = C:\\Program Files\r\n"
                                "\r\n"
                                "[software\\marvek\\scanlux]\r\n"
                                "ProgramPath=C:\\First\r\n"
                                "programpath=C:\\Second\r\n"
                                "garbage line without equals\r\n"
                                "[SOFTWARE\\Other]\r\n"
                                "Name=Value\r\n";
    ASSERT_TRUE(writeHostFile(temp.machine().registryFile(), original));
    EXPECT_EQ(read("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"), "C:\\Program Files");
    EXPECT_EQ(read(ScanluxKey, "ProgramPath"), "C:\\First");

    ASSERT_TRUE(write(ScanluxKey, "New", "1"));
    ASSERT_TRUE(write("SOFTWARE\\Added", "Name", "2"));
    QByteArray expected = original;
    expected.replace("programpath=C:\\Second\r\n", "programpath=C:\\Second\r\nNew=1\n");
    EXPECT_EQ(file(), expected + "\n[SOFTWARE\\Added]\nName=2\n");
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    constexpr int Writers = 6;
    constexpr int ValuesEach = 20;
    const auto key = [](int w) {
        return QString("SOFTWARE\\Writer%1").arg(w);
    };
    std::vector<std::thread> threads;
    for (int w = 0; w < Writers; ++w) {
        threads.emplace_back([this, w, &key] {
            const Registry own(temp.machine());
            for (int v = 0; v < ValuesEach; ++v)
                own.writeString(HKEY_LOCAL_MACHINE, key(w), QString("V%1").arg(v),
                                QString("%1-%2").arg(w).arg(v));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int w = 0; w < Writers; ++w) {
        for (int v = 0; v < ValuesEach; ++v)
            EXPECT_EQ(read(key(w), QString("V%1").arg(v)), QString("%1-%2").arg(w).arg(v));
    }
}
