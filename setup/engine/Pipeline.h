#pragma once

#include "setup/engine/InstallView.h"
#include "setup/engine/SearchIndexer.h"
#include "setup/engine/SetupContext.h"

#include <memory>

namespace marvek::setup {

// The manual installation: step 4 of the installation window. Each function works on the entry at
// ctx.CurrentIndex where it installs one manual, and returns false when the run must stop (the error
// lines then say why, except after a cancelled folder screen).
class Pipeline {
public:
    Pipeline(SetupContext& ctx, InstallView& view) : m_ctx(ctx), m_view(view) {}

    // The user guide and its desktop shortcut, every selected manual, then the information files.
    bool InstallStep();
    // The run timestamps, the starting InstallBase and the loop over the manual table.
    bool InstallSelectedManuals();
    bool InstallManualFull();
    bool UpdateManualDifferential();
    bool ExtractHtmlManual();
    bool CopyPdfManual();
    // Removes revision 0 of the current entry's publication (folder and rows) when the entry is a later
    // revision.
    void RemoveOlderRevision();
    // Registers the current entry; false (with M020 / M024) when the registration failed.
    bool RegisterManual();
    // Hands the manual just registered to the search indexing, which goes on beside the installation.
    void IndexForSearch();
    // Waits for the search indexing of every manual registered (the window keeps painting).
    void FinishIndexing();

private:
    void copyGuide();
    void refreshInformationFiles();
    bool databaseWritable();
    void setErrorLines(int first);

    SetupContext& m_ctx;
    InstallView& m_view;
    std::unique_ptr<SearchIndexer> m_indexer; // made at the first manual registered
};

} // namespace marvek::setup
