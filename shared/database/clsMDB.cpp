#include "shared/database/clsMDB.h"

#include "shared/database/JetProvider.h"

#include <QDateTime>
#include <optional>
#include <string>
#include <string_view>

namespace marvek::shared {

namespace {

bool isDateType(const char* declaredType) {
    const QByteArray type = QByteArray(declaredType).toUpper();
    return type == "DATETIME" || type == "DATE";
}

// A statement may end in one ";", as the original engine allows; anything after it is refused, so a
// text never runs more than the one statement it was built as.
bool onlyEndOfStatement(const char* tail, const char* end) {
    QByteArray rest = QByteArray(tail, end - tail).trimmed();
    if (rest.startsWith(';'))
        rest = rest.mid(1).trimmed();
    return rest.isEmpty();
}

// The index of a column name (any case) in a result's columns; -1 when there is none.
int columnIndex(const QStringList& columns, const QString& name) {
    for (qsizetype column = 0; column < columns.size(); ++column) {
        if (columns.at(column).compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(column);
    }
    return -1;
}

QVariant columnValue(sqlite3_stmt* statement, int column, bool isDate) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                                   sqlite3_column_bytes(statement, column)));
    default:
        break;
    }
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                          sqlite3_column_bytes(statement, column));
    if (isDate) {
        const QDateTime date = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (date.isValid())
            return QVariant(date);
    }
    return QVariant(text);
}

} // namespace

clsMDB::clsMDB(const platform::Machine& machine) : m_machine(machine) {
}

clsMDB::~clsMDB() {
    Release();
}

bool clsMDB::Pcls_MdbOpen(const QString& pmMdbPath) {
    return open(pmMdbPath, JetAccess::ReadWrite);
}

bool clsMDB::Pcls_MdbOpenReadOnly(const QString& pmMdbPath) {
    return open(pmMdbPath, JetAccess::ReadOnly);
}

bool clsMDB::open(const QString& path, JetAccess access) {
    Release();
    m_lastError.clear();
    m_connection =
        JetConnection::open(JetConnectionString(path), m_machine, m_busyTimeoutMs, &m_lastError, access);
    return m_connection != nullptr;
}

qint16 clsMDB::Pcls_MdbExecute(const QString& SQLValue) {
    return run(SQLValue, nullptr) ? 0 : -1;
}

bool clsMDB::ReadTogether(const std::function<bool()>& reads) {
    const ReadScope scope(*this);
    return scope.ok() && reads();
}

clsMDB::ReadScope::ReadScope(clsMDB& db) : m_db(db) {
    if (!db.m_connection) {
        db.m_lastError = QStringLiteral("The connection is not open.");
        return;
    }
    if (!sqlite3_get_autocommit(db.m_connection->handle())) {
        m_ok = true; // the caller's transaction
        return;
    }
    m_ok = m_began = db.run(QStringLiteral("BEGIN"), nullptr);
}

clsMDB::ReadScope::~ReadScope() {
    // Ends the read transaction whatever happened; a failed end leaves the reads' result as it is, as
    // nothing was written.
    if (m_began && m_db.m_connection && !sqlite3_get_autocommit(m_db.m_connection->handle()))
        sqlite3_exec(m_db.m_connection->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

qint16 clsMDB::Pcls_MdbCreate(int DyaIdxValue, const QString& SQLValue, int /*OptValue*/) {
    if (!validSlot(DyaIdxValue)) {
        m_lastError = QStringLiteral("There is no recordset slot %1.").arg(DyaIdxValue);
        return -1;
    }
    m_slots[DyaIdxValue].reset();
    auto recordset = std::make_unique<Recordset>();
    const bool read = run(SQLValue, [&recordset](const QueryRow& row) {
        if (recordset->columns.isEmpty())
            recordset->columns = row.m_columns;
        for (int column = 0; column < row.m_columns.size(); ++column)
            recordset->values.push_back(row.value(column));
        ++recordset->rowCount;
    });
    if (!read)
        return -1;
    const bool hasRows = recordset->rowCount > 0;
    m_slots[DyaIdxValue] = std::move(recordset);
    return hasRows ? 0 : 1;
}

qint16 clsMDB::Pcls_MdbMoveNext(int DyaIdxValue) {
    if (!validSlot(DyaIdxValue) || !m_slots[DyaIdxValue])
        return -1;
    Recordset& recordset = *m_slots[DyaIdxValue];
    if (recordset.position >= recordset.rowCount)
        return -1;
    ++recordset.position;
    return recordset.position < recordset.rowCount ? 0 : 1;
}

QVariant clsMDB::Pcls_MdbGetField(int DyaIdxValue, const QString& ClmValue, const QVariant& DefValue) const {
    if (!validSlot(DyaIdxValue) || !m_slots[DyaIdxValue])
        return QVariant();
    const Recordset& recordset = *m_slots[DyaIdxValue];
    const int column = columnIndex(recordset.columns, ClmValue);
    if (recordset.position >= recordset.rowCount || column < 0)
        return QVariant();
    const QVariant& value =
        recordset.values[recordset.position * static_cast<size_t>(recordset.columns.size()) +
                         static_cast<size_t>(column)];
    return value.isValid() ? value : DefValue;
}

bool clsMDB::Pcls_MdbBeginTrans() {
    return run(QStringLiteral("BEGIN IMMEDIATE"), nullptr);
}

bool clsMDB::Pcls_MdbCommitTrans() {
    return run(QStringLiteral("COMMIT"), nullptr);
}

bool clsMDB::Pcls_MdbRollback() {
    return run(QStringLiteral("ROLLBACK"), nullptr);
}

void clsMDB::Release() {
    for (auto& slot : m_slots)
        slot.reset();
    m_connection.reset();
}

bool clsMDB::ReadRows(const QString& sql, const std::function<void(const QueryRow&)>& visit) {
    return run(
        sql, visit ? visit : [](const QueryRow&) {});
}

SqliteStatement clsMDB::prepare(const QString& sql) {
    if (!m_connection) {
        m_lastError = QStringLiteral("The connection is not open.");
        return nullptr;
    }
    sqlite3* db = m_connection->handle();
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    sqlite3_stmt* raw = nullptr;
    const int prepared = sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &raw, &tail);
    SqliteStatement statement(raw);
    if (prepared != SQLITE_OK) {
        m_lastError = QString::fromUtf8(sqlite3_errmsg(db));
        return nullptr;
    }
    if (!statement) {
        m_lastError = QStringLiteral("The statement is empty.");
        return nullptr;
    }
    if (!onlyEndOfStatement(tail, text.constData() + text.size())) {
        m_lastError = QStringLiteral("Characters found after end of SQL statement.");
        return nullptr;
    }
    return statement;
}

bool clsMDB::run(const QString& sql, const std::function<void(const QueryRow&)>& visit) {
    std::optional<RowCursor> cursor = OpenCursor(sql);
    if (!cursor)
        return false;
    while (cursor->next()) {
        if (visit)
            visit(cursor->row());
    }
    return !cursor->failed();
}

std::optional<clsMDB::RowCursor> clsMDB::OpenCursor(const QString& sql) {
    SqliteStatement statement = prepare(sql);
    if (!statement)
        return std::nullopt;
    QueryRow row(statement.get());
    return RowCursor(*this, std::move(statement), std::move(row));
}

clsMDB::RowCursor::RowCursor(clsMDB& db, SqliteStatement statement, QueryRow row)
    : m_db(&db), m_statement(std::move(statement)), m_row(std::move(row)) {
}

bool clsMDB::RowCursor::next() {
    if (m_failed || !m_statement)
        return false;
    const int stepped = sqlite3_step(m_statement.get());
    if (stepped == SQLITE_ROW)
        return true;
    if (stepped != SQLITE_DONE) {
        m_failed = true;
        m_db->m_lastError = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_statement.get())));
    }
    // Past the last row the statement is done with: its read ends here, not when the cursor goes.
    m_statement.reset();
    return false;
}

