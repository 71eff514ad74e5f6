#include "shared/database/JetProvider.h"

#include "platform/MachineInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marvek::shared {

namespace {

const QString ProviderKey = QStringLiteral("Provider=");
const QString DataSourceKey = QStringLiteral("Data Source=");

// The Windows path of "Provider=<JetProviderName>;Data Source=<path>"; nothing for any other text.
std::optional<QString> dataSourceOf(const QString& connectionString) {
    if (!connectionString.startsWith(ProviderKey, Qt::CaseInsensitive))
        return std::nullopt;
    const qsizetype separator = connectionString.indexOf(QLatin1Char(';'));
    if (separator < 0)
        return std::nullopt;
    const QString provider = connectionString.mid(ProviderKey.size(), separator - ProviderKey.size());
    if (provider != QLatin1String(JetProviderName))
        return std::nullopt;
    const QString rest = connectionString.mid(separator + 1);
    if (!rest.startsWith(DataSourceKey, Qt::CaseInsensitive))
        return std::nullopt;
    return rest.mid(DataSourceKey.size());
}

void cdateFunction(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* format = static_cast<const JetConnection::RegionalFormat*>(sqlite3_user_data(context));
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const QString text = QString::fromUtf8(bytes, sqlite3_value_bytes(argv[0]));
    const std::optional<QString> iso = CdateToIso(text, format->shortDate, format->longTime);
    if (!iso) {
        const QByteArray message = "Cdate: '" + text.toUtf8() + "' is not a valid date";
        sqlite3_result_error(context, message.constData(), static_cast<int>(message.size()));
        return;
    }
    const QByteArray result = iso->toUtf8();
    sqlite3_result_text(context, result.constData(), static_cast<int>(result.size()), SQLITE_TRANSIENT);
}

bool sameFile(int fd, const QByteArray& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Whether the database holds the table M_manage; nothing when its schema cannot be read (no database).
std::optional<bool> holdsManageTable(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'M_manage'",
                       -1, &raw, nullptr);
    const SqliteStatement probe(raw);
    if (!probe || sqlite3_step(probe.get()) != SQLITE_ROW)
        return std::nullopt;
    return sqlite3_column_int(probe.get(), 0) == 1;
}

} // namespace

QString JetConnectionString(const QString& databasePath) {
    return QStringLiteral("Provider=") + QLatin1String(JetProviderName) + QStringLiteral(";Data Source=") +
           databasePath;
}

QString JetLockFileName(const QString& databaseFileName) {
    QString name = databaseFileName;
    bool replaced = false;
    for (qsizetype i = 0; i + 3 <= name.size(); ++i) {
        if (QStringView(name).mid(i, 3).compare(QLatin1String("mdb"), Qt::CaseInsensitive) == 0) {
            name[i] = name.at(i).isUpper() ? QLatin1Char('L') : QLatin1Char('l');
            replaced = true;
            i += 2;
        }
    }
    if (replaced)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + QStringLiteral(".ldb");
}

std::optional<QString> CdateToIso(const QString& text, const QString& shortDateFormat,
                                  const QString& longTimeFormat) {
    const QString trimmed = text.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    const QString datePart = blank < 0 ? trimmed : trimmed.left(blank);
    const QString timePart = blank < 0 ? QString() : trimmed.mid(blank + 1).trimmed();

    const QLocale c = QLocale::c();
    QDate date = c.toDate(datePart, shortDateFormat);
    if (!date.isValid())
        date = c.toDate(datePart, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return std::nullopt;

    QTime time(0, 0);
    if (!timePart.isEmpty()) {
        time = c.toTime(timePart, longTimeFormat);
        if (!time.isValid())
            time = c.toTime(timePart, QStringLiteral("H:mm:ss"));
        if (!time.isValid())
            return std::nullopt;
    }
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
           time.toString(QStringLiteral("HH:mm:ss"));
}

std::unique_ptr<JetLockFile> JetLockFile::acquire(const QString& hostPath) {
    const QByteArray path = QFile::encodeName(hostPath);
    // A closing holder may remove the file between our open and our lock: then lock the new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return nullptr;
        if (::flock(fd, LOCK_SH) != 0) {
            ::close(fd);
            return nullptr;
        }
        if (sameFile(fd, path))
            return std::unique_ptr<JetLockFile>(new JetLockFile(fd, hostPath));
        ::close(fd);
    }
    return nullptr;
}

JetLockFile::~JetLockFile() {
    // Give up the shared lock first, so that of several holders closing together the last one to try
    // always gets the exclusive lock.
    ::flock(m_fd, LOCK_UN);
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(QFile::encodeName(m_hostPath).constData());
    ::close(m_fd);
}

