#include "cd/companions/manual_link/ManualLink.h"

#include "cd/companions/common/CompanionInstall.h"
#include "shared/database/DatabaseRecovery.h"
#include "shared/database/ManualDatabase.h"
#include "shared/formdata/PdfPaths.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ShellHelpers.h"

#include <QRegularExpression>

namespace marvek::companions {

namespace {

enum class Text { Usage, BadNumber, NoDatabase, DatabaseUnreadable, NotInstalled, FilesMissing, NoBrowser };

QString text(const shared::SharedContext& ctx, Text which) {
    const bool japanese = ctx.LanguageCode == QLatin1String("11");
    switch (which) {
    case Text::Usage:
        return japanese ? QStringLiteral("マニュアルの発行番号を指定してください: ManualLink.exe <発行番号>")
                        : QStringLiteral("Give the publication number of a manual: ManualLink.exe <number>");
    case Text::BadNumber:
        return japanese ? QStringLiteral("発行番号 \"%1\" は正しくありません。")
                        : QStringLiteral("\"%1\" is not a publication number.");
    case Text::NoDatabase:
        return japanese ? QStringLiteral("マニュアルデータベース %1 がありません。")
                        : QStringLiteral("The manual database %1 does not exist.");
    case Text::DatabaseUnreadable:
        return japanese ? QStringLiteral("マニュアルデータベース %1 を読めません。")
                        : QStringLiteral("The manual database %1 cannot be read.");
    case Text::NotInstalled:
        return japanese ? QStringLiteral("マニュアル %1 はインストールされていません。")
                        : QStringLiteral("The manual %1 is not installed.");
    case Text::FilesMissing:
        return japanese ? QStringLiteral("マニュアル %1 のファイルがありません: %2")
                        : QStringLiteral("The files of the manual %1 are missing: %2");
    case Text::NoBrowser:
        return japanese ? QStringLiteral("%1 を表示するブラウザを起動できません。")
                        : QStringLiteral("No browser could be started to show %1.");
    }
    return {};
}

ManualLinkResult refuse(const shared::SharedContext& ctx, const QString& message, ManualLinkResult result) {
    ctx.os.ui().messageBox(message, platform::mb::OKOnly | platform::mb::Exclamation, ctx.AppTitle);
    return result;
}

} // namespace

bool IsPublicationNumber(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]{1,32}$"));
    return pattern.match(text).hasMatch();
}

ManualLinkResult OpenInstalledManual(shared::SharedContext& ctx, const QString& commandLine) {
    const QString pubNo = commandLine.trimmed();
    if (pubNo.isEmpty())
        return refuse(ctx, text(ctx, Text::Usage), ManualLinkResult::BadInput);
    if (!IsPublicationNumber(pubNo))
        return refuse(ctx, text(ctx, Text::BadNumber).arg(pubNo.left(64)), ManualLinkResult::BadInput);

    const QString databasePath =
        ctx.ProgramFolder + QLatin1Char('\\') + QLatin1String(ManualLinkDatabaseName);
    shared::RestoreDatabaseBackup(ctx, ctx.ProgramFolder, QLatin1String(ManualLinkDatabaseName));
    if (!ctx.os.files().fileExists(databasePath))
        return refuse(ctx, text(ctx, Text::NoDatabase).arg(databasePath), ManualLinkResult::DatabaseError);
    shared::ManualRecord manual;
    {
        shared::ManualDatabase database(ctx);
        if (!database.Database.Pcls_MdbOpen(databasePath))
            return refuse(ctx, text(ctx, Text::DatabaseUnreadable).arg(databasePath),
                          ManualLinkResult::DatabaseError);
        const qint16 found = database.FindInstalledManual(pubNo);
        if (found == 1)
            return refuse(ctx, text(ctx, Text::NotInstalled).arg(pubNo), ManualLinkResult::NotInstalled);
        if (found != 0)
            return refuse(ctx, text(ctx, Text::DatabaseUnreadable).arg(databasePath),
                          ManualLinkResult::DatabaseError);
        manual = database.CurrentManual;
    } // the connection is closed before anything is started

    const QString folder = shared::StripTrailingSeparator(manual.InsPath);
    const QString page = manual.Pdf_flg == QLatin1String("1") ? shared::PdfPath(folder, manual.Pub_No)
                                                              : folder + QStringLiteral("\\index.html");
    if (folder.isEmpty() || !ctx.os.files().fileExists(page))
        return refuse(ctx, text(ctx, Text::FilesMissing).arg(manual.Pub_No, page),
                      ManualLinkResult::FilesMissing);

    const QString viewerDir = shared::StripTrailingSeparator(RecordedInstallDir(ctx, ViewerKey));
    const QString viewer = viewerDir + QStringLiteral("\\Pagora.exe");
    if (!viewerDir.isEmpty() && ctx.os.files().fileExists(viewer) &&
        ctx.os.processes().startDetached(viewer + QLatin1Char(' ') + page, platform::WindowMode::Normal))
        return ManualLinkResult::Opened;
    if (shared::FindOrOpenBrowserWindow(ctx, page) == shared::BrowserWindowFailed)
        return refuse(ctx, text(ctx, Text::NoBrowser).arg(page), ManualLinkResult::NoBrowser);
    return ManualLinkResult::Opened;
}

} // namespace marvek::companions
