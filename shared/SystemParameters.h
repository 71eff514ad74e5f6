#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

namespace marvek::shared {

// Index of each limit in SystemParameters::ColumnLengths, in the file's order.
enum class Column { Pub_No, Model_desc, Model_ID, Version, Year, Kubun, Country, Lang, Ldup };
inline constexpr int ColumnCount = 9;

// The record of SysParameter.ini, in the order of its keys.
struct SystemParameters {
    qint16 LCID_Flg = 0;
    qint16 ShortcutIcon = 0;
    QString DTX3_EXE_NAME;
    QString DTX3_MDB_NAME;
    QString MCP_EXE_NAME;
    qint32 ZIP_ExtractTime = 0;
    QString DTX3_NEW_MDB_NAME;
    std::array<qint16, ColumnCount> ColumnLengths{};

    qint16 columnLength(Column c) const { return ColumnLengths[static_cast<int>(c)]; }
};

} // namespace marvek::shared
