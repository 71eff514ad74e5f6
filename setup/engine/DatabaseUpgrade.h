#pragma once

#include "setup/engine/SetupContext.h"

#include <QString>
#include <QtGlobal>

namespace marvek::setup {

// The connection of the installer's database whose schema version is read.
enum class SchemaSource { Database, NewDatabase };

// The four files of the upgrade.
struct UpgradePaths {
    QString Template; // ProgramFolder\DTX3_NEW_MDB_NAME, the CD's template: only ever read
    QString NewCopy;  // ManualLinkDir\DTX3_NEW_MDB_NAME
    QString Current;  // ManualLinkDir\DTX3_MDB_NAME, the file DatabasePath names
    QString Backup;   // ManualLinkDir\BACK_DTX3_MDB_NAME
};
UpgradePaths DatabaseUpgradePaths(const SetupContext& ctx);

// Compares the installed database's schema version with the template's, loads the model-order records
// from the template and rebuilds the database when it is older. False when the template cannot be read
// or the rebuild fails.
bool DatabaseUpgrade(SetupContext& ctx);

// MDB_Version of the first M_system row of the connection as a 16-bit whole number; -1 when there is no
// row, the query fails or the text is not such a number.
qint16 ReadSchemaVersion(shared::ManualDatabase& db, SchemaSource source);

// Refills OrderTable from M_order of NewDatabase (open on the template), in query order.
void LoadModelOrder(SetupContext& ctx);

// Builds a new database from the template holding every installed-manual row and swaps it in for the
// current one, keeping a backup until the new database opens. Database files are copied, replaced and
// deleted only under a JetFileHold, so no connection is open and no committed row waits in a log; the
// new database takes the current name in one rename, so the name never stands empty.
// False, with nothing touched, when two of the four files are one file under any spelling; false, with
// the current database untouched and open again, when the new copy cannot be made or filled, a step of
// the swap fails or the files are in use; false with the backup restored when the swapped database does
// not open; false with the new database in place and the backup kept when the access grant fails.
bool RebuildDatabase(SetupContext& ctx);

// After a run: moves the two publications whose archives unpack under another folder name to that
// folder, and gives the users group access to every registered folder on a drive with access lists.
// False when the database does not open.
bool RepairInstalledManuals(SetupContext& ctx);

} // namespace marvek::setup
