#include "DatabaseTestSupport.h"
#include "shared/database/ManualDatabase.h"

#include <QDir>
#include <gtest/gtest.h>

namespace mt = marvek::testing;
namespace shared = marvek::shared;
namespace platform = marvek::platform;
using shared::ManualDatabase;
using shared::ManualEntry;

namespace {

const QString DatabasePath = QStringLiteral("C:\\Link\\DTX3.mdb");
const QString TemplatePath = QStringLiteral("C:\\Link\\DTX3_NEW.mdb");
const QDateTime RunStart(QDate(2024, 1, 2), QTime(9, 5, 3));

// Two manuals: J0010AA, an HTML manual with its M_type row, and P0020BB, without one, null InsDate.
const char* const TwoManuals =
    "INSERT INTO M_manage VALUES ('J0010AA','Model A','M01','5','2004','K2','JP','JA','L1','tech',"
    "'2024-01-10 08:00:00','C:\\Manual\\J0010AA','0','memo');"
    "INSERT INTO M_type VALUES ('J0010AA','0');"
    "INSERT INTO M_manage (Pub_No, Model_ID, Year, InsPath) VALUES "
    "('P0020BB','M02','2003','C:\\Manual\\P0020BB');";

class ManualDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        mt::SetUserLocale(env.temp(), 0x0411);
        env.ctx.UserName = QStringLiteral("tech");
        env.ctx.LanguageCode = QStringLiteral("11");
        QDir().mkpath(env.temp().host(QStringLiteral("C:\\Link")));
    }
    // Makes the database from the schema with rows and opens it as Database.
    void open(const QByteArray& rows = {}) {
        ASSERT_TRUE(mt::MakeSchemaDatabase(env.temp().host(DatabasePath), rows));
        ASSERT_TRUE(db.Database.Pcls_MdbOpen(DatabasePath));
    }
    QString query(const QString& sql, const char* column) {
        shared::clsMDB probe(env.temp().machine());
        EXPECT_TRUE(probe.Pcls_MdbOpen(DatabasePath));
        return probe.Pcls_MdbCreate(9, sql, 4) == 0
                   ? probe.Pcls_MdbGetField(9, QLatin1String(column), QStringLiteral("<null>")).toString()
                   : QStringLiteral("<no row>");
    }
    ManualEntry entry(const QString& pubNo, const char* status) const {
        ManualEntry e;
        e.Pub_No = pubNo;
        e.Model_desc = QStringLiteral("Model A");
        e.Model_ID = QStringLiteral("M01");
        e.Version = QStringLiteral("6");
        e.Year = QStringLiteral("2004");
        e.Kubun = QStringLiteral("K2");
        e.Country = QStringLiteral("JP");
        e.Lang = QStringLiteral("JA");
        e.Ldup = QStringLiteral("L1");
        e.Status = QString::fromLatin1(status);
        e.PdfFlag = QStringLiteral("0");
        e.InstallPath = QStringLiteral("C:\\Manual\\") + pubNo;
        return e;
    }
    bool registerEntry(const ManualEntry& e) {
        return db.RegisterInstalledManual(e, RunStart.addSecs(1), RunStart.addSecs(2));
    }

    mt::SharedTestContext env;
    ManualDatabase db{env.ctx};
};

TEST(SqlQuote, QuotesAndDoublesApostrophes) {
    EXPECT_EQ(shared::SqlQuote(QStringLiteral("O'Neil")), QStringLiteral("'O''Neil'"));
    EXPECT_EQ(shared::SqlQuote(QString()), QStringLiteral("''"));
    EXPECT_EQ(shared::SqlQuote(QStringLiteral("")), QStringLiteral("''"));
    EXPECT_EQ(shared::SqlQuote(QStringLiteral("''")), QStringLiteral("''''''"));
}

