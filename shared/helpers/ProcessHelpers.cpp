#include "shared/helpers/ProcessHelpers.h"

#include <QStringList>

namespace marvek::shared {

namespace {

constexpr int Int16Max = 32767;

bool isSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

// Characters no Windows path holds; a quote would also break the quoted argument.
bool hasInvalidCharacter(const QString& path) {
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || QStringLiteral("\"<>|*?").contains(c))
            return true;
    }
    return false;
}

QString refusalText(const SharedContext& ctx, const QString& folder) {
    if (ctx.LanguageCode == QLatin1String("11"))
        return QStringLiteral(
                   "フォルダ \"%1\" は削除しません。空のパス、相対パス、ドライブのルートは削除できません。")
            .arg(folder);
    return QStringLiteral("The folder \"%1\" was not removed: an empty or relative path or a drive root "
                          "cannot be removed.")
        .arg(folder);
}

} // namespace

void WaitSeconds(const SharedContext& ctx, int seconds) {
    if (seconds <= 0 || seconds > Int16Max / 1000)
        return;
    ctx.os.clock().sleepMs(seconds * 1000);
}

bool RunAndWait(const SharedContext& ctx, const QString& commandLine, quint32* exitCode) {
    const std::unique_ptr<platform::ChildProcess> child =
        ctx.os.processes().start(commandLine, platform::WindowMode::Hidden);
    if (!child)
        return false;
    quint32 code = platform::STILL_ACTIVE;
    do {
        WaitSeconds(ctx, 1);
        code = child->exitCode();
        ctx.os.clock().processEvents();
    } while (code == platform::STILL_ACTIVE);
    if (exitCode)
        *exitCode = code;
    return true;
}

bool IsRemovableFolderPath(const QString& path) {
    if (path.size() < 3 || hasInvalidCharacter(path))
        return false;
    const QChar drive = path.at(0).toUpper();
    if (drive < QLatin1Char('A') || drive > QLatin1Char('Z') || path.at(1) != QLatin1Char(':') ||
        !isSeparator(path.at(2)))
        return false;
    // Resolve the components as Windows does: "." stays, ".." goes up (never above the root), trailing
    // dots and blanks of a name are dropped, empty names vanish.
    QStringList components;
    QString current;
    const QString rest = path.mid(3) + QLatin1Char('\\');
    for (const QChar c : rest) {
        if (!isSeparator(c)) {
            current += c;
            continue;
        }
        if (current == QLatin1String("..")) {
            if (!components.isEmpty())
                components.removeLast();
        } else if (current != QLatin1String(".")) {
            while (!current.isEmpty() &&
                   (current.endsWith(QLatin1Char('.')) || current.endsWith(QLatin1Char(' '))))
                current.chop(1);
            if (!current.isEmpty())
                components.append(current);
        }
        current.clear();
    }
    return !components.isEmpty();
}

bool RefuseUnsafeRemoval(const SharedContext& ctx, const QString& folder) {
    if (IsRemovableFolderPath(folder))
        return false;
    ctx.os.ui().messageBox(refusalText(ctx, folder), platform::mb::OKOnly | platform::mb::Exclamation,
                           ctx.AppTitle);
    return true;
}

bool RunCleanupBatch(const SharedContext& ctx, const QString& folder, BatchQuoting quoting) {
    if (RefuseUnsafeRemoval(ctx, folder) || ctx.CleanupBatchPath.isEmpty())
        return false;
    const QLatin1Char quote('"');
    const QString batch =
        quoting == BatchQuoting::BatchAndFolder ? quote + ctx.CleanupBatchPath + quote : ctx.CleanupBatchPath;
    return RunAndWait(ctx, batch + QLatin1Char(' ') + quote + folder + quote);
}

} // namespace marvek::shared
