#include "browser_setup/app/PagosetContext.h"

namespace marvek::browser_setup {

PagosetContext::PagosetContext(platform::Platform& platform, QString programFolder)
    : os(platform), ProgramFolder(std::move(programFolder)),
      messages(browser::MessageTable::GSubMsg_Load(platform.machine(), platform.machineInfo(), ProgramFolder,
                                                   browser::MessageProgram::Pagoset)) {
}

} // namespace marvek::browser_setup
