#include "shared/config/SysParameters.h"

#include "shared/config/IniFiles.h"

#include <limits>
#include <optional>

namespace marvek::shared {

namespace {

// The integer value of a key's text when it lies within [low, high].
std::optional<qint64> toInteger(const QString& text, qint64 low, qint64 high) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        const bool sign = i == 0 && (c == QLatin1Char('+') || c == QLatin1Char('-'));
        if (!sign && !(c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok, 10);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

bool readShort(const IniFile& file, const char* section, const char* key, qint16& field) {
    const auto value = toInteger(file.text(QLatin1String(section), QLatin1String(key)),
                                 std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max());
    if (!value)
        return false;
    field = static_cast<qint16>(*value);
    return true;
}

bool readLong(const IniFile& file, const char* section, const char* key, qint32& field) {
    const auto value = toInteger(file.text(QLatin1String(section), QLatin1String(key)),
                                 std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    if (!value)
        return false;
    field = static_cast<qint32>(*value);
    return true;
}

void readText(const IniFile& file, const char* section, const char* key, QString& field) {
    field = file.text(QLatin1String(section), QLatin1String(key));
}

// The keys of "MDB COLUMN LENGTH", in the order of SystemParameters::ColumnLengths.
constexpr const char* ColumnKeys[ColumnCount] = {"Pub_No", "Model_desc", "Model_ID", "Version", "Year",
                                                 "Kubun",  "Country",    "Lang",     "Ldup"};

} // namespace

bool LoadSysParameters(SharedContext& ctx) {
    SystemParameters& p = ctx.systemParameters;
    const IniFile file(ctx, ctx.SysParameterPath);
    const char* info = SystemInformationSection;
    if (!readShort(file, info, "LCID_Flg", p.LCID_Flg) ||
        !readShort(file, info, "ShortcutIcon", p.ShortcutIcon))
        return false;
    readText(file, info, "DTX3_EXE_NAME", p.DTX3_EXE_NAME);
    readText(file, info, "DTX3_MDB_NAME", p.DTX3_MDB_NAME);
    readText(file, info, "MCP_EXE_NAME", p.MCP_EXE_NAME);
    if (!readLong(file, info, "ZIP_ExtractTime", p.ZIP_ExtractTime))
        return false;
    readText(file, info, "DTX3_NEW_MDB_NAME", p.DTX3_NEW_MDB_NAME);
    for (int i = 0; i < ColumnCount; ++i) {
        if (!readShort(file, ColumnLengthSection, ColumnKeys[i], p.ColumnLengths[static_cast<size_t>(i)]))
            return false;
    }
    return true;
}

} // namespace marvek::shared
