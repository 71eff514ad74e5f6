#include "shared/database/ManualDatabase.h"

#include "shared/formdata/PdfPaths.h"

#include <QLocale>
#include <limits>

namespace marvek::shared {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString Lf = QStringLiteral("\n");
const QString M_manage = QStringLiteral("M_manage");
const QString M_type = QStringLiteral("M_type");
const QString M_system = QStringLiteral("M_system");
const QString M_order = QStringLiteral("M_order");
constexpr int QueryOption = 4;

// The value as it goes between the literal apostrophes of a statement.
QString escaped(QString value) {
    return value.replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString whereKey(const QString& pubNo) {
    return QStringLiteral(" WHERE Pub_No = '") + escaped(pubNo) + QLatin1Char('\'');
}

QString deleteManual(const QString& table, const QString& pubNo) {
    return QStringLiteral("DELETE FROM ") + table + whereKey(pubNo);
}

} // namespace

QDateTime ZeroDate() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

QString SqlQuote(const QString& value) {
    if (value.isEmpty())
        return QStringLiteral("''");
    return QLatin1Char('\'') + escaped(value) + QLatin1Char('\'');
}

ManualDatabase::ManualDatabase(const SharedContext& ctx)
    : Database(ctx.os.machine()), NewDatabase(ctx.os.machine()), m_ctx(ctx) {
}

const QString& ManualDatabase::statement(QString sql) {
    m_lastStatement = std::move(sql);
    return m_lastStatement;
}

void ManualDatabase::readManualRow(const clsMDB& db, int slot, PdfFlagSource pdfFlag) {
    const auto text = [&](const char* column) {
        return db.Pcls_MdbGetField(slot, QLatin1String(column), QString()).toString();
    };
    ManualRecord& record = CurrentManual;
    record.Pub_No = text("Pub_No");
    record.Model_desc = text("Model_desc");
    record.Model_ID = text("Model_ID");
    record.Version = text("Version");
    record.Year = text("Year");
    record.Kubun = text("Kubun");
    record.Country = text("Country");
    record.Lang = text("Lang");
    record.Ldup = text("Ldup");
    record.InsUser = text("InsUser");
    const QDateTime date = db.Pcls_MdbGetField(slot, QStringLiteral("InsDate"), ZeroDate()).toDateTime();
    record.InsDate = date.isValid() ? date : ZeroDate();
    record.InsPath = text("InsPath");
    record.Adjust_flg = text("Adjust_flg");
    record.Memo_txt = text("Memo_txt");
    switch (pdfFlag) {
    case PdfFlagSource::Computed:
        record.Pdf_flg =
            PdfExists(m_ctx, record.InsPath, record.Pub_No) ? QStringLiteral("1") : QStringLiteral("0");
        break;
    case PdfFlagSource::Column:
        record.Pdf_flg = text("Pdf_flg");
        break;
    case PdfFlagSource::Kept:
        break;
    }
}

QString ManualDatabase::manageInsert(const ManualRecord& record) const {
    static const char* const columnList[] = {"[Pub_No]",      ",[Model_desc]", ",[Model_ID]", ",[Version]",
                                             ",[Year]",       ",[Kubun]",      ",[Country]",  ",[Lang]",
                                             ",[Ldup]",       ",[InsUser]",    ",[InsDate]",  ",[InsPath]",
                                             ",[Adjust_flg]", ",[Memo_txt]",   " ) "};
    QString sql = QStringLiteral("INSERT INTO ") + M_manage + QStringLiteral(" ( ");
    for (const char* piece : columnList)
        sql += QLatin1String(piece) + CrLf;
    sql += QStringLiteral(" VALUES(") + Lf;
    for (const QString* value :
         {&record.Pub_No, &record.Model_desc, &record.Model_ID, &record.Version, &record.Year, &record.Kubun,
          &record.Country, &record.Lang, &record.Ldup, &record.InsUser})
        sql += SqlQuote(*value) + QLatin1Char(',') + Lf;

    const platform::MachineInfo& info = m_ctx.os.machineInfo();
    const QString regional = info.shortDateFormat() + QLatin1Char(' ') + info.longTimeFormat();
    sql += QStringLiteral("Cdate('") + escaped(QLocale::c().toString(record.InsDate, regional)) +
           QStringLiteral("'),") + Lf;
    sql += SqlQuote(record.InsPath) + QLatin1Char(',') + Lf;
    sql += SqlQuote(record.Adjust_flg) + QLatin1Char(',') + Lf;
    sql += SqlQuote(record.Memo_txt) + QLatin1Char(')') + Lf;
    return sql;
}

qint16 ManualDatabase::openManualRows(clsMDB& db, int slot, const QString& sql, PdfFlagSource pdfFlag) {
    const qint16 result = db.Pcls_MdbCreate(slot, sql, QueryOption);
    if (result == 0)
        readManualRow(db, slot, pdfFlag);
    return result;
}

qint16 ManualDatabase::nextManualRow(clsMDB& db, int slot, PdfFlagSource pdfFlag) {
    const qint16 result = db.Pcls_MdbMoveNext(slot);
    if (result == 0)
        readManualRow(db, slot, pdfFlag);
    return result;
}

qint16 ManualDatabase::FindInstalledManual(const QString& pubNo) {
    return openManualRows(Database, LookupSlot,
                          statement(QStringLiteral("SELECT * FROM ") + M_manage + whereKey(pubNo)),
                          PdfFlagSource::Computed);
}

qint16 ManualDatabase::NextInstalledManual() {
    return nextManualRow(Database, LookupSlot, PdfFlagSource::Computed);
}

QString ManualDatabase::GetLastInstallPath() {
    const QString& sql = statement(QStringLiteral("SELECT INSPath FROM ") + M_manage +
                                   QStringLiteral(" ORDER BY INSDate DESC"));
    if (Database.Pcls_MdbCreate(LookupSlot, sql, QueryOption) != 0)
        return QString();
    return Database.Pcls_MdbGetField(LookupSlot, QStringLiteral("INSPath"), QString()).toString();
}

qint16 ManualDatabase::OpenManualList() {
    QString sql = QStringLiteral("SELECT ") + QStringLiteral(" MM.Pub_No AS Pub_No ");
    for (const char* column :
         {",Model_desc ", ",Model_ID ", ",Version ", ",[Year] ", ",Kubun ", ",Country ", ",Lang ", ",Ldup ",
          ",InsUser ", ",InsDate ", ",InsPath ", ",Adjust_flg ", ",Memo_txt ", ",Pdf_flg "})
        sql += QLatin1String(column) + CrLf;
    sql += QStringLiteral(" FROM ") + M_manage + QStringLiteral(" MM") + QStringLiteral(" LEFT JOIN ") +
           M_type + QStringLiteral(" MT ON MM.PUB_NO = MT.PUB_NO ");
    return openManualRows(Database, ManualListSlot, statement(sql), PdfFlagSource::Column);
}

qint16 ManualDatabase::NextManualListRow() {
    return nextManualRow(Database, ManualListSlot, PdfFlagSource::Column);
}

bool ManualDatabase::RegisterInstalledManual(const ManualEntry& entry, const QDateTime& NewInstallDate,
                                             const QDateTime& UpdateInstallDate) {
    ManualRecord& record = CurrentManual;
    record.Pub_No = entry.Pub_No;
    record.Model_desc = entry.Model_desc;
    record.Model_ID = entry.Model_ID;
    record.Version = entry.Version;
    record.Year = entry.Year;
    record.Kubun = entry.Kubun;
    record.Country = entry.Country;
    record.Lang = entry.Lang;
    record.Ldup = entry.Ldup;
    record.InsUser = m_ctx.UserName;
    record.InsDate = entry.Status == QLatin1String("1") ? NewInstallDate : UpdateInstallDate;
    record.InsPath = entry.InstallPath;
    record.Adjust_flg = QStringLiteral("0");
    record.Memo_txt.clear();
    record.Pdf_flg = entry.PdfFlag;

    const QString statements[] = {
        deleteManual(M_manage, record.Pub_No),
        deleteManual(M_type, record.Pub_No),
        manageInsert(record),
        QStringLiteral(" INSERT INTO ") + M_type + QStringLiteral(" (PUB_NO,PDF_FLG) ") +
            QStringLiteral(" VALUES(") + Lf + SqlQuote(record.Pub_No) + QLatin1Char(',') + Lf +
            SqlQuote(record.Pdf_flg) + QLatin1Char(')') + Lf,
    };
    // Delete and insert as one: a failed insert must not lose the row the manual had.
    if (!Database.Pcls_MdbBeginTrans())
        return false;
    for (const QString& sql : statements) {
        if (Database.Pcls_MdbExecute(statement(sql)) != 0) {
            Database.Pcls_MdbRollback();
            return false;
        }
    }
    if (!Database.Pcls_MdbCommitTrans()) {
        Database.Pcls_MdbRollback();
        return false;
    }
    return true;
}

bool ManualDatabase::DeleteInstalledManual(const QString& pubNo) {
    if (Database.Pcls_MdbExecute(statement(deleteManual(M_manage, pubNo))) != 0)
        return false;
    return Database.Pcls_MdbExecute(statement(deleteManual(M_type, pubNo))) == 0;
}

bool ManualDatabase::MarkManualForAdjust(const QString& pubNo) {
    const QString& sql = statement(QStringLiteral("UPDATE ") + M_manage + QStringLiteral(" SET ") +
                                   QStringLiteral(" Adjust_flg = '1' ") + whereKey(pubNo));
    return Database.Pcls_MdbExecute(sql) == 0;
}

qint16 ManualDatabase::readVersion(clsMDB& db) {
    const qint16 result =
        db.Pcls_MdbCreate(ScanSlot, statement(QStringLiteral("SELECT * FROM ") + M_system), QueryOption);
    if (result == 0)
        DatabaseVersion = db.Pcls_MdbGetField(ScanSlot, QStringLiteral("MDB_Version"), QString()).toString();
    return result;
}

qint16 ManualDatabase::ReadDatabaseVersion() {
    return readVersion(Database);
}

qint16 ManualDatabase::ReadNewDatabaseVersion() {
    return readVersion(NewDatabase);
}

qint16 ManualDatabase::OpenManageScan() {
    return openManualRows(Database, ScanSlot, statement(QStringLiteral("SELECT * FROM ") + M_manage),
                          PdfFlagSource::Computed);
}

qint16 ManualDatabase::NextManageScan() {
    return nextManualRow(Database, ScanSlot, PdfFlagSource::Computed);
}

qint16 ManualDatabase::OpenNewManageScan() {
    return openManualRows(NewDatabase, ScanSlot, statement(QStringLiteral("SELECT * FROM ") + M_manage),
                          PdfFlagSource::Kept);
}

qint16 ManualDatabase::NextNewManageScan() {
    return nextManualRow(NewDatabase, ScanSlot, PdfFlagSource::Kept);
}

void ManualDatabase::CopyToTransferRecord() {
    TransferManual = CurrentManual;
}

qint16 ManualDatabase::InsertTransferRecord() {
    if (NewDatabase.Pcls_MdbExecute(statement(manageInsert(TransferManual))) != 0)
        return -1;
    const QString& sql =
        statement(QStringLiteral(" INSERT INTO ") + M_type + QStringLiteral(" (PUB_NO,PDF_FLG) VALUES ( ") +
                  SqlQuote(TransferManual.Pub_No) + QLatin1Char(',') + SqlQuote(TransferManual.Pdf_flg) +
                  QLatin1Char(')'));
    return NewDatabase.Pcls_MdbExecute(sql) == 0 ? 0 : -1;
}

bool ManualDatabase::UpdateInstallPath(const QString& pubNo, const QString& path) {
    const QString& sql = statement(QStringLiteral("UPDATE ") + M_manage + QStringLiteral(" SET ") +
                                   QStringLiteral(" INSPath = '") + escaped(path) + QStringLiteral("',") +
                                   QStringLiteral(" Adjust_flg = 0 ") + whereKey(pubNo));
    return NewDatabase.Pcls_MdbExecute(sql) == 0;
}

void ManualDatabase::readOrderRow() {
    OrderRow.Model_ID =
        NewDatabase.Pcls_MdbGetField(OrderSlot, QStringLiteral("Model_ID"), QString()).toString();
    OrderRow.Model_desc =
        NewDatabase.Pcls_MdbGetField(OrderSlot, QStringLiteral("Model_desc"), QString()).toString();
    bool ok = false;
    const qlonglong orderNo =
        NewDatabase.Pcls_MdbGetField(OrderSlot, QStringLiteral("OrderNo"), 0).toLongLong(&ok);
    const bool fits =
        ok && orderNo >= std::numeric_limits<qint16>::min() && orderNo <= std::numeric_limits<qint16>::max();
    OrderRow.OrderNo = fits ? static_cast<qint16>(orderNo) : qint16(0);
}

qint16 ManualDatabase::OpenOrderScan() {
    const qint16 result = NewDatabase.Pcls_MdbCreate(
        OrderSlot, statement(QStringLiteral("SELECT * FROM ") + M_order), QueryOption);
    if (result == 0)
        readOrderRow();
    return result;
}

qint16 ManualDatabase::NextOrderScan() {
    const qint16 result = NewDatabase.Pcls_MdbMoveNext(OrderSlot);
    if (result == 0)
        readOrderRow();
    return result;
}

qint16 ManualDatabase::FindOrderNo(const QString& modelId) const {
    for (int index = 1; index <= OrderTable.count(); ++index) {
        if (OrderTable.entry(index).Model_ID == modelId)
            return OrderTable.entry(index).OrderNo;
    }
    return 0;
}

QString ManualDatabase::GetManualMemo(const QString& pubNo) {
    const QString& sql = statement(QStringLiteral("SELECT MEMO_txt FROM ") + M_manage +
                                   QStringLiteral(" WHERE PUB_NO = '") + escaped(pubNo) + QLatin1Char('\''));
    if (Database.Pcls_MdbCreate(LookupSlot, sql, QueryOption) != 0)
        return QString();
    return Database.Pcls_MdbGetField(LookupSlot, QStringLiteral("Memo_txt"), QString()).toString();
}

QHash<QString, QString> ManualDatabase::ReadAllMemos() {
    constexpr int MemoSlot = 4;
    QHash<QString, QString> memos;
    const QString& sql = statement(QStringLiteral("SELECT PUB_NO, MEMO_txt FROM ") + M_manage);
    for (qint16 row = Database.Pcls_MdbCreate(MemoSlot, sql, QueryOption); row == 0;
         row = Database.Pcls_MdbMoveNext(MemoSlot)) {
        memos.insert(Database.Pcls_MdbGetField(MemoSlot, QStringLiteral("Pub_No"), QString()).toString(),
                     Database.Pcls_MdbGetField(MemoSlot, QStringLiteral("Memo_txt"), QString()).toString());
    }
    return memos;
}

bool ManualDatabase::ReadInstallFolders(
    const std::function<void(const QString& pubNo, const QString& insPath)>& visit) {
    return Database.ReadRows(QStringLiteral("SELECT Pub_No, INSPath FROM ") + M_manage,
                             [&](const QueryRow& row) { visit(row.text(0), row.text(1)); });
}

int ManualDatabase::CountInstalledManuals() {
    const QString& sql = statement(QStringLiteral("SELECT COUNT(*) AS CNT FROM ") + M_manage);
    if (Database.Pcls_MdbCreate(CountSlot, sql, QueryOption) != 0)
        return 0;
    return Database.Pcls_MdbGetField(CountSlot, QStringLiteral("CNT"), 0).toInt();
}

bool ManualDatabase::ReadManagerList(const std::function<void(const ManagerListRow&)>& row) {
    return ReadManagerListRows(Database, m_ctx.LanguageCode == QLatin1String("11"), row);
}

bool ManualDatabase::UpdateManualMemo(const QString& pubNo, const QString& memo) {
    const QString& sql =
        statement(QStringLiteral("UPDATE ") + M_manage + QStringLiteral(" SET ") +
                  QStringLiteral(" MEMO_txt = '") + escaped(memo) + QStringLiteral("' ") + whereKey(pubNo));
    return Database.Pcls_MdbExecute(sql) == 0;
}

} // namespace marvek::shared