QueryRow::QueryRow(sqlite3_stmt* statement) : m_statement(statement) {
    const int count = sqlite3_column_count(statement);
    const auto size = static_cast<size_t>(count);
    m_dateColumns.resize(size);
    for (int column = 0; column < count; ++column) {
        m_columns.append(QString::fromUtf8(sqlite3_column_name(statement, column)));
        m_dateColumns[static_cast<size_t>(column)] = isDateType(sqlite3_column_decltype(statement, column));
    }
    m_lastUtf8.resize(size);
    m_lastText.resize(size);
    m_hasLast.resize(size);
    m_converted.resize(size);
}

int QueryRow::column(const QString& name) const {
    return columnIndex(m_columns, name);
}

bool QueryRow::isSharedText(int column) const {
    const auto c = static_cast<size_t>(column);
    if (sqlite3_column_type(m_statement, column) != SQLITE_TEXT || m_dateColumns[c])
        return false;
    const std::string_view utf8(reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
                                static_cast<size_t>(sqlite3_column_bytes(m_statement, column)));
    if (!m_hasLast[c] || m_lastUtf8[c] != utf8) {
        m_lastUtf8[c] = utf8;
        m_lastText[c] = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        m_hasLast[c] = true;
    }
    return true;
}

QVariant QueryRow::value(int column) const {
    if (column < 0 || column >= m_columns.size())
        return QVariant();
    if (isSharedText(column))
        return QVariant(m_lastText[static_cast<size_t>(column)]);
    return columnValue(m_statement, column, m_dateColumns[static_cast<size_t>(column)]);
}

std::string_view QueryRow::utf8(int column) const {
    if (column < 0 || column >= m_columns.size())
        return {};
    const auto c = static_cast<size_t>(column);
    if (sqlite3_column_type(m_statement, column) == SQLITE_TEXT && !m_dateColumns[c])
        return std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
                                static_cast<size_t>(sqlite3_column_bytes(m_statement, column)));
    m_converted[c] = value(column).toString().toStdString();
    return m_converted[c];
}

SqlValue QueryRow::stored(int column) const {
    SqlValue stored;
    if (column < 0 || column >= m_columns.size())
        return stored;
    // One call into the statement; the value's own accessors neither lock nor convert.
    sqlite3_value* value = sqlite3_column_value(m_statement, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        stored.kind = SqlValue::Kind::Integer;
        stored.integer = sqlite3_value_int64(value);
        break;
    case SQLITE_FLOAT:
        stored.kind = SqlValue::Kind::Real;
        stored.real = sqlite3_value_double(value);
        break;
    case SQLITE_TEXT:
        stored.kind = SqlValue::Kind::Text;
        stored.bytes = std::string_view(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                        static_cast<size_t>(sqlite3_value_bytes(value)));
        break;
    case SQLITE_BLOB:
        stored.kind = SqlValue::Kind::Blob;
        stored.bytes = std::string_view(static_cast<const char*>(sqlite3_value_blob(value)),
                                        static_cast<size_t>(sqlite3_value_bytes(value)));
        break;
    default:
        break;
    }
    return stored;
}

QString QueryRow::text(int column) const {
    if (column >= 0 && column < m_columns.size() && isSharedText(column))
        return m_lastText[static_cast<size_t>(column)];
    return value(column).toString();
}

} // namespace marvek::shared
