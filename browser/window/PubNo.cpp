#include "PubNo.h"

#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <QFile>

namespace marvek::browser {

PubNoResult readPubNo(const platform::Platform& os) {
    PubNoResult result;
    const QString linkDir = os.registry().readString(
        platform::HKEY_LOCAL_MACHINE, QLatin1String(kManualLinkKey), QLatin1String(kManualLinkValue));
    const QString path = linkDir + QLatin1Char('\\') + QLatin1String(kPubNoFileName);
    if (!os.files().fileExists(path))
        return result;

    QFile file(os.machine().toHost(path));
    if (!file.open(QIODevice::ReadOnly)) {
        const bool denied = file.error() == QFileDevice::PermissionsError;
        result.failure =
            denied ? QStringLiteral("Permission denied") : QStringLiteral("Path/File access error");
        result.failureNumber = denied ? 70 : 75;
        return result;
    }
    const QString text = platform::decodeCodePage(file.readAll(), os.machineInfo().ansiCodePage());
    // Lines end at CR LF, LF or a lone CR.
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalized.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.left(2).compare(QLatin1String("D="), Qt::CaseInsensitive) == 0) {
            result.pubNo = line.mid(2);
            break;
        }
    }
    return result;
}

} // namespace marvek::browser
