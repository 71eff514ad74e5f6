#include "shared/catalogue/CarInfo.h"

#include "shared/config/IniFiles.h"

#include <array>

namespace marvek::shared {

namespace {

struct CheckedField {
    Column column;
    const char* label;
    QString ManualEntry::*value;
};

// The check order, each field with its limit and the label of its error line.
constexpr std::array<CheckedField, ColumnCount> CheckedFields = {{
    {Column::Pub_No, "Pub_No length = ", &ManualEntry::Pub_No},
    {Column::Model_desc, "Model_desc length = ", &ManualEntry::Model_desc},
    {Column::Model_ID, "Model_ID length = ", &ManualEntry::Model_ID},
    {Column::Version, "Version length = ", &ManualEntry::Version},
    {Column::Year, "Year length = ", &ManualEntry::Year},
    {Column::Kubun, "Kubun length = ", &ManualEntry::Kubun},
    {Column::Country, "Country length = ", &ManualEntry::Country},
    {Column::Lang, "Lang length = ", &ManualEntry::Lang},
    {Column::Ldup, "Ldup length = ", &ManualEntry::Ldup},
}};

} // namespace

void ReadCarInfo(const SharedContext& ctx, const QString& folder, ManualEntry& entry) {
    const QString file = ctx.SourceRoot + folder + QLatin1Char('\\') + QLatin1String(CarInfoFileName);
    const QString section = QLatin1String(CarInfoSection);
    const auto read = [&](const char* key) {
        return ReadIniValue(ctx, file, section, QLatin1String(key));
    };
    entry.Pub_No = read("Pub_No");
    entry.Version = read("Version");
    entry.Model_desc = read("Model_desc");
    entry.Model_ID = read("Model_ID");
    entry.Lang = read("Lang");
    entry.Ldup = read("Ldup");
    entry.Year = read("Year");
    entry.Kubun = read("Kubun");
    entry.Country = read("Country");
}

bool CheckColumnLength(const QString& value, int limit, bool allowEmpty) {
    const qsizetype length = TrimBlanks(value).size();
    if (!allowEmpty && length == 0)
        return false;
    return length <= limit;
}

bool ValidateCatalogueEntry(const ManualEntry& entry, const SystemParameters& parameters, QString& ErrorLine1,
                            QString& ErrorLine2) {
    for (const CheckedField& field : CheckedFields) {
        const QString& value = entry.*field.value;
        const bool allowEmpty = field.column == Column::Kubun;
        if (CheckColumnLength(value, parameters.columnLength(field.column), allowEmpty))
            continue;
        ErrorLine1 = QLatin1String(CatalogueErrorLine1);
        ErrorLine2 = QStringLiteral("PubNo = ") + entry.Pub_No + QStringLiteral(" [ ") +
                     QLatin1String(field.label) + QString::number(value.size()) + QStringLiteral(" ]");
        return false;
    }
    return true;
}

} // namespace marvek::shared
