#include "DatabaseTestSupport.h"
#include "shared/database/ManualDatabase.h"

#include <functional>
#include <gtest/gtest.h>

using namespace marvek::shared;
using marvek::testing::DatabasePath;
using marvek::testing::MakeSchemaDatabase;

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

const QString TemplatePath = q("C:\\Link\\DTX3_NEW.mdb");
const QDateTime RunStart(QDate(2024, 1, 2), QTime(9, 5, 3));

// Two manuals: J0010AA, an HTML manual with its M_type row, and P0020BB, without one, null InsDate.
const char* const TwoManuals =
    "INSERT INTO M_manage VALUES ('J0010AA','Model A','M01','5','2004','K2','JP','JA','L1','tech',"
    "'2024-01-10 08:00:00','C:\\Manual\\J0010AA','0','memo');"
    "INSERT INTO M_type VALUES ('J0010AA','0');"
    "INSERT INTO M_manage (Pub_No, Model_ID, Year, InsPath) VALUES "
    "('P0020BB','M02','2003','C:\\M\\P0020BB');";

class ManualDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(env.setLocale("0411"));
        env.ctx.UserName = q("tech");
        env.ctx.LanguageCode = q("11");
    }
    // Makes the database from the schema with rows and opens it as Database.
    void open(const QByteArray& rows) {
        ASSERT_TRUE(MakeSchemaDatabase(env.temp(), DatabasePath, rows));
        ASSERT_TRUE(db.Database.Pcls_MdbOpen(DatabasePath));
    }
    QString query(const char* sql) {
        clsMDB probe(env.temp().machine());
        probe.Pcls_MdbOpen(DatabasePath);
        return probe.Pcls_MdbCreate(9, q(sql), 4) == 0
                   ? probe.Pcls_MdbGetField(9, q("V"), q("<null>")).toString()
                   : q("<no row>");
    }
    bool registerEntry(const QString& pubNo, const char* status,
                       const QDateTime& newDate = RunStart.addSecs(1)) {
        ManualEntry e;
        const std::pair<QString ManualEntry::*, const char*> fields[] = {
            {&ManualEntry::Model_desc, "Model A"},
            {&ManualEntry::Model_ID, "M01"},
            {&ManualEntry::Version, "6"},
            {&ManualEntry::Year, "2004"},
            {&ManualEntry::Kubun, "K2"},
            {&ManualEntry::Country, "JP"},
            {&ManualEntry::Lang, "JA"},
            {&ManualEntry::Ldup, "L1"},
            {&ManualEntry::Status, status},
            {&ManualEntry::PdfFlag, "0"}};
        for (const auto& [member, value] : fields)
            e.*member = q(value);
        e.Pub_No = pubNo;
        e.InstallPath = q("C:\\Manual\\") + pubNo;
        return db.RegisterInstalledManual(e, newDate, RunStart.addSecs(2));
    }

    marvek::testing::SharedTestContext env;
    ManualDatabase db{env.ctx};
};

