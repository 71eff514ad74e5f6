#include "platform/DesktopEntryText.h"

namespace marvek::platform {

QString desktopEntryValue(const QString& text) {
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\')
            result.append(QStringLiteral("\\\\"));
        else if (c == u'\n')
            result.append(QStringLiteral("\\n"));
        else if (c == u'\r')
            result.append(QStringLiteral("\\r"));
        else if (c == u'\t')
            result.append(QStringLiteral("\\t"));
        else if (c == u' ' && i == 0)
            result.append(QStringLiteral("\\s"));
        else if (c.unicode() >= 0x20)
            result.append(c);
    }
    return result;
}

QString desktopEntryExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString result;
    if (needsQuotes) {
        result.append(u'"');
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                result.append(u'\\');
            result.append(c);
        }
        result.append(u'"');
    } else {
        result = argument;
    }
    return result.replace(u'%', QStringLiteral("%%"));
}

QString desktopEntryExec(const QStringList& arguments) {
    QStringList quoted;
    for (const QString& argument : arguments)
        quoted << desktopEntryExecArgument(argument);
    return quoted.join(u' ');
}

} // namespace marvek::platform
