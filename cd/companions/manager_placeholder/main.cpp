// The manual manager's stand-in until the manager itself is built: installed as Mandex.exe, it says
// so in one box and ends.
#include "platform/Platform.h"
#include "shared/Context.h"
#include "shared/config/Language.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::unique_ptr<marvek::platform::Platform> os = marvek::platform::Platform::fromEnvironment();
    marvek::shared::SharedContext ctx(*os);
    const bool japanese = marvek::shared::GetLanguageCode(ctx) == QLatin1String("11");
    const QString text = japanese ? QStringLiteral("マニュアル管理プログラムはまだ提供されていません。")
                                  : QStringLiteral("The manual manager is not available yet.");
    os->ui().messageBox(text, marvek::platform::mb::OKOnly | marvek::platform::mb::Information,
                        QStringLiteral("Mandex"));
    return 0;
}
