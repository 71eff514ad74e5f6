// One machine for every technician of a workshop PC: throw-away accounts (two technicians in a
// throw-away group, one user outside it) work on a machine folder that belongs to the group as the
// runtime package makes it (root:<group>, mode 2775). One technician installs the sample CD, the other
// manages the manuals; the installers and the manager see each other across the two accounts, and the
// user outside the group is refused before anything is written. Needs root (accounts are made and
// removed); skipped otherwise.
#include "platform/Machine.h"
#include "platform/Registry.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/RecordingProgram.h"
#include "platform/testing/ShortPauses.h"
#include "shared/database/clsMDB.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using marvek::testing::BuildPath;

using namespace marvek;

namespace {

constexpr int LongRun = 300000;

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool setOwner(const QString& path, uid_t uid, gid_t gid, mode_t mode) {
    const QByteArray name = QFile::encodeName(path);
    return ::chown(name.constData(), uid, gid) == 0 && ::chmod(name.constData(), mode) == 0;
}

QString writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    return path;
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

// An account of this test: its ids, groups and a home folder of its own inside the test's folder.
struct Account {
    QString name;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    QString home;
};

// A throw-away group and accounts with unique names, removed when the object goes, also after a failed
// assertion.
class ThrowAwayAccounts {
public:
    explicit ThrowAwayAccounts(const QString& folder)
        : m_folder(folder), m_prefix(QStringLiteral("mvk%1").arg(::getpid())) {
        m_group = m_prefix + QStringLiteral("tech");
        if (run("groupadd", {m_group}))
            m_groupMade = true;
    }
    ~ThrowAwayAccounts() {
        for (const QString& name : std::as_const(m_users))
            run("userdel", {"--force", name});
        if (m_groupMade)
            run("groupdel", {m_group});
    }
    ThrowAwayAccounts(const ThrowAwayAccounts&) = delete;
    ThrowAwayAccounts& operator=(const ThrowAwayAccounts&) = delete;

    const QString& group() const { return m_group; }
    gid_t groupId() const {
        const struct group* entry = ::getgrnam(m_group.toLocal8Bit().constData());
        return entry ? entry->gr_gid : gid_t(-1);
    }
    bool ready() const { return m_groupMade; }

    // A user, in the group or not; nullopt when it cannot be made.
    std::optional<Account> add(const QString& suffix, bool inGroup) {
        Account account;
        account.name = m_prefix + suffix;
        account.home = m_folder + u'/' + account.name;
        QStringList arguments{"--no-create-home", "--home-dir", account.home, "--shell", "/bin/sh"};
        if (inGroup)
            arguments << "--groups" << m_group;
        if (!run("useradd", arguments << account.name))
            return std::nullopt;
        m_users << account.name;
        const QByteArray name = account.name.toLocal8Bit();
        const passwd* entry = ::getpwnam(name.constData());
        if (!entry)
            return std::nullopt;
        account.uid = entry->pw_uid;
        account.gid = entry->pw_gid;
        int count = 64;
        account.groups.resize(count);
        if (::getgrouplist(name.constData(), account.gid, account.groups.data(), &count) < 0)
            return std::nullopt;
        account.groups.resize(count);
        for (const char* folder : {"", "/data", "/config", "/cache", "/run", "/files"}) {
            if (!QDir().mkpath(account.home + folder) ||
                !setOwner(account.home + folder, account.uid, account.gid, 0700))
                return std::nullopt;
        }
        return account;
    }

private:
    QString m_folder;
    QString m_prefix;
    QString m_group;
    bool m_groupMade = false;
    QStringList m_users;
};

// A program run as one account: its groups, group and user are taken in the child before the program
// starts, with an environment of that user's own (home, desktop folders, private runtime folder).
class AsUser {
public:
    AsUser(const Account& account, const QString& machineRoot, const QString& tool)
        : m_account(account), m_tool(tool), m_environment(QProcessEnvironment::systemEnvironment()) {
        // The test's own machine, desktop folders and scripts are not the user's (the sanitizers' and
        // the platform's settings pass on).
        for (const QString& name : m_environment.keys()) {
            if (name.startsWith("MARVEK_") || name.startsWith("XDG_") || name == "TMPDIR")
                m_environment.remove(name);
        }
        m_environment.insert("HOME", account.home);
        m_environment.insert("USER", account.name);
        m_environment.insert("LOGNAME", account.name);
        m_environment.insert("XDG_DATA_HOME", account.home + "/data");
        m_environment.insert("XDG_CONFIG_HOME", account.home + "/config");
        m_environment.insert("XDG_CACHE_HOME", account.home + "/cache");
        m_environment.insert("XDG_RUNTIME_DIR", account.home + "/run");
        m_environment.insert("LC_ALL", "en_US.UTF-8");
        m_environment.insert("QT_QPA_PLATFORM", "offscreen");
        m_environment.insert("MARVEK_ROOT", machineRoot);
        m_environment.insert("MARVEK_MACHINE_TOOL", tool);
        m_environment.insert(marvek::testing::MaxSleepVariable, marvek::testing::ShortPauseMs);
    }

