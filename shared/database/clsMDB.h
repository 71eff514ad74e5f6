#pragma once

#include "platform/Machine.h"
#include "shared/database/SqlValue.h"
#include "shared/database/SqliteHandles.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marvek::shared {

class JetConnection;
enum class JetAccess;

// The row a query is on, while clsMDB::ReadRows hands it over: its values are read from the engine as
// they are asked for, converted as a recordset converts them. A text equal to the last one read from
// the same column shares that text (lists repeat their model, year and language row after row).
class QueryRow {
public:
    // The index of a column (any case), -1 when the query has no such column.
    int column(const QString& name) const;
    // The value; an empty variant for NULL or a column out of range.
    QVariant value(int column) const;
    // The value as a text (value(column).toString()), without going through a variant for texts.
    QString text(int column) const;
    // The same text in UTF-8, valid until the next row or the next call for the column: a text column
    // as the engine holds it, without a conversion.
    std::string_view utf8(int column) const;
    // The value as the engine stores it, without a conversion (the bytes valid until the next row).
    SqlValue stored(int column) const;

private:
    friend class clsMDB;
    explicit QueryRow(sqlite3_stmt* statement);
    bool isSharedText(int column) const;

    sqlite3_stmt* m_statement;
    QStringList m_columns;
    std::vector<bool> m_dateColumns;
    // The last text read from each column, as the engine gave it and converted.
    mutable std::vector<std::string> m_lastUtf8;
    mutable std::vector<QString> m_lastText;
    mutable std::vector<bool> m_hasLast;
    mutable std::vector<std::string> m_converted; // utf8() of the values that are not texts
};

// The access class of the installed-manual database: one connection and eleven recordset slots
// (0..10). Every engine error is caught and reported only through the method's result.
//
// A query keeps all its rows in the slot it names (the manual databases are small), so walking
// one slot while querying another is safe, and no read transaction stays open between calls.
// One thread at a time may use an object (the connection has no lock of its own): another thread may
// take it over only after the first is done with it.
class clsMDB {
public:
    static constexpr int SlotCount = 11;
    static constexpr int DefaultBusyTimeoutMs = 5000;

    explicit clsMDB(const platform::Machine& machine);
    ~clsMDB();
    clsMDB(const clsMDB&) = delete;
    clsMDB& operator=(const clsMDB&) = delete;

    // Opens the database through the connection string "Provider=Microsoft.Jet.OLEDB.4.0;Data Source="
    // + path. True when open; any earlier connection of this object is released first.
    bool Pcls_MdbOpen(const QString& pmMdbPath);
    // Pcls_MdbOpen for reading only: every statement that would change the file fails, and nothing is
    // written to the file or beside it (the CD's template, also on a writable copy of the CD).
    bool Pcls_MdbOpenReadOnly(const QString& pmMdbPath);
    // Runs a statement that returns no rows: 0 success, -1 error.
    qint16 Pcls_MdbExecute(const QString& SQLValue);
    // Runs a query into a slot: 0 positioned on the first row, 1 no rows, -1 error. OptValue is ignored.
    qint16 Pcls_MdbCreate(int DyaIdxValue, const QString& SQLValue, int OptValue);
    // -1 when the slot is already past its last row (or holds no result); else advances and gives
    // 0 on a row, 1 when it has just passed the last row.
    qint16 Pcls_MdbMoveNext(int DyaIdxValue);
    // The column (any case) of the slot's current row; DefValue when the value is null. An unknown
    // slot or column, or no current row, gives an empty variant.
    QVariant Pcls_MdbGetField(int DyaIdxValue, const QString& ClmValue, const QVariant& DefValue) const;
    // For a long list read once: runs a query and hands each row to visit as it is read, keeping no
    // recordset (and touching no slot). False when the query fails (LastError tells why); the rows
    // before the failure have been visited.
    bool ReadRows(const QString& sql, const std::function<void(const QueryRow&)>& visit);
    // A query read a row at a time, beside other reads of the same connection (a table walked in step
    // with another). It must not outlive the clsMDB that opened it.
    class RowCursor {
    public:
        // Moves to the next row: true on one (row() then holds it until the next call), false past the
        // last row or on a failure (failed() tells; the clsMDB's LastError says why).
        bool next();
        const QueryRow& row() const { return m_row; }
        bool failed() const { return m_failed; }

    private:
        friend class clsMDB;
        RowCursor(clsMDB& db, SqliteStatement statement, QueryRow row);

        clsMDB* m_db;
        SqliteStatement m_statement;
        QueryRow m_row;
        bool m_failed = false;
    };
    // A query to read with a RowCursor, before its first row; nullopt when it cannot be prepared
    // (LastError tells why).
    std::optional<RowCursor> OpenCursor(const QString& sql);
    // Runs reads (ReadRows calls) inside one read transaction, so that together they see one state of
    // the file; inside a transaction already open they simply run. The result of reads; false, without
    // running them, when the transaction cannot begin.
    bool ReadTogether(const std::function<bool()>& reads);
    // Transaction control; True on success. BeginTrans takes the write lock at once (waiting up to
    // the busy timeout), so a transaction never fails half-way because another program wrote.
    bool Pcls_MdbBeginTrans();
    bool Pcls_MdbCommitTrans();
    bool Pcls_MdbRollback();

    // Releases the connection and every slot; the object can be opened again.
    void Release();
    bool IsOpen() const { return m_connection != nullptr; }
    // The engine's text for the last failure, for diagnostics.
    const QString& LastError() const { return m_lastError; }
    // How long a statement waits for another connection's write lock (every new connection).
    void SetBusyTimeoutMs(int milliseconds) { m_busyTimeoutMs = milliseconds; }

private:
    // ReadTogether's transaction: open from construction to destruction; inside a transaction already
    // open it does nothing. ok() is false when it could not begin.
    class ReadScope {
    public:
        explicit ReadScope(clsMDB& db);
        ~ReadScope();
        ReadScope(const ReadScope&) = delete;
        ReadScope& operator=(const ReadScope&) = delete;

        bool ok() const { return m_ok; }

    private:
        clsMDB& m_db;
        bool m_ok = false;
        bool m_began = false;
    };
    // The rows one after another, columns.size() values each.
    struct Recordset {
        QStringList columns;
        std::deque<QVariant> values; // grows without moving what it holds
        size_t rowCount = 0;
        size_t position = 0; // rowCount = past the last row
    };

    bool open(const QString& path, JetAccess access);
    // A single statement ready to run; null when the text does not prepare (m_lastError tells why).
    SqliteStatement prepare(const QString& sql);
    // Runs a statement; visit, when given, gets each of its rows.
    bool run(const QString& sql, const std::function<void(const QueryRow&)>& visit);
    static bool validSlot(int slot) { return slot >= 0 && slot < SlotCount; }

    const platform::Machine& m_machine;
    std::unique_ptr<JetConnection> m_connection;
    std::array<std::unique_ptr<Recordset>, SlotCount> m_slots;
    QString m_lastError;
    int m_busyTimeoutMs = DefaultBusyTimeoutMs;
};

} // namespace marvek::shared