std::unique_ptr<JetFileHold> JetFileHold::acquire(const platform::Machine& machine,
                                                  const QString& databasePath, QString* error) {
    const QString hostPath = machine.toHost(databasePath);
    if (hostPath.isEmpty()) {
        *error = QStringLiteral("Could not find file '%1'.").arg(databasePath);
        return nullptr;
    }
    const QFileInfo file(hostPath);
    const QString lockPath = file.dir().filePath(JetLockFileName(file.fileName()));
    const QByteArray lock = QFile::encodeName(lockPath);
    std::unique_ptr<JetFileHold> hold;
    // A closing holder may remove the file between our open and our lock: then lock the new one.
    for (int attempt = 0; attempt < 100 && !hold; ++attempt) {
        const int fd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            *error = QStringLiteral("The lock file of '%1' cannot be made.").arg(databasePath);
            return nullptr;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            *error = QStringLiteral("The database '%1' is in use.").arg(databasePath);
            return nullptr;
        }
        if (sameFile(fd, lock))
            hold.reset(new JetFileHold(fd, lockPath));
        else
            ::close(fd);
    }
    if (!hold) {
        *error = QStringLiteral("The database '%1' is in use.").arg(databasePath);
        return nullptr;
    }

    const QStringList sideFiles = {hostPath + QStringLiteral("-wal"), hostPath + QStringLiteral("-shm"),
                                   hostPath + QStringLiteral("-journal")};
    const auto anySideFile = [&sideFiles] {
        return std::any_of(sideFiles.begin(), sideFiles.end(),
                           [](const QString& path) { return QFileInfo::exists(path); });
    };
    if (!anySideFile())
        return hold;
    if (file.isFile()) {
        // The first connection recovers the log or rolls the journal back; its close, the last one,
        // checkpoints the log into the file and removes the log and its index.
        sqlite3* raw = nullptr;
        sqlite3_open_v2(QFile::encodeName(hostPath).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        const SqliteDatabase db(raw);
        if (raw)
            sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    } else {
        for (const QString& path : sideFiles)
            QFile::remove(path);
    }
    if (anySideFile()) {
        *error = QStringLiteral("The side files of '%1' cannot be settled.").arg(databasePath);
        return nullptr;
    }
    return hold;
}

JetFileHold::~JetFileHold() {
    ::unlink(QFile::encodeName(m_lockPath).constData());
    ::close(m_fd);
}

std::unique_ptr<JetConnection> JetConnection::open(const QString& connectionString,
                                                   const platform::Machine& machine, int busyTimeoutMs,
                                                   QString* error, JetAccess access) {
    const std::optional<QString> dataSource = dataSourceOf(connectionString);
    if (!dataSource || dataSource->isEmpty()) {
        *error = QStringLiteral("Provider cannot be found or the connection string is not valid");
        return nullptr;
    }
    const QString hostPath = machine.toHost(*dataSource);
    const QFileInfo file(hostPath);
    if (hostPath.isEmpty() || !file.isFile()) {
        *error = QStringLiteral("Could not find file '%1'.").arg(*dataSource);
        return nullptr;
    }

    // The read-only attribute (the owner's write bit) binds every user, the administrator too: the
    // connection is then read-only, and the file keeps its journal mode.
    struct stat info {};
    const QByteArray hostName = QFile::encodeName(hostPath);
    const bool readOnlyAttribute = ::stat(hostName.constData(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;

    std::unique_ptr<JetConnection> connection(new JetConnection);
    const bool readOnly = access == JetAccess::ReadOnly || readOnlyAttribute;
    sqlite3* raw = nullptr;
    int opened = SQLITE_CANTOPEN;
    if (readOnly) {
        // Immutable: no lock, no index file beside it, whatever the file's journal mode. Only a log
        // left beside the file (a copy in use) must be read with it.
        QByteArray uri = QUrl::fromLocalFile(hostPath).toEncoded();
        if (!QFileInfo::exists(hostPath + QStringLiteral("-wal")))
            uri += "?immutable=1";
        opened = sqlite3_open_v2(uri.constData(), &raw,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    } else {
        connection->m_lock = JetLockFile::acquire(file.dir().filePath(JetLockFileName(file.fileName())));
        opened = sqlite3_open_v2(QFile::encodeName(hostPath).constData(), &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    }
    connection->m_db.reset(raw);
    if (opened != SQLITE_OK) {
        *error = raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : QStringLiteral("out of memory");
        return nullptr;
    }
    sqlite3* db = connection->m_db.get();
    sqlite3_busy_timeout(db, busyTimeoutMs);
    // Reading the schema proves the file is a database of the suite (SQLite itself opens lazily, and takes
    // an empty file for an empty database): every layout of it has M_manage. Nothing is written before.
    const std::optional<bool> suiteDatabase = holdsManageTable(db);
    if (!suiteDatabase.value_or(false)) {
        *error = suiteDatabase ? QStringLiteral("Unrecognized database format '%1'.").arg(*dataSource)
                               : QString::fromUtf8(sqlite3_errmsg(db));
        return nullptr;
    }
    // A read-only file (or one on a CD) stays in its own journal mode; that is not an error. A file the
    // suite writes is on the PC's disk and is read through a memory map (a long list reads every page);
    // a read-only one may be on a CD taken out while it is read, where a failed read must stay an error.
    if (!readOnly) {
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "PRAGMA mmap_size=67108864", nullptr, nullptr, nullptr);
    }

    const platform::MachineInfo machineInfo = platform::MachineInfo::readOnce(machine);
    connection->m_format = {machineInfo.shortDateFormat(), machineInfo.longTimeFormat()};
    if (sqlite3_create_function_v2(db, "Cdate", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &connection->m_format,
                                   cdateFunction, nullptr, nullptr, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return nullptr;
    }
    return connection;
}

JetConnection::~JetConnection() = default;

} // namespace marvek::shared
