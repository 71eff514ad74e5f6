#pragma once

#include "shared/database/SqliteHandles.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace marvek::testing {

inline const QString DatabasePath = QStringLiteral("C:\\Link\\DTX3.mdb");

// A database made at a Windows path from the CD's schema file, with optional rows, outside the suite's
// access class.
inline bool MakeSchemaDatabase(const TempMachine& temp, const QString& path, const QByteArray& rows = {}) {
    QFile schema(QStringLiteral(MARVEK_SCHEMA_SQL));
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

} // namespace marvek::testing
