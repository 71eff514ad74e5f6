#include "platform/Acl.h"
#include "platform/TextCodec.h"
#include "shared/access/AccessControl.h"
#include "shared/search/ManualSearch.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace marvek;
using search::ManualSearch;
using search::ManualSource;
using search::SearchHit;

namespace {

const QString DatabasePath = QStringLiteral("C:\\ML\\ManualLink.mdb");

QByteArray page(const char* title, const char* body) {
    return QByteArray("<html><head><meta charset=\"utf-8\"><title>") + title + "</title></head><body>" +
           body + "</body></html>";
}

class ManualSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
            env.temp(), DatabasePath,
            "INSERT INTO M_manage (Pub_No, Model_desc, Version, InsDate, InsPath) VALUES"
            " ('RM010EN', 'Aurea Hybrid', '1', '2024-03-01 10:00:01', 'C:\\Manuals\\RM010EN'),"
            " ('RMJ00JA', 'オーレア', '1', '2024-03-01 10:00:01', 'C:\\Manuals\\RMJ00JA');"
            "INSERT INTO M_type VALUES ('RM010EN', '0'), ('RMJ00JA', '0');"));
        writeEnglish("1");
        const QByteArray sjis =
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\"><title>" +
            platform::encodeCodePage(q("冷却水の交換"), 932) + "</title></head><body><p>" +
            platform::encodeCodePage(q("エンジン冷却水を抜き、新しい冷却水を入れる。"), 932) +
            "</p></body></html>";
        ASSERT_TRUE(env.temp().writeFile(QStringLiteral("C:\\Manuals\\RMJ00JA\\contents\\c01.html"), sjis));
        ASSERT_TRUE(env.temp().writeFile(QStringLiteral("C:\\Manuals\\RMJ00JA\\index.html"),
                                         "<frameset><frame src=\"contents/c01.html\"></frameset>"));
        installed = readInstalled();
        ASSERT_EQ(installed.size(), 2u);
        databaseBytes = env.temp().readFile(DatabasePath);
    }

    void writeEnglish(const char* version) {
        const QByteArray revised = QByteArray(version) == "1" ? "old procedure" : "revised procedure";
        ASSERT_TRUE(env.temp().writeFile(
            QStringLiteral("C:\\Manuals\\RM010EN\\contents\\brakes\\b01.html"),
            page("Brake Bleeding", ("<p>Bleed the brakes. " + revised + ".</p>").constData())));
        ASSERT_TRUE(env.temp().writeFile(
            QStringLiteral("C:\\Manuals\\RM010EN\\contents\\brakes\\b02.html"),
            page("Brake Pads", "<p>Check the pads. If the pedal is soft, see bleeding the brakes.</p>")));
        ASSERT_TRUE(env.temp().writeFile(QStringLiteral("C:\\Manuals\\RM010EN\\contents\\dtc\\p0a80.html"),
                                         page("DTC P0A80 Replace Hybrid Battery Pack", "<p>Inspect.</p>")));
    }

    std::vector<ManualSource> readInstalled() {
        shared::ManualDatabase db(env.ctx);
        if (!db.Database.Pcls_MdbOpen(DatabasePath))
            return {};
        return search::ReadInstalledManuals(db);
    }

    // "PUBNO path" of every hit, best first.
    QStringList find(const QString& words) {
        QStringList out;
        const auto hits = manuals.search(installed, words);
        if (!hits)
            return {QStringLiteral("failed")};
        for (const SearchHit& hit : *hits)
            out.append(hit.pubNo + QLatin1Char(' ') + hit.pagePath);
        return out;
    }

    marvek::testing::SharedTestContext env;
    ManualSearch manuals{env.os(), DatabasePath};
    std::vector<ManualSource> installed;
    QByteArray databaseBytes;
};

