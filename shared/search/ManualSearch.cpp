#include "shared/search/ManualSearch.h"

#include "shared/access/AccessControl.h"
#include "shared/config/RegistryKeys.h"
#include "shared/helpers/ShellHelpers.h"
#include "shared/search/ManualPages.h"

#include <QHash>
#include <QSet>

namespace marvek::search {

QString SearchIndexPath(const QString& databasePath) {
    const qsizetype slash = databasePath.lastIndexOf(QLatin1Char('\\'));
    const QString folder = slash < 0 ? QString() : databasePath.left(slash + 1);
    return folder + QLatin1String(SearchIndexFileName);
}

QString InstalledDatabasePath(const shared::SharedContext& ctx) {
    QString folder =
        shared::RegReadString(ctx, platform::HKEY_LOCAL_MACHINE, QLatin1String(shared::ManualLinkKey),
                              QLatin1String(shared::InstallDirValue));
    while (folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("\\ManualLink.mdb");
}

std::optional<std::vector<ManualSource>> ReadInstalledManuals(const shared::SharedContext& ctx,
                                                              const QString& databasePath) {
    if (databasePath.isEmpty() || !ctx.os.files().fileExists(databasePath))
        return std::nullopt;
    shared::ManualDatabase db(ctx);
    if (!db.Database.Pcls_MdbOpen(databasePath))
        return std::nullopt;
    return ReadInstalledManuals(db);
}

ManualSource SourceOf(const shared::ManualRecord& record) {
    ManualSource source;
    source.Pub_No = record.Pub_No;
    source.Model_desc = record.Model_desc;
    source.Version = record.Version;
    QString path = record.InsPath;
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    source.InsPath = path;
    source.InsDate = record.InsDate.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    source.pdf = record.Pdf_flg == QLatin1String("1");
    return source;
}

std::vector<ManualSource> ReadInstalledManuals(shared::ManualDatabase& db) {
    std::vector<ManualSource> manuals;
    for (qint16 row = db.OpenManualList(); row == 0; row = db.NextManualListRow())
        manuals.push_back(SourceOf(db.CurrentManual));
    return manuals;
}

ManualSearch::ManualSearch(const platform::Platform& os, const QString& databasePath)
    : m_os(os), m_file(SearchIndexPath(databasePath)), m_index(os.machine().toHost(m_file)) {
}

// A file made here gets the access the database has: whichever user's program made it, the others'
// programs bring it up to date.
void ManualSearch::granted(SearchIndex::OpenResult result) {
    if (result == SearchIndex::OpenResult::Created)
        shared::GrantUsersFullAccessQuietly(m_os, m_file);
}

bool ManualSearch::ready() {
    // An index found read-only is opened again: its access may have changed since.
    if (m_index.isOpen() && m_index.readOnly())
        m_index.close();
    if (m_index.isOpen())
        return true;
    if (m_index.file().isEmpty())
        return false;
    const SearchIndex::OpenResult result = m_index.open();
    granted(result);
    return result != SearchIndex::OpenResult::Failed;
}

bool ManualSearch::rebuild() {
    if (!m_index.rebuild())
        return false;
    granted(SearchIndex::OpenResult::Created);
    return true;
}

bool ManualSearch::indexOne(const ManualSource& manual) {
    const int codePage = m_os.machineInfo().ansiCodePage();
    const auto pages = [&](const PageSink& sink) {
        int read = 0;
        return ReadManualPages(m_os.machine(), manual, codePage, [&](const PageText& page) {
            if (m_pump && ++read % 32 == 0)
                m_pump();
            return sink(page);
        });
    };
    if (m_index.indexManual(manual, pages))
        return true;
    if (m_index.damaged() && rebuild())
        return m_index.indexManual(manual, pages);
    return false;
}

bool ManualSearch::indexManual(const ManualSource& manual) {
    return ready() && indexOne(manual);
}

bool ManualSearch::removeManual(const QString& pubNo) {
    if (!ready())
        return false;
    if (m_index.removeManual(pubNo))
        return true;
    return m_index.damaged() && rebuild(); // a new index holds no rows of it
}

std::vector<ManualSource> ManualSearch::outdated(const std::vector<ManualSource>& installed) {
    std::vector<ManualSource> stale;
    if (!ready())
        return stale;
    auto indexed = m_index.indexedManuals();
    if (!indexed && m_index.damaged() && rebuild())
        indexed = m_index.indexedManuals();
    QHash<QString, QString> stamps;
    for (const auto& [pubNo, stamp] : indexed.value_or(std::vector<std::pair<QString, QString>>{}))
        stamps.insert(pubNo, stamp);
    for (const ManualSource& manual : installed)
        if (stamps.value(manual.Pub_No) != manual.stamp() || !stamps.contains(manual.Pub_No))
            stale.push_back(manual);
    return stale;
}

int ManualSearch::update(const std::vector<ManualSource>& installed, const Progress& progress) {
    if (!ready())
        return int(installed.size());
    if (m_index.readOnly())
        return int(outdated(installed).size());
    QSet<QString> current;
    for (const ManualSource& manual : installed)
        current.insert(manual.Pub_No);
    if (const auto indexed = m_index.indexedManuals())
        for (const auto& entry : *indexed)
            if (!current.contains(entry.first))
                removeManual(entry.first);

    const std::vector<ManualSource> stale = outdated(installed);
    int failed = 0;
    const int total = int(stale.size());
    for (int i = 0; i < total && !m_index.readOnly(); ++i) {
        if (progress)
            progress(i, total, stale[size_t(i)].Pub_No);
        if (!indexOne(stale[size_t(i)]))
            ++failed;
    }
    if (progress && total > 0)
        progress(total, total, QString());
    return failed;
}

std::optional<std::vector<SearchHit>> ManualSearch::search(const std::vector<ManualSource>& installed,
                                                           const QString& words, const QueryOptions& options,
                                                           const Progress& progress) {
    if (!ready())
        return std::nullopt;
    update(installed, progress);
    const QString expression = BuildMatchExpression(words, options.lastWordIsPrefix);
    auto hits = m_index.search(expression, options.limit);
    if (!hits && m_index.damaged() && rebuild()) {
        update(installed, progress);
        hits = m_index.search(expression, options.limit);
    }
    if (hits && m_index.readOnly()) {
        // The rows of removed manuals could not go: their pages are not offered. A manual installed
        // again elsewhere is opened where it is now.
        QHash<QString, QString> current;
        for (const ManualSource& manual : installed)
            current.insert(manual.Pub_No, manual.InsPath);
        std::erase_if(*hits, [&](const SearchHit& hit) { return !current.contains(hit.pubNo); });
        for (SearchHit& hit : *hits)
            hit.insPath = current.value(hit.pubNo);
    }
    return hits;
}

} // namespace marvek::search
