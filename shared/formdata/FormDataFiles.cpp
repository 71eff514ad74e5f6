#include "shared/formdata/FormDataFiles.h"

#include "platform/TextCodec.h"
#include "shared/access/AccessControl.h"
#include "shared/config/Messages.h"
#include "shared/helpers/FileHelpers.h"

#include <QSaveFile>

namespace marvek::shared {

namespace {

constexpr int DocumentNameMessage = 60;

QString joinLines(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

// Writes the text in the machine's ANSI code page, replacing the file only once all of it is written.
bool writeAnsiFile(const platform::Platform& os, const QString& path, const QString& text) {
    const QString hostPath = os.machine().toHost(path);
    if (hostPath.isEmpty())
        return false;
    QSaveFile file(hostPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = platform::encodeCodePage(text, os.machineInfo().ansiCodePage());
    return file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

QString ManagerFormDataText(const QString& version, const QString& documentName) {
    return joinLines({
        QStringLiteral("%FDF-1.2"),
        QStringLiteral("1 0 obj"),
        QStringLiteral("<<"),
        QStringLiteral("/FDF << /Fields ["),
        QStringLiteral("<< /V (Ver ") + version + QStringLiteral(")/T (ver_mandex)>> ]"),
        QStringLiteral("/F (./") + documentName + QStringLiteral(") >>"),
        QStringLiteral(">>"),
        QStringLiteral("endobj"),
        QStringLiteral("trailer"),
        QStringLiteral("<<"),
        QStringLiteral("/Root 1 0 R"),
        QString(),
        QStringLiteral(">>"),
        QStringLiteral("%%EOF"),
    });
}

QString BrowserFormDataText(const QString& value) {
    QString fieldLine = QStringLiteral("<< /V (P_XXX)/T (ver_Pagora)>> ] ");
    fieldLine.replace(QStringLiteral("P_XXX"), value, Qt::CaseInsensitive);
    return joinLines({
        QStringLiteral("%FDF-1.2"),
        QStringLiteral("1 0 obj"),
        QStringLiteral("<< "),
        QStringLiteral("/FDF << /Fields [ "),
        fieldLine,
        QStringLiteral("/F (./readme.pdf) >> "),
        QStringLiteral(">> "),
        QStringLiteral("endobj"),
        QStringLiteral("trailer"),
        QStringLiteral("<<"),
        QStringLiteral("/Root 1 0 R "),
        QString(),
        QStringLiteral(">>"),
        QStringLiteral("%%EOF"),
    });
}

bool WriteManagerVersionFile(const SharedContext& ctx, const QString& version) {
    const QString path = ctx.ManualLinkDir + QLatin1Char('\\') + QLatin1String(ManagerFormDataFileName);
    if (ctx.os.files().exists(path) && !DeleteFileForce(ctx, path))
        return false;
    const QString documentName = GetMessage(ctx, QLatin1String(MessageSection), DocumentNameMessage);
    if (!writeAnsiFile(ctx.os, path, ManagerFormDataText(version, documentName)))
        return false;
    return GrantUsersFullAccess(ctx, path);
}

bool WriteBrowserVersionFile(const platform::Platform& os, const QString& path, const QString& value) {
    return writeAnsiFile(os, path, BrowserFormDataText(value));
}

bool WriteBrowserVersionFile(const SharedContext& ctx, const QString& path, const QString& value) {
    return WriteBrowserVersionFile(ctx.os, path, value);
}

} // namespace marvek::shared
