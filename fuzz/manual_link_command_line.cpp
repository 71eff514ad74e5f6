// ManualLink.exe's command line, which a diagnostic tool writes: whatever it holds, the program shows
// exactly one box or opens a page, and never looks outside the database for a number it refused.
#include "cd/companions/manual_link/ManualLink.h"
#include "platform/testing/TempMachine.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

struct Machine {
    marvek::testing::TempMachine temp;
    marvek::platform::ScriptedUserInterface* ui = nullptr;
    std::unique_ptr<marvek::platform::Platform> os;
    std::unique_ptr<marvek::shared::SharedContext> ctx;

    Machine() {
        auto scripted = std::make_unique<marvek::platform::ScriptedUserInterface>();
        ui = scripted.get();
        os = std::make_unique<marvek::platform::Platform>(temp.machine(), std::move(scripted),
                                                          std::make_unique<marvek::platform::TestClock>());
        ctx = std::make_unique<marvek::shared::SharedContext>(*os);
        // No database beside the program: every accepted number ends at the database check.
        ctx->setProgramFolder(QStringLiteral("C:\\Diag\\ManualLink"));
        ctx->AppTitle = QStringLiteral("ManualLink");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Machine machine;
    using marvek::companions::ManualLinkResult;
    const QString commandLine = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::size_t asked = machine.ui->asked().size();
    const ManualLinkResult result = marvek::companions::OpenInstalledManual(*machine.ctx, commandLine);
    const bool accepted = marvek::companions::IsPublicationNumber(commandLine.trimmed());
    const ManualLinkResult expected = accepted ? ManualLinkResult::DatabaseError : ManualLinkResult::BadInput;
    if (result != expected || machine.ui->asked().size() != asked + 1)
        std::abort();
    if (accepted && (commandLine.trimmed().size() > 32 || commandLine.trimmed().contains(QLatin1Char('.')) ||
                     commandLine.trimmed().contains(QLatin1Char('\'')) ||
                     commandLine.trimmed().contains(QLatin1Char('\\'))))
        std::abort();
    return 0;
}
