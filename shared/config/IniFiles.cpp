#include "shared/config/IniFiles.h"

#include "platform/PrivateProfile.h"

namespace marvek::shared {

QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString ReadIniText(const SharedContext& ctx, const QString& file, const QString& section,
                    const QString& key) {
    if (!ctx.os.files().fileExists(file))
        return {};
    const QString hostFile = ctx.os.machine().toHost(file);
    QString buffer;
    const int copied = platform::getPrivateProfileString(section, key, QString(), buffer, IniValueBufferSize,
                                                         hostFile, ctx.os.machineInfo().ansiCodePage());
    if (copied <= 0)
        return {};
    const qsizetype nul = buffer.indexOf(QChar(0));
    return nul < 0 ? buffer : buffer.left(nul);
}

QString ReadIniValue(const SharedContext& ctx, const QString& file, const QString& section,
                     const QString& key) {
    return TrimBlanks(ReadIniText(ctx, file, section, key));
}

QString ReadSysParameter(const SharedContext& ctx, const QString& section, const QString& key) {
    return ReadIniText(ctx, ctx.SysParameterPath, section, key);
}

} // namespace marvek::shared
