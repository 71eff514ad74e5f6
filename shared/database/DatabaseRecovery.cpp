#include "shared/database/DatabaseRecovery.h"

#include "shared/database/JetProvider.h"
#include "shared/database/clsMDB.h"

namespace marvek::shared {

namespace {

// Opens without writing anything and reads every row of M_manage.
bool isWholeDatabase(const SharedContext& ctx, const QString& path) {
    clsMDB db(ctx.os.machine());
    return db.Pcls_MdbOpenReadOnly(path) &&
           db.Pcls_MdbCreate(0, QStringLiteral("SELECT * FROM M_manage"), 4) != -1;
}

} // namespace

QString DatabaseBackupPath(const QString& folder, const QString& databaseName) {
    return folder + QStringLiteral("\\BACK_") + databaseName;
}

bool RestoreDatabaseBackup(const SharedContext& ctx, const QString& folder, const QString& databaseName) {
    const platform::Files& files = ctx.os.files();
    const QString database = folder + QLatin1Char('\\') + databaseName;
    const QString backup = DatabaseBackupPath(folder, databaseName);
    if (folder.isEmpty() || databaseName.isEmpty() || files.exists(database) || !files.fileExists(backup) ||
        files.sameFile(database, backup))
        return false;
    // Both held: nobody opens either file meanwhile, and side files left beside them are settled (the
    // backup's folded in, the missing database's removed so that they never meet the restored file).
    QString error;
    const auto databaseHold = JetFileHold::acquire(ctx.os.machine(), database, &error);
    const auto backupHold = databaseHold ? JetFileHold::acquire(ctx.os.machine(), backup, &error) : nullptr;
    return backupHold && !files.exists(database) && isWholeDatabase(ctx, backup) &&
           files.rename(backup, database);
}

} // namespace marvek::shared
