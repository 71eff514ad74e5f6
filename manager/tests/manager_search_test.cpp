// The manager's search: hits of the installed manuals, a hit opened in Pagora through its command line
// (a recording stand-in), and a deleted manual's hits gone.
#include "manager/app/ManagerSearch.h"
#include "manager/window/SearchPanel.h"
#include "manager/window/frmMmpMain.h"
#include "platform/ScreenScript.h"
#include "platform/testing/RecordingProgram.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace marvek;
using marvek::testing::RecordingProgram;

namespace {

class ManagerSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
            env.temp(), q("C:\\ML\\ManualLink.mdb"),
            "INSERT INTO M_manage (Pub_No, Model_desc, Version, InsDate, InsPath) VALUES"
            " ('RM011EN', 'Aurea Hybrid', '2', '2024-03-01 10:00:01', 'C:\\Manuals\\RM011EN');"
            "INSERT INTO M_type VALUES ('RM011EN', '0');"));
        ASSERT_TRUE(env.temp().writeFile(q("C:\\Manuals\\RM011EN\\contents\\b01.html"),
                                         "<title>Brake Bleeding</title><p>Bleed the brakes.</p>"));
        ctx.DatabasePath = q("C:\\ML\\ManualLink.mdb");
        ctx.ViewerExePath = q("C:\\Viewer\\Pagora.exe");
        ASSERT_TRUE(ctx.db.Database.Pcls_MdbOpen(ctx.DatabasePath));
    }

    marvek::testing::SharedTestContext env;
    manager::ManagerContext ctx{env.os()};
};

TEST_F(ManagerSearchTest, OpensAHitInPagoraAndForgetsADeletedManual) {
    manager::ManagerSearch search(ctx);
    const auto hits = search.find(q("bleeding"));
    ASSERT_TRUE(hits && hits->size() == 1);
    EXPECT_EQ(hits->front().model, q("Aurea Hybrid"));

    const RecordingProgram pagora(env.temp().host(ctx.ViewerExePath), env.temp().root() + q("/pagora.args"));
    ASSERT_TRUE(pagora.install());
    EXPECT_TRUE(manager::OpenSearchHit(ctx, hits->front()));
    EXPECT_EQ(pagora.waitForRuns(1),
              QList<QStringList>{{env.temp().host(q("C:\\Manuals\\RM011EN\\contents\\b01.html"))}});

    search.forget(q("RM011EN"));
    ASSERT_TRUE(ctx.db.DeleteInstalledManual(q("RM011EN")));
    EXPECT_TRUE(search.find(q("bleeding"))->empty());
}

TEST_F(ManagerSearchTest, PanelSearchesAfterThePauseAndOpensWithEnter) {
    manager::SearchPanel panel(ctx);
    QTest::keyClicks(panel.T_Search(), q("brak"));
    EXPECT_EQ(panel.L_Hits()->count(), 0) << "not before the pause";
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 50 && panel.L_Hits()->count() == 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20), QThread::msleep(10);
    ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(panel.L_Hits()->count(), 1); // the last word is searched by prefix while typing
    EXPECT_EQ(panel.hits().front().pagePath, q("contents\\b01.html"));

    const RecordingProgram pagora(env.temp().host(ctx.ViewerExePath), env.temp().root() + q("/pagora.args"));
    ASSERT_TRUE(pagora.install());
    QTest::keyClick(panel.T_Search(), Qt::Key_Return);
    EXPECT_EQ(pagora.waitForRuns(1).size(), 1);
}

// In the window Enter moves on to the next control, but not from the search: a hit opened with Enter
// in the field or the list leaves the focus on the hits, and the next Enter opens the next one.
TEST_F(ManagerSearchTest, EnterOpensAHitAndTheFocusStaysOnTheHits) {
    ASSERT_TRUE(env.temp().writeFile(q("C:\\Manuals\\RM011EN\\contents\\b02.html"),
                                     "<title>Brake Pads</title><p>Check the pads and the brakes.</p>"));
    manager::frmMmpMain form(ctx, {});
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    manager::SearchPanel& panel = *form.searchPanel();
    panel.T_Search()->setFocus();
    QTest::keyClicks(panel.T_Search(), q("brakes"));
    const RecordingProgram pagora(env.temp().host(ctx.ViewerExePath), env.temp().root() + q("/pagora.args"));
    ASSERT_TRUE(pagora.install());

    // Enter before the pause is over searches first.
    QTest::keyClick(panel.T_Search(), Qt::Key_Return);
    ASSERT_EQ(panel.L_Hits()->count(), 2);
    EXPECT_EQ(QApplication::focusWidget(), panel.L_Hits());
    EXPECT_EQ(pagora.waitForRuns(1).size(), 1);

    QTest::keyClick(panel.L_Hits(), Qt::Key_Down);
    QTest::keyClick(panel.L_Hits(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), panel.L_Hits());
    const auto runs = pagora.waitForRuns(2);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_NE(runs[0], runs[1]) << "the second hit";

    // Elsewhere in the window Enter still moves on.
    form.T_Filter()->setFocus();
    QTest::keyClick(form.T_Filter(), Qt::Key_Return);
    EXPECT_NE(QApplication::focusWidget(), form.T_Filter());
}

// For demonstrations: a screen script puts words into the search field; the hits are there at once
// (no pause for a text the program puts in) and photographed after the action.
TEST_F(ManagerSearchTest, AScreenScriptSearchesAndPhotographsTheHits) {
    QTemporaryDir shots;
    platform::ScreenScript script(platform::parseScreenScript(q("frmMmpMain T_Search = bleeding")).actions,
                                  shots.path(), shots.path() + q("/screen.log"));
    manager::frmMmpMain form(ctx, {});
    form.show();
    for (int i = 0; i < 50 && script.pendingActions() > 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(form.searchPanel()->L_Hits()->count(), 1);
    EXPECT_TRUE(QFile::exists(shots.path() + q("/01-frmMmpMain.png")));
    EXPECT_TRUE(QFile::exists(shots.path() + q("/02-frmMmpMain.png")));
    QFile log(shots.path() + q("/screen.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("text\tfrmMmpMain\tT_Search\tbleeding\n"));
}

} // namespace
