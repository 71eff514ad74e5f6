// The index on a PC shared by several accounts: made by one (setup, as the administrator), brought up to
// date by the programs of the others, and searched as it is by an account that may not write it.
// The other accounts are real ones when the test runs as root; otherwise the file is made read-only.
#include "platform/Acl.h"
#include "platform/testing/BuildPath.h"
#include "shared/access/AccessControl.h"
#include "shared/config/RegistryKeys.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QProcess>
#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

using marvek::testing::BuildPath;

using namespace marvek;

namespace {

// Who runs the tool: this test's own account, another account in the local users group, or another
// account outside it.
enum class Account { Self, UsersMember, Outsider };

constexpr uid_t OtherUid = 65534; // nobody

struct ToolRun {
    int code = -1;
    QString out;
    QString err;
};

class SharedIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.os().registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(shared::ManualLinkKey),
                                        QLatin1String(shared::InstallDirValue), q("C:\\ML"));
        install("2", "Replace the pack.");
        // Every account reaches the machine; the database folder is writable by all, as the suite's
        // folder grant makes it for the users group.
        for (QString path = env.temp().root(); path != QDir::tempPath() && path.size() > 1;
             path = QFileInfo(path).path())
            QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(env.temp().host(q("C:\\ML")), QFile::Permissions(0x7777));
        QDir().mkpath(home());
        QFile::setPermissions(home(), QFile::Permissions(0x7777));
    }

    // The manual at a version, with one page's text; the database readable by every account.
    void install(const char* version, const QByteArray& text) {
        QFile::remove(env.temp().host(q("C:\\ML\\ManualLink.mdb")));
        ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(
            env.temp(), q("C:\\ML\\ManualLink.mdb"),
            QByteArray("INSERT INTO M_manage (Pub_No, Model_desc, Version, InsDate, InsPath) VALUES"
                       " ('RM011EN', 'Aurea Hybrid', '") +
                version +
                "', '2024-03-01 10:00:01', 'C:\\Manuals\\RM011EN');"
                "INSERT INTO M_type VALUES ('RM011EN', '0');"));
        QFile::setPermissions(env.temp().host(q("C:\\ML\\ManualLink.mdb")), QFile::Permissions(0x6666));
        ASSERT_TRUE(env.temp().writeFile(q("C:\\Manuals\\RM011EN\\contents\\dtc\\P0A80.html"),
                                         "<title>DTC P0A80</title><p>" + text + "</p>"));
    }

    QString home() { return env.temp().root() + q("/home"); }
    QString indexFile() { return env.temp().host(q("C:\\ML\\ManualSearch.idx")); }

    ToolRun search(const QString& word, Account account) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(q("MARVEK_ROOT"), env.temp().root());
        environment.insert(q("HOME"), home());
        environment.remove(q("XDG_DATA_HOME"));
        environment.remove(q("XDG_RUNTIME_DIR"));
        tool.setProcessEnvironment(environment);
        tool.setWorkingDirectory(home());
        if (account != Account::Self) {
            const group* users = getgrnam(shared::GetUsersGroupName(env.ctx).toLocal8Bit().constData());
            const gid_t usersGid = users ? users->gr_gid : 0;
            tool.setChildProcessModifier([account, usersGid] {
                const gid_t groups[] = {usersGid};
                const bool member = account == Account::UsersMember && usersGid != 0;
                if (setgroups(member ? 1 : 0, groups) != 0 || setgid(OtherUid) != 0 || setuid(OtherUid) != 0)
                    _exit(99);
            });
        }
        tool.start(BuildPath("MARVEK_SEARCH_EXE"), {q("search"), word});
        tool.waitForFinished(60000);
        return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
                QString::fromUtf8(tool.readAllStandardOutput()),
                QString::fromUtf8(tool.readAllStandardError())};
    }

    marvek::testing::SharedTestContext env;
};

const QString Hit = q("RM011EN\tcontents\\dtc\\P0A80.html\tDTC P0A80\n");
const QString ReadOnlyNote = q("cannot be updated (no write access)");

TEST_F(SharedIndexTest, OtherAccountsUpdateTheIndexAndOneWithoutWriteAccessSearchesItAsItIs) {
    const bool otherAccounts = geteuid() == 0;
    const bool accessLists = !shared::GetUsersGroupName(env.ctx).isEmpty() &&
                             platform::supportsAccessLists(env.temp().host(q("C:\\")));

    // Made by the first search (or setup), given to the users group.
    ToolRun run = search(q("pack"), Account::Self);
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, Hit);

    // Another account of the users group brings a reinstalled manual up to date.
    install("3", "Replace the battery.");
    if (otherAccounts && accessLists) {
        run = search(q("battery"), Account::UsersMember);
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, Hit);
        EXPECT_FALSE(run.err.contains(ReadOnlyNote)) << run.err.toStdString();
    } else {
        run = search(q("battery"), Account::Self);
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
    }

    // An account that may not write the index: the manual installed again is not indexed, the search
    // answers from what the index holds and says so, and the file is left as it was.
    install("4", "Renew the module.");
    if (!otherAccounts)
        QFile::setPermissions(indexFile(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QByteArray before = [this] {
        QFile file(indexFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const Account outsider = otherAccounts ? Account::Outsider : Account::Self;
    run = search(q("battery"), outsider);
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, Hit);
    EXPECT_TRUE(run.err.contains(ReadOnlyNote)) << run.err.toStdString();
    run = search(q("module"), outsider);
    EXPECT_EQ(run.code, 1) << run.err.toStdString();
    QFile after(indexFile());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);

    // Writable again: the next search indexes the new version.
    QFile::setPermissions(indexFile(), QFile::Permissions(0x6644));
    run = search(q("module"), Account::Self);
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(ReadOnlyNote));
}

} // namespace
