#include "setup/engine/ResultList.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::setup;

namespace {

class ResultListTest : public ::testing::Test {
protected:
    void SetUp() override {
        shared::SharedContext& s = ctx.shared;
        s.setProgramFolder(q("C:\\CD\\programs\\setup"));
        s.LanguageCode = q("09");
        ASSERT_TRUE(
            env.temp().writeFile(s.SysDirPath + q("\\M09.ini"),
                                 "[MESSAGE]\r\nM035=Model\r\nM037=Year\r\nM038=Language\r\nM052=New\r\n"
                                 "M053=Updated\r\nM054=No change\r\nM055=Result\r\nM064=Finished.\r\n"
                                 "M065=Click OK.\r\nM068=Pub No\r\nM069=Version\r\n"));
    }
    // Appends an entry: "OrderNo,Year,Kubun,Pub_No,Status,Done".
    void add(const char* values) {
        const QStringList v = q(values).split(',');
        shared::ManualEntry& e = ctx.ManualTable.append();
        e.OrderNo = static_cast<qint16>(v[0].toInt());
        e.Year = v[1];
        e.Kubun = v[2];
        e.Pub_No = v[3];
        e.Status = v[4];
        e.Done = v[5];
        e.Model_desc = q("Model ") + v[3];
        e.Lang = q("EN");
        e.Version = q("7");
    }
    QStringList order() {
        QStringList pubNos;
        for (const int index : ResultOrder(ctx.ManualTable))
            pubNos << ctx.ManualTable.entry(index).Pub_No;
        return pubNos;
    }

