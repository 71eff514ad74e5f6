// Real Pagora processes on the offscreen platform: start-up, hand-over, slot 0, stale instances.

#include "pagora_processes.h"

namespace marvek::browser::browsertest {
namespace {

TEST_F(PagoraProcesses, SecondStartHandsOverAndEnds) {
    QProcess* first = start(page);
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForServer());
    ASSERT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s}));

    // Slot 0 navigates; a window with another caption than " - MarvekBrowser" is not stale.
    QProcess* second = start(other + u";1"_s);
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(logged(second, {u"open"_s}, true)); // no window of its own
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, other, u"1"_s, u"0"_s, u"0"_s}));
    EXPECT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"other - MarvekBrowser"_s}));
}

TEST_F(PagoraProcesses, HiddenCodeSearchWindowGivesSlotZeroToAForwardedPage) {
    QProcess* first = start(u"\""_s + codeSearch + u"\";0;1;1"_s);
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"0"_s, codeSearch, u"0"_s, u"1"_s, u"1"_s}));
    ASSERT_TRUE(waitForServer());

    ASSERT_TRUE(finishes(start(page)));
    EXPECT_TRUE(waitForLog(first, {u"unload"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"create"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_TRUE(waitForLog(first, {u"caption"_s, u"0"_s, u"index - MarvekBrowser"_s}));
    QTest::qWait(500);
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(logged(first, {u"end"_s}, true));
}

TEST_F(PagoraProcesses, ClosedSlotZeroIsRecreatedForAForwardedPage) {
    QProcess* first = start(u"C:\\Manuals\\My Manual\\opener.html"_s);
    ASSERT_TRUE(waitForServer());
    // The page opened a window in slot 1 and closed its own; the program goes on.
    ASSERT_TRUE(waitForLog(first, {u"open"_s, u"1"_s, QString(), u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForLog(first, {u"caption"_s, u"1"_s, u"other - MarvekBrowser"_s}));
    QTest::qWait(2500); // the close after 1.5 s
    ASSERT_EQ(first->state(), QProcess::Running);

    ASSERT_TRUE(finishes(start(page)));
    EXPECT_TRUE(waitForLog(first, {u"create"_s, u"0"_s}));
    EXPECT_TRUE(logged(first, {u"update"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_FALSE(logged(first, {u"unload"_s, u"0"_s}));
}

TEST_F(PagoraProcesses, StaleInstanceIsToldToQuitAndAKilledOneDoesNotBlock) {
    QProcess* stale = start(u"C:\\Manuals\\My Manual\\notitle.html"_s);
    ASSERT_TRUE(waitForServer());
    ASSERT_TRUE(waitForLog(stale, {u"caption"_s, u"0"_s, u" - MarvekBrowser"_s}));

    QProcess* next = start(page);
    ASSERT_TRUE(finishes(stale)); // quit, without closing its windows
    EXPECT_EQ(stale->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(stale->exitCode(), 0);
    EXPECT_TRUE(logged(stale, {u"quit-stale"_s}));
    ASSERT_TRUE(waitForLog(next, {u"open"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForServer());

    next->kill(); // leaves its socket behind
    ASSERT_TRUE(finishes(next));
    EXPECT_FALSE(handover::client::instanceRunning(name));
    QProcess* last = start(other);
    ASSERT_TRUE(waitForLog(last, {u"open"_s, u"0"_s, other, u"0"_s, u"0"_s, u"0"_s}));
    ASSERT_TRUE(waitForServer());

    // The new instance owns the hand-over.
    ASSERT_TRUE(finishes(start(page)));
    EXPECT_TRUE(waitForLog(last, {u"update"_s, u"0"_s, page, u"0"_s, u"0"_s, u"0"_s}));
}

TEST_F(PagoraProcesses, BadFirstCommandLineShowsTheMessageAndEnds) {
    QProcess* missing = start(u"C:\\Manuals\\none.html"_s);
    ASSERT_TRUE(finishes(missing, 30000));
    EXPECT_EQ(missing->exitCode(), 0);
    EXPECT_EQ(read(u"/ui.log"_s).count(u"MarvekBrowser\t16\tParameter is incorrect.\t1"_s), 1);
    EXPECT_FALSE(logged(missing, {u"open"_s}, true));
    EXPECT_TRUE(logged(missing, {u"end"_s}));
}

} // namespace
} // namespace marvek::browser::browsertest
