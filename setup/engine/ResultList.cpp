#include "setup/engine/ResultList.h"

#include "setup/engine/DatabaseUpgrade.h"
#include "shared/config/Messages.h"
#include "shared/helpers/ProcessHelpers.h"

#include <algorithm>

namespace marvek::setup {

namespace {

// A whole number with at least `width` digits, the sign before them ("-0005").
QString digits(qint64 value, int width) {
    const QString text = QString::number(value < 0 ? -value : value).rightJustified(width, QLatin1Char('0'));
    return value < 0 ? QLatin1Char('-') + text : text;
}

// The year as a whole number; a year that is not one counts as 0.
qint64 yearNumber(const QString& year) {
    bool ok = false;
    const int value = year.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

ResultRow ResultHeaders(const shared::SharedContext& ctx) {
    return {shared::CatalogueMessage(ctx, 35), shared::CatalogueMessage(ctx, 37),
            shared::CatalogueMessage(ctx, 38), shared::CatalogueMessage(ctx, 68),
            shared::CatalogueMessage(ctx, 69), shared::CatalogueMessage(ctx, 55)};
}

QString ResultSortKey(const shared::ManualEntry& entry, int index, int count) {
    const int indexWidth = std::max(2, static_cast<int>(QString::number(count).size()));
    return digits(entry.OrderNo, 2) + digits(yearNumber(entry.Year), 4) + entry.Kubun +
           digits(index, indexWidth);
}

std::vector<int> ResultOrder(const shared::ManualTable& table) {
    const int count = table.count();
    std::vector<std::pair<QString, int>> keys;
    keys.reserve(static_cast<size_t>(count));
    for (int index = 1; index <= count; ++index)
        keys.emplace_back(ResultSortKey(table.entry(index), index, count), index);
    // The index ends every key, so no two keys are equal; the stable sort keeps table order anyway.
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return QString::compare(a.first, b.first) < 0; });
    std::vector<int> order;
    order.reserve(keys.size());
    for (const auto& key : keys)
        order.push_back(key.second);
    return order;
}

QString ResultStatusText(const shared::SharedContext& ctx, const QString& status) {
    if (status == QLatin1String("1"))
        return shared::CatalogueMessage(ctx, 52);
    if (status == QLatin1String("2"))
        return shared::CatalogueMessage(ctx, 53);
    if (status == QLatin1String("3"))
        return shared::CatalogueMessage(ctx, 54);
    if (status == QLatin1String("9"))
        return QString::fromUtf8(NotImportedText);
    return QString();
}

std::vector<ResultRow> ResultRows(const SetupContext& ctx) {
    const bool japanese = ctx.shared.LanguageCode == QLatin1String("11");
    std::vector<ResultRow> rows;
    for (const int index : ResultOrder(ctx.ManualTable)) {
        const shared::ManualEntry& entry = ctx.ManualTable.entry(index);
        if (entry.Done != QLatin1String("1"))
            continue;
        rows.push_back({entry.Model_desc, japanese ? entry.Kubun : entry.Year, entry.Lang, entry.Pub_No,
                        entry.Version, ResultStatusText(ctx.shared, entry.Status)});
    }
    return rows;
}

std::array<QString, 2> ResultMessageLines(const SetupContext& ctx) {
    if (!ctx.ErrorLine1.isEmpty() || !ctx.ErrorLine2.isEmpty())
        return {ctx.ErrorLine1, ctx.ErrorLine2};
    return {shared::CatalogueMessage(ctx.shared, 64), shared::CatalogueMessage(ctx.shared, 65)};
}

ResultNext FinishResult(SetupContext& ctx) {
    if (!ctx.InstallSucceeded && !ctx.CancelRequested)
        return ResultNext::EndProgram;
    shared::RunCleanupBatch(ctx.shared, ctx.UnzipTempDir, shared::BatchQuoting::FolderOnly);
    RepairInstalledManuals(ctx);
    return ResultNext::ShowClosingScreen;
}

} // namespace marvek::setup
