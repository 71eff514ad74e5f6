#pragma once

#include "setup/engine/SetupContext.h"

#include <QString>
#include <array>

namespace marvek::setup {

inline constexpr double HtmlManualSpace = 150000000.0;
inline constexpr auto PdfSpaceUnit = "10000000";
inline constexpr double ProgramFilesReserve = 350000000.0;

// Bytes the manual at ctx.CurrentIndex needs: an HTML manual 150,000,000; a PDF manual the next
// multiple of 10,000,000 above the size of SourceRoot & Pub_No & "\contents\" & Pub_No & ".pdf".
double RequiredSpace(const SetupContext& ctx);

// Usable bytes on the drive of the path: 0 without a drive name or when the drive cannot be asked;
// 350,000,000 less on the Program Files drive (the drive names compared exactly).
double FreeSpace(const SetupContext& ctx, const QString& path);

// The install-folder screen (frmDirectorySelect) without its window: the texts it shows and what its
// buttons do to the run. The form shows texts() and calls the button handlers; a handler that returns
// true unloads the screen.
class FolderScreen {
public:
    struct Texts {
        QString Caption;
        QString L_Name;
        std::array<QString, 3> L_Msg;
        QString B_CHANGE;
        QString B_Cancel;
        QString Frame1;
    };

    explicit FolderScreen(SetupContext& ctx);

    // Load: the caption (which becomes AppTitle) and every text; L_InstalPath = InstallBase.
    const Texts& texts() const { return m_texts; }
    const QString& installPath() const { return m_installPath; }

    // B_CHANGE: the folder dialog (title M021) with InstallBase preselected; a chosen folder becomes
    // InstallBase without its trailing separator.
    void change();
    // B_OK: true when the drive has room (the screen unloads); otherwise the M022 box and false.
    bool ok();
    // B_Cancel: the M029 question; Yes sets the error lines M025 / M024, empties InstallBase and
    // returns true.
    bool cancel();

private:
    SetupContext& m_ctx;
    Texts m_texts;
    QString m_installPath; // L_InstalPath
};

} // namespace marvek::setup
