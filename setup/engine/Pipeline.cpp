#include "setup/engine/Pipeline.h"

#include "setup/engine/CopyTree.h"
#include "setup/engine/Extractor.h"
#include "setup/engine/FolderListing.h"
#include "shared/config/Messages.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ProcessHelpers.h"
#include "shared/helpers/ShellHelpers.h"
#include "shared/maintenance/ManualFolderRemoval.h"
#include "shared/search/ManualSearch.h"

#include <QElapsedTimer>

namespace marvek::setup {

namespace {

const QString InformationFiles[] = {QStringLiteral("man_info_do.ci"), QStringLiteral("man_info_us.ci")};

// Keeps the copy bar's value at every file and lets the window breathe after every folder, and after a
// file once a time slice has passed since it last did: a repaint and an event run per file would cost
// more than the copy of a small page. The bar's last value is always shown.
class CopyProgress : public CopyObserver {
public:
    CopyProgress(SetupContext& ctx, InstallView& view) : m_ctx(ctx), m_view(view) { m_slice.start(); }
    void folderListed() override { breathe(); }
    void fileCopied(qint32 progressValue) override {
        ProgressBarState& bar = m_view.bar(Bar::Copy);
        bar.Value = progressValue;
        if (progressValue >= bar.Max || m_slice.hasExpired(SliceMs)) {
            m_view.repaint();
            breathe();
        }
    }

private:
    static constexpr qint64 SliceMs = 20;

    void breathe() {
        m_ctx.os().clock().processEvents();
        m_slice.restart();
    }

