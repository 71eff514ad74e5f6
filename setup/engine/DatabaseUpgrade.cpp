#include "setup/engine/DatabaseUpgrade.h"

#include "shared/access/AccessControl.h"
#include "shared/database/DatabaseRecovery.h"
#include "shared/database/JetProvider.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ProcessHelpers.h"

#include <iterator>
#include <memory>

namespace marvek::setup {

namespace {

using shared::JetFileHold;

// Registered publications whose archive unpacks into a folder of another name.
struct SpecialPublication {
    const char* pubNo;
    const char* folderName;
};
constexpr SpecialPublication SpecialPublications[] = {{"K4410AA", "K4410AAD"}, {"K4470AA", "K4470AAA"}};

QString specialFolderName(const QString& pubNo) {
    for (const SpecialPublication& special : SpecialPublications) {
        if (pubNo == QLatin1String(special.pubNo))
            return QLatin1String(special.folderName);
    }
    return QString();
}

std::unique_ptr<JetFileHold> hold(const SetupContext& ctx, const QString& path) {
    QString error;
    return JetFileHold::acquire(ctx.os().machine(), path, &error);
}

// Deletes a database file that no connection holds, with any side file left beside it. A file that
// cannot be held (an open database: possibly the installed one under another name) is left alone.
bool deleteDatabaseFile(const SetupContext& ctx, const QString& path) {
    const auto held = hold(ctx, path);
    return held && shared::DeleteFileForce(ctx.shared, path);
}

// True when two of the upgrade's files are one file, under any spelling: copying or deleting one would
// destroy the other (a template named like the installed database, a new copy that is the database).
bool filesOverlap(const SetupContext& ctx, const UpgradePaths& paths) {
    const platform::Files& files = ctx.os().files();
    const QString all[] = {paths.Template, paths.NewCopy, paths.Current, paths.Backup};
    for (size_t i = 0; i < std::size(all); ++i) {
        for (size_t j = i + 1; j < std::size(all); ++j) {
            if (files.sameFile(all[i], all[j]))
                return true;
        }
    }
    return false;
}

// The rebuild gives up while the current database is still in its place: the new copy goes, the current
// database opens again.
bool abandonRebuild(SetupContext& ctx, const UpgradePaths& paths) {
    deleteDatabaseFile(ctx, paths.NewCopy);
    if (!ctx.db.Database.IsOpen())
        ctx.db.Database.Pcls_MdbOpen(paths.Current);
    return false;
}

// The swap, while no program has either file open: the current database is copied to the backup, then
// the new copy takes the current name in one rename, so the name always holds a whole database. False,
// with the current file unchanged and no backup left, when a step fails or a file is in use.
bool swapFiles(const SetupContext& ctx, const UpgradePaths& paths) {
    const shared::SharedContext& shared = ctx.shared;
    const auto current = hold(ctx, paths.Current);
    const auto newCopy = current ? hold(ctx, paths.NewCopy) : nullptr;
    const auto backup = newCopy ? hold(ctx, paths.Backup) : nullptr;
    if (!backup)
        return false;
    if (shared::CopyFileReplacing(shared, paths.Current, paths.Backup)) {
        shared::WaitSeconds(shared, 1);
        if (ctx.os().files().replaceFile(paths.NewCopy, paths.Current))
            return true;
    }
    shared::DeleteFileForce(shared, paths.Backup);
    return false;
}

// The swapped database did not open: the backup takes the current name again, in one rename. When that
// fails the swapped file goes, so that the next start of any program restores the backup.
void restoreBackup(const SetupContext& ctx, const UpgradePaths& paths) {
    const platform::Files& files = ctx.os().files();
    const auto current = hold(ctx, paths.Current);
    const auto backup = current ? hold(ctx, paths.Backup) : nullptr;
    if (!backup || files.replaceFile(paths.Backup, paths.Current))
        return;
    if (shared::DeleteFileForce(ctx.shared, paths.Current))
        files.rename(paths.Backup, paths.Current);
}

bool copyRows(SetupContext& ctx) {
    shared::ManualDatabase& db = ctx.db;
    qint16 row = db.OpenManageScan();
    if (row == -1)
        return false; // an unreadable database is never swapped for an empty one
    for (; row == 0; row = db.NextManageScan()) {
        db.CopyToTransferRecord();
        if (db.InsertTransferRecord() != 0)
            return false;
    }
    return true;
}

} // namespace

UpgradePaths DatabaseUpgradePaths(const SetupContext& ctx) {
    const shared::SystemParameters& parameters = ctx.shared.systemParameters;
    const QString linkDir = ctx.shared.ManualLinkDir + QLatin1Char('\\');
    return {ctx.shared.ProgramFolder + QLatin1Char('\\') + parameters.DTX3_NEW_MDB_NAME,
            linkDir + parameters.DTX3_NEW_MDB_NAME, linkDir + parameters.DTX3_MDB_NAME,
            shared::DatabaseBackupPath(ctx.shared.ManualLinkDir, parameters.DTX3_MDB_NAME)};
}

qint16 ReadSchemaVersion(shared::ManualDatabase& db, SchemaSource source) {
    const qint16 read =
        source == SchemaSource::Database ? db.ReadDatabaseVersion() : db.ReadNewDatabaseVersion();
    if (read != 0)
        return -1;
    bool ok = false;
    const qint16 version = db.DatabaseVersion.trimmed().toShort(&ok, 10);
    return ok ? version : qint16(-1);
}

void LoadModelOrder(SetupContext& ctx) {
    shared::ManualDatabase& db = ctx.db;
    db.OrderTable.clear();
    for (qint16 row = db.OpenOrderScan(); row == 0; row = db.NextOrderScan())
        db.OrderTable.append(db.OrderRow);
}

bool DatabaseUpgrade(SetupContext& ctx) {
    const UpgradePaths paths = DatabaseUpgradePaths(ctx);
    shared::ManualDatabase& db = ctx.db;
    qint16 templateVersion = -1;
    if (db.NewDatabase.Pcls_MdbOpenReadOnly(paths.Template)) {
        templateVersion = ReadSchemaVersion(db, SchemaSource::NewDatabase);
        if (templateVersion != -1)
            LoadModelOrder(ctx);
        db.NewDatabase.Release();
    }
    if (templateVersion == -1)
        return false;
    const qint16 currentVersion = ReadSchemaVersion(db, SchemaSource::Database);
    if (currentVersion >= 0 && currentVersion >= templateVersion)
        return true;
    return RebuildDatabase(ctx);
}

bool RebuildDatabase(SetupContext& ctx) {
    const UpgradePaths paths = DatabaseUpgradePaths(ctx);
    const shared::SharedContext& shared = ctx.shared;
    const platform::Files& files = ctx.os().files();
    shared::ManualDatabase& db = ctx.db;
    if (filesOverlap(ctx, paths))
        return false; // nothing touched: the current database stays open

    // The new copy: the template, with no log of an earlier copy left beside it.
    bool madeCopy = false;
    {
        const auto newCopy = hold(ctx, paths.NewCopy);
        madeCopy = newCopy && shared::CopyFileReplacing(shared, paths.Template, paths.NewCopy);
    }
    if (!madeCopy)
        return abandonRebuild(ctx, paths);
    shared::WaitSeconds(shared, 2);
    if (!files.fileExists(paths.NewCopy) || !db.NewDatabase.Pcls_MdbOpen(paths.NewCopy))
        return abandonRebuild(ctx, paths);

    const bool copied = copyRows(ctx);
    db.NewDatabase.Release(); // the last connection: every row is in the file now
    if (!copied)
        return abandonRebuild(ctx, paths);

    // The holds of the swap are given up before anything opens the database again.
    db.Database.Release();
    if (!swapFiles(ctx, paths))
        return abandonRebuild(ctx, paths);

    if (!shared::GrantUsersFullAccess(shared, paths.Current))
        return false; // the new database stands, the backup stays beside it

    shared::WaitSeconds(shared, 1);
    ctx.DatabasePath = paths.Current;
    if (files.fileExists(paths.Current) && db.Database.Pcls_MdbOpen(paths.Current)) {
        deleteDatabaseFile(ctx, paths.Backup);
        return true;
    }
    db.Database.Release();
    restoreBackup(ctx, paths);
    return false;
}

bool RepairInstalledManuals(SetupContext& ctx) {
    const shared::SharedContext& shared = ctx.shared;
    const platform::Files& files = ctx.os().files();
    shared::ManualDatabase& db = ctx.db;
    if (!db.NewDatabase.Pcls_MdbOpen(ctx.DatabasePath))
        return false;
    for (qint16 row = db.OpenNewManageScan(); row == 0; row = db.NextNewManageScan()) {
        const QString pubNo = db.CurrentManual.Pub_No;
        QString folder = db.CurrentManual.InsPath;
        const QString renamed = specialFolderName(pubNo);
        const qsizetype last = folder.lastIndexOf(QLatin1Char('\\'));
        if (!renamed.isEmpty() && last >= 0 && !files.fileExists(folder + QStringLiteral("\\index.html"))) {
            const QString candidate = folder.left(last + 1) + renamed;
            if (files.fileExists(candidate + QStringLiteral("\\index.html")) &&
                db.UpdateInstallPath(pubNo, candidate))
                folder = candidate;
        }
        if (files.folderExists(folder) && shared::IsNtfsVolume(shared, folder) &&
            !shared::HasUsersFolderAccess(shared, folder))
            shared::GrantUsersFolderAccess(shared, folder);
    }
    db.NewDatabase.Release();
    return true;
}

} // namespace marvek::setup
