// Saves the agreement dialog as it first shows, in Japanese and in English, as PNG files:
//   contract_screenshots <output folder>
// Run it under a display server (xvfb-run) to see the fonts and style of a desktop.

#include "browser_setup/window/frmContract.h"
#include "platform/testing/TempMachine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(output);
    using namespace marvek;
    for (const auto& [langId, name] :
         {std::pair{"0411", "frmContract_ja.png"}, std::pair{"0409", "frmContract_en.png"}}) {
        const testing::TempMachine temp;
        QFile ini(temp.machine().machineIniFile());
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write(QByteArray("[Locale]\nUserDefaultLangID=") + langId + "\nSystemDefaultLangID=" + langId +
                  "\n");
        ini.close();
        platform::Platform os(temp.machine(), std::make_unique<platform::ScriptedUserInterface>(),
                              std::make_unique<platform::RealClock>());
        browser_setup::PagosetContext ctx(os, QStringLiteral("C:\\CD\\programs\\View"));
        browser_setup::frmContract form(ctx);
        form.show();
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        const QString file = QDir(output).filePath(QLatin1String(name));
        if (!form.grab().save(file))
            return 1;
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
