#include "browser/app/Front.h"

#include "browser/app/HandOver.h"
#include "browser/messages/MessageTable.h"
#include "platform/CommandLine.h"
#include "platform/Machine.h"
#include "platform/MachineInfo.h"
#include "platform/MediaDrives.h"
#include "platform/RuntimeFolder.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace marvek::browser {

bool GFncPdf_QuitStale(const MessageTable& messages, const QString& serverName) {
    const QString caption = QStringLiteral(" - ") + messages.GFncMsg_Get(QStringLiteral("WC201"));
    const std::optional<qint32> answer = handover::client::askQuitStale(serverName, caption);
    return answer.value_or(0) == 1;
}

void GSubIns_Forward(const QString& serverName, const QString& commandLine, int codePage) {
    handover::client::sendCopyData(serverName, 0, handover::copyDataPayload(commandLine, codePage));
}

QString enginePath(const QString& frontPath) {
    const QFileInfo front(frontPath);
    const QString suffix = front.suffix();
    const QString base = suffix.isEmpty() ? front.fileName() : front.completeBaseName();
    return front.absolutePath() + QLatin1Char('/') + base + QStringLiteral("Engine") +
           (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

int runFront(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const platform::Machine machine = platform::Machine::fromEnvironment();
    const QString name = handover::serverName(platform::RuntimeFolder::ofUser(), machine);
    // No application object: the hand-over needs none, and the engine makes its own.
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    // No safe runtime folder (no name) or no server of this user on it: this start becomes the instance.
    if (handover::client::Connection connection(name); connection.connected()) {
        const platform::MachineInfo info(machine);
        const QString programFolder = platform::programFolder(machine);
        const MessageTable messages =
            MessageTable::GSubMsg_Load(machine, info, programFolder, MessageProgram::Pagora);
        // GFncPdf_QuitStale and, unless the instance quits, GSubIns_Forward, in one request.
        const QString caption = QStringLiteral(" - ") + messages.GFncMsg_Get(QStringLiteral("WC201"));
        const QString commandLine =
            platform::commandLineArguments(platform::GetCommandLine(arguments, machine), machine);
        const QByteArray lpData = handover::copyDataPayload(commandLine, info.ansiCodePage());
        const std::optional<qint32> answer = connection.request(handover::requestFrame(
            handover::OpQuitStaleOrCopyData, handover::encodeQuitStaleOrCopyData(caption, 0, lpData)));
        if (answer != handover::AnswerQuitStale)
            return 0;
    }

    // This start becomes the instance (the engine decides again under the start lock: another start
    // may have become it meanwhile). The engine gets the same arguments and environment.
    const QByteArray engine = QFile::encodeName(enginePath(program));
    std::vector<char*> engineArgv{const_cast<char*>(engine.constData())};
    for (int i = 1; i < argc; ++i)
        engineArgv.push_back(argv[i]);
    engineArgv.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(engine.constData(), engineArgv.data());
    std::fprintf(stderr, "Pagora: cannot start \"%s\": %s\n", engine.constData(), std::strerror(errno));
    return 1;
}

} // namespace marvek::browser
