#include "platform/Registry.h"
#include "platform/testing/TempMachine.h"

#include <QFile>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace marvek::platform;
using marvek::testing::TempMachine;

namespace {

const QString ScanluxKey = QStringLiteral("SOFTWARE\\MARVEK\\Scanlux");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

TEST(Registry, MissingKeysAndValuesReadEmpty) {
    TempMachine temp;
    const Registry registry(temp.machine());
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, "ProgramPath"), ""); // no file yet
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, "ProgramPath", "C:\\Scanlux"));
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, "Other"), "");
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", "ProgramPath"), "");
    EXPECT_EQ(registry.readString(0x80000001u, ScanluxKey, "ProgramPath"), ""); // HKEY_CURRENT_USER
    EXPECT_FALSE(registry.writeString(0x80000001u, ScanluxKey, "ProgramPath", "x"));
    EXPECT_FALSE(registry.writeString(HKEY_LOCAL_MACHINE, "\\", "ProgramPath", "x"));
    EXPECT_FALSE(registry.writeString(HKEY_LOCAL_MACHINE, "SOFTWARE\nX", "ProgramPath", "x"));
}

TEST(Registry, KeysAndNamesCompareWithoutRegardToCase) {
    TempMachine temp;
    const Registry registry(temp.machine());
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, "SOFTWARE\\MARVEK\\Scanlux\\MarvekView",
                                     "InstallDir", "C:\\Program Files\\Marvek\\Pagora"));
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, "software\\marvek\\scanlux\\marvekview", "INSTALLDIR"),
              "C:\\Program Files\\Marvek\\Pagora");
    EXPECT_EQ(
        registry.readString(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Marvek\\Scanlux\\MarvekView\\", "installdir"),
        "C:\\Program Files\\Marvek\\Pagora");

    // Writing under another spelling replaces the value instead of adding a second key.
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, "Software\\Marvek\\Scanlux\\MarvekView",
                                     "installDIR", "D:\\Pagora"));
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, "SOFTWARE\\MARVEK\\Scanlux\\MarvekView", "InstallDir"),
              "D:\\Pagora");
    const QByteArray file = readAll(temp.machine().registryFile());
    EXPECT_EQ(file.count("[SOFTWARE\\MARVEK\\Scanlux\\MarvekView]"), 1) << file.constData();
    EXPECT_EQ(file.count("InstallDir="), 1) << file.constData();
}

TEST(Registry, ValuesThatDoNotFitTheBufferReadEmpty) {
    TempMachine temp;
    const Registry registry(temp.machine());
    const QString fits(255, 'a');
    const QString tooLong(256, 'b');
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, "Fits", fits));
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, "TooLong", tooLong));
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, "Fits"), fits);
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, "TooLong"), "");

    // The text is cut at its first NUL; the NUL and what follows still count for the fit.
    ASSERT_TRUE(
        registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, "Nul", QString("C:\\a") + QChar(0) + "rest"));
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, "Nul"), "C:\\a");
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, "NulLong",
                                     "x" + QString(QChar(0)) + QString(254, 'y')));
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, "NulLong"), "");
}

TEST(Registry, AwkwardTextRoundTrips) {
    TempMachine temp;
    const Registry registry(temp.machine());
    const QStringList values{"C:\\Program Files\\Marvek\\",
                             "\\\\server\\share",
                             "  leading and trailing  ",
                             "\"quoted\"",
                             "line one\r\nline two\ttab",
                             "a=b;c[d]",
                             QString::fromUtf8("マニュアル\\日本語"),
                             ""};
    for (qsizetype i = 0; i < values.size(); ++i)
        ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, QString("V%1").arg(i), values[i]));
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, "odd=name ", "x"));
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, "", "default value"));
    for (qsizetype i = 0; i < values.size(); ++i)
        EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, QString("V%1").arg(i)), values[i]) << i;
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, "odd=name "), "x");
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, ""), "default value");
    // Plain paths stay readable in the file.
    EXPECT_TRUE(readAll(temp.machine().registryFile()).contains("V0=C:\\Program Files\\Marvek\\\n"));
}

TEST(Registry, HandWrittenFileIsReadAndKeptIntact) {
    TempMachine temp;
    const Registry registry(temp.machine());
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
    writeAll(temp.machine().registryFile(), original);
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                  "ProgramFilesDir"),
              "C:\\Program Files");
    EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, ScanluxKey, "ProgramPath"), "C:\\First");

    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, ScanluxKey, "New", "1"));
    ASSERT_TRUE(registry.writeString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Added", "Name", "2"));
    QByteArray expected = original;
    expected.replace("programpath=C:\\Second\r\n", "programpath=C:\\Second\r\nNew=1\n");
    expected.append("\n[SOFTWARE\\Added]\nName=2\n");
    EXPECT_EQ(readAll(temp.machine().registryFile()), expected);
}

TEST(Registry, ConcurrentWritersLoseNothing) {
    TempMachine temp;
    constexpr int Writers = 6;
    constexpr int ValuesEach = 20;
    std::vector<std::thread> threads;
    for (int w = 0; w < Writers; ++w) {
        threads.emplace_back([&temp, w] {
            const Registry registry(temp.machine());
            for (int v = 0; v < ValuesEach; ++v)
                registry.writeString(HKEY_LOCAL_MACHINE, QString("SOFTWARE\\Writer%1").arg(w),
                                     QString("V%1").arg(v), QString("%1-%2").arg(w).arg(v));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const Registry registry(temp.machine());
    for (int w = 0; w < Writers; ++w) {
        for (int v = 0; v < ValuesEach; ++v)
            EXPECT_EQ(registry.readString(HKEY_LOCAL_MACHINE, QString("SOFTWARE\\Writer%1").arg(w),
                                          QString("V%1").arg(v)),
                      QString("%1-%2").arg(w).arg(v));
    }
}
