#pragma once

#include "shared/Context.h"
#include "shared/catalogue/ManualTable.h"
#include "shared/config/Messages.h"
#include "shared/database/ManualDatabase.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace marvek::setup {

// The installer's own title: its fixed boxes and the boxes of the program's default title.
inline constexpr auto StartupTitle = "Manual Install Program";

// The installer's process-wide state: the settings the start routine fills, the open database, the
// survey's manual table and the pipeline's run state. Created by the program's start routine; every
// flow and screen works on it.
struct SetupContext {
    explicit SetupContext(platform::Platform& os) : shared(os, QLatin1String(StartupTitle)), db(shared) {}
    SetupContext(const SetupContext&) = delete;
    SetupContext& operator=(const SetupContext&) = delete;

    platform::Platform& os() const { return shared.os; }
    // The installed-manual database (DatabasePath) as the flows use it.
    shared::clsMDB& Database() { return db.Database; }

    // ProgramFolder, SysDir paths, SourceRoot, ManualLinkDir, UserName, UsersGroupName, the loaded
    // parameters, LanguageCode and AppTitle.
    shared::SharedContext shared;

    // Installer settings, in the order the start routine derives them.
    QString ProgramPath;       // the diagnostic software folder (registry)
    QString ProgramFilesDir;   // registry
    QString ProgramFilesDrive; // drive part of ProgramFilesDir ("C:")
    QString LinkManualDir;     // default parent folder of new manuals
    QString LinkDir;
    QString ViewerDir;
    QString ViewerExePath;
    QString UnzipTempDir;
    QString DatabasePath;
    QString LockFilePath;

    // The two lines the result screen shows; empty when there is no error.
    QString ErrorLine1;
    QString ErrorLine2;
    bool InstallSucceeded = false;

    // The database with its two connections (Database, NewDatabase), the record images and the
    // model-order records the upgrade loads from the template.
    shared::ManualDatabase db;
    // The survey's table, indexed from 1.
    shared::ManualTable ManualTable;

    // Pipeline state of one run.
    QString InstallBase;
    bool CancelRequested = false;
    qint16 FolderRequestCount = 0;
    qint16 CurrentIndex = 0;
    QDateTime RunStart;
    QDateTime NewInstallDate;
    QDateTime UpdateInstallDate;
};

// Message number of the installer's catalogue.
inline QString Message(const SetupContext& ctx, int number) {
    return shared::CatalogueMessage(ctx.shared, number);
}

} // namespace marvek::setup
