// ManualLink.exe's command line, which a diagnostic tool writes: whatever it holds, the program shows
// exactly one box or opens a page, and never looks outside the database for a number it refused.
#include "cd/companions/manual_link/ManualLink.h"
#include "platform/testing/TempMachine.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marvek;
    // One prefix for the whole run; each input gets a fresh platform, so the boxes it asks are its own.
    static const testing::TempMachine machine;
    auto scripted = std::make_unique<platform::ScriptedUserInterface>();
    const platform::ScriptedUserInterface& ui = *scripted;
    platform::Platform os(machine.machine(), std::move(scripted), std::make_unique<platform::TestClock>());
    shared::SharedContext ctx(os);
    // No database beside the program: every accepted number ends at the database check.
    ctx.setProgramFolder(QStringLiteral("C:\\Diag\\ManualLink"));
    ctx.AppTitle = QStringLiteral("ManualLink");

    const QString commandLine = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const companions::ManualLinkResult result = companions::OpenInstalledManual(ctx, commandLine);
    const QString number = commandLine.trimmed();
    const bool accepted = companions::IsPublicationNumber(number);
    const auto expected =
        accepted ? companions::ManualLinkResult::DatabaseError : companions::ManualLinkResult::BadInput;
    if (result != expected || ui.asked().size() != 1)
        std::abort();
    // An accepted number can neither leave a folder nor end a quoted SQL text.
    if (accepted &&
        (number.size() > 32 || number.contains(QLatin1Char('.')) || number.contains(QLatin1Char('\'')) ||
         number.contains(QLatin1Char('\\')) || number.contains(QLatin1Char('/'))))
        std::abort();
    return 0;
}