    SetupContext& m_ctx;
    InstallView& m_view;
    QElapsedTimer m_slice;
};

void showBar(InstallView& view, Bar which, qint32 max, qint32 value) {
    ProgressBarState& bar = view.bar(which);
    bar.Min = 0;
    bar.Max = max;
    bar.Value = value;
    bar.Visible = true;
    bar.Enabled = true;
    view.repaint();
}

} // namespace

void Pipeline::setErrorLines(int first) {
    m_ctx.ErrorLine1 = Message(m_ctx, first);
    m_ctx.ErrorLine2 = Message(m_ctx, 24);
}

bool Pipeline::databaseWritable() {
    return shared::IsWritable(m_ctx.shared, m_ctx.DatabasePath);
}

bool Pipeline::InstallStep() {
    MarkStepRunning(m_ctx, m_view, 4);
    copyGuide();
    if (!InstallSelectedManuals()) {
        shared::WaitSeconds(m_ctx.shared, 2);
        return false;
    }
    refreshInformationFiles();
    shared::WaitSeconds(m_ctx.shared, 2);
    MarkStepDone(m_ctx, m_view, 4);
    return true;
}

void Pipeline::copyGuide() {
    const QString name = Message(m_ctx, 60);
    const QString source = m_ctx.shared.SourceRoot + name;
    const QString target = m_ctx.shared.ManualLinkDir + QLatin1Char('\\') + name;
    const platform::Files& files = m_ctx.os().files();
    if (name.isEmpty() || !files.fileExists(source) || !shared::IsSourceNewer(m_ctx.shared, source, target))
        return;
    if (!shared::CopyFileWithAccess(m_ctx.shared, source, target))
        return;
    shared::CreateProgramShortcut(m_ctx.shared, platform::CSIDL_COMMON_DESKTOP, Message(m_ctx, 66), target);
}

void Pipeline::refreshInformationFiles() {
    for (const QString& name : InformationFiles) {
        const QString source = m_ctx.shared.SourceRoot + QStringLiteral("programs\\setup\\") + name;
        const QString target = m_ctx.shared.ManualLinkDir + QLatin1Char('\\') + name;
        if (shared::IsSourceNewer(m_ctx.shared, source, target))
            shared::CopyFileWithAccess(m_ctx.shared, source, target);
    }
}

bool Pipeline::InstallSelectedManuals() {
    m_ctx.FolderRequestCount = 0;
    m_ctx.RunStart = m_ctx.os().clock().now();
    m_ctx.NewInstallDate = m_ctx.RunStart.addSecs(1);
    m_ctx.UpdateInstallDate = m_ctx.RunStart.addSecs(2);

    const QString lastPath = m_ctx.db.GetLastInstallPath();
    m_ctx.InstallBase = lastPath.isEmpty() ? m_ctx.LinkManualDir : shared::ParentFolder(lastPath);

    for (int index = 1; index <= m_ctx.ManualTable.count(); ++index) {
        m_ctx.CurrentIndex = static_cast<qint16>(index);
        shared::ManualEntry& entry = m_ctx.ManualTable.entry(index);
        if (entry.Selected == QLatin1String("1")) {
            HideProgressBars(m_view);
            const bool installed =
                entry.InstallKind == QLatin1String("1") ? InstallManualFull() : UpdateManualDifferential();
            if (!installed) {
                HideProgressBars(m_view);
                FinishIndexing();
                return false;
            }
        }
        m_ctx.ManualTable.entry(index).Done = QStringLiteral("1");
    }
    HideProgressBars(m_view);
    FinishIndexing();
    return true;
}

bool Pipeline::InstallManualFull() {
    shared::ManualEntry& entry = m_ctx.ManualTable.entry(m_ctx.CurrentIndex);
    if (!entry.InstallPath.isEmpty()) {
        m_ctx.InstallBase = shared::ParentFolder(entry.InstallPath);
        shared::RemoveManualFolder(m_ctx.shared, m_ctx.db, entry.Pub_No, entry.InstallPath);
    } else {
        ++m_ctx.FolderRequestCount;
        m_view.setMousePointer(DefaultPointer);
        m_view.showFolderScreen();
        m_view.setMousePointer(Hourglass);
        m_ctx.os().clock().processEvents();
        if (m_ctx.InstallBase.isEmpty()) {
            m_ctx.CancelRequested = true;
            return false;
        }
    }
    entry.InstallPath = m_ctx.InstallBase + QLatin1Char('\\') + entry.Folder;

    RemoveOlderRevision();
    const bool placed = entry.PdfFlag != QLatin1String("1") ? ExtractHtmlManual() : CopyPdfManual();
    if (!placed) {
        setErrorLines(83);
        return false;
    }
    if (!databaseWritable()) {
        setErrorLines(67);
        return false;
    }
    return RegisterManual();
}

bool Pipeline::ExtractHtmlManual() {
    shared::ManualEntry& entry = m_ctx.ManualTable.entry(m_ctx.CurrentIndex);
    const qint32 extractTime = m_ctx.shared.systemParameters.ZIP_ExtractTime;
    showBar(m_view, Bar::Extract, extractTime, 0);

    shared::ResetFolder(m_ctx.shared, m_ctx.UnzipTempDir);
    if (RunExtractor(m_ctx.shared, entry.SourcePath, m_ctx.UnzipTempDir) != 0)
        return false;

    // The archive's top folder becomes the manual's folder. An archive without one would make the
    // parent folder the manual's, and a later removal of the manual would take every manual beside it.
    const QStringList topFolders = ListSubfolders(m_ctx.shared, m_ctx.UnzipTempDir);
    if (topFolders.isEmpty())
        return false;
    entry.InstallPath = m_ctx.InstallBase + QLatin1Char('\\') + topFolders.last();

    const qint32 count = CopyTree(m_ctx.shared, CopyModeCount, 0, m_ctx.UnzipTempDir, QString(), nullptr);
    if (count <= 0)
        return false;
    m_view.bar(Bar::Extract).Value = extractTime;
    m_view.repaint();
    showBar(m_view, Bar::Copy, 2 * count, count);
    m_view.bar(Bar::Extract).Visible = false;
    m_view.bar(Bar::Extract).Enabled = false;
    m_view.repaint();

    CopyProgress progress(m_ctx, m_view);
    // The extracted files are the scratch folder's own: they move into place.
    return CopyTree(m_ctx.shared, CopyModeCopy, count, m_ctx.UnzipTempDir, m_ctx.InstallBase, &progress,
                    platform::Placement::Move) != -1;
}

bool Pipeline::CopyPdfManual() {
    const shared::ManualEntry& entry = m_ctx.ManualTable.entry(m_ctx.CurrentIndex);
    const qint32 extractTime = m_ctx.shared.systemParameters.ZIP_ExtractTime;
    showBar(m_view, Bar::Pdf, extractTime, 1);

    const platform::Files& files = m_ctx.os().files();
    // Nothing is written through a link standing at the manual's folder.
    if (files.isLink(entry.InstallPath))
        return false;
    const QString parent = shared::ParentFolder(entry.InstallPath);
    if (!files.folderExists(parent) && !files.createFolderPath(parent))
        return false;
    if (!files.folderExists(entry.InstallPath) && !files.createFolder(entry.InstallPath))
        return false;

    // A PDF manual whose files did not all arrive is not installed.
    CopyProgress progress(m_ctx, m_view);
    if (CopyTree(m_ctx.shared, CopyModeCopy, 0, entry.SourcePath, entry.InstallPath, &progress) == -1)
        return false;

    m_view.bar(Bar::Pdf).Value = extractTime;
    m_view.repaint();
    shared::WaitSeconds(m_ctx.shared, 2);
    return true;
}

bool Pipeline::UpdateManualDifferential() {
    const shared::ManualEntry& entry = m_ctx.ManualTable.entry(m_ctx.CurrentIndex);
    shared::WaitSeconds(m_ctx.shared, 1);
    const qint32 count = CopyTree(m_ctx.shared, CopyModeCount, 0, entry.ComparePath, QString(), nullptr);
    // Nothing is written through a link standing at the manual's folder or its "contents".
    const platform::Files& files = m_ctx.os().files();
    const QString contents = entry.InstallPath + QStringLiteral("\\contents");
    if (count != -1 && count != 0 && !files.isLink(entry.InstallPath) && !files.isLink(contents)) {
        showBar(m_view, Bar::Copy, count, 0);
        shared::WaitSeconds(m_ctx.shared, 1);
        CopyProgress progress(m_ctx, m_view);
        if (CopyTree(m_ctx.shared, CopyModeCopy, 0, entry.ComparePath, contents, &progress) != -1) {
            shared::WaitSeconds(m_ctx.shared, 2);
            if (!databaseWritable()) {
                setErrorLines(67);
                return false;
            }
            return RegisterManual();
        }
    }
    setErrorLines(83);
    return false;
}

void Pipeline::RemoveOlderRevision() {
    const QString pubNo = m_ctx.ManualTable.entry(m_ctx.CurrentIndex).Pub_No;
    // Only a revision digit 1-9 has an older revision to remove; any other character names no revision.
    if (pubNo.size() < 5 || pubNo.at(4) < QLatin1Char('1') || pubNo.at(4) > QLatin1Char('9'))
        return;
    const QString older = pubNo.left(4) + QLatin1Char('0') + pubNo.mid(5);
    QStringList folders;
    for (qint16 row = m_ctx.db.FindInstalledManual(older); row == 0; row = m_ctx.db.NextInstalledManual())
        folders.append(m_ctx.db.CurrentManual.InsPath);
    if (folders.isEmpty())
        return;
    for (const QString& folder : folders)
        shared::RemoveManualFolder(m_ctx.shared, m_ctx.db, older, folder);
    m_ctx.db.DeleteInstalledManual(older);
}

bool Pipeline::RegisterManual() {
    const shared::ManualEntry& entry = m_ctx.ManualTable.entry(m_ctx.CurrentIndex);
    if (m_ctx.db.RegisterInstalledManual(entry, m_ctx.NewInstallDate, m_ctx.UpdateInstallDate)) {
        IndexForSearch();
        return true;
    }
    setErrorLines(20);
    return false;
}

void Pipeline::IndexForSearch() {
    // The registered row is CurrentManual. A manual the index cannot take stays "not indexed": the next
    // search indexes it; the installation goes on either way.
    if (!m_indexer)
        m_indexer = std::make_unique<SearchIndexer>(m_ctx.os(), m_ctx.DatabasePath);
    m_indexer->add(search::SourceOf(m_ctx.db.CurrentManual));
}

void Pipeline::FinishIndexing() {
    if (m_indexer)
        m_indexer->finish([this] { m_ctx.os().clock().processEvents(); });
}

} // namespace marvek::setup
