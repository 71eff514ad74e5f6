#include "search_tool/SearchCommand.h"

#include "shared/Context.h"
#include "shared/search/ManualSearch.h"
#include "shared/search/SearchTexts.h"

namespace marvek::searchtool {

namespace {

const char* const UsageText =
    "Usage: marvek-search search [--limit N] <words...>\n"
    "Searches the text of every manual installed on this machine (MARVEK_ROOT) and prints one line\n"
    "per page found, best first: publication number, page path inside the manual, title (tab-separated).\n"
    "Words are all required; \"a phrase\" in quotes, word* by prefix; codes (P0A80) match by prefix.\n"
    "Manuals not indexed yet are indexed first.\n"
    "Exit codes: 0 found, 1 nothing found, 2 wrong command line, 3 no manual database or index.\n";

} // namespace

int RunSearchCommand(platform::Platform& os, const QStringList& arguments, QTextStream& out,
                     QTextStream& err) {
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        out << UsageText;
        return 0;
    }
    if (arguments.isEmpty() || arguments.first() != QLatin1String("search")) {
        err << UsageText;
        return Usage;
    }
    int limit = 50;
    QStringList words;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--limit")) {
            bool ok = false;
            limit = i + 1 < arguments.size() ? arguments.at(i + 1).toInt(&ok) : 0;
            if (!ok || limit < 1 || limit > 10000) {
                err << UsageText;
                return Usage;
            }
            ++i;
        } else {
            words.append(arguments.at(i));
        }
    }
    if (words.join(QString()).trimmed().isEmpty()) {
        err << UsageText;
        return Usage;
    }

    shared::SharedContext ctx(os, QStringLiteral("marvek-search"));
    const QString databasePath = search::InstalledDatabasePath(ctx);
    const auto installed = search::ReadInstalledManuals(ctx, databasePath);
    if (!installed) {
        err << "marvek-search: no installed-manual database"
            << (databasePath.isEmpty() ? QString() : QStringLiteral(" at ") + databasePath) << "\n";
        return NoIndex;
    }
    search::ManualSearch manuals(os, databasePath);
    search::QueryOptions options;
    options.limit = limit;
    // Words given one per argument keep their quotes as phrases.
    QStringList quoted;
    for (const QString& word : words)
        quoted.append(word.contains(QLatin1Char(' ')) ? QLatin1Char('"') + word + QLatin1Char('"') : word);
    const auto hits = manuals.search(*installed, quoted.join(QLatin1Char(' ')), options,
                                     [&err](int done, int total, const QString& pubNo) {
                                         if (done < total)
                                             err << "indexing " << pubNo << " (" << done + 1 << "/" << total
                                                 << ")\n";
                                         err.flush();
                                     });
    if (!hits) {
        err << "marvek-search: the search index " << search::SearchIndexPath(databasePath)
            << " cannot be used\n";
        return NoIndex;
    }
    if (manuals.readOnly())
        err << "marvek-search: the search index " << search::SearchIndexPath(databasePath)
            << " cannot be updated (no write access): searching the pages indexed so far\n";
    for (const search::SearchHit& hit : *hits)
        out << search::HitLine(hit) << "\n";
    return hits->empty() ? NotFound : Found;
}

} // namespace marvek::searchtool
