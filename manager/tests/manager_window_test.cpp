// The manager's window driven under the offscreen platform, and the program as a real process.
#include "ManagerFixture.h"
#include "manager/window/frmMmpMain.h"
#include "platform/InstanceLock.h"
#include "platform/Processes.h"
#include "shared/grid/vaSpread.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <future>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::testing;

namespace {

QByteArray manualRow(const char* pubNo, const char* adjust) {
    return QByteArray("INSERT INTO M_manage VALUES ('") + pubNo +
           "', 'Aurea', 'AUR50', '1', '2024', 'Z', 'Europe', " +
           "'English', '2024/01', 'tech', '2024-04-01 09:30:01', 'C:\\Manuals\\" + pubNo + "', '" + adjust +
           "', 'memo " + pubNo + "');INSERT INTO M_type VALUES ('" + pubNo + "', '0');";
}

class ManagerWindowTest : public ManagerFixture {
protected:
    void prepare(const QByteArray& rows) {
        installManager(rows);
        ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    }

    static QString cell(const manager::frmMmpMain& form, int col, int row) {
        QVariant text;
        form.grid()->GetText(col, row, text);
        return text.toString();
    }

    bool ended = false;
};

TEST_F(ManagerWindowTest, EmptyDatabaseLeavesOnlyTheEndButton) {
    prepare({});
    manager::frmMmpMain form(ctx, [this] { ended = true; });
    ASSERT_TRUE(form.loaded());
    for (const char* name : {"B_Display", "B_Delete", "B_CheckUpdate", "B_MemoUpdate"})
        EXPECT_FALSE(form.button(name)->isEnabled()) << name;
    EXPECT_TRUE(form.button("B_End")->isEnabled());
    EXPECT_FALSE(form.T_Memo()->isEnabled());
    EXPECT_EQ(form.windowTitle(), message(43));
    form.button("B_End")->click();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(ctx.db.Database.IsOpen());
}

TEST_F(ManagerWindowTest, ListSelectionDeleteAndCheck) {
    prepare(manualRow("A0010EN", "0") + manualRow("B0010EN", "1"));
    ASSERT_TRUE(temp().writeFile(QStringLiteral("C:\\Manuals\\A0010EN\\index.html"), "<html></html>"));
    ASSERT_TRUE(temp().writeFile(QStringLiteral("C:\\Manuals\\A0010EN\\contents\\p.html"), "<html></html>"));
    manager::frmMmpMain form(ctx, [this] { ended = true; });
    ASSERT_TRUE(form.loaded());
    ASSERT_EQ(form.grid()->MaxRows(), 2);
    EXPECT_EQ(cell(form, 6, 1), QStringLiteral("A0010EN"));
    EXPECT_EQ(form.T_Memo()->text(), QStringLiteral("memo A0010EN")) << "the first manual is selected";

    // The check marks nothing present; B0010EN was marked before and is still missing: its rows go.
    form.button("B_CheckUpdate")->click();
    ASSERT_EQ(form.grid()->MaxRows(), 1);
    EXPECT_EQ(cell(form, 6, 1), QStringLiteral("A0010EN"));

    // Deleting the last manual: refused once, then confirmed; its folder goes and the buttons are disabled.
    base.ui().addAnswer(QString::number(platform::mb::IdNo));
    form.button("B_Delete")->click();
    EXPECT_EQ(form.grid()->MaxRows(), 1);
    base.ui().addAnswer(QString::number(platform::mb::IdYes));
    form.button("B_Delete")->click();
    EXPECT_EQ(form.grid()->MaxRows(), 0);
    EXPECT_FALSE(ctx.os().files().exists(QStringLiteral("C:\\Manuals\\A0010EN")));
    EXPECT_FALSE(form.button("B_Delete")->isEnabled());
    EXPECT_EQ(base.ui().asked().back().style, 68);
}

TEST_F(ManagerWindowTest, FilterSortAndRememberedLayout) {
    prepare(manualRow("C0010EN", "0") + manualRow("A0010EN", "0") + manualRow("B0010EN", "0") +
            "UPDATE M_manage SET Model_desc = 'Veltro' WHERE Pub_No = 'B0010EN';"
            "UPDATE M_manage SET Memo_txt = '\xe3\x83\x96\xe3\x83\xac\xe3\x83\xbc\xe3\x82\xad' WHERE Pub_No "
            "= 'C0010EN';");
    {
        // The list read on another thread while the window builds, as the program does.
        manager::frmMmpMain form(
            ctx, [this] { ended = true; },
            std::async(std::launch::async, [this] { return manager::LoadManagerList(ctx); }));
        ASSERT_TRUE(form.loaded());
        QTableView* view = form.grid()->view();
        auto listed = [&] {
            QStringList pubNos;
            for (int row = 1; row <= form.grid()->MaxRows(); ++row)
                pubNos.append(cell(form, 6, row));
            return pubNos;
        };
        EXPECT_EQ(listed(), (QStringList{"A0010EN", "B0010EN", "C0010EN"}));
        // The grid lists only the matching manuals; the first of them is selected, and without any the
        // buttons for one manual are disabled (the check still covers every manual).
        for (const auto& [filter, expected] : std::vector<std::pair<QString, QStringList>>{
                 {QStringLiteral("b00"), {"B0010EN"}},    // publication number, any case
                 {QStringLiteral(" velt "), {"B0010EN"}}, // model, blanks ignored
                 {q("ブレ"), {"C0010EN"}},                // memo
                 {QStringLiteral("nothing"), {}},
                 {QString(), {"A0010EN", "B0010EN", "C0010EN"}}}) {
            form.T_Filter()->setText(filter);
            EXPECT_EQ(listed(), expected) << filter.toStdString();
            EXPECT_EQ(ctx.SelectedPubNo, expected.value(0)) << filter.toStdString();
            EXPECT_EQ(form.button("B_Delete")->isEnabled(), !expected.isEmpty()) << filter.toStdString();
            EXPECT_EQ(form.button("B_Display")->isEnabled(), !expected.isEmpty()) << filter.toStdString();
            EXPECT_TRUE(form.button("B_CheckUpdate")->isEnabled()) << filter.toStdString();
        }
        // A memo saved here is found by the next filtering.
        form.T_Filter()->setText(QStringLiteral("A0010"));
        form.T_Memo()->setText(QStringLiteral("gearbox"));
        form.button("B_MemoUpdate")->click();
        form.T_Filter()->setText(QStringLiteral("GEARB"));
        EXPECT_EQ(listed(), QStringList{"A0010EN"});
        // Deleting acts on the manual listed, and the filter stays.
        form.T_Filter()->setText(QStringLiteral("b00"));
        base.ui().addAnswer(QString::number(platform::mb::IdYes));
        form.button("B_Delete")->click();
        EXPECT_EQ(listed(), QStringList{});
        EXPECT_FALSE(form.button("B_Delete")->isEnabled());
        form.T_Filter()->clear();
        EXPECT_EQ(listed(), (QStringList{"A0010EN", "C0010EN"}));
        // A header click sorts by its column, a second click the other way.
        view->horizontalHeader()->sectionClicked(5);
        view->horizontalHeader()->sectionClicked(5);
        EXPECT_EQ(cell(form, 6, 1), QStringLiteral("C0010EN"));
        EXPECT_EQ(form.T_Memo()->text(), q("ブレーキ")) << "the first row is selected again";
        form.grid()->setColWidth(3, 211);
        form.resize(900, 640);
        form.button("B_End")->click();
    }
    ASSERT_EQ(manager::StartManager(ctx, ProgramFolder, false), manager::ManagerStartOutcome::ShowWindow);
    manager::frmMmpMain again(ctx, {});
    EXPECT_EQ(again.grid()->view()->columnWidth(2), 211);
    EXPECT_EQ(again.size(), QSize(900, 640));
}

TEST_F(ManagerWindowTest, SecondProgramEndsAtOnce) {
    prepare(manualRow("A0010EN", "0"));
    // The installed manager with its SysDir.
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(MANDEX_EXE), temp().host(QStringLiteral("C:\\ManualLink\\Mandex.exe"))));
    const platform::InstanceLock first(ctx.os().machine(), QStringLiteral("Mandex"));
    const std::unique_ptr<platform::ChildProcess> second = ctx.os().processes().start(
        QStringLiteral("C:\\ManualLink\\Mandex.exe"), platform::WindowMode::Normal);
    ASSERT_TRUE(second);
    EXPECT_TRUE(QTest::qWaitFor([&] { return second->exitCode() != platform::STILL_ACTIVE; }, 20000));
    EXPECT_EQ(second->exitCode(), 0u);
}

} // namespace
