#pragma once

#include "platform/Platform.h"
#include "shared/database/ManualDatabase.h"
#include "shared/search/SearchIndex.h"

#include <functional>
#include <optional>
#include <vector>

namespace marvek::search {

// The search index file beside the manual database (a Windows path). The manual database itself is
// only ever read for the index.
QString SearchIndexPath(const QString& databasePath);
inline constexpr auto SearchIndexFileName = "ManualSearch.idx";

// The installed-manual database of the machine: "ManualLink.mdb" in the manual-link component's folder
// (registry); empty when no folder is recorded.
QString InstalledDatabasePath(const shared::SharedContext& ctx);
// Every installed manual of the database at the path, read on a connection of its own that is closed
// again at once; empty optional when the database cannot be opened.
std::optional<std::vector<ManualSource>> ReadInstalledManuals(const shared::SharedContext& ctx,
                                                              const QString& databasePath);

// A database row as the index sees it.
ManualSource SourceOf(const shared::ManualRecord& record);
// Every installed manual (the full listing); empty when the database cannot be read.
std::vector<ManualSource> ReadInstalledManuals(shared::ManualDatabase& db);

// The programs' way to the index: opened on first use, rebuilt when damaged, brought up to date with
// the installed manuals before a search. Failures never reach the manual database or the caller's
// other work: they only leave manuals "not indexed" until the next search tries again.
class ManualSearch {
public:
    ManualSearch(const platform::Platform& os, const QString& databasePath);

    // done of total manuals indexed so far, and the one being indexed now.
    using Progress = std::function<void(int done, int total, const QString& pubNo)>;

    // Indexes one manual (setup, after registering it); false leaves it not indexed.
    bool indexManual(const ManualSource& manual);
    // Removes a manual's rows (the manager's delete).
    bool removeManual(const QString& pubNo);
    // The installed manuals whose rows are missing or from another installation.
    std::vector<ManualSource> outdated(const std::vector<ManualSource>& installed);
    // Removes the rows of manuals no longer installed and indexes the outdated ones; the number of
    // manuals that could not be indexed.
    int update(const std::vector<ManualSource>& installed, const Progress& progress = {});
    // update, then the best pages for the words; empty optional when the index cannot be used. An index
    // this user may not change is searched as it is (readOnly() tells), without the manuals that are
    // no longer installed.
    std::optional<std::vector<SearchHit>> search(const std::vector<ManualSource>& installed,
                                                 const QString& words, const QueryOptions& options = {},
                                                 const Progress& progress = {});

    // True when the last search found the index read-only: manuals could not be brought up to date.
    bool readOnly() const { return m_index.readOnly(); }

    SearchIndex& index() { return m_index; }
    // Called every few pages while a manual is read, so that a window keeps painting.
    void setPagePump(std::function<void()> pump) { m_pump = std::move(pump); }

private:
    bool ready();
    bool rebuild();
    void granted(SearchIndex::OpenResult result);
    bool indexOne(const ManualSource& manual);

    const platform::Platform& m_os;
    QString m_file; // the Windows path
    SearchIndex m_index;
    std::function<void()> m_pump;
};

} // namespace marvek::search
