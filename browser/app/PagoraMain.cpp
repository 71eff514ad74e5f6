#include "browser/app/PagoraMain.h"

#include "browser/app/BrowserContext.h"
#include "browser/app/Front.h"
#include "browser/app/HandOverServer.h"
#include "browser/app/frmSubClass.h"
#include "platform/CommandLine.h"
#include "platform/MediaDrives.h"
#include "platform/RuntimeFolder.h"

#include <QApplication>
#include <QLockFile>
#include <cstdio>
#include <unistd.h>

namespace marvek::browser {

namespace {

// Serialises the "is another instance running, else take the name" decision of starts that race.
constexpr int StartLockTimeoutMs = 5000;

} // namespace

void prepareWebEngineEnvironment() {
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

int Main(const QStringList& arguments) {
    const std::unique_ptr<platform::Platform> os = platform::Platform::fromEnvironment();
    if (!os)
        return 1;
    const QString programFolder = platform::programFolder(os->machine());
    BrowserContext context(*os, programFolder); // loads the message table
    const QString commandLine =
        platform::commandLineArguments(platform::GetCommandLine(arguments, os->machine()), os->machine());
    const platform::RuntimeFolder runtime = platform::RuntimeFolder::ofUser();
    const QString name = handover::serverName(runtime, os->machine());

    auto server = std::make_unique<handover::HandOverServer>(name);
    if (name.isEmpty()) {
        // Without a folder only this user can enter, there is no hand-over: this start is an instance
        // of its own and no later start can reach it.
        std::fprintf(stderr, "Pagora: no private runtime folder (%s); the hand-over is off\n",
                     qPrintable(runtime.error()));
    } else {
        QLockFile startLock(name + QStringLiteral(".lock"));
        startLock.tryLock(StartLockTimeoutMs); // best effort: a start goes on without it
        if (handover::client::instanceRunning(name)) {
            if (!GFncPdf_QuitStale(context.messages, name)) {
                GSubIns_Forward(name, commandLine, context.os.machineInfo().ansiCodePage());
                context.GSubWin_EndCheck(nullptr);
                return 0;
            }
        }
        if (!server->listen())
            std::fprintf(stderr, "Pagora: cannot listen on \"%s\"; later starts will not hand over\n",
                         qPrintable(name));
    }

    context.gstrErrPage = context.GFncMsg_Get(QStringLiteral("EM101"));
    context.gstrTitle = context.GFncMsg_Get(QStringLiteral("WC201"));

    if (const std::optional<CommandRequest> request = context.GFncCmd_Parse(commandLine)) {
        context.loadSubClass(std::make_unique<frmSubClass>(context, std::move(server)));
        context.onEnd = [] {
            QCoreApplication::exit(0);
        };
        if (context.GFncWin_Open(request->url, request->tbrUnVisi, request->unVisi, request->pubNo))
            return context.ended() ? 0 : QApplication::exec();
    }
    context.GSubWin_EndCheck(nullptr);
    return 0;
}

} // namespace marvek::browser
