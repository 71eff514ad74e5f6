#pragma once

#include "SqliteHandles.h"
#include "platform/Machine.h"

#include <QString>
#include <memory>
#include <optional>

namespace marvek::shared {

// The provider named in every connection string; the stand-in accepts no other.
inline constexpr char JetProviderName[] = "Microsoft.Jet.OLEDB.4.0";

// Connection string for a database file, as the programs build it.
QString JetConnectionString(const QString& databasePath);

// Name of the engine's lock file for a database file name: every "mdb" (matched without regard to
// case, each letter's case kept) becomes "ldb"; a name without "mdb" gets the extension ".ldb".
QString JetLockFileName(const QString& databaseFileName);

// Cdate(text): the regional short date, optionally followed by a blank and the long time, or the
// ISO forms "yyyy-MM-dd" and "yyyy-MM-dd HH:mm:ss". Gives "YYYY-MM-DD HH:MM:SS", or nothing for a
// text that is not a possible date and time.
std::optional<QString> CdateToIso(const QString& text, const QString& shortDateFormat,
                                  const QString& longTimeFormat);

// The ".ldb" file beside an open database. Every holder keeps a shared flock on it; a holder that
// closes and can then take it exclusively is the last one, across processes, and removes it.
class JetLockFile {
public:
    // Nothing when the file cannot be created (a read-only folder such as a CD): the database is
    // then opened without one.
    static std::unique_ptr<JetLockFile> acquire(const QString& hostPath);
    ~JetLockFile();
    JetLockFile(const JetLockFile&) = delete;
    JetLockFile& operator=(const JetLockFile&) = delete;

private:
    JetLockFile(int fd, QString hostPath) : m_fd(fd), m_hostPath(std::move(hostPath)) {}
    int m_fd;
    QString m_hostPath;
};

// Sole use of a closed database file while it is copied, replaced or deleted. Granted only when no
// connection of any program holds the database (its lock file can be taken exclusively); while it is
// held, every program's open of the database waits, so it must not be opened in this process either.
// Side files that a program ending without closing left beside the file are settled first (their
// committed rows folded into the file, or removed when there is no file), so the file alone holds
// every row.
class JetFileHold {
public:
    // Nothing, with the reason in *error, when the database is in use, when the lock file cannot be
    // made, or when a side file stays.
    static std::unique_ptr<JetFileHold> acquire(const platform::Machine& machine, const QString& databasePath,
                                                QString* error);
    ~JetFileHold();
    JetFileHold(const JetFileHold&) = delete;
    JetFileHold& operator=(const JetFileHold&) = delete;

private:
    JetFileHold(int fd, QString lockPath) : m_fd(fd), m_lockPath(std::move(lockPath)) {}
    int m_fd;
    QString m_lockPath;
};

// How a connection opens its file.
enum class JetAccess {
    ReadWrite,
    // Nothing is ever written to the file or beside it (no lock file, no journal mode change), so a
    // file on a CD or a writable copy of one stays as it is.
    ReadOnly,
};

// One open connection of the stand-in provider: a SQLite file in WAL mode with a busy timeout, the
// Cdate function in the user's regional format, and the lock file beside it while it is open.
class JetConnection {
public:
    // Parses "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<Windows path>", maps the path to the host
    // and opens the existing database file (a missing file is never created). Nothing on failure,
    // with the reason in *error.
    static std::unique_ptr<JetConnection> open(const QString& connectionString,
                                               const platform::Machine& machine, int busyTimeoutMs,
                                               QString* error, JetAccess access = JetAccess::ReadWrite);
    ~JetConnection();
    JetConnection(const JetConnection&) = delete;
    JetConnection& operator=(const JetConnection&) = delete;

    sqlite3* handle() const { return m_db.get(); }

    struct RegionalFormat {
        QString shortDate;
        QString longTime;
    };

private:
    JetConnection() = default;

    std::unique_ptr<JetLockFile> m_lock; // released after the database is closed
    RegionalFormat m_format;
    SqliteDatabase m_db;
};

} // namespace marvek::shared