    QString files() const { return m_account.home + "/files"; }
    void set(const QString& name, const QString& value) { m_environment.insert(name, value); }
    // The screen script and the logs of one run, in the user's own folder.
    void script(const QString& run, const QByteArray& screens, const QByteArray& answers = {}) {
        const QString base = files() + u'/' + run;
        m_environment.insert("MARVEK_SCREEN_SCRIPT", writeText(base + ".screens", screens));
        m_environment.insert("MARVEK_UI_SCRIPT", writeText(base + ".answers", answers));
        m_environment.insert("MARVEK_SCREEN_LOG", base + ".screen.log");
        m_environment.insert("MARVEK_UI_LOG", base + ".ui.log");
        for (const QString& path : {base + ".screens", base + ".answers"})
            setOwner(path, m_account.uid, m_account.gid, 0600);
    }
    QStringList screens(const QString& run) const { return fileLines(files() + u'/' + run + ".screen.log"); }
    QStringList boxes(const QString& run) const { return fileLines(files() + u'/' + run + ".ui.log"); }

    void start(QProcess& process, const QString& program, const QStringList& arguments) const {
        process.setProcessEnvironment(m_environment);
        process.setWorkingDirectory(m_account.home);
        const Account& account = m_account;
        process.setChildProcessModifier([&account] {
            if (::setgroups(account.groups.size(), account.groups.data()) != 0 ||
                ::setgid(account.gid) != 0 || ::setuid(account.uid) != 0)
                ::_exit(126);
        });
        process.start(program, arguments);
    }

    struct Result {
        int status = -1;
        QString out;
        QString err;
    };
    Result run(const QString& program, const QStringList& arguments, int timeout = 120000) const {
        QProcess process;
        start(process, program, arguments);
        Result result;
        if (!process.waitForFinished(timeout)) {
            process.kill();
            process.waitForFinished();
        } else if (process.exitStatus() == QProcess::NormalExit) {
            result.status = process.exitCode();
        }
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
    Result tool(const QStringList& arguments, int timeout = 120000) const {
        return run(m_tool, arguments, timeout);
    }

private:
    Account m_account;
    QString m_tool;
    QProcessEnvironment m_environment;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 120000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

void stop(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
    }
}

// Every entry below a folder: its owner's and group's permissions, its group and its size, by path.
std::map<QString, QString> snapshot(const QString& folder) {
    std::map<QString, QString> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        entries[path] = QStringLiteral("%1 %2:%3 %4 %5")
                            .arg(info.st_mode, 0, 8)
                            .arg(info.st_uid)
                            .arg(info.st_gid)
                            .arg(info.st_size)
                            .arg(info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec);
    }
    return entries;
}

// The entries below a folder that do not belong to the group as a shared machine's must: the group
// owns them, a folder passes the group on (set-group-ID) and the group may do what the owner may.
QStringList notTheGroups(const QString& folder, gid_t group) {
    QStringList wrong;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || S_ISLNK(info.st_mode))
            continue;
        const mode_t owner = (info.st_mode >> 6) & 7;
        const mode_t groupBits = (info.st_mode >> 3) & 7;
        if (info.st_gid != group || (groupBits & owner) != owner ||
            (S_ISDIR(info.st_mode) && !(info.st_mode & S_ISGID)))
            wrong
                << QStringLiteral("%1 %2 gid %3").arg(path).arg(info.st_mode & 07777, 0, 8).arg(info.st_gid);
    }
    return wrong;
}