TEST_F(ManualSearchTest, FindsWordsStemsJapaneseAndCodes) {
    const struct {
        const char* words;
        QStringList expected;
    } cases[] = {
        // A title hit ranks before a body hit.
        {"bleeding", {"RM010EN contents\\brakes\\b01.html", "RM010EN contents\\brakes\\b02.html"}},
        {"BLEEDS brakes", {"RM010EN contents\\brakes\\b01.html", "RM010EN contents\\brakes\\b02.html"}},
        {"\"brakes bleeding\"", {"RM010EN contents\\brakes\\b01.html"}},
        {"P0A80", {"RM010EN contents\\dtc\\p0a80.html"}},
        {"p0a8", {"RM010EN contents\\dtc\\p0a80.html"}},
        {"冷却", {"RMJ00JA contents\\c01.html"}},
        {"冷却水", {"RMJ00JA contents\\c01.html"}},
        {"水", {"RMJ00JA contents\\c01.html"}},
        {"冷水", {}},
        {"nothing-here", {}},
        {"  ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(find(q(c.words)), c.expected) << c.words;

    const auto hits = manuals.search(installed, q("冷却水"));
    ASSERT_TRUE(hits && hits->size() == 1);
    EXPECT_EQ(hits->front().model, q("オーレア"));
    EXPECT_EQ(hits->front().title, q("\x02冷却水\x03の交換"));
    EXPECT_EQ(hits->front().pageFile(), q("C:\\Manuals\\RMJ00JA\\contents\\c01.html"));
    EXPECT_TRUE(hits->front().snippet.contains(q("\x02冷却水\x03"))) << hits->front().snippet.toStdString();
}

TEST_F(ManualSearchTest, TypingSearchesTheLastWordByPrefix) {
    search::QueryOptions typing;
    typing.lastWordIsPrefix = true;
    const auto hits = manuals.search(installed, QStringLiteral("hybrid batt"), typing);
    ASSERT_TRUE(hits);
    ASSERT_EQ(hits->size(), 1u);
    EXPECT_EQ(find(QStringLiteral("hybrid batt")), QStringList());
}

TEST_F(ManualSearchTest, KeepsTheIndexCurrent) {
    ASSERT_EQ(find(QStringLiteral("pads")).size(), 1);
    EXPECT_TRUE(manuals.outdated(installed).empty());

    // Deleted in the manager: its rows go.
    EXPECT_TRUE(manuals.removeManual(QStringLiteral("RM010EN")));
    EXPECT_EQ(manuals.index().search(search::BuildMatchExpression(QStringLiteral("pads"), false), 50)->size(),
              0u);

    // A newer version replaces the rows of the older one on the next search.
    writeEnglish("2");
    ASSERT_TRUE(manuals.index().indexManual(installed[0], [](const search::PageSink&) { return true; }));
    installed[0].Version = QStringLiteral("2");
    EXPECT_EQ(manuals.outdated(installed).size(), 1u);
    EXPECT_EQ(find(QStringLiteral("revised")),
              QStringList{QStringLiteral("RM010EN contents\\brakes\\b01.html")});
    EXPECT_EQ(find(QStringLiteral("old")), QStringList());

    // A manual no longer installed leaves the index with the next search.
    installed.erase(installed.begin());
    EXPECT_EQ(find(QStringLiteral("revised")), QStringList());
    EXPECT_EQ(env.temp().readFile(DatabasePath), databaseBytes);
}

TEST_F(ManualSearchTest, AManualThatCannotBeReadStaysNotIndexedUntilItCan) {
    installed[0].InsPath = QStringLiteral("C:\\Manuals\\Gone");
    EXPECT_FALSE(manuals.indexManual(installed[0]));
    EXPECT_EQ(find(QStringLiteral("冷却")).size(), 1);
    ASSERT_EQ(manuals.outdated(installed).size(), 1u);
    installed[0].InsPath = QStringLiteral("C:\\Manuals\\RM010EN");
    int reported = 0;
    const auto hits =
        manuals.search(installed, QStringLiteral("pads"), {}, [&](int, int total, const QString&) {
            EXPECT_EQ(total, 1);
            ++reported;
        });
    ASSERT_TRUE(hits);
    EXPECT_EQ(hits->size(), 1u);
    EXPECT_EQ(reported, 2); // before the manual, and done
}

TEST_F(ManualSearchTest, ADamagedIndexFileIsRebuilt) {
    const QString indexFile = env.temp().host(QStringLiteral("C:\\ML\\ManualSearch.idx"));
    const struct {
        const char* what;
        std::function<void(QFile&)> damage;
    } cases[] = {
        {"truncated",
         [](QFile& file) {
             file.resize(file.size() / 2);
         }},
        {"overwritten",
         [](QFile& file) {
             file.open(QIODevice::WriteOnly);
             file.write("not an index");
         }},
        {"emptied",
         [](QFile& file) {
             file.resize(0);
         }},
        {"removed",
         [](QFile& file) {
             file.remove();
         }},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(find(QStringLiteral("pads")).size(), 1) << c.what;
        manuals.index().close();
        QFile file(indexFile);
        c.damage(file);
        file.close();
        ManualSearch reopened(env.os(), DatabasePath);
        const auto hits = reopened.search(installed, QStringLiteral("pads"));
        ASSERT_TRUE(hits) << c.what;
        EXPECT_EQ(hits->size(), 1u) << c.what;
        EXPECT_EQ(find(QStringLiteral("冷却")).size(), 1) << c.what;
    }
    EXPECT_EQ(env.temp().readFile(DatabasePath), databaseBytes);
}

// Every user's programs bring the index up to date, whoever's program made the file: a new file, made
// on first use or anew for a damaged one, gets the users group's full access, as the database has.
TEST_F(ManualSearchTest, AnIndexFileMadeAnewIsGivenToTheUsersGroup) {
    const QString users = shared::GetUsersGroupName(env.ctx);
    const QString indexFile = env.temp().host(QStringLiteral("C:\\ML\\ManualSearch.idx"));
    if (users.isEmpty() || !platform::supportsAccessLists(env.temp().host(QStringLiteral("C:\\"))))
        GTEST_SKIP() << "no users group or no access lists on this file system";
    const auto usersEntry = [&] {
        for (const platform::AccessEntry& entry : platform::readAccessEntries(indexFile).entries)
            if (entry.trustee == users)
                return entry.mask;
        return quint32(0);
    };
    for (const char* made : {"on first use", "anew for a damaged file"}) {
        ASSERT_EQ(find(QStringLiteral("pads")).size(), 1) << made;
        EXPECT_EQ(usersEntry(), platform::FILE_ALL_ACCESS) << made;
        manuals.index().close();
        ASSERT_EQ(platform::setGroupAccess(indexFile, users, 0, platform::NO_INHERITANCE),
                  platform::ERROR_SUCCESS);
        QFile file(indexFile);
        file.resize(file.size() / 2);
    }
}

} // namespace
