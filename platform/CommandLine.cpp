#include "platform/CommandLine.h"

#include "platform/Machine.h"

#include <QFileInfo>

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

QString commandLineArguments(const QString& commandLine, const Machine& machine) {
    if (commandLine.startsWith(u'"'))
        return commandLineArguments(commandLine);
    auto namesFile = [&machine](const QString& candidate) {
        const QString host = machine.toHost(candidate);
        if (!host.isEmpty() && QFileInfo(host).isFile())
            return true;
        if (QFileInfo(candidate.section(u'\\', -1)).suffix().isEmpty()) {
            const QString withExe = machine.toHost(candidate + QStringLiteral(".exe"));
            return !withExe.isEmpty() && QFileInfo(withExe).isFile();
        }
        return false;
    };
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        if (!isBlank(commandLine[i]) || !namesFile(commandLine.left(i)))
            continue;
        while (i < commandLine.size() && isBlank(commandLine[i]))
            ++i;
        return commandLine.mid(i);
    }
    return commandLineArguments(commandLine);
}

} // namespace marvek::platform