TEST_F(ManualDatabaseTest, EveryOperationBuildsItsStatementText) {
    open(TwoManuals);
    ASSERT_TRUE(MakeSchemaDatabase(env.temp(), TemplatePath) && db.NewDatabase.Pcls_MdbOpen(TemplatePath));
    const QString key = q("O'Neil"); // every value between apostrophes is escaped, WHERE keys included
    const QString managerList =
        q("SELECT MM.PUB_NO AS P0,InsPath AS P1,MM.MODEL_DESC AS PA,%1 AS PB,Lang AS PC,"
          "Adjust_flg AS K0,Pdf_flg ,Version AS Ver  FROM (M_manage MM  LEFT JOIN M_type "
          "MT ON MM.PUB_NO = MT.PUB_NO )  LEFT JOIN M_order MO  ON MM.MODEL_ID = "
          "MO.MODEL_ID  ORDER BY OrderNo,Year,%2MM.PUB_NO");
    // In this order: the transfer steps copy the registered record.
    const std::pair<std::function<void()>, QString> cases[] = {
        {[&] { db.FindInstalledManual(key); }, q("SELECT * FROM M_manage WHERE Pub_No = 'O''Neil'")},
        {[&] { db.GetLastInstallPath(); }, q("SELECT INSPath FROM M_manage ORDER BY INSDate DESC")},
        {[&] { db.OpenManualList(); },
         q("SELECT  MM.Pub_No AS Pub_No ,Model_desc \r\n,Model_ID \r\n,Version \r\n,[Year] \r\n,Kubun \r\n"
           ",Country \r\n,Lang \r\n,Ldup \r\n,InsUser \r\n,InsDate \r\n,InsPath \r\n,Adjust_flg \r\n"
           ",Memo_txt \r\n,Pdf_flg \r\n FROM M_manage MM LEFT JOIN M_type MT ON MM.PUB_NO = MT.PUB_NO ")},
        {[&] { db.MarkManualForAdjust(key); },
         q("UPDATE M_manage SET  Adjust_flg = '1'  WHERE Pub_No = 'O''Neil'")},
        {[&] { db.UpdateManualMemo(key, q("Bob's")); },
         q("UPDATE M_manage SET  MEMO_txt = 'Bob''s'  WHERE Pub_No = 'O''Neil'")},
        {[&] { db.GetManualMemo(key); }, q("SELECT MEMO_txt FROM M_manage WHERE PUB_NO = 'O''Neil'")},
        {[&] { db.CountInstalledManuals(); }, q("SELECT COUNT(*) AS CNT FROM M_manage")},
        {[&] { db.ReadDatabaseVersion(); }, q("SELECT * FROM M_system")},
        {[&] { db.OpenManageScan(); }, q("SELECT * FROM M_manage")},
        {[&] { db.OpenOrderScan(); }, q("SELECT * FROM M_order")},
        {[&] { db.UpdateInstallPath(key, q("D:\\It's")); },
         q("UPDATE M_manage SET  INSPath = 'D:\\It''s', Adjust_flg = 0  WHERE Pub_No = 'O''Neil'")},
        {[&] { db.DeleteInstalledManual(key); }, q("DELETE FROM M_type WHERE Pub_No = 'O''Neil'")},
        {[&] { db.OpenManagerList(); }, managerList.arg(q("kubun"), q("Kubun,"))},
        {[&] { env.ctx.LanguageCode = q("09"), db.OpenManagerList(); },
         managerList.arg(q("Year "), QString())},
        {[&] { registerEntry(key, "1"); },
         q(" INSERT INTO M_type (PUB_NO,PDF_FLG)  VALUES(\n'O''Neil',\n'0')\n")},
        {[&] { db.CopyToTransferRecord(), db.InsertTransferRecord(); },
         q("INSERT INTO M_type  (PUB_NO,PDF_FLG) VALUES ( \n'O''Neil',\n'0')\n")},
        {[&] { db.InsertTransferRecord(); }, // the row is there already: its M_manage insert fails
         q("INSERT INTO M_manage ( [Pub_No]\r\n,[Model_desc]\r\n,[Model_ID]\r\n,[Version]\r\n,[Year]\r\n"
           ",[Kubun]\r\n,[Country]\r\n,[Lang]\r\n,[Ldup]\r\n,[InsUser]\r\n,[InsDate]\r\n,[InsPath]\r\n"
           ",[Adjust_flg]\r\n,[Memo_txt]\r\n ) \r\n VALUES(\n'O''Neil',\n'Model A',\n'M01',\n'6',\n'2004',\n"
           "'K2',\n'JP',\n'JA',\n'L1',\n'tech',\nCdate('2024/01/02 9:05:04'),\n'C:\\Manual\\O''Neil',\n"
           "'0',\n'')\n")},
        // M_type is left alone when the M_manage delete fails.
        {[&] { db.Database.Release(), db.DeleteInstalledManual(key); },
         q("DELETE FROM M_manage WHERE Pub_No = 'O''Neil'")},
    };
    for (const auto& [operation, expected] : cases) {
        operation();
        EXPECT_EQ(db.LastStatement(), expected);
    }
    ASSERT_TRUE(env.setLocale("0409"));
    db.InsertTransferRecord();
    EXPECT_TRUE(db.LastStatement().contains(q(",\nCdate('1/2/2024 9:05:04 AM'),\n")));
}

