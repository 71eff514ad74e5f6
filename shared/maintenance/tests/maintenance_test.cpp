#include "shared/forms/frmTransaction.h"
#include "shared/maintenance/MaintenanceJobs.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QFileInfo>
#include <QLabel>
#include <gtest/gtest.h>

using namespace marvek::shared;

namespace {

const QString DatabasePath = q("C:\\Link\\DTX3.mdb");

// A database of six manuals, as "Pub_No:Adjust_flg" with the state of their files:
// H1:0 HTML present, H2:0 HTML without index.html, H3:1 HTML gone, P1:1 PDF present,
// P2:0 PDF without its document, H4:0 HTML present without an M_type row.
class MaintenanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.ctx.LanguageCode = q("09");
        ASSERT_TRUE(env.temp().writeFile(env.ctx.SysDirPath + q("\\M09.ini"),
                                         "[MESSAGE]\r\nM048=Deleting\r\nM049=Checking\r\n"));
        ASSERT_TRUE(env.temp().writeFile(env.ctx.CleanupBatchPath, "#!/bin/sh\nrm -rf -- \"$1\"\n"));
        for (const char* file :
             {"H1\\index.html", "H1\\contents\\a.html", "H2\\contents\\a.html", "P1\\contents\\P1.pdf",
              "P2\\contents\\other.pdf", "H4\\index.html", "H4\\contents\\a.html"})
            ASSERT_TRUE(env.temp().writeFile(q("C:\\Manuals\\") + q(file), "x"));
        ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
            env.temp(), DatabasePath,
            "INSERT INTO M_manage (Pub_No, InsPath, Adjust_flg) VALUES ('H1','C:\\Manuals\\H1','0'),"
            "('H2','C:\\Manuals\\H2','0'),('H3','C:\\Manuals\\H3','1'),('P1','C:\\Manuals\\P1','1'),"
            "('P2','C:\\Manuals\\P2','0'),('H4','C:\\Manuals\\H4','0');"
            "INSERT INTO M_type VALUES ('H1','0'),('H2','0'),('H3','0'),('P1','1'),('P2','1');"));
        ASSERT_TRUE(db.Database.Pcls_MdbOpen(DatabasePath));
    }
    // Every row of M_manage as "Pub_No:Adjust_flg" and of M_type as "Pub_No", in key order.
    QStringList rows() {
        QStringList result;
        EXPECT_TRUE(db.Database.ReadRows(q("SELECT Pub_No || ':' || Adjust_flg FROM M_manage "
                                           "UNION ALL SELECT Pub_No FROM M_type ORDER BY 1"),
                                         [&](const QueryRow& row) { result << row.text(0); }));
        return result;
    }
    bool exists(const char* path) { return env.os().files().exists(q(path)); }

    marvek::testing::SharedTestContext env;
    ManualDatabase db{env.ctx};
};

TEST_F(MaintenanceTest, CheckJobMarksMissingManualsThenDeletesThemOnALaterCheck) {
    const QStringList all = {"H1", "H1:0", "H2", "H2:0", "H3", "H3:1", "H4:0", "P1", "P1:1", "P2", "P2:0"};
    ASSERT_EQ(rows(), all);
    RunCheckJob(env.ctx, db);
    EXPECT_EQ(rows(), QStringList({"H1", "H1:0", "H2", "H2:1", "H4:0", "P1", "P1:1", "P2", "P2:1"}))
        << "H3 was marked already and goes; H2 and P2 are marked; present manuals keep their flag";
    RunCheckJob(env.ctx, db);
    const QStringList present = {"H1", "H1:0", "H4:0", "P1", "P1:1"};
    EXPECT_EQ(rows(), present);
    RunCheckJob(env.ctx, db);
    EXPECT_EQ(rows(), present) << "all present: nothing changes";
    EXPECT_TRUE(exists("C:\\Manuals\\H2\\contents")) << "the check never removes files";
    EXPECT_TRUE(env.ui().asked().empty());
}

// Which folders the batch refuses is the cleanup's own business (see its tests); the job deletes the
// rows whether the folder went or was refused.
TEST_F(MaintenanceTest, DeleteJobRemovesTheFolderOnlyThroughTheBatchAndAlwaysTheRows) {
    EXPECT_TRUE(RunDeleteJob(env.ctx, db, q("H1"), q("C:\\Manuals\\H1")));
    EXPECT_FALSE(exists("C:\\Manuals\\H1"));
    EXPECT_TRUE(env.ui().asked().empty());
    EXPECT_TRUE(RunDeleteJob(env.ctx, db, q("P2"), q("C:\\Manuals\\..")));
    EXPECT_EQ(env.ui().asked().size(), 1u) << "refused";
    EXPECT_TRUE(exists("C:\\Manuals\\P2\\contents\\other.pdf"));
    EXPECT_TRUE(env.os().files().exists(env.ctx.CleanupBatchPath));
    EXPECT_EQ(rows(), QStringList({"H2", "H2:0", "H3", "H3:1", "H4:0", "P1", "P1:1"}));
}

