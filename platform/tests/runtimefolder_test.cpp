#include "TestSupport.h"
#include "platform/RuntimeFolder.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

bool makeFolder(const QString& path, mode_t mode) {
    const QByteArray encoded = QFile::encodeName(path);
    return ::mkdir(encoded.constData(), mode) == 0 && ::chmod(encoded.constData(), mode) == 0;
}

// A shared temporary folder (sticky, as /tmp) and a runtime folder in a fresh place, for one user.
struct Places {
    QTemporaryDir dir;
    QString temp = dir.path() + "/tmp";
    QString runtime = dir.path() + "/run-user";
    uid_t uid = ::geteuid();
    QString fallback() const { return temp + "/marvek-" + QString::number(uid); }
};

// Where the folder lands, and every way a place is refused: a link, wrong mode, another owner (the
// folder asked for by a user that is not its owner), no folder at all, a shared parent without the
// sticky bit. An unusable $XDG_RUNTIME_DIR is passed over for the temporary folder; an unusable folder
// in the temporary folder is refused and never used.
TEST(RuntimeFolder, TakesOnlyARealPrivateFolderOfTheUser) {
    enum class Expect { Runtime, Fallback, Refused };
    struct Case {
        const char* what;
        std::function<bool(Places&)> prepare;
        bool setRuntime;
        Expect expect;
        const char* reason; // part of error() when refused
    };
    const std::vector<Case> cases = {
        {"private runtime folder", [](Places& p) { return makeFolder(p.runtime, 0700); }, true,
         Expect::Runtime, ""},
        {"runtime folder unset", [](Places&) { return true; }, false, Expect::Fallback, ""},
        {"runtime folder open to others", [](Places& p) { return makeFolder(p.runtime, 0755); }, true,
         Expect::Fallback, ""},
        {"runtime folder a link",
         [](Places& p) {
             return makeFolder(p.dir.path() + "/real", 0700) &&
                    QFile::link(p.dir.path() + "/real", p.runtime);
         },
         true, Expect::Fallback, ""},
        // Passed over for the temporary folder, whose folder (made here) is not the user's either.
        {"runtime folder of another user",
         [](Places& p) {
             p.uid += 1;
             return makeFolder(p.runtime, 0700);
         },
         true, Expect::Refused, "/marvek-"},
        {"runtime folder missing", [](Places&) { return true; }, true, Expect::Fallback, ""},
        {"own folder open to others", [](Places& p) { return makeFolder(p.fallback(), 0755); }, false,
         Expect::Refused, "has mode 0755, not 0700"},
        {"own folder a link to a private folder",
         [](Places& p) {
             return makeFolder(p.dir.path() + "/elsewhere", 0700) &&
                    QFile::link(p.dir.path() + "/elsewhere", p.fallback());
         },
         false, Expect::Refused, "is a symbolic link"},
        {"own folder made by another user",
         [](Places& p) {
             p.uid += 1; // the folder is this process's, so it is another user's for uid + 1
             return makeFolder(p.fallback(), 0700);
         },
         false, Expect::Refused, "belongs to user"},
        {"own folder is a file", [](Places& p) { return writeHostFile(p.fallback(), ""); }, false,
         Expect::Refused, "is not a folder"},
        {"shared parent not sticky",
         [](Places& p) { return ::chmod(QFile::encodeName(p.temp).constData(), 0777) == 0; }, false,
         Expect::Refused, "not sticky"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Places places;
        ASSERT_TRUE(makeFolder(places.temp, 01777));
        ASSERT_TRUE(c.prepare(places));
        const RuntimeFolder folder =
            RuntimeFolder::open(c.setRuntime ? places.runtime : QString(), places.temp, places.uid);
        switch (c.expect) {
        case Expect::Runtime:
            EXPECT_EQ(folder.path(), places.runtime + "/marvek");
            break;
        case Expect::Fallback:
            EXPECT_EQ(folder.path(), places.fallback());
            break;
        case Expect::Refused:
            EXPECT_FALSE(folder.isValid());
            EXPECT_TRUE(folder.path().isEmpty());
            EXPECT_TRUE(folder.error().contains(QString::fromLatin1(c.reason)))
                << folder.error().toStdString();
            EXPECT_TRUE(folder.entry("name", TempMachine().machine()).isEmpty());
            break;
        }
        if (folder.isValid()) {
            EXPECT_EQ(modeOf(folder.path()) & 07777, 0700u);
            EXPECT_TRUE(S_ISDIR(modeOf(folder.path())));
            EXPECT_TRUE(folder.error().isEmpty());
        }
    }
}

// One name per user folder and machine prefix: the same prefix always gives the same name.
TEST(RuntimeFolder, EntriesAreNamedPerMachinePrefix) {
    QTemporaryDir runtime;
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    const RuntimeFolder folder = RuntimeFolder::open(runtime.path(), QDir::tempPath(), ::geteuid());
    ASSERT_TRUE(folder.isValid());
    TempMachine one;
    TempMachine two;
    const QString name = folder.entry("Pagora", one.machine());
    EXPECT_TRUE(name.startsWith(runtime.path() + "/marvek/Pagora."));
    EXPECT_EQ(QFileInfo(name).suffix().size(), 12);
    EXPECT_EQ(name, folder.entry("Pagora", Machine(one.root() + "/drives/..")));
    EXPECT_NE(name, folder.entry("Pagora", two.machine()));
    EXPECT_NE(name, folder.entry("Mandex", one.machine()));
}

TEST(RuntimeFolder, PeerOfASocketOfThisProcessIsItsOwnUser) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    EXPECT_TRUE(peerIsOwnUser(ends[0]));
    ::close(ends[0]);
    ::close(ends[1]);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    EXPECT_FALSE(peerIsOwnUser(pipeEnds[0])); // no socket, no peer
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

} // namespace
