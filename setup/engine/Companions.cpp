#include "setup/engine/Companions.h"

#include "setup/engine/DatabaseUpgrade.h"
#include "setup/engine/Survey.h"
#include "shared/config/Messages.h"
#include "shared/formdata/FormDataFiles.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ProcessHelpers.h"
#include "shared/helpers/ShellHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace marvek::setup {

namespace {

// Yes/No with No the default, exclamation icon.
constexpr int IgnoreFailureStyle =
    platform::mb::YesNo | platform::mb::Exclamation | platform::mb::DefaultButton2;
// The bytes a last line needs: the line, its own line end and the end of the line before it.
constexpr qint64 ResultTailBytes = MaxResultLineBytes + 3;

// The last line of a text, given its last ResultTailBytes (or all of it): a final line end (CR LF, LF or
// CR) does not start another line. Empty for a line longer than MaxResultLineBytes; a tail without a
// line end before its last line holds such a line unless it is the whole text.
std::optional<QByteArray> lastLineOf(QByteArray tail) {
    if (tail.endsWith("\r\n"))
        tail.chop(2);
    else if (tail.endsWith('\n') || tail.endsWith('\r'))
        tail.chop(1);
    const qsizetype lineEnd = std::max(tail.lastIndexOf('\n'), tail.lastIndexOf('\r'));
    const QByteArray line = tail.mid(lineEnd + 1);
    return line.size() <= MaxResultLineBytes ? std::optional(line) : std::nullopt;
}

std::optional<qint16> resultOfLine(const std::optional<QByteArray>& line) {
    return line ? SurveyNumber(QString::fromLatin1(*line)) : std::nullopt;
}

void setErrorLines(SetupContext& ctx, int first) {
    ctx.ErrorLine1 = Message(ctx, first);
    ctx.ErrorLine2 = Message(ctx, 24);
}

QString managerInstallerPath(const SetupContext& ctx) {
    const QString base = ctx.shared.SourceRoot + QStringLiteral("programs\\man_manager\\");
    const QString own = base + ctx.shared.LanguageCode + QStringLiteral("\\setup.exe");
    return ctx.os().files().fileExists(own) ? own : base + QStringLiteral("09\\setup.exe");
}

void createManagerShortcut(SetupContext& ctx, const QString& manager) {
    if (ctx.shared.systemParameters.ShortcutIcon == 0)
        return;
    shared::CreateProgramShortcut(ctx.shared, platform::CSIDL_PROGRAMS, Message(ctx, 43), manager);
}

// Runs one companion installer that leaves a result log; true when it reported success, or when the
// user chose to go on after its failure. An installer missing from the CD is skipped.
bool installCompanion(SetupContext& ctx, const QString& installer, const QString& arguments,
                      const QString& resultLog) {
    if (!ctx.os().files().fileExists(installer))
        return true;
    RunInstaller(ctx, installer + arguments);
    bool succeeded = false;
    if (ctx.os().files().fileExists(resultLog)) {
        succeeded = ReadResultLog(ctx, resultLog) == 0;
        shared::DeleteFileForce(ctx.shared, resultLog);
    }
    if (succeeded)
        return true;
    return ctx.os().ui().messageBox(Message(ctx, 90) + Message(ctx, 91), IgnoreFailureStyle,
                                    Message(ctx, 34)) == platform::mb::IdYes;
}

} // namespace

QString ManagerVersionText(int major, int minor, int build, int revision) {
    (void)build;
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

bool RunInstaller(SetupContext& ctx, const QString& commandLine) {
    return shared::RunAndWait(ctx.shared, commandLine);
}

std::optional<qint16> ReadResultLog(const SetupContext& ctx, const QString& path) {
    const QString host = ctx.os().machine().toHost(path);
    QFile file(host);
    // Only a plain file: opening a FIFO would wait for a writer.
    if (!QFileInfo(host).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 tailSize = std::min(file.size(), ResultTailBytes);
    if (!file.seek(file.size() - tailSize))
        return std::nullopt;
    const QByteArray tail = file.read(tailSize);
    if (tail.size() != tailSize)
        return std::nullopt;
    return resultOfLine(lastLineOf(tail));
}

std::optional<qint16> ParseResultLog(const QByteArray& content) {
    return resultOfLine(lastLineOf(content.right(ResultTailBytes)));
}

bool InstallManagerStep(SetupContext& ctx, InstallView& view) {
    MarkStepRunning(ctx, view, 2);
    const QString installer = managerInstallerPath(ctx);
    const QString manager =
        ctx.shared.ManualLinkDir + QLatin1Char('\\') + ctx.shared.systemParameters.MCP_EXE_NAME;
    const platform::Files& files = ctx.os().files();

    const bool upToDate = files.fileExists(manager) && !shared::IsSourceNewer(ctx.shared, installer, manager);
    if (upToDate) {
        shared::WaitSeconds(ctx.shared, 1);
    } else {
        if (!RunInstaller(ctx, installer + QStringLiteral(" /VERYSILENT /SP-")) ||
            !files.fileExists(manager)) {
            setErrorLines(ctx, 18);
            shared::WaitSeconds(ctx.shared, 2);
            return false;
        }
        createManagerShortcut(ctx, manager);
        int major = 0, minor = 0, build = 0, revision = 0;
        if (shared::GetFileVersion(ctx.shared, manager, major, minor, build, revision))
            shared::WriteManagerVersionFile(ctx.shared, ManagerVersionText(major, minor, build, revision));
    }

    if (DatabaseUpgrade(ctx)) {
        shared::WaitSeconds(ctx.shared, 1);
        return true;
    }
    setErrorLines(ctx, 71);
    shared::WaitSeconds(ctx.shared, 2);
    return false;
}

bool InstallLinkAndViewerStep(SetupContext& ctx, InstallView& view) {
    const QString programs = ctx.shared.SourceRoot + QStringLiteral("programs\\");
    const bool goOn =
        installCompanion(ctx, programs + QStringLiteral("manual_link\\setup.exe"), QStringLiteral(" 1"),
                         ctx.shared.ManualLinkDir + QStringLiteral("\\setup.log")) &&
        installCompanion(ctx, programs + QStringLiteral("View\\setup.exe"),
                         QStringLiteral(" /VERYSILENT /SP-"), ctx.ViewerDir + QStringLiteral("\\setup.log"));
    if (!goOn) {
        shared::WaitSeconds(ctx.shared, 2);
        setErrorLines(ctx, 90);
        return false;
    }
    shared::WaitSeconds(ctx.shared, 1);
    MarkStepDone(ctx, view, 2);
    return true;
}

} // namespace marvek::setup
