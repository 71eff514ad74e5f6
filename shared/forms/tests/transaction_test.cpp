// The work window runs its job when shown and closes itself.
#include "shared/forms/frmTransaction.h"
#include "shared/maintenance/MaintenanceJobs.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::testing;

TEST(TransactionWindow, RunsItsJobAndClosesItself) {
    SharedTestContext t;
    t.ctx.ManualLinkDir = QStringLiteral("C:\\ManualLink");
    const QString path = QStringLiteral("C:\\ManualLink\\ManualLink.mdb");
    ASSERT_TRUE(MakeSchemaDatabase(
        t.temp(), path,
        "INSERT INTO M_manage (Pub_No, InsPath, Adjust_flg) VALUES ('GONE0EN', 'C:\\Manuals\\GONE0EN', '0');"
        "INSERT INTO M_type VALUES ('GONE0EN', '0');"));
    shared::ManualDatabase db(t.ctx);
    ASSERT_TRUE(db.Database.Pcls_MdbOpen(path));

    shared::frmTransaction check(t.ctx, db, shared::CheckJobMode, QString(), QString());
    EXPECT_EQ(check.L_Msg()->text(), shared::TransactionMessage(t.ctx, shared::CheckJobMode));
    EXPECT_EQ(check.exec(), QDialog::Accepted);
    ASSERT_EQ(db.FindInstalledManual(QStringLiteral("GONE0EN")), 0);
    EXPECT_EQ(db.CurrentManual.Adjust_flg, QStringLiteral("1")) << "missing at the first check: marked";
    EXPECT_EQ(t.clock().sleptMs(), 2000);

    shared::frmTransaction again(t.ctx, db, shared::CheckJobMode, QString(), QString());
    again.exec();
    EXPECT_EQ(db.FindInstalledManual(QStringLiteral("GONE0EN")), 1) << "still missing: its rows go";
}