// The delete removes a folder only when it holds nothing but the manual. The manuals' parent (with or
// without a trailing separator), a link to it, a sibling's folder (also through a link), the diagnostic
// software's folder and the manuals' default parent below it, the manual-link folder with the database:
// each is refused with a box, every file stays, and the rows go as after any refused removal. A
// database that cannot be read refuses every removal.
TEST_F(MaintenanceTest, DeleteJobRefusesAFolderThatHoldsMoreThanTheManual) {
    env.os().registry().writeString(marvek::platform::HKEY_LOCAL_MACHINE, q("SOFTWARE\\MARVEK\\Scanlux"),
                                    q("ProgramPath"), q("C:\\Diag"));
    env.ctx.ManualLinkDir = q("C:\\Link");
    const QStringList kept = {"C:\\Diag\\Scanlux.exe",
                              "C:\\Diag\\Link\\Manual\\D1\\index.html",
                              "C:\\Manuals\\H1\\index.html",
                              "C:\\Manuals\\H2\\contents\\a.html",
                              "C:\\Manuals\\P1\\contents\\P1.pdf",
                              "C:\\Manuals\\H4\\contents\\a.html"};
    for (const QString& file : kept)
        ASSERT_TRUE(env.os().files().exists(file) || env.temp().writeFile(file, "x"));
    ASSERT_TRUE(QFile::link(env.temp().host(q("C:\\Manuals")), env.temp().host(q("C:\\")) + q("/Alias")));

    for (const char* folder :
         {"C:\\Manuals", "C:\\Manuals\\", "c:\\manuals\\.", "C:\\Alias", "C:\\Alias\\H4", "C:\\Manuals\\H4",
          "C:\\Diag", "C:\\Diag\\Link", "C:\\Diag\\Link\\Manual", "C:\\Link"}) {
        SCOPED_TRACE(folder);
        const size_t asked = env.ui().asked().size();
        EXPECT_TRUE(RunDeleteJob(env.ctx, db, q("H2"), q(folder)));
        for (const QString& file : kept)
            EXPECT_TRUE(env.os().files().exists(file)) << file.toStdString();
        EXPECT_TRUE(env.os().files().exists(DatabasePath));
        EXPECT_TRUE(QFileInfo(env.temp().host(q("C:\\")) + q("/Alias")).isSymLink());
        ASSERT_EQ(env.ui().asked().size(), asked + 1);
        EXPECT_TRUE(env.ui().asked().back().text.contains(q(folder)));
        EXPECT_EQ(env.ui().asked().back().title, env.ctx.AppTitle);
    }
    EXPECT_EQ(rows(), QStringList({"H1", "H1:0", "H3", "H3:1", "H4:0", "P1", "P1:1", "P2", "P2:0"}));

    // The manual's own folder goes; with the database closed nothing can be checked, nothing goes.
    EXPECT_TRUE(RunDeleteJob(env.ctx, db, q("H4"), q("C:\\Manuals\\H4")));
    EXPECT_FALSE(exists("C:\\Manuals\\H4"));
    db.Database.Release();
    const size_t asked = env.ui().asked().size();
    EXPECT_FALSE(RunDeleteJob(env.ctx, db, q("P1"), q("C:\\Manuals\\P1")));
    EXPECT_EQ(env.ui().asked().size(), asked + 1);
    EXPECT_TRUE(exists("C:\\Manuals\\P1\\contents\\P1.pdf"));
}

TEST_F(MaintenanceTest, TransactionRunsTheJobOfItsModeBetweenOneSecondWaits) {
    EXPECT_EQ(TransactionMessage(env.ctx, CheckJobMode), q("Checking"));
    for (int mode : {DeleteJobMode, 0, 3})
        EXPECT_EQ(TransactionMessage(env.ctx, mode), q("Deleting")) << mode;

    QStringList events;
    env.clock().onSleep = [&] {
        events << QString::number(env.clock().sleptMs());
    };
    const auto busy = [&](bool on) {
        events << (on ? q("busy") : q("normal"));
    };
    RunTransaction(env.ctx, db, CheckJobMode, q("H1"), q("C:\\Manuals\\H1"), busy);
    EXPECT_EQ(events, QStringList({"busy", "1000", "2000", "normal"}));
    EXPECT_GE(env.clock().eventPumps(), 1);
    EXPECT_TRUE(rows().contains(q("H2:1"))) << "mode 2 checks";
    EXPECT_TRUE(exists("C:\\Manuals\\H1"));

    RunTransaction(env.ctx, db, DeleteJobMode, q("H1"), q("C:\\Manuals\\H1"));
    EXPECT_FALSE(exists("C:\\Manuals\\H1"));
    EXPECT_FALSE(rows().contains(q("H1:0")));
}

// The work window shows the job's message, runs the job when shown and closes itself; the job's work and
// waits are checked above.
TEST_F(MaintenanceTest, TransactionWindowRunsItsJobAndClosesItself) {
    frmTransaction check(env.ctx, db, CheckJobMode, QString(), QString());
    EXPECT_EQ(check.L_Msg()->text(), q("Checking"));
    EXPECT_EQ(check.exec(), QDialog::Accepted);
    EXPECT_TRUE(rows().contains(q("H2:1")));
}

} // namespace
