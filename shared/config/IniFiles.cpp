#include "shared/config/IniFiles.h"

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

IniFile::IniFile(const SharedContext& ctx, const QString& file) {
    if (ctx.os.files().fileExists(file))
        m_file.emplace(ctx.os.machine().toHost(file), ctx.os.machineInfo().ansiCodePage());
}

QString IniFile::text(const QString& section, const QString& key) const {
    if (!m_file)
        return {};
    QString buffer;
    const int copied = m_file->getString(section, key, QString(), buffer, IniValueBufferSize);
    if (copied <= 0)
        return {};
    const qsizetype nul = buffer.indexOf(QChar(0));
    return nul < 0 ? buffer : buffer.left(nul);
}

QString IniFile::value(const QString& section, const QString& key) const {
    return TrimBlanks(text(section, key));
}

QString ReadIniText(const SharedContext& ctx, const QString& file, const QString& section,
                    const QString& key) {
    return IniFile(ctx, file).text(section, key);
}

QString ReadIniValue(const SharedContext& ctx, const QString& file, const QString& section,
                     const QString& key) {
    return IniFile(ctx, file).value(section, key);
}

QString ReadSysParameter(const SharedContext& ctx, const QString& section, const QString& key) {
    return ReadIniText(ctx, ctx.SysParameterPath, section, key);
}

} // namespace marvek::shared
