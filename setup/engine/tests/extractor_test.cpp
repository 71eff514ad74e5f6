#include "platform/SevenZip.h"
#include "platform/testing/TestArchive.h"
#include "setup/engine/Extractor.h"
#include "shared/testing/SharedTestContext.h"

#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::setup;

namespace {

// The command line quotes only the destination, with its trailing backslash; the archiver accepts it,
// blanks in both paths included.
TEST(ExtractorTest, ExtractsIntoTheScratchFolder) {
    EXPECT_EQ(
        ExtractorCommandLine(q("D:\\RM010EN\\install\\condense\\manual.zip"), q("C:\\Program Files\\Tmp")),
        q("x -aoa -hide D:\\RM010EN\\install\\condense\\manual.zip \"C:\\Program Files\\Tmp\\\""));
    marvek::testing::SharedTestContext t;
    const QString archive = q("C:\\CD Root\\RM010EN\\install\\condense\\manual.zip");
    const QString scratch = q("C:\\Program Files\\Marvek Link\\UnZipTemp");
    ASSERT_TRUE(t.temp().writeFile(archive, ""));
    ASSERT_TRUE(marvek::testing::TestArchive()
                    .file("RM010EN/index.html", "<html>")
                    .file("RM010EN/contents/p1.html", "p1")
                    .write(t.temp().host(archive)));
    EXPECT_EQ(RunExtractor(t.ctx, archive, scratch), 0);
    EXPECT_EQ(t.temp().readFile(scratch + q("\\RM010EN\\contents\\p1.html")), "p1");
    EXPECT_EQ(RunExtractor(t.ctx, archive, scratch), 0); // -aoa: overwrites without asking

    ASSERT_TRUE(marvek::testing::TestArchive().file("../outside.html", "x").write(t.temp().host(archive)));
    EXPECT_EQ(RunExtractor(t.ctx, archive, scratch), platform::sevenzip::UnsafeEntry);
    EXPECT_FALSE(t.os().files().exists(q("C:\\Program Files\\Marvek Link\\outside.html")));
    EXPECT_NE(RunExtractor(t.ctx, q("C:\\CD Root\\missing.zip"), scratch), 0);
}

} // namespace
