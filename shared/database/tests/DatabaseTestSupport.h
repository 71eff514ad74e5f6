#pragma once

#include "shared/database/SqliteHandles.h"
#include "shared/testing/SharedTestContext.h"

#include <QFile>
#include <QString>
#include <ostream>

// Readable failure output for texts.
[[maybe_unused]] static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace marvek::testing {

// The CD's schema file, from which every test database is made.
inline QByteArray SchemaSql() {
    QFile file(QStringLiteral(MARVEK_SCHEMA_SQL));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs SQL on a database file directly (creating the file), outside the suite's access class.
inline bool RunSqlOnFile(const QString& hostPath, const QByteArray& sql) {
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(hostPath).constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const shared::SqliteDatabase db(raw);
    return opened == SQLITE_OK && sqlite3_exec(raw, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A database made from the schema at a host path, with optional rows.
inline bool MakeSchemaDatabase(const QString& hostPath, const QByteArray& rows = {}) {
    const QByteArray schema = SchemaSql();
    return !schema.isEmpty() && RunSqlOnFile(hostPath, schema + '\n' + rows);
}

// A machine whose user locale is Japanese (0x0411) or English (0x0409).
inline void SetUserLocale(const TempMachine& temp, quint16 langId) {
    QFile ini(temp.machine().machineIniFile());
    if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ini.write("[Locale]\nUserDefaultLangID=" + QByteArray::number(langId, 16).rightJustified(4, '0') +
                  "\nSystemDefaultLangID=" + QByteArray::number(langId, 16).rightJustified(4, '0') + "\n");
}

} // namespace marvek::testing
