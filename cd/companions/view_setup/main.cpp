// programs\View\setup.exe of the sample CD, also the browser installer's package PG002.exe / PG002JP.exe:
// installs the browser. MARVEK_VIEWER_PAYLOAD names the files of the package, separated by "|".
#include "cd/companions/common/InstallerMain.h"
#include "cd/companions/view_setup/ViewerSetup.h"

#include <QCoreApplication>
#include <QFileInfo>

int main(int argc, char** argv) {
    return marvek::companions::RunInstaller(
        argc, argv, [](marvek::shared::SharedContext& ctx, const QStringList& arguments) {
            const QStringList payload = QStringLiteral(MARVEK_VIEWER_PAYLOAD).split(QLatin1Char('|'));
            const QString packageName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
            return marvek::companions::ViewerSetup(ctx, packageName, payload, arguments);
        });
}
