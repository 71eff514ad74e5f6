#include "platform/CommandLine.h"

#include "platform/Machine.h"

namespace marvek::platform {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

} // namespace

std::optional<QString> handedOverCommandLine() {
    if (!qEnvironmentVariableIsSet(CommandLineVariable))
        return std::nullopt;
    return qEnvironmentVariable(CommandLineVariable);
}

QString GetCommandLine(const QStringList& arguments, const Machine& machine) {
    if (std::optional<QString> handedOver = handedOverCommandLine())
        return *handedOver;
    QStringList pieces = arguments;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        QString& piece = pieces[i];
        if (piece.startsWith(u'/')) {
            if (const QString windows = machine.toWindows(piece); !windows.isEmpty())
                piece = windows;
        }
        if (i == 0 && (piece.contains(u' ') || piece.contains(u'\t')))
            piece = u'"' + piece + u'"';
    }
    return pieces.join(u' ');
}

QString commandLineArguments(const QString& commandLine) {
    qsizetype i = 0;
    if (commandLine.startsWith(u'"')) {
        const qsizetype close = commandLine.indexOf(u'"', 1);
        i = close < 0 ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && !isBlank(commandLine[i]))
            ++i;
    }
    while (i < commandLine.size() && isBlank(commandLine[i]))
        ++i;
    return commandLine.mid(i);
}

} // namespace marvek::platform
