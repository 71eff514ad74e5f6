#include "setup/engine/FolderSelect.h"

#include "setup/engine/Startup.h"
#include "shared/config/Messages.h"
#include "shared/formdata/PdfPaths.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ShellHelpers.h"

namespace marvek::setup {

double RequiredSpace(const SetupContext& ctx) {
    const shared::ManualEntry& entry = ctx.ManualTable.entry(ctx.CurrentIndex);
    if (entry.PdfFlag != QLatin1String("1"))
        return HtmlManualSpace;
    const QString pdf = shared::CdPdfPath(ctx.shared, entry.Pub_No, entry.Pub_No);
    const qint64 size = ctx.os().files().size(pdf).value_or(0);
    return static_cast<double>(shared::PdfSpaceEstimate(size, QLatin1String(PdfSpaceUnit)));
}

double FreeSpace(const SetupContext& ctx, const QString& path) {
    const QString drive = GetDriveName(path);
    if (drive.isEmpty())
        return 0;
    const std::optional<quint64> free = ctx.os().files().freeSpace(drive + QLatin1Char('\\'));
    if (!free)
        return 0;
    double usable = static_cast<double>(*free);
    if (drive == ctx.ProgramFilesDrive)
        usable -= ProgramFilesReserve;
    return usable;
}

FolderScreen::FolderScreen(SetupContext& ctx) : m_ctx(ctx) {
    m_texts.Caption = Message(ctx, 34);
    ctx.shared.AppTitle = m_texts.Caption;
    const shared::ManualEntry& entry = ctx.ManualTable.entry(ctx.CurrentIndex);
    m_texts.L_Name = entry.Model_desc + QStringLiteral(" (Ver.") + entry.Version + QLatin1Char(')');
    m_texts.L_Msg[0] = Message(ctx, 59).replace(QLatin1Char('@'), QString::number(ctx.FolderRequestCount));
    m_texts.L_Msg[1] = Message(ctx, 27);
    m_texts.L_Msg[2] = Message(ctx, 28);
    m_texts.B_CHANGE = Message(ctx, 31);
    m_texts.B_Cancel = Message(ctx, 32);
    m_texts.Frame1 = QStringLiteral("  ") + Message(ctx, 33) + QStringLiteral("  ");
    m_installPath = ctx.InstallBase;
}

void FolderScreen::change() {
    const QString chosen = shared::BrowseForFolder(m_ctx.shared, Message(m_ctx, 21), m_ctx.InstallBase);
    if (!chosen.isEmpty())
        m_ctx.InstallBase = shared::StripTrailingSeparator(chosen);
    m_installPath = m_ctx.InstallBase;
}

bool FolderScreen::ok() {
    m_ctx.InstallBase = m_installPath;
    if (FreeSpace(m_ctx, m_ctx.InstallBase) < RequiredSpace(m_ctx)) {
        m_ctx.os().ui().messageBox(Message(m_ctx, 22), platform::mb::Information, m_ctx.shared.AppTitle);
        return false;
    }
    return true;
}

bool FolderScreen::cancel() {
    const int answer = m_ctx.os().ui().messageBox(
        Message(m_ctx, 29), platform::mb::YesNo | platform::mb::Exclamation, m_ctx.shared.AppTitle);
    if (answer != platform::mb::IdYes)
        return false;
    m_ctx.ErrorLine1 = Message(m_ctx, 25);
    m_ctx.ErrorLine2 = Message(m_ctx, 24);
    m_ctx.InstallBase.clear();
    return true;
}

} // namespace marvek::setup