TEST_F(ManualDatabaseTest, LookupAndListingReadRowsWithoutRegardToCase) {
    open(TwoManuals);
    EXPECT_EQ(db.FindInstalledManual(q("NONE")), 1);
    EXPECT_EQ(db.CurrentManual, ManualRecord()) << "a miss leaves the record unchanged";
    EXPECT_EQ(db.FindInstalledManual(q("x' OR '1'='1")), 1) << "a key is only ever a key";
    ASSERT_TRUE(env.temp().writeFile(q("C:\\M\\P0020BB\\contents\\P0020BB.pdf"), "%PDF-1.4"));
    EXPECT_EQ(db.FindInstalledManual(q("p0020bb")), 0);
    EXPECT_EQ(QStringList({db.CurrentManual.Pub_No, db.CurrentManual.Pdf_flg, db.CurrentManual.Kubun}),
              QStringList({"P0020BB", "1", ""}));
    EXPECT_EQ(db.CurrentManual.InsDate, QDateTime(QDate(1899, 12, 30), QTime(0, 0))) << "null InsDate";
    EXPECT_EQ(db.NextInstalledManual(), 1);
    EXPECT_EQ(db.NextInstalledManual(), -1);
    ASSERT_EQ(db.FindInstalledManual(q("J0010AA")), 0);
    EXPECT_EQ(QStringList({db.CurrentManual.Pdf_flg, db.CurrentManual.Memo_txt}), QStringList({"0", "memo"}));
    EXPECT_EQ(db.CurrentManual.InsDate, QDateTime(QDate(2024, 1, 10), QTime(8, 0)));

    QStringList seen; // the listing takes the flag from M_type, and walks beside lookups
    for (qint16 r = db.OpenManualList(); r == 0; r = db.NextManualListRow()) {
        seen << db.CurrentManual.Pub_No + "=" + db.CurrentManual.Pdf_flg;
        ASSERT_EQ(db.FindInstalledManual(db.CurrentManual.Pub_No), 0);
    }
    EXPECT_EQ(seen, QStringList({"J0010AA=0", "P0020BB="}));
    db.Database.Release();
    EXPECT_EQ(db.FindInstalledManual(q("J0010AA")), -1) << "an engine error";
}

