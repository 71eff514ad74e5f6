// marvek-search: its command line, its lines and its exit codes.
#include "search_tool/SearchCommand.h"
#include "shared/config/RegistryKeys.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <gtest/gtest.h>

using namespace marvek;

namespace {

TEST(SearchCommand, PrintsOneLinePerHitWithItsExitCode) {
    marvek::testing::SharedTestContext env;
    const auto run = [&env](const QStringList& arguments) {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int code = searchtool::RunSearchCommand(env.os(), arguments, outStream, errStream);
        outStream.flush();
        return std::pair(code, out);
    };
    const QStringList search{q("search")};
    EXPECT_EQ(run(search + QStringList{q("brake")}).first, searchtool::NoIndex) << "no database yet";

    ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
        env.temp(), q("C:\\ML\\ManualLink.mdb"),
        "INSERT INTO M_manage (Pub_No, Model_desc, Version, InsDate, InsPath) VALUES"
        " ('RM011EN', 'Aurea Hybrid', '2', '2024-03-01 10:00:01', 'C:\\Manuals\\RM011EN');"
        "INSERT INTO M_type VALUES ('RM011EN', '0');"));
    env.os().registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(shared::ManualLinkKey),
                                    QLatin1String(shared::InstallDirValue), q("C:\\ML"));
    ASSERT_TRUE(env.temp().writeFile(q("C:\\Manuals\\RM011EN\\contents\\dtc\\P0A80.html"),
                                     "<title>DTC P0A80\tHybrid Battery</title><p>Replace the pack.</p>"));

    const struct {
        QStringList arguments;
        int code;
        QString out;
    } cases[] = {
        {search + QStringList{q("p0a80")}, searchtool::Found,
         q("RM011EN\tcontents\\dtc\\P0A80.html\tDTC P0A80 Hybrid Battery\n")},
        {search + QStringList{q("--limit"), q("1"), q("hybrid"), q("pack")}, searchtool::Found,
         q("RM011EN\tcontents\\dtc\\P0A80.html\tDTC P0A80 Hybrid Battery\n")},
        {search + QStringList{q("brake")}, searchtool::NotFound, QString()},
        {search, searchtool::Usage, QString()},
        {search + QStringList{q("--limit"), q("0"), q("x")}, searchtool::Usage, QString()},
        {QStringList{q("find"), q("x")}, searchtool::Usage, QString()},
        {QStringList{q("--help")}, 0, QString()},
    };
    for (const auto& c : cases) {
        const auto [code, out] = run(c.arguments);
        EXPECT_EQ(code, c.code) << c.arguments.join(u' ').toStdString();
        if (c.arguments != QStringList{q("--help")})
            EXPECT_EQ(out, c.out) << c.arguments.join(u' ').toStdString();
        else
            EXPECT_TRUE(out.startsWith(q("Usage: marvek-search search")));
    }
}

} // namespace
