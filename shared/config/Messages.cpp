#include "shared/config/Messages.h"

#include "shared/config/IniFiles.h"

namespace marvek::shared {

namespace {

// The number with at least `digits` digits, as the format patterns "000" and "00" write it.
QString formatNumber(int number, int digits) {
    const QString text =
        QString::number(qAbs(static_cast<qint64>(number))).rightJustified(digits, QLatin1Char('0'));
    return number < 0 ? QLatin1Char('-') + text : text;
}

} // namespace

QString MessageFilePath(const SharedContext& ctx) {
    return ctx.SysDirPath + QStringLiteral("\\M") + ctx.LanguageCode + QStringLiteral(".ini");
}

QString EnglishMessageFilePath(const SharedContext& ctx) {
    return ctx.SysDirPath + QStringLiteral("\\M09.ini");
}

QString GetMessage(const SharedContext& ctx, const QString& section, int number) {
    return MessageFile(ctx).message(section, number);
}

QString ReadMessage(const SharedContext& ctx, const QString& section, const QString& key) {
    return MessageFile(ctx).read(section, key);
}

QString GetCaption(const SharedContext& ctx, const QString& section, int number) {
    return MessageFile(ctx).caption(section, number);
}

MessageFile::MessageFile(const SharedContext& ctx) : m_languageCode(ctx.LanguageCode) {
    const platform::Files& files = ctx.os.files();
    const QString languageFile = MessageFilePath(ctx);
    if (files.fileExists(languageFile)) {
        m_file.emplace(ctx, languageFile);
        return;
    }
    const QString englishFile = EnglishMessageFilePath(ctx);
    if (files.fileExists(englishFile))
        m_file.emplace(ctx, englishFile);
}

QString MessageFile::read(const QString& section, const QString& key) const {
    return m_file ? m_file->text(section, key) : QString();
}

QString MessageFile::message(const QString& section, int number) const {
    return read(section, QLatin1Char('M') + formatNumber(number, 3));
}

QString MessageFile::caption(const QString& section, int number) const {
    const QString suffix = QLatin1Char('_') + formatNumber(number, 2);
    const QString caption = read(section, m_languageCode + suffix);
    if (!caption.isEmpty())
        return caption;
    return read(section, QStringLiteral("09") + suffix);
}

QString CatalogueMessage(const SharedContext& ctx, int number) {
    return GetMessage(ctx, QLatin1String(MessageSection), number);
}

} // namespace marvek::shared
