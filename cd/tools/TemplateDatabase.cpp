#include "TemplateDatabase.h"

#include "BuildError.h"

#include <QFile>
#include <memory>
#include <sqlite3.h>
#include <variant>
#include <vector>

namespace marvek::cdbuilder {

namespace {

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

class TemplateFile {
public:
    explicit TemplateFile(const QString& hostPath) : m_path(hostPath) {
        QFile::remove(hostPath);
        sqlite3* db = nullptr;
        const int status = sqlite3_open_v2(QFile::encodeName(hostPath).constData(), &db,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        m_db.reset(db);
        if (status != SQLITE_OK) {
            fail("open");
        }
    }

    void execute(const QString& sql) {
        char* message = nullptr;
        if (sqlite3_exec(m_db.get(), sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            const QString detail = QString::fromUtf8(message ? message : "");
            sqlite3_free(message);
            throw BuildError(QStringLiteral("%1: %2").arg(m_path, detail));
        }
    }

    // Runs an INSERT with text parameters (an int parameter is bound as an integer).
    void insert(const char* sql, const std::vector<std::variant<QString, int>>& parameters) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db.get(), sql, -1, &raw, nullptr) != SQLITE_OK) {
            fail(sql);
        }
        std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(raw);
        int index = 1;
        for (const auto& parameter : parameters) {
            if (const QString* text = std::get_if<QString>(&parameter)) {
                const QByteArray utf8 = text->toUtf8();
                sqlite3_bind_text(raw, index, utf8.constData(), static_cast<int>(utf8.size()),
                                  SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_int(raw, index, std::get<int>(parameter));
            }
            ++index;
        }
        if (sqlite3_step(raw) != SQLITE_DONE) {
            fail(sql);
        }
    }

private:
    [[noreturn]] void fail(const char* what) {
        throw BuildError(
            QStringLiteral("%1: %2: %3")
                .arg(m_path, QString::fromUtf8(what), QString::fromUtf8(sqlite3_errmsg(m_db.get()))));
    }

    QString m_path;
    std::unique_ptr<sqlite3, DatabaseCloser> m_db;
};

} // namespace

void writeTemplateDatabase(const QString& hostPath, const QString& schemaSql, const CdManifest& manifest) {
    TemplateFile db(hostPath);
    db.execute(schemaSql);
    db.execute(QStringLiteral("BEGIN"));
    db.insert("INSERT INTO M_system (MDB_Version) VALUES (?)", {manifest.databaseVersion});
    for (const ModelOrder& order : manifest.modelOrder) {
        db.insert("INSERT INTO M_order (Model_ID, Model_desc, OrderNo) VALUES (?, ?, ?)",
                  {order.modelId, order.modelDesc, order.orderNo});
    }
    db.execute(QStringLiteral("COMMIT"));
}

} // namespace marvek::cdbuilder
