#pragma once

#include "browser_setup/app/PagosetContext.h"
#include "browser_setup/window/frmContract.h"
#include "platform/FileVersion.h"
#include "shared/testing/SharedTestContext.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace marvek::testing {

// A PC in a temporary prefix with the browser setup in C:\CD\programs\View (no message file there: the
// built-in table), the manual-link folder C:\ManualLink registered, a scripted UI and the real clock
// (the package is a real process).
class PagosetFixture : public ::testing::Test {
protected:
    PagosetFixture()
        : os(temp.machine(), std::make_unique<platform::ScriptedUserInterface>(),
             std::make_unique<platform::RealClock>()) {
        EXPECT_TRUE(temp.writeFile(QStringLiteral("C:\\ManualLink\\ManualLink.exe"), "manual link"));
        EXPECT_TRUE(os.registry().writeString(
            platform::HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Marvek\\Scanlux\\ManualLink"),
            QStringLiteral("InstallDir"), QStringLiteral("C:\\ManualLink")));
        setMachine("0409", "5", "1", "Service Pack 2");
    }

    // machine.ini: the system's language and version, and the program-files folder when given.
    void setMachine(const char* langId, const char* major, const char* minor, const char* servicePack,
                    const char* programFiles = nullptr) {
        QFile ini(temp.machine().machineIniFile());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QByteArray("[Locale]\nUserDefaultLangID=") + langId + "\nSystemDefaultLangID=" + langId +
                  "\n[System]\nMajorVersion=" + major + "\nMinorVersion=" + minor +
                  "\nCSDVersion=" + servicePack + "\n");
        if (programFiles)
            ini.write(QByteArray("[Environment]\nProgramFiles=") + programFiles + "\n");
    }

    // machine.ini of a system whose version query fails.
    void failVersionQuery() {
        QFile ini(temp.machine().machineIniFile());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[System]\nOsVersionFails=1\n");
    }

    std::unique_ptr<browser_setup::PagosetContext> makeContext() {
        return std::make_unique<browser_setup::PagosetContext>(os, QStringLiteral("C:\\CD\\programs\\View"));
    }

    // A browser program file with a file-version record.
    QByteArray versionedProgram(platform::FileVersion version) const {
        return QByteArray("\x7f"
                          "ELF stand-in browser ") +
               platform::fileVersionRecord(version) + "end";
    }

    // A browser program at the Western default folder.
    void installBrowser(platform::FileVersion version) {
        ASSERT_TRUE(temp.writeFile(QStringLiteral("C:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe"),
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
        const QString payload = temp.root() + QStringLiteral("/payload.bin");
        QFile program(payload);
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write(versionedProgram({1, 1, 0, 2}));
        program.close();
        const QString target = temp.host(installFolder + QStringLiteral("\\Pagora.exe"));
        const QByteArray script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                                  QFile::encodeName(packageRecord()) + "'; done\nmkdir -p '" +
                                  QFile::encodeName(QFileInfo(target).path()) + "'\ncp '" +
                                  QFile::encodeName(payload) + "' '" + QFile::encodeName(target) + "'\n";
        const QString packagePath = QStringLiteral("C:\\CD\\programs\\View\\Param\\") + name;
        ASSERT_TRUE(temp.writeFile(packagePath, script));
        QFile::setPermissions(temp.host(packagePath),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QString packageRecord() const { return temp.root() + QStringLiteral("/package.txt"); }
    QStringList packageArguments() const {
        QFile file(packageRecord());
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    QString registryValue(const char* key) const {
        return os.registry().readString(platform::HKEY_LOCAL_MACHINE, QLatin1String(key),
                                        QStringLiteral("InstallDir"));
    }

    platform::ScriptedUserInterface& ui() { return static_cast<platform::ScriptedUserInterface&>(os.ui()); }

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