QStringList installedManuals(const platform::Machine& machine, const QString& database) {
    QStringList manuals;
    shared::clsMDB db(machine);
    if (db.Pcls_MdbOpenReadOnly(database))
        db.ReadRows("SELECT Pub_No FROM M_manage ORDER BY Pub_No",
                    [&](const shared::QueryRow& row) { manuals << row.text(0); });
    return manuals;
}

} // namespace

TEST(SystemMachine, TechniciansShareOneMachineAndAnOutsiderIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making throw-away accounts needs root";
    if (QStandardPaths::findExecutable("useradd").isEmpty())
        GTEST_SKIP() << "no useradd on this host";
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    ASSERT_TRUE(setOwner(base.path(), 0, 0, 0755)); // the accounts reach their homes and the machine
    ThrowAwayAccounts accounts(base.path());
    ASSERT_TRUE(accounts.ready());
    const std::optional<Account> a = accounts.add("a", true);
    const std::optional<Account> b = accounts.add("b", true);
    const std::optional<Account> outsider = accounts.add("x", false);
    ASSERT_TRUE(a && b && outsider);
    const gid_t group = accounts.groupId();

    // What the accounts run lies in the test's folder, as the build folder may be closed to them: the
    // machine tool, the CD, and the leak checker's suppressions of a sanitizer build.
    const QString tool = base.path() + "/marvek-machine";
    ASSERT_TRUE(QFile::copy(BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"), tool) && setOwner(tool, 0, 0, 0755));
    QString leakOptions = qEnvironmentVariable("LSAN_OPTIONS");
    static const QRegularExpression suppressions("suppressions=([^:]+)");
    if (const QRegularExpressionMatch match = suppressions.match(leakOptions); match.hasMatch()) {
        const QString copy = base.path() + "/lsan.supp";
        ASSERT_TRUE(QFile::copy(match.captured(1), copy) && setOwner(copy, 0, 0, 0644));
        leakOptions.replace(match.capturedStart(1), match.capturedLength(1), copy);
    }

    // The machine as the package makes it: the group's folder, then set up by root with the CD as D:.
    const QString root = base.path() + "/machine";
    const QString cd = base.path() + "/cd";
    ASSERT_TRUE(QDir().mkpath(root) && setOwner(root, 0, group, 02775));
    ASSERT_EQ(QProcess::execute("cp", {"-a", BuildPath("MARVEK_SAMPLE_CD_DIR") + QStringLiteral("/."), cd}),
              0);
    ASSERT_TRUE(run(BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"), {"--root", root, "create"}));
    ASSERT_TRUE(run(BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"), {"--root", root, "map", "d:", cd}));
    const platform::Machine machine(root);
    const QString scanlux = machine.toHost("C:\\Program Files\\Marvek\\Scanlux");
    const mode_t umask = ::umask(002); // the diagnostic software's folders, as its installer left them
    const bool made = QDir().mkpath(scanlux);
    ::umask(umask);
    ASSERT_TRUE(made);
    writeText(scanlux + "/Scanlux.exe", "diagnostic software");
    ASSERT_TRUE(setOwner(scanlux + "/Scanlux.exe", 0, group, 0664));
    ASSERT_TRUE(run(BuildPath("MARVEK_MACHINE_TOOL_PROGRAM"),
                    {"--root", root, "register-diagnostic", "C:\\Program Files\\Marvek\\Scanlux"}));
    EXPECT_EQ(notTheGroups(root, group).join(u'\n').toStdString(), "") << "what root's tool made";

    AsUser userA(*a, root, tool);
    AsUser userB(*b, root, tool);
    AsUser userX(*outsider, root, tool);
    for (AsUser* user : {&userA, &userB, &userX}) {
        if (!leakOptions.isEmpty())
            user->set("LSAN_OPTIONS", leakOptions);
    }
    const QString setupProgram = cd + "/programs/setup/setup.exe";

    // The user outside the group: every program refuses with the group and the command that adds the
    // user to it, and the machine stays as it was.
    {
        const std::map<QString, QString> before = snapshot(root);
        userX.script("setup", "frmMenu close\n");
        const AsUser::Result setup = userX.run(setupProgram, {});
        EXPECT_EQ(setup.status, 1);
        for (const QString& text : {setup.err, userX.boxes("setup").join(u'\n')}) {
            EXPECT_TRUE(text.contains('"' + accounts.group() + '"')) << text.toStdString();
            EXPECT_TRUE(text.contains("sudo adduser " + outsider->name + ' ' + accounts.group()))
                << text.toStdString();
        }
        EXPECT_EQ(userX.screens("setup"), QStringList()) << "no screen was shown";
        const AsUser::Result tool = userX.tool({"run", "D:\\programs\\manual_link\\setup.exe 1"});
        EXPECT_EQ(tool.status, 1);
        EXPECT_TRUE(tool.err.contains("adduser " + outsider->name)) << tool.err.toStdString();
        EXPECT_EQ(userX.tool({"create"}).status, 1);
        const AsUser::Result show = userX.tool({"show"});
        EXPECT_EQ(show.status, 0) << "show only reads";
        EXPECT_TRUE(show.out.contains("named by MARVEK_ROOT")) << show.out.toStdString();
        EXPECT_TRUE(show.out.contains("shared by the technicians of the group " + accounts.group()));
        EXPECT_TRUE(snapshot(root) == before);
    }

    // A installs the manual-link component and then the whole CD.
    const QString linkDir = "C:\\Program Files\\Marvek\\Scanlux\\ManualLink";
    const QString database = linkDir + "\\ManualLink.mdb";
    {
        const AsUser::Result link = userA.tool({"run", "D:\\programs\\manual_link\\setup.exe 1"});
        ASSERT_EQ(link.status, 0) << link.err.toStdString();
        userA.script("install", "frmMenu cmdStartInstall\nfrmStartUp O_Value(1)\nfrmStartUp B_OK\n"
                                "frmDirectorySelect B_OK *\nfrmResult B_END\nfrmTarm B_END\n");
        const AsUser::Result setup = userA.run(setupProgram, {}, LongRun);
        EXPECT_EQ(setup.status, 0) << setup.err.toStdString();
        EXPECT_EQ(userA.boxes("install"), QStringList());
        EXPECT_TRUE(userA.screens("install").contains("shown\tfrmTarm"));
    }
    const QStringList five{"BRM00EN", "EWD00EN", "NCF00EN", "RM011EN", "RMJ00JA"};
    ASSERT_EQ(installedManuals(machine, database), five);
    // Everything A's programs made belongs to the group, which may change it as A may.
    EXPECT_EQ(notTheGroups(root, group).join(u'\n').toStdString(), "");
    // A's start menu and desktop entries are A's.
    EXPECT_TRUE(QFileInfo(machine.toHost("C:\\Documents and Settings\\" + a->name + "\\Start Menu\\Programs"))
                    .isDir());
    EXPECT_FALSE(QDir(b->home + "/data/applications").exists());

    // B sees A's manuals.
    {
        const AsUser::Result show = userB.tool({"show"});
        EXPECT_EQ(show.status, 0) << show.err.toStdString();
        EXPECT_TRUE(show.out.contains("Installed manuals (" + database + "): 5\n")) << show.out.toStdString();
    }

    const QString manager = machine.toHost(linkDir + "\\Mandex.exe");
    // While B's manager runs, A's installer does not work on the database (the result screen with the
    // manager's message instead of the menu).
    {
        QProcess bManager;
        userB.script("held-manager", "");
        userB.start(bManager, manager, {});
        ASSERT_TRUE(waitFor([&] { return userB.screens("held-manager").contains("shown\tfrmMmpMain"); }))
            << bManager.readAllStandardError().toStdString();
        userA.script("refused", "frmResult B_END\nfrmMenu close\n");
        const AsUser::Result setup = userA.run(setupProgram, {});
        stop(bManager);
        EXPECT_EQ(setup.status, 0) << setup.err.toStdString();
        EXPECT_TRUE(userA.screens("refused").contains("shown\tfrmResult"));
        EXPECT_FALSE(userA.screens("refused").contains("shown\tfrmMenu"));
    }
    // With the manager gone the same start reaches the menu.
    userA.script("menu", "frmMenu close\n");
    EXPECT_EQ(userA.run(setupProgram, {}).status, 0);
    EXPECT_TRUE(userA.screens("menu").contains("shown\tfrmMenu"));

    // One installer on the machine: B's setup ends at once, without a screen, while A's shows its menu.
    {
        QProcess aSetup;
        userA.script("held-setup", "");
        userA.start(aSetup, setupProgram, {});
        ASSERT_TRUE(waitFor([&] { return userA.screens("held-setup").contains("shown\tfrmMenu"); }))
            << aSetup.readAllStandardError().toStdString();
        userB.script("second-setup", "frmMenu close\n");
        const AsUser::Result second = userB.run(setupProgram, {}, 60000);
        stop(aSetup);
        EXPECT_EQ(second.status, 0) << second.err.toStdString();
        EXPECT_EQ(userB.screens("second-setup"), QStringList());
    }

    // B's manager opens the first manual in the browser (a stand-in that records its start), saves its
    // memo and deletes it: files A's programs made, which the group may change.
    const QString record = base.path() + "/browser-runs";
    ASSERT_TRUE(QDir().mkpath(record) && setOwner(record, 0, 0, 01777));
    const marvek::testing::RecordingProgram browser(
        machine.toHost("C:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe"), record + "/runs.txt");
    ASSERT_TRUE(QFile::remove(browser.path()) && browser.install());
    ASSERT_TRUE(setOwner(browser.path(), 0, group, 0775));
    std::map<QString, QString> folders; // by publication number
    {
        shared::clsMDB db(machine);
        ASSERT_TRUE(db.Pcls_MdbOpenReadOnly(database));
        db.ReadRows("SELECT Pub_No, InsPath FROM M_manage",
                    [&](const shared::QueryRow& row) { folders[row.text(0)] = row.text(1); });
    }
    ASSERT_EQ(folders.size(), 5u);
    {
        // The window stays open: its end button would be pressed while the deletion's job runs.
        userB.script("manage", "frmMmpMain B_Display\nfrmMmpMain B_MemoUpdate\nfrmMmpMain B_Delete\n", "6\n");
        QProcess bManager;
        userB.start(bManager, manager, {});
        EXPECT_TRUE(waitFor([&] { return installedManuals(machine, database).size() == 4; }))
            << bManager.readAllStandardError().toStdString();
        QThread::msleep(3000); // the job's closing second and the list read again
        stop(bManager);
        const QStringList boxes = userB.boxes("manage");
        EXPECT_EQ(boxes.size(), 1) << boxes.join(u'\n').toStdString(); // the question before deleting
        EXPECT_TRUE(boxes.value(0).endsWith("\t6")) << boxes.join(u'\n').toStdString();
    }
    const QStringList left = installedManuals(machine, database);
    ASSERT_EQ(left.size(), 4) << left.join(u' ').toStdString();
    QString deleted;
    for (const QString& pubNo : five) {
        if (!left.contains(pubNo))
            deleted = pubNo;
    }
    EXPECT_FALSE(QFileInfo::exists(machine.toHost(folders[deleted]))) << "B removed A's manual folder";
    for (const QString& pubNo : left)
        EXPECT_TRUE(QFileInfo(machine.toHost(folders[pubNo])).isDir()) << pubNo.toStdString();
    // The manual shown first was opened, and then deleted.
    const QList<QStringList> opened = browser.waitForRuns(1);
    ASSERT_EQ(opened.size(), 1);
    // (the stand-in reads its arguments, which the unquoted command line splits at the blank of
    // "Program Files"; Pagora itself reads the command line as written)
    EXPECT_TRUE(opened[0].join(u' ').contains(folders[deleted].section(u'\\', -1) + "\\index.html"))
        << opened[0].join(u' ').toStdString() << " " << deleted.toStdString();
}
