#pragma once

#include "shared/Context.h"
#include "shared/catalogue/ManualTable.h"
#include "shared/database/ManagerList.h"
#include "shared/database/clsMDB.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace marvek::shared {

// The recordset slots of clsMDB as the suite uses them.
inline constexpr int LookupSlot = 1;     // single-manual lookups, the memo, the last install path
inline constexpr int ManualListSlot = 2; // the full listing
inline constexpr int CountSlot = 3;      // the manager's count
inline constexpr int ScanSlot = 6;       // whole-table scans and the version read
inline constexpr int OrderSlot = 7;      // the M_order scan

// The OLE zero date, 1899-12-30 00:00:00 local time: what a null InsDate reads as.
QDateTime ZeroDate();

// '' for an empty value; otherwise the value between apostrophes, each apostrophe doubled.
QString SqlQuote(const QString& value);

// One M_manage row with its PDF flag; every field is text except InsDate.
struct ManualRecord {
    QString Pub_No;
    QString Model_desc;
    QString Model_ID;
    QString Version;
    QString Year;
    QString Kubun;
    QString Country;
    QString Lang;
    QString Ldup;
    QString InsUser;
    QDateTime InsDate = ZeroDate();
    QString InsPath;
    QString Adjust_flg;
    QString Memo_txt;
    QString Pdf_flg;

    friend bool operator==(const ManualRecord&, const ManualRecord&) = default;
};

// One model-order record of M_order.
struct OrderEntry {
    QString Model_ID;
    QString Model_desc;
    qint16 OrderNo = 0;

    friend bool operator==(const OrderEntry&, const OrderEntry&) = default;
};

// The model-order records in table order, indexed from 1.
class OrderList {
public:
    int count() const { return static_cast<int>(m_entries.size()); }
    void clear() { m_entries.clear(); }
    void append(const OrderEntry& entry) { m_entries.push_back(entry); }
    const OrderEntry& entry(int index) const { return m_entries.at(static_cast<size_t>(index - 1)); }

private:
    std::vector<OrderEntry> m_entries;
};

// The installed-manual database as the programs use it: the connections, the two record images, the
// order table, and every statement the suite issues. Each operation builds its statement into the one
// last-statement buffer, then runs it through Database unless its comment names NewDatabase.
//
// Every value placed between apostrophes is escaped (apostrophes doubled), the keys of WHERE
// clauses included.
class ManualDatabase {
public:
    explicit ManualDatabase(const SharedContext& ctx);
    ManualDatabase(const ManualDatabase&) = delete;
    ManualDatabase& operator=(const ManualDatabase&) = delete;

    clsMDB Database;             // the installed-manual database (DatabasePath)
    clsMDB NewDatabase;          // the installer's second database: the template or the new copy (upgrade)
    ManualRecord CurrentManual;  // filled by every reading operation, written by RegisterInstalledManual
    ManualRecord TransferManual; // the copy that the upgrade writes into NewDatabase
    OrderList OrderTable;
    OrderEntry OrderRow; // the row of the last successful OpenOrderScan / NextOrderScan
    QString
        DatabaseVersion; // MDB_Version of the last successful ReadDatabaseVersion / ReadNewDatabaseVersion

    // The statement most recently built.
    const QString& LastStatement() const { return m_lastStatement; }

    // Installer and manager.
    qint16 FindInstalledManual(const QString& pubNo); // slot 1; on 0 CurrentManual, PDF flag computed
    qint16 NextInstalledManual();
    QString GetLastInstallPath(); // empty when there is no row
    qint16 OpenManualList();      // slot 2; on 0 CurrentManual, PDF flag from M_type
    qint16 NextManualListRow();
    // Replaces the rows of the entry's manual in one transaction; InsDate is NewInstallDate for
    // status "1", else UpdateInstallDate. False when any statement fails: the old rows then stay.
    bool RegisterInstalledManual(const ManualEntry& entry, const QDateTime& NewInstallDate,
                                 const QDateTime& UpdateInstallDate);
    bool DeleteInstalledManual(const QString& pubNo); // M_manage, then (on success) M_type
    bool MarkManualForAdjust(const QString& pubNo);
    qint16 ReadDatabaseVersion();    // slot 6
    qint16 ReadNewDatabaseVersion(); // slot 6 of NewDatabase
    qint16 OpenManageScan();         // slot 6; PDF flag computed
    qint16 NextManageScan();
    qint16 OpenNewManageScan(); // slot 6 of NewDatabase; the PDF flag keeps its previous value
    qint16 NextNewManageScan();
    void CopyToTransferRecord();
    qint16 InsertTransferRecord();                                     // NewDatabase; 0 success, -1 failure
    bool UpdateInstallPath(const QString& pubNo, const QString& path); // NewDatabase
    qint16 OpenOrderScan();                                            // slot 7 of NewDatabase; on 0 OrderRow
    qint16 NextOrderScan();
    qint16 FindOrderNo(const QString& modelId) const; // exact match in OrderTable, else 0

    // Manager.
    QString GetManualMemo(const QString& pubNo); // empty when there is no row
    int CountInstalledManuals();                 // 0 also when the query fails
    // The manager's list in its order (see ManagerList.h); false when a read fails.
    bool ReadManagerList(const std::function<void(const ManagerListRow&)>& row);
    bool UpdateManualMemo(const QString& pubNo, const QString& memo);
    // Every manual's memo by publication number (slot 4), for the manager's filter box; empty on failure.
    QHash<QString, QString> ReadAllMemos();

    // Removal check: every row's Pub_No and INSPath, read once (no slot; the last statement stays as it
    // was). False when the query fails.
    bool ReadInstallFolders(const std::function<void(const QString& pubNo, const QString& insPath)>& visit);

private:
    enum class PdfFlagSource { Computed, Column, Kept };

    const QString& statement(QString sql);
    void readManualRow(const clsMDB& db, int slot, PdfFlagSource pdfFlag);
    // Runs a query (or advances the slot) and, when it stands on a row, reads it into CurrentManual.
    qint16 openManualRows(clsMDB& db, int slot, const QString& sql, PdfFlagSource pdfFlag);
    qint16 nextManualRow(clsMDB& db, int slot, PdfFlagSource pdfFlag);
    void readOrderRow();
    qint16 readVersion(clsMDB& db);
    QString manageInsert(const ManualRecord& record) const;

    const SharedContext& m_ctx;
    QString m_lastStatement;
};

} // namespace marvek::shared
