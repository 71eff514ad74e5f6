#pragma once

#include "shared/Context.h"
#include "shared/config/RegistryKeys.h"

#include <QString>
#include <QStringList>

namespace marvek::companions {

// Where the suite looks for the companion programs.
using shared::InstallDirValue;
using shared::ManualLinkKey;
using shared::ViewerKey;
// The result log an installer leaves in the folder it installed into.
inline constexpr auto ResultLogName = "setup.log";

// The result of an installer: its exit code and the last line of its result log.
enum class InstallResult {
    Success = 0,
    PayloadMissing = 1,     // a file the installer carries is not beside it
    FolderNotCreated = 2,   // the installation folder cannot be made
    CopyFailed = 3,         // a file cannot be put in place
    RegistryNotWritten = 4, // the folder cannot be recorded
    DatabaseNotCreated = 5, // the manual database cannot be made from the CD's template
    AccessNotGranted = 6,   // the users group cannot be given access to the folder
    NotRegistered = 7,      // the manual-link component is not installed (manager installer)
    LogNotWritten = 8,      // the installation went through but its result log cannot be written
};

// ProgramFilesDir of the registry; "C:\Program Files" when the machine records none.
QString ProgramFilesFolder(const shared::SharedContext& ctx);
// The "InstallDir" value of a key of the suite (ManualLinkKey, ViewerKey); empty when not set.
QString RecordedInstallDir(const shared::SharedContext& ctx, const char* key);
// Default folder of the manual-link component: ProgramFilesFolder & "\Marvek\Scanlux\ManualLink".
QString DefaultManualLinkDir(const shared::SharedContext& ctx);
// Default folder of the viewer, the one `setup` expects when no folder is recorded:
// (ProgramFilesFolder, or "C:\Program Files" for Japanese) & "\Marvek\Scanlux\View".
QString DefaultViewerDir(const shared::SharedContext& ctx, bool japanese);

// One run of a companion installer. Each step returns Success or the result that ends the run; the run
// notes what it did, and finish() writes the notes with the result as the last line into the result
// log of the installation folder.
class InstallRun {
public:
    // ctx.ProgramFolder is the installer's folder, where its payload lies.
    InstallRun(shared::SharedContext& ctx, const QString& description, const QStringList& arguments);

    void note(const QString& line);
    // Path of a payload file beside the installer.
    QString payloadPath(const QString& name) const;
    // PayloadMissing, naming the first missing file, unless every file exists.
    InstallResult checkPayload(const QStringList& paths);
    // Every missing level of the folder.
    InstallResult createFolder(const QString& folder);
    // Puts a copy of source at target: the copy keeps the source's time, loses a read-only attribute, and
    // replaces an installed copy by a rename, so a program that is running does not block its update.
    // A read-only installed copy is not replaced (CopyFailed).
    InstallResult installFile(const QString& source, const QString& target);
    // Copies source to target only when target does not exist; an existing target is kept as it is.
    InstallResult installFileOnce(const QString& source, const QString& target, InstallResult onFailure);
    // Gives the users group inherited access to the folder when its drive keeps access lists.
    InstallResult grantUsersAccess(const QString& folder);
    InstallResult recordFolder(const char* key, const QString& folder);

    // Notes the result, writes the result log into logFolder (none when empty; the folder is made when
    // missing, so a run that failed early still leaves its log) and returns the exit code:
    // the result, or LogNotWritten when a successful run cannot leave its log.
    int finish(InstallResult result, const QString& logFolder);

private:
    InstallResult copyToSide(const QString& source, const QString& side);

    shared::SharedContext& m_ctx;
    QStringList m_notes;
};

} // namespace marvek::companions
