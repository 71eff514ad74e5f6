#include "manager/app/ManagerSearch.h"

#include "platform/Shell.h"
#include "shared/config/Messages.h"
#include "shared/helpers/ShellHelpers.h"

namespace marvek::manager {

ManagerSearch::ManagerSearch(ManagerContext& ctx) : m_ctx(ctx), m_search(ctx.os(), ctx.DatabasePath) {
    m_search.setPagePump([&ctx] { ctx.os().clock().processEvents(); });
}

std::optional<std::vector<search::SearchHit>>
ManagerSearch::find(const QString& words, const search::ManualSearch::Progress& progress) {
    search::QueryOptions options;
    options.lastWordIsPrefix = true;
    return m_search.search(search::ReadInstalledManuals(m_ctx.db), words, options, progress);
}

void ManagerSearch::forget(const QString& pubNo) {
    m_search.removeManual(pubNo);
}

bool OpenSearchHit(ManagerContext& ctx, const search::SearchHit& hit) {
    const QString page = hit.pageFile();
    const bool pdf = hit.pdfPage > 0;
    if (!ctx.os().files().fileExists(page)) {
        ctx.os().ui().messageBox(shared::GetMessage(ctx.shared, QStringLiteral("MESSAGE"), pdf ? 81 : 50),
                                 platform::mb::Exclamation, ctx.shared.AppTitle);
        return false;
    }
    if (pdf)
        return platform::shellOpen(ctx.os().machine(), page) >= 32;
    if (ctx.os().files().fileExists(ctx.ViewerExePath))
        return ctx.os().processes().startDetached(ctx.ViewerExePath + QLatin1Char(' ') + page,
                                                  platform::WindowMode::Normal);
    return shared::FindOrOpenBrowserWindow(ctx.shared, page) != shared::BrowserWindowFailed;
}

} // namespace marvek::manager