TEST_F(ManualDatabaseTest, LookupFindsAManualWithoutRegardToCaseAndComputesThePdfFlag) {
    open(TwoManuals);
    EXPECT_EQ(db.FindInstalledManual(QStringLiteral("NONE")), 1);
    EXPECT_EQ(db.CurrentManual, shared::ManualRecord()) << "a miss leaves the record unchanged";

    ASSERT_TRUE(
        env.temp().writeFile(QStringLiteral("C:\\Manual\\P0020BB\\contents\\P0020BB.pdf"), "%PDF-1.4"));
    EXPECT_EQ(db.FindInstalledManual(QStringLiteral("p0020bb")), 0);
    EXPECT_EQ(db.LastStatement(), QStringLiteral("SELECT * FROM M_manage WHERE Pub_No = 'p0020bb'"));
    EXPECT_EQ(db.CurrentManual.Pub_No, QStringLiteral("P0020BB"));
    EXPECT_EQ(db.CurrentManual.Pdf_flg, QStringLiteral("1"));
    EXPECT_EQ(db.CurrentManual.InsDate, shared::ZeroDate()) << "null InsDate";
    EXPECT_EQ(db.CurrentManual.InsDate, QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(db.CurrentManual.Kubun, QString()) << "null text";
    EXPECT_EQ(db.NextInstalledManual(), 1);
    EXPECT_EQ(db.NextInstalledManual(), -1);

    ASSERT_EQ(db.FindInstalledManual(QStringLiteral("J0010AA")), 0);
    EXPECT_EQ(db.CurrentManual.Pdf_flg, QStringLiteral("0"));
    EXPECT_EQ(db.CurrentManual.InsDate, QDateTime(QDate(2024, 1, 10), QTime(8, 0)));
    EXPECT_EQ(db.CurrentManual.Memo_txt, QStringLiteral("memo"));

    // A key that tries to widen the WHERE clause is only ever a key.
    EXPECT_EQ(db.FindInstalledManual(QStringLiteral("x' OR '1'='1")), 1);
    EXPECT_EQ(db.LastStatement(), QStringLiteral("SELECT * FROM M_manage WHERE Pub_No = 'x'' OR ''1''=''1'"));

    db.Database.Release();
    EXPECT_EQ(db.FindInstalledManual(QStringLiteral("J0010AA")), -1) << "an engine error";
}

TEST_F(ManualDatabaseTest, ListingReadsThePdfFlagColumnAndWalksWithLookups) {
    open(TwoManuals);
    ASSERT_EQ(db.OpenManualList(), 0);
    EXPECT_EQ(
        db.LastStatement(),
        QStringLiteral("SELECT  MM.Pub_No AS Pub_No ,Model_desc \r\n,Model_ID \r\n,Version \r\n,[Year] \r\n"
                       ",Kubun \r\n,Country \r\n,Lang \r\n,Ldup \r\n,InsUser \r\n,InsDate \r\n,InsPath \r\n"
                       ",Adjust_flg \r\n,Memo_txt \r\n,Pdf_flg \r\n"
                       " FROM M_manage MM LEFT JOIN M_type MT ON MM.PUB_NO = MT.PUB_NO "));
    QStringList seen;
    for (qint16 r = 0; r == 0; r = db.NextManualListRow()) {
        const shared::ManualRecord listed = db.CurrentManual;
        seen << listed.Pub_No + "=" + listed.Pdf_flg;
        ASSERT_EQ(db.FindInstalledManual(listed.Pub_No), 0) << "slot 1 beside slot 2";
    }
    EXPECT_EQ(seen, QStringList({"J0010AA=0", "P0020BB="})) << "no M_type row: empty flag";
    const shared::ManualRecord last = db.CurrentManual;
    EXPECT_EQ(db.NextManualListRow(), -1);
    EXPECT_EQ(db.CurrentManual, last);
}

TEST_F(ManualDatabaseTest, RegisterReplacesTheRowsAndWritesTheRunMarker) {
    open(TwoManuals);
    ASSERT_TRUE(registerEntry(entry(QStringLiteral("J0010AA"), "2")));
    EXPECT_EQ(db.LastStatement(),
              QStringLiteral(" INSERT INTO M_type (PUB_NO,PDF_FLG)  VALUES(\n'J0010AA',\n'0')\n"));
    ASSERT_EQ(db.FindInstalledManual(QStringLiteral("J0010AA")), 0);
    EXPECT_EQ(db.CurrentManual.InsDate, RunStart.addSecs(2)) << "update marker";
    EXPECT_EQ(db.CurrentManual.Memo_txt, QString()) << "a reinstall replaces the old row";
    EXPECT_EQ(db.CurrentManual.Version, QStringLiteral("6"));
    EXPECT_EQ(db.CurrentManual.InsUser, QStringLiteral("tech"));
    EXPECT_EQ(query(QStringLiteral("SELECT '' || InsDate AS D FROM M_manage WHERE Pub_No = 'J0010AA'"), "D"),
              QStringLiteral("2024-01-02 09:05:05"));

    ASSERT_TRUE(registerEntry(entry(QStringLiteral("O'Neil"), "1")));
    ASSERT_EQ(db.FindInstalledManual(QStringLiteral("O'Neil")), 0);
    EXPECT_EQ(db.CurrentManual.InsDate, RunStart.addSecs(1)) << "new-manual marker";
    EXPECT_EQ(db.CountInstalledManuals(), 3);
    EXPECT_TRUE(db.DeleteInstalledManual(QStringLiteral("O'Neil")));
    EXPECT_EQ(db.LastStatement(), QStringLiteral("DELETE FROM M_type WHERE Pub_No = 'O''Neil'"));
    EXPECT_EQ(db.CountInstalledManuals(), 2);
}

TEST_F(ManualDatabaseTest, FailedRegistrationKeepsTheOldRow) {
    open(QByteArray(TwoManuals) +
         "CREATE TRIGGER refuse BEFORE INSERT ON M_manage WHEN NEW.Pub_No = 'J0010AA' "
         "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    EXPECT_FALSE(registerEntry(entry(QStringLiteral("J0010AA"), "1")));
    EXPECT_EQ(db.LastStatement(),
              QStringLiteral(
                  "INSERT INTO M_manage ( [Pub_No]\r\n,[Model_desc]\r\n,[Model_ID]\r\n,[Version]\r\n"
                  ",[Year]\r\n,[Kubun]\r\n,[Country]\r\n,[Lang]\r\n,[Ldup]\r\n,[InsUser]\r\n,[InsDate]\r\n"
                  ",[InsPath]\r\n,[Adjust_flg]\r\n,[Memo_txt]\r\n ) \r\n VALUES(\n'J0010AA',\n'Model A',\n"
                  "'M01',\n'6',\n'2004',\n'K2',\n'JP',\n'JA',\n'L1',\n'tech',\n"
                  "Cdate('2024/01/02 9:05:04'),\n'C:\\Manual\\J0010AA',\n'0',\n'')\n"));
    EXPECT_EQ(query(QStringLiteral("SELECT Memo_txt FROM M_manage WHERE Pub_No = 'J0010AA'"), "Memo_txt"),
              QStringLiteral("memo"));
    EXPECT_EQ(query(QStringLiteral("SELECT Pdf_flg FROM M_type WHERE Pub_No = 'J0010AA'"), "Pdf_flg"),
              QStringLiteral("0"));

    // A date the engine cannot take fails the insert the same way.
    EXPECT_FALSE(db.RegisterInstalledManual(entry(QStringLiteral("P0020BB"), "1"), QDateTime(), QDateTime()));
    EXPECT_EQ(query(QStringLiteral("SELECT InsPath FROM M_manage WHERE Pub_No = 'P0020BB'"), "InsPath"),
              QStringLiteral("C:\\Manual\\P0020BB"));
}

TEST_F(ManualDatabaseTest, EnglishMachineWritesTheEnglishDateFormat) {
    mt::SetUserLocale(env.temp(), 0x0409);
    open();
    ASSERT_TRUE(registerEntry(entry(QStringLiteral("E0001AA"), "1")));
    ASSERT_EQ(db.FindInstalledManual(QStringLiteral("E0001AA")), 0);
    db.CopyToTransferRecord();
    ASSERT_TRUE(mt::MakeSchemaDatabase(env.temp().host(TemplatePath),
                                       "CREATE TRIGGER refuse BEFORE INSERT "
                                       "ON M_manage BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    ASSERT_TRUE(db.NewDatabase.Pcls_MdbOpen(TemplatePath));
    EXPECT_EQ(db.InsertTransferRecord(), -1);
    EXPECT_TRUE(db.LastStatement().contains(QStringLiteral(",\nCdate('1/2/2024 9:05:04 AM'),\n")));
}

TEST_F(ManualDatabaseTest, SmallUpdatesBuildTheirStatementsAndEscapeValues) {
    open(TwoManuals);
    EXPECT_TRUE(db.MarkManualForAdjust(QStringLiteral("j0010aa")));
    EXPECT_EQ(db.LastStatement(),
              QStringLiteral("UPDATE M_manage SET  Adjust_flg = '1'  WHERE Pub_No = 'j0010aa'"));
    EXPECT_EQ(query(QStringLiteral("SELECT Adjust_flg FROM M_manage WHERE Pub_No = 'J0010AA'"), "Adjust_flg"),
              QStringLiteral("1"));

    EXPECT_TRUE(db.UpdateManualMemo(QStringLiteral("J0010AA"), QStringLiteral("Bob's note")));
    EXPECT_EQ(db.LastStatement(),
              QStringLiteral("UPDATE M_manage SET  MEMO_txt = 'Bob''s note'  WHERE Pub_No = 'J0010AA'"));
    EXPECT_EQ(db.GetManualMemo(QStringLiteral("J0010AA")), QStringLiteral("Bob's note"));
    EXPECT_EQ(db.LastStatement(), QStringLiteral("SELECT MEMO_txt FROM M_manage WHERE PUB_NO = 'J0010AA'"));
    EXPECT_EQ(db.GetManualMemo(QStringLiteral("NONE")), QString());

    EXPECT_TRUE(db.DeleteInstalledManual(QStringLiteral("J0010AA")));
    EXPECT_EQ(db.LastStatement(), QStringLiteral("DELETE FROM M_type WHERE Pub_No = 'J0010AA'"));
    EXPECT_EQ(query(QStringLiteral("SELECT count(*) AS N FROM M_type"), "N"), QStringLiteral("0"));
    EXPECT_TRUE(db.DeleteInstalledManual(QStringLiteral("NONE"))) << "nothing to delete is no error";

    ASSERT_TRUE(db.NewDatabase.Pcls_MdbOpen(DatabasePath));
    EXPECT_TRUE(db.UpdateInstallPath(QStringLiteral("P0020BB"), QStringLiteral("D:\\It's here")));
    EXPECT_EQ(
        db.LastStatement(),
        QStringLiteral(
            "UPDATE M_manage SET  INSPath = 'D:\\It''s here', Adjust_flg = 0  WHERE Pub_No = 'P0020BB'"));
    EXPECT_EQ(query(QStringLiteral("SELECT InsPath || '|' || Adjust_flg AS V FROM M_manage"), "V"),
              QStringLiteral("D:\\It's here|0"));

    db.Database.Release();
    EXPECT_FALSE(db.MarkManualForAdjust(QStringLiteral("P0020BB")));
    EXPECT_FALSE(db.UpdateManualMemo(QStringLiteral("P0020BB"), QStringLiteral("m")));
    EXPECT_FALSE(db.DeleteInstalledManual(QStringLiteral("P0020BB")));
    EXPECT_EQ(db.LastStatement(), QStringLiteral("DELETE FROM M_manage WHERE Pub_No = 'P0020BB'"))
        << "M_type is left alone when M_manage fails";
    EXPECT_EQ(db.CountInstalledManuals(), 0);
}

TEST_F(ManualDatabaseTest, LastInstallPathAndCountOnEmptyAndFilledTables) {
    open();
    EXPECT_EQ(db.GetLastInstallPath(), QString());
    EXPECT_EQ(db.LastStatement(), QStringLiteral("SELECT INSPath FROM M_manage ORDER BY INSDate DESC"));
    EXPECT_EQ(db.CountInstalledManuals(), 0);
    EXPECT_EQ(db.LastStatement(), QStringLiteral("SELECT COUNT(*) AS CNT FROM M_manage"));
    // Dates sort in time order across months and years, not as regional text would.
    for (const char* row :
         {"('A','2023-12-31 23:00:00','C:\\M\\A')", "('B','2024-01-10 08:00:00','C:\\M\\B')",
          "('C','2024-01-09 20:00:00','C:\\M\\C')"})
        ASSERT_EQ(db.Database.Pcls_MdbExecute(
                      QStringLiteral("INSERT INTO M_manage (Pub_No, InsDate, InsPath) VALUES ") +
                      QLatin1String(row)),
                  0);
    EXPECT_EQ(db.GetLastInstallPath(), QStringLiteral("C:\\M\\B"));
    EXPECT_EQ(db.CountInstalledManuals(), 3);
}

TEST_F(ManualDatabaseTest, UpgradeOperationsCopyRowsVersionsAndModelOrder) {
    open(QByteArray(TwoManuals) + "INSERT INTO M_system VALUES ('2');");
    ASSERT_TRUE(mt::MakeSchemaDatabase(env.temp().host(TemplatePath),
                                       "INSERT INTO M_system VALUES ('3');"
                                       "INSERT INTO M_order VALUES ('M01','Model A',2);"
                                       "INSERT INTO M_order VALUES ('m02',NULL,NULL);"
                                       "INSERT INTO M_order VALUES ('M01','again',7);"));
    ASSERT_TRUE(db.NewDatabase.Pcls_MdbOpen(TemplatePath));
    EXPECT_EQ(db.ReadDatabaseVersion(), 0);
    EXPECT_EQ(db.DatabaseVersion, QStringLiteral("2"));
    EXPECT_EQ(db.ReadNewDatabaseVersion(), 0);
    EXPECT_EQ(db.DatabaseVersion, QStringLiteral("3"));
    EXPECT_EQ(db.LastStatement(), QStringLiteral("SELECT * FROM M_system"));

    for (qint16 r = db.OpenOrderScan(); r == 0; r = db.NextOrderScan())
        db.OrderTable.append(db.OrderRow);
    EXPECT_EQ(db.LastStatement(), QStringLiteral("SELECT * FROM M_order"));
    ASSERT_EQ(db.OrderTable.count(), 3);
    EXPECT_EQ(db.OrderTable.entry(2), (shared::OrderEntry{QStringLiteral("m02"), QString(), 0}));
    EXPECT_EQ(db.FindOrderNo(QStringLiteral("M01")), 2) << "the first match";
    EXPECT_EQ(db.FindOrderNo(QStringLiteral("M02")), 0) << "exact match only";
    EXPECT_EQ(db.FindOrderNo(QStringLiteral("M09")), 0);

    // Copy every row into the template; the PDF flag is computed from the installed files.
    ASSERT_TRUE(
        env.temp().writeFile(QStringLiteral("C:\\Manual\\P0020BB\\contents\\P0020BB.pdf"), "%PDF-1.4"));
    qint16 r = db.OpenManageScan();
    EXPECT_EQ(db.LastStatement(), QStringLiteral("SELECT * FROM M_manage"));
    int copied = 0;
    for (; r == 0; r = db.NextManageScan(), ++copied) {
        db.CopyToTransferRecord();
        ASSERT_EQ(db.InsertTransferRecord(), 0);
    }
    EXPECT_EQ(copied, 2);
    EXPECT_EQ(db.LastStatement(),
              QStringLiteral("INSERT INTO M_type  (PUB_NO,PDF_FLG) VALUES ( \n'P0020BB',\n'1')\n"));
    EXPECT_EQ(db.InsertTransferRecord(), -1) << "the row is already there";

    shared::ManualRecord previous = db.CurrentManual;
    ASSERT_EQ(db.OpenNewManageScan(), 0);
    EXPECT_EQ(db.CurrentManual.Pdf_flg, previous.Pdf_flg) << "not computed for NewDatabase";
    ASSERT_EQ(db.FindInstalledManual(db.CurrentManual.Pub_No), 0);
    const shared::ManualRecord original = db.CurrentManual;
    ASSERT_EQ(db.OpenNewManageScan(), 0);
    db.CurrentManual.Pdf_flg = original.Pdf_flg;
    EXPECT_EQ(db.CurrentManual, original) << "every field survives the copy, InsDate to the second";
    EXPECT_EQ(db.NextNewManageScan(), 0);
    EXPECT_EQ(db.NextNewManageScan(), 1);
}

TEST_F(ManualDatabaseTest, ManagerListingSortsByOrderYearClassificationAndNumber) {
    const QByteArray rows =
        "INSERT INTO M_order VALUES ('M1','one',1);"
        "INSERT INTO M_order VALUES ('M2','two',2);"
        "INSERT INTO M_manage (Pub_No,Model_ID,Year,Kubun,InsPath,Adjust_flg,Version) VALUES "
        "('D4','M2','2001','A','C:\\M\\D4','0','1'),('C3','M1','2002','A','C:\\M\\C3','1','2'),"
        "('B2','M1','2001','B','C:\\M\\B2','0','3'),('A1','M1','2001','C','C:\\M\\A1','0','4'),"
        "('Z9','NONE','2009','Z','C:\\M\\Z9','0','5');"
        "INSERT INTO M_type VALUES ('C3','1');";
    open(rows);
    const auto listed = [&] {
        QStringList out;
        for (qint16 r = db.OpenManagerList(); r == 0; r = db.NextManagerListRow()) {
            const auto field = [&](const char* c) {
                return db.Database.Pcls_MdbGetField(shared::ManagerListSlot, QLatin1String(c), QString())
                    .toString();
            };
            out << field("P0") + ":" + field("PB") + ":" + field("K0") + field("Pdf_flg") + field("Ver");
        }
        return out;
    };
    EXPECT_EQ(listed(), QStringList({"Z9:Z:05", "B2:B:03", "A1:C:04", "C3:A:112", "D4:A:01"}));
    EXPECT_EQ(db.LastStatement(),
              QStringLiteral(
                  "SELECT MM.PUB_NO AS P0,InsPath AS P1,MM.MODEL_DESC AS PA,kubun AS PB,Lang AS PC,"
                  "Adjust_flg AS K0,Pdf_flg ,Version AS Ver  FROM (M_manage MM  LEFT JOIN M_type MT ON "
                  "MM.PUB_NO = MT.PUB_NO )  LEFT JOIN M_order MO  ON MM.MODEL_ID = MO.MODEL_ID  ORDER BY "
                  "OrderNo,Year,Kubun,MM.PUB_NO"));

    env.ctx.LanguageCode = QStringLiteral("09");
    EXPECT_EQ(listed(), QStringList({"Z9:2009:05", "A1:2001:04", "B2:2001:03", "C3:2002:112", "D4:2001:01"}));
    EXPECT_EQ(db.LastStatement(),
              QStringLiteral(
                  "SELECT MM.PUB_NO AS P0,InsPath AS P1,MM.MODEL_DESC AS PA,Year  AS PB,Lang AS PC,"
                  "Adjust_flg AS K0,Pdf_flg ,Version AS Ver  FROM (M_manage MM  LEFT JOIN M_type MT ON "
                  "MM.PUB_NO = MT.PUB_NO )  LEFT JOIN M_order MO  ON MM.MODEL_ID = MO.MODEL_ID  ORDER BY "
                  "OrderNo,Year,MM.PUB_NO"));
}

} // namespace
