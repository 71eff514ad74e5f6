#pragma once

#include "manager/app/ManagerContext.h"
#include "shared/search/ManualSearch.h"

#include <optional>
#include <vector>

namespace marvek::manager {

// Search across the installed manuals from the manager: the index beside its database, brought up to
// date with the database's manuals before each search.
class ManagerSearch {
public:
    explicit ManagerSearch(ManagerContext& ctx);

    // The best pages for the words (the last one may be unfinished); empty optional when the index
    // cannot be used. progress reports manuals being indexed first.
    std::optional<std::vector<search::SearchHit>> find(const QString& words,
                                                       const search::ManualSearch::Progress& progress = {});
    // True when the last search could not bring the index up to date (no write access to it).
    bool readOnly() const { return m_search.readOnly(); }
    // After a delete job: the manual's rows leave the index.
    void forget(const QString& pubNo);

private:
    ManagerContext& m_ctx;
    search::ManualSearch m_search;
};

// Opens a hit's page the way the manager opens manuals: an HTML page in Pagora through its command
// line (or the system web browser), a PDF manual through the shell's "Open" verb. A page that is gone
// is reported with the manual's not-found message (M050, M081). True when the page went out.
bool OpenSearchHit(ManagerContext& ctx, const search::SearchHit& hit);

} // namespace marvek::manager
