#pragma once

#include "platform/testing/BuildPath.h"
#include "platform/testing/TempMachine.h"
#include "shared/database/SqliteHandles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace marvek::testing {

// A database made at a Windows path from a schema file (the CD's: MARVEK_SCHEMA_SQL), then the given
// statements, outside the suite's access class. False when anything fails.
inline bool MakeDatabase(const TempMachine& temp, const QString& path, const QString& schemaFile,
                         const QByteArray& rows = {}) {
    QFile schema(schemaFile);
    const QString host = temp.host(path);
    if (!schema.open(QIODevice::ReadOnly) || !QDir().mkpath(host.left(host.lastIndexOf(u'/'))))
        return false;
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(host).constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const shared::SqliteDatabase db(raw);
    const QByteArray sql = schema.readAll() + '\n' + rows;
    return opened == SQLITE_OK && sqlite3_exec(raw, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// MakeDatabase from the CD's schema file (the program's build path MARVEK_SCHEMA_SQL).
inline bool MakeSchemaDatabase(const TempMachine& temp, const QString& path, const QByteArray& rows = {}) {
    return MakeDatabase(temp, path, BuildPath("MARVEK_SCHEMA_SQL"), rows);
}

} // namespace marvek::testing