TEST_F(ManualDatabaseTest, RegisterReplacesTheRowsInOneTransaction) {
    open(QByteArray(TwoManuals) + "CREATE TRIGGER refuse BEFORE INSERT ON M_manage WHEN NEW.Pub_No = "
                                  "'P0020BB' BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    ASSERT_TRUE(registerEntry(q("J0010AA"), "2"));
    ASSERT_EQ(db.FindInstalledManual(q("J0010AA")), 0);
    EXPECT_EQ(db.CurrentManual.InsDate, RunStart.addSecs(2)) << "update marker";
    EXPECT_EQ(QStringList({db.CurrentManual.Version, db.CurrentManual.InsUser, db.CurrentManual.Memo_txt}),
              QStringList({"6", "tech", ""}));
    EXPECT_EQ(query("SELECT '' || InsDate AS V FROM M_manage WHERE Pub_No = 'J0010AA'"),
              q("2024-01-02 09:05:05"));
    ASSERT_TRUE(registerEntry(q("N0030CC"), "1"));
    ASSERT_EQ(db.FindInstalledManual(q("N0030CC")), 0);
    EXPECT_EQ(db.CurrentManual.InsDate, RunStart.addSecs(1)) << "new-manual marker";

    // A failing insert, or a date the engine cannot take, leaves the old rows in place.
    ASSERT_EQ(db.Database.Pcls_MdbExecute(q("INSERT INTO M_type VALUES ('P0020BB','1')")), 0);
    EXPECT_FALSE(registerEntry(q("P0020BB"), "1"));
    EXPECT_FALSE(registerEntry(q("J0010AA"), "1", QDateTime()));
    EXPECT_EQ(
        query("SELECT InsPath || Pdf_flg AS V FROM M_manage NATURAL JOIN M_type WHERE Pub_No = 'P0020BB'"),
        q("C:\\M\\P0020BB1"));
    EXPECT_EQ(query("SELECT Version AS V FROM M_manage WHERE Pub_No = 'J0010AA'"), q("6"));
    EXPECT_EQ(db.CountInstalledManuals(), 3);
}

TEST_F(ManualDatabaseTest, UpgradeCopiesRowsVersionsAndModelOrder) {
    open(QByteArray(TwoManuals) + "INSERT INTO M_system VALUES ('2');");
    ASSERT_TRUE(
        MakeSchemaDatabase(env.temp(), TemplatePath,
                           "INSERT INTO M_system VALUES ('3');"
                           "INSERT INTO M_order VALUES ('M01','Model A',2),('m02',NULL,NULL),('M01','',7);"));
    ASSERT_TRUE(db.NewDatabase.Pcls_MdbOpen(TemplatePath));
    EXPECT_EQ(db.ReadDatabaseVersion(), 0);
    EXPECT_EQ(db.DatabaseVersion, q("2"));
    EXPECT_EQ(db.ReadNewDatabaseVersion(), 0);
    EXPECT_EQ(db.DatabaseVersion, q("3"));
    for (qint16 r = db.OpenOrderScan(); r == 0; r = db.NextOrderScan())
        db.OrderTable.append(db.OrderRow);
    ASSERT_EQ(db.OrderTable.count(), 3);
    EXPECT_EQ(db.OrderTable.entry(2), (OrderEntry{q("m02"), QString(), 0}));
    EXPECT_EQ(db.FindOrderNo(q("M01")), 2) << "the first match";
    EXPECT_EQ(db.FindOrderNo(q("M02")), 0) << "exact match only";

    // Every row into the template, with the PDF flag computed from the installed files.
    ASSERT_TRUE(env.temp().writeFile(q("C:\\M\\P0020BB\\contents\\P0020BB.pdf"), "%PDF-1.4"));
    int copied = 0;
    for (qint16 r = db.OpenManageScan(); r == 0; r = db.NextManageScan(), ++copied) {
        db.CopyToTransferRecord();
        ASSERT_EQ(db.InsertTransferRecord(), 0);
    }
    EXPECT_EQ(copied, 2);
    EXPECT_TRUE(db.LastStatement().endsWith(q("\n'P0020BB',\n'1')\n")));
    const ManualRecord previous = db.CurrentManual;
    ASSERT_EQ(db.OpenNewManageScan(), 0);
    EXPECT_EQ(db.CurrentManual.Pdf_flg, previous.Pdf_flg) << "not computed for NewDatabase";
    const ManualRecord copy = db.CurrentManual;
    ASSERT_EQ(db.FindInstalledManual(copy.Pub_No), 0);
    db.CurrentManual.Pdf_flg = copy.Pdf_flg;
    EXPECT_EQ(db.CurrentManual, copy) << "every field survives the copy, InsDate to the second";
    EXPECT_EQ(db.NextNewManageScan(), 0);
    EXPECT_EQ(db.NextNewManageScan(), 1);
}

TEST_F(ManualDatabaseTest, ManagerListingSortsByOrderYearClassificationAndNumber) {
    open("INSERT INTO M_order VALUES ('M1','one',1),('M2','two',2);"
         "INSERT INTO M_manage (Pub_No,Model_ID,Year,Kubun,Adjust_flg,Version) VALUES "
         "('D4','M2','2001','A','0','1'),('C3','M1','2002','A','1','2'),('B2','M1','2001','B','0','3'),"
         "('A1','M1','2001','C','0','4'),('Z9','NONE','2009','Z','0','5');"
         "INSERT INTO M_type VALUES ('C3','1');");
    const auto listed = [&] {
        QStringList out;
        for (qint16 r = db.OpenManagerList(); r == 0; r = db.NextManagerListRow()) {
            for (const char* column : {"P0", "PB", "K0", "Pdf_flg", "Ver"})
                out << db.Database.Pcls_MdbGetField(ManagerListSlot, q(column), q("-")).toString();
        }
        return out.join(' ');
    };
    EXPECT_EQ(listed(), q("Z9 Z 0 - 5 B2 B 0 - 3 A1 C 0 - 4 C3 A 1 1 2 D4 A 0 - 1"));
    env.ctx.LanguageCode = q("09");
    EXPECT_EQ(listed(), q("Z9 2009 0 - 5 A1 2001 0 - 4 B2 2001 0 - 3 C3 2002 1 1 2 D4 2001 0 - 1"));
}

} // namespace
