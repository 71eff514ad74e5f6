#pragma once

// Runs the sample CD's companion programs as real processes, through the platform's process layer, on
// a temporary machine: the built CD is drive D:, drive C: is empty but for ProgramFilesDir.

#include "cd/companions/common/CompanionInstall.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/ScopedEnvironment.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>

namespace marvek::companions::testing {

using namespace Qt::StringLiterals;

inline const QString CdFolder = marvek::testing::BuildPath("MARVEK_SAMPLE_CD_DIR");
inline const QString ProgramFiles = u"C:\\Program Files"_s;

using marvek::testing::ScopedEnvironment;

class CompanionTest : public ::testing::Test {
protected:
    CompanionTest() {
        t.temp().machine().mapDrive(u'D', CdFolder);
        setRegistry("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", ProgramFiles);
    }

    platform::Platform& os() { return t.os(); }
    QString host(const QString& windowsPath) { return t.temp().host(windowsPath); }

    void setRegistry(const char* key, const char* value, const QString& text) {
        ASSERT_TRUE(os().registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(key),
                                                QLatin1String(value), text));
    }
    QString registry(const char* key, const char* value = InstallDirValue) {
        return t.os().registry().readString(platform::HKEY_LOCAL_MACHINE, QLatin1String(key),
                                            QLatin1String(value));
    }

    // Runs a Windows command line and waits for its end (60 s at most); the exit code, or nothing when
    // it did not start or end.
    std::optional<quint32> run(const QString& commandLine) {
        const std::unique_ptr<platform::ChildProcess> child =
            os().processes().start(commandLine, platform::WindowMode::Hidden);
        if (!child)
            return std::nullopt;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000) {
            const quint32 code = child->exitCode();
            if (code != platform::STILL_ACTIVE)
                return code;
            QThread::msleep(10);
        }
        return std::nullopt;
    }

    // The last line of a result log; empty when there is none.
    QString lastLogLine(const QString& folder) {
        QFile log(host(folder + u"\\setup.log"_s));
        if (!log.open(QIODevice::ReadOnly))
            return u"<no log>"_s;
        const QStringList lines = QString::fromLatin1(log.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.last();
    }

    // The boxes the programs showed, one line each.
    QStringList boxes() const {
        QFile file(uiLog);
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    QByteArray bytes(const QString& windowsPath) { return t.temp().readFile(windowsPath); }
    bool exists(const QString& windowsPath) { return os().files().exists(windowsPath); }

    // A copy of a folder of the CD (relative, "/" separated) at a Windows path of drive C:, without the
    // files named in leaveOut and with files renamed by rename (old name -> new name).
    void copyCdFolder(const QString& relative, const QString& windowsTarget, const QStringList& leaveOut = {},
                      const std::map<QString, QString>& rename = {}) {
        const QString target = host(windowsTarget);
        ASSERT_TRUE(QDir().mkpath(target));
        QDirIterator it(CdFolder + u'/' + relative, QDir::Files);
        while (it.hasNext()) {
            const QFileInfo file(it.next());
            if (leaveOut.contains(file.fileName()))
                continue;
            const auto renamed = rename.find(file.fileName());
            const QString name = renamed == rename.end() ? file.fileName() : renamed->second;
            ASSERT_TRUE(QFile::copy(file.filePath(), target + u'/' + name)) << name.toStdString();
        }
    }

    marvek::testing::SharedTestContext t;
    const QString uiLog = t.temp().root() + u"/ui.log"_s;
    const ScopedEnvironment logBoxes{"MARVEK_UI_LOG", uiLog}; // boxes are logged, answered by default
};

} // namespace marvek::companions::testing
