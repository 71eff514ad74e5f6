// ManualLink.exe's command line, which a diagnostic tool writes: whatever it holds, the program shows
// exactly one box or opens a page, and never looks outside the database for a number it refused.
#include "cd/companions/manual_link/ManualLink.h"
#include "fuzz/FuzzCheck.h"
#include "platform/testing/TempMachine.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marvek;
    // One prefix for the whole run; each input gets a fresh platform, so the boxes it asks are its own.
    static const testing::TempMachine machine;
    auto scripted = std::make_unique<platform::ScriptedUserInterface>();
    const platform::ScriptedUserInterface& ui = *scripted;
    platform::Platform os(machine.machine(), std::move(scripted), std::make_unique<platform::TestClock>());
    shared::SharedContext ctx(os, QStringLiteral("ManualLink"));
    // No database beside the program: every accepted number ends at the database check.
    ctx.setProgramFolder(QStringLiteral("C:\\Diag\\ManualLink"));
    ctx.AppTitle = QStringLiteral("ManualLink");

    const QString commandLine = fuzz::utf8(data, size);
    const companions::ManualLinkResult result = companions::OpenInstalledManual(ctx, commandLine);
    const QString number = commandLine.trimmed();
    const bool accepted = companions::IsPublicationNumber(number);
    const auto expected =
        accepted ? companions::ManualLinkResult::DatabaseError : companions::ManualLinkResult::BadInput;
    MARVEK_FUZZ_CHECK(result == expected && ui.asked().size() == 1);
    // An accepted number can neither leave a folder nor end a quoted SQL text.
    MARVEK_FUZZ_CHECK(!accepted ||
                      (number.size() <= 32 && !number.contains(QLatin1Char('.')) &&
                       !number.contains(QLatin1Char('\'')) && !number.contains(QLatin1Char('\\')) &&
                       !number.contains(QLatin1Char('/'))));
    return 0;
}
