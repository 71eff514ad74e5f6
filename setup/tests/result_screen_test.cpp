// The result screen: the processed manuals in display order, the message lines, and its button's two
// ways out.
#include "ScreensFixture.h"
#include "setup/engine/ResultList.h"
#include "setup/window/frmResult.h"
#include "shared/grid/vaSpread.h"

#include <QLabel>
#include <QPushButton>

using namespace marvek;
using namespace marvek::testing;

namespace {

class ResultScreenTest : public ScreensFixture {
protected:
    void add(const char* pubNo, qint16 orderNo, const char* year, const char* status,
             const char* done = "1") {
        shared::ManualEntry& entry = ctx.ManualTable.append();
        entry.Pub_No = QLatin1String(pubNo);
        entry.Model_desc = QStringLiteral("Model ") + QLatin1String(pubNo);
        entry.OrderNo = orderNo;
        entry.Year = QLatin1String(year);
        entry.Kubun = QStringLiteral("K-") + QLatin1String(pubNo);
        entry.Lang = QStringLiteral("English");
        entry.Version = QStringLiteral("3");
        entry.Status = QLatin1String(status);
        entry.Done = QLatin1String(done);
    }

    QString cell(const setup::frmResult& form, int col, int row) {
        QVariant text;
        form.grid()->GetText(col, row, text);
        return text.toString();
    }
};

TEST_F(ResultScreenTest, ListsProcessedManualsInDisplayOrder) {
    startIn("0409");
    add("B2", 2, "2024", "1");
    add("A1", 1, "2023", "9");
    add("C3", 2, "2024", "2");
    add("SKIP", 0, "2020", "1", "0"); // not processed: not listed
    setup::frmResult form(ctx, flow);
    ASSERT_EQ(form.grid()->MaxRows(), 3);
    EXPECT_EQ(cell(form, 4, 1), QStringLiteral("A1"));
    EXPECT_EQ(cell(form, 6, 1), QString::fromUtf8(setup::NotImportedText)) << "the same text in English";
    EXPECT_EQ(cell(form, 2, 1), QStringLiteral("2023"));
    EXPECT_EQ(cell(form, 4, 2), QStringLiteral("B2")) << "equal keys keep table order";
    EXPECT_EQ(cell(form, 4, 3), QStringLiteral("C3"));
    EXPECT_EQ(cell(form, 6, 3), message(53));
    EXPECT_EQ(cell(form, 1, 0), message(35));
    EXPECT_EQ(form.windowTitle(), message(34));
    EXPECT_EQ(form.L_ErrorMsg(1)->text(), message(64));
    EXPECT_EQ(form.L_ErrorMsg(2)->text(), message(65));
    EXPECT_FALSE(form.L_NormalMsg()->isVisibleTo(&form));
}

TEST_F(ResultScreenTest, ButtonEndsOrFinishes) {
    startIn("0409");
    {
        setup::frmResult failed(ctx, flow);
        failed.B_END()->click();
        EXPECT_EQ(flow.calls, std::vector<std::string>{"end 0"});
        EXPECT_EQ(failed.L_NormalMsg()->text(), message(30));
    }
    flow.calls.clear();
    ASSERT_TRUE(temp().writeFile(QStringLiteral("C:\\ManualLink\\UnZipTemp\\x\\page.html"), "x"));
    ctx.InstallSucceeded = true;
    setup::frmResult done(ctx, flow);
    done.B_END()->click();
    EXPECT_EQ(flow.calls, std::vector<std::string>{"closing"});
    EXPECT_FALSE(ctx.os().files().exists(QStringLiteral("C:\\ManualLink\\UnZipTemp")));
}

} // namespace