    marvek::testing::SharedTestContext env;
    SetupContext ctx{env.os()};
};

TEST_F(ResultListTest, SortsByOrderNoYearKubunAndKeepsTableOrderForEqualKeys) {
    for (const char* entry :
         {"2,2004,B,A1,1,1", "1,2005,A,A2,1,1", "1,2004,B,A3,1,1", "1,2004,A,A4,1,1", "1,2004,B,A5,1,1",
          "0,2010,A,A6,1,1", "1,x04,A,A7,1,1", "1,,A,A8,1,1", "1, 2004 ,A,A9,1,1"})
        add(entry);
    // A year that is not a whole number counts as 0; blanks around one are ignored.
    EXPECT_EQ(order(), QStringList({"A6", "A7", "A8", "A4", "A9", "A3", "A5", "A2", "A1"}));
    EXPECT_EQ(ResultSortKey(ctx.ManualTable.entry(3), 3, 9), q("012004B03"));
    EXPECT_EQ(ResultSortKey(ctx.ManualTable.entry(7), 7, 9), q("010000A07"));

    // More than 99 entries: the index takes three digits and table order still decides equal keys.
    ctx.ManualTable.clear();
    for (int i = 1; i <= 120; ++i)
        add(qPrintable(q("%1,2004,A,P%2,1,1").arg(i == 100 ? 0 : 1).arg(i)));
    QStringList expected = {"P100"};
    for (int i = 1; i <= 120; ++i) {
        if (i != 100)
            expected << q("P%1").arg(i);
    }
    EXPECT_EQ(order(), expected);
    EXPECT_EQ(ResultSortKey(ctx.ManualTable.entry(7), 7, 120), q("012004A007"));
}

TEST_F(ResultListTest, RowsOfProcessedManualsWithTheYearOrKubunAndTheStatusText) {
    for (const char* entry : {"1,2004,K1,P1,1,1", "1,2004,K1,P2,2,1", "1,2004,K1,P3,3,1", "1,2004,K1,P4,9,1",
                              "1,2004,K1,P5,0,1", "1,2004,K1,P6,1,0"})
        add(entry);
    EXPECT_EQ(ResultHeaders(ctx.shared),
              (ResultRow{"Model", "Year", "Language", "Pub No", "Version", "Result"}));
    const std::vector<ResultRow> english = ResultRows(ctx);
    ASSERT_EQ(english.size(), 5u) << "P6 was not processed";
    EXPECT_EQ(english[0], (ResultRow{"Model P1", "2004", "EN", "P1", "7", "New"}));
    QStringList statuses;
    for (const ResultRow& row : english)
        statuses << row[5];
    EXPECT_EQ(statuses, QStringList({"New", "Updated", "No change", q("取込対象外"), ""}));

    // The message lines are the error lines when either is set.
    EXPECT_EQ(ResultMessageLines(ctx), (std::array<QString, 2>{"Finished.", "Click OK."}));
    ctx.ErrorLine2 = q("M024 text");
    EXPECT_EQ(ResultMessageLines(ctx), (std::array<QString, 2>{"", "M024 text"}));
    ctx.ErrorLine1 = q("first");
    ctx.ErrorLine2.clear();
    EXPECT_EQ(ResultMessageLines(ctx), (std::array<QString, 2>{"first", ""}));

    ctx.shared.LanguageCode = q("11"); // no M11.ini: the English texts
    const std::vector<ResultRow> japanese = ResultRows(ctx);
    EXPECT_EQ(japanese[0][1], q("K1")) << "the classification in Japanese";
    EXPECT_EQ(japanese[3][5], q("取込対象外"));
}

TEST_F(ResultListTest, ButtonEndsTheProgramOrRemovesTheScratchFolderAndRepairs) {
    shared::SharedContext& s = ctx.shared;
    ASSERT_TRUE(env.temp().writeFile(s.CleanupBatchPath, "#!/bin/sh\nrm -rf -- \"$1\"\n"));
    ASSERT_TRUE(env.temp().writeFile(q("C:\\Temp\\UnZipTemp\\RM010EN\\index.html"), "x"));
    ASSERT_TRUE(env.temp().writeFile(q("C:\\Manuals\\K4410AAD\\index.html"), "x"));
    ctx.UnzipTempDir = q("C:\\Temp\\UnZipTemp");
    ctx.DatabasePath = q("C:\\Link\\DTX3.mdb");
    ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
        env.temp(), ctx.DatabasePath,
        "INSERT INTO M_manage (Pub_No, InsPath, Adjust_flg) VALUES ('K4410AA','C:\\Manuals\\K4410AA','1');"));
    const platform::Files& files = env.os().files();

    EXPECT_EQ(FinishResult(ctx), ResultNext::EndProgram);
    EXPECT_TRUE(files.exists(ctx.UnzipTempDir)) << "the end routine cleans up";
    EXPECT_EQ(env.clock().sleeps(), 0);

    for (const auto& [succeeded, cancelled] : {std::pair(true, false), std::pair(false, true)}) {
        ASSERT_TRUE(env.temp().writeFile(q("C:\\Temp\\UnZipTemp\\x.txt"), "x"));
        ctx.InstallSucceeded = succeeded;
        ctx.CancelRequested = cancelled;
        EXPECT_EQ(FinishResult(ctx), ResultNext::ShowClosingScreen);
        EXPECT_FALSE(files.exists(ctx.UnzipTempDir));
    }
    shared::clsMDB mdb(env.temp().machine());
    ASSERT_TRUE(mdb.Pcls_MdbOpen(ctx.DatabasePath));
    ASSERT_EQ(mdb.Pcls_MdbCreate(0, q("SELECT InsPath FROM M_manage"), 4), 0);
    EXPECT_EQ(mdb.Pcls_MdbGetField(0, q("InsPath"), QString()).toString(), q("C:\\Manuals\\K4410AAD"))
        << "repaired";

    // A scratch folder that is a drive root is refused with the batch's box; the screen goes on.
    ctx.UnzipTempDir = q("C:\\");
    EXPECT_EQ(FinishResult(ctx), ResultNext::ShowClosingScreen);
    EXPECT_EQ(env.ui().asked().size(), 1u);
    EXPECT_TRUE(files.exists(q("C:\\Manuals\\K4410AAD\\index.html")));
}

} // namespace
