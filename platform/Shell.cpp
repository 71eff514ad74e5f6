#include "platform/Shell.h"

#include "platform/Processes.h"

#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <optional>

namespace marvek::platform {

namespace {

// True for "scheme:..." with a scheme of two or more characters (one letter is a drive).
bool isUrl(const QString& text) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 2 || !text[0].isLetter() || text[0].unicode() > 0x7F)
        return false;
    for (qsizetype i = 1; i < colon; ++i) {
        const QChar c = text[i];
        if (c.unicode() > 0x7F || !(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.'))
            return false;
    }
    return true;
}

// What the opener is given: a URL as it stands, or the host path of an existing file or folder
// (a "file:" URL that names a drive path is taken as that Windows path). Empty when nothing is there.
std::optional<QString> openerTarget(const Machine& machine, const QString& target) {
    QString path = target.trimmed();
    if (isUrl(path)) {
        const QUrl url(path);
        if (!url.isLocalFile())
            return path;
        path = url.toLocalFile();
        const bool drivePath = path.size() >= 3 && path[0] == u'/' && path[1].isLetter() && path[2] == u':';
        if (!drivePath)
            return QFileInfo::exists(path) ? std::optional<QString>(path) : std::nullopt;
        path = path.mid(1);
    }
    if (path.isEmpty())
        return std::nullopt;
    const QString host = machine.toHost(path);
    if (host.isEmpty() || !QFileInfo::exists(host))
        return std::nullopt;
    return host;
}

// Starts one opener command (program and fixed arguments, as a shell would split it); "%s" in its
// arguments stands for the target, which is appended when no argument names it.
bool startOpener(const QString& command, const QString& target) {
    QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    bool placed = false;
    for (QString& word : words) {
        if (word.contains(QLatin1String("%s"))) {
            word.replace(QLatin1String("%s"), target);
            placed = true;
        }
    }
    if (!placed)
        words.append(target);
    return startDetachedHost(program, words);
}

int openWith(const Machine& machine, const QString& target, const QStringList& commands) {
    const std::optional<QString> host = openerTarget(machine, target);
    if (!host)
        return SE_ERR_FNF;
    for (const QString& command : commands) {
        if (startOpener(command, *host))
            return ShellExecuteOk;
    }
    return SE_ERR_NOASSOC;
}

QString environmentOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name).trimmed();
    return value.isEmpty() ? fallback : value;
}

} // namespace

int shellOpen(const Machine& machine, const QString& target) {
    return openWith(machine, target, {environmentOr("MARVEK_OPEN_COMMAND", QStringLiteral("xdg-open"))});
}

int openInWebBrowser(const Machine& machine, const QString& target) {
    // $BROWSER is a list of commands separated by ":", tried in order.
    const QStringList commands =
        environmentOr("BROWSER", QStringLiteral("xdg-open")).split(u':', Qt::SkipEmptyParts);
    return openWith(machine, target, commands);
}

} // namespace marvek::platform
