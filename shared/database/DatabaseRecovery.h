#pragma once

#include "shared/Context.h"

#include <QString>

namespace marvek::shared {

// The copy of the database that the upgrade keeps beside it while it swaps the files:
// folder & "\BACK_" & databaseName.
QString DatabaseBackupPath(const QString& folder, const QString& databaseName);

// Run by every program that opens the database, before it looks for the file: when an upgrade was cut
// off (a power cut, a killed installer) or failed between its steps and the database file is missing,
// the backup it left takes the database's name again. Only a backup that opens as a database whose
// M_manage rows can be read is restored, by one rename; nothing happens while another program holds
// either file, or when the database exists. True when the backup was restored.
bool RestoreDatabaseBackup(const SharedContext& ctx, const QString& folder, const QString& databaseName);

} // namespace marvek::shared
