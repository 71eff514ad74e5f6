// The suite never writes to the CD: the sample CD's whole installation runs from a CD that even root
// cannot change (its image mounted, else a copy bound read-only or made immutable), started as a
// technician starts it from a desktop's mount point outside every drive, and afterwards every file of
// the CD (and the image) is byte for byte what it was.
#include "platform/MediaDrives.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/ScopedEnvironment.h"
#include "platform/testing/ShortPauses.h"
#include "setup/engine/Startup.h"
#include "shared/testing/SharedTestContext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <sqlite3.h>

using marvek::testing::BuildPath;

using namespace marvek;
using namespace marvek::testing;

namespace {

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The sample CD as nobody, root included, can change it while the object lives, at
// <folder>/MARVEK_SMCD: its ISO image mounted with fuseiso where the machine has FUSE; else a copy of
// its tree bound there read-only where the machine allows mounts; else that copy itself made immutable
// (chattr +i, on a file system that has the flag). root() is empty when none of these works.
class ReadOnlyCd {
public:
    explicit ReadOnlyCd(const QString& folder)
        : m_tree(folder + QStringLiteral("/tree")), m_mountPoint(folder + QStringLiteral("/MARVEK_SMCD")) {
        if (!QDir().mkpath(m_mountPoint))
            return;
        if (run(QStringLiteral("fuseiso"), {BuildPath("MARVEK_SAMPLE_CD_IMAGE"), m_mountPoint})) {
            m_unmount = QStringLiteral("fusermount");
            if (settle(m_mountPoint, "the CD image mounted with fuseiso"))
                return;
        }
        if (!QDir().mkpath(m_tree) ||
            !run(QStringLiteral("cp"),
                 {QStringLiteral("-a"), BuildPath("MARVEK_SAMPLE_CD_DIR") + QStringLiteral("/."), m_tree}))
            return;
        if (run(QStringLiteral("mount"), {QStringLiteral("--bind"), m_tree, m_mountPoint})) {
            m_unmount = QStringLiteral("umount");
            if (run(QStringLiteral("mount"),
                    {QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), m_mountPoint}) &&
                settle(m_mountPoint, "a copy bound read-only"))
                return;
        }
        if (run(QStringLiteral("chattr"), {QStringLiteral("-R"), QStringLiteral("+i"), m_tree})) {
            m_immutable = true;
            settle(m_tree, "an immutable copy");
        }
    }
    ~ReadOnlyCd() { release(); }
    ReadOnlyCd(const ReadOnlyCd&) = delete;
    ReadOnlyCd& operator=(const ReadOnlyCd&) = delete;

    QString root() const { return m_root; }
    const char* how() const { return m_how; }

private:
    // The CD at root when neither a new file nor a change of a file of the CD is possible there.
    bool settle(const QString& root, const char* how) {
        QFile probe(root + QStringLiteral("/probe"));
        QFile existing(root + QStringLiteral("/index.html"));
        if (!existing.exists() || probe.open(QIODevice::WriteOnly) || existing.open(QIODevice::Append)) {
            release();
            return false;
        }
        m_root = root;
        m_how = how;
        return true;
    }
    void release() {
        // A program that has just ended may keep the mount busy for a moment; at last it is detached.
        const bool fuse = m_unmount == u"fusermount";
        for (int attempt = 0; !m_unmount.isEmpty() && attempt < 25; ++attempt) {
            if (attempt > 0)
                QThread::msleep(200);
            const QStringList lazy = attempt < 24 ? QStringList() : QStringList{fuse ? q("-z") : q("-l")};
            if (run(m_unmount,
                    (fuse ? QStringList{q("-u")} : QStringList()) + lazy + QStringList{m_mountPoint}))
                m_unmount.clear();
        }
        if (m_immutable &&
            run(QStringLiteral("chattr"), {QStringLiteral("-R"), QStringLiteral("-i"), m_tree}))
            m_immutable = false;
        m_root.clear();
    }

    QString m_tree;
    QString m_mountPoint;
    QString m_root;
    const char* m_how = "";
    QString m_unmount; // the command that undoes the mount
    bool m_immutable = false;
};

// A file's permissions and the SHA-256 of its bytes.
QByteArray fileFingerprint(const QFileInfo& info) {
    QByteArray print = QByteArray::number(static_cast<int>(info.permissions()), 16);
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return print + " unreadable";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return print + ' ' + hash.result().toHex();
}

// Every entry of a tree: its permissions and, for a file, its bytes' fingerprint.
QMap<QString, QByteArray> fingerprint(const QString& root) {
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries.insert(info.filePath().mid(root.size()),
                       info.isFile() ? fileFingerprint(info)
                                     : QByteArray::number(static_cast<int>(info.permissions()), 16));
    }
    return entries;
}

QStringList installedManuals(const QString& database) {
    QStringList manuals;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(database).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT Pub_No FROM M_manage ORDER BY Pub_No", -1, &statement, nullptr) ==
            SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW)
                manuals.append(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return manuals;
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(ReadOnlyCd, WholeInstallationFromTheMountedCdLeavesEveryFileOfItUnchanged) {
    QTemporaryDir folder;
    const ReadOnlyCd cd(folder.path());
    if (cd.root().isEmpty())
        GTEST_SKIP()
            << "this machine has neither FUSE (fuseiso), nor read-only bind mounts, nor immutable files; the "
               "installation from a CD nobody can change is not tried";
    SCOPED_TRACE(cd.how());
    const QMap<QString, QByteArray> before = fingerprint(cd.root());
    const QByteArray image = fileFingerprint(QFileInfo(BuildPath("MARVEK_SAMPLE_CD_IMAGE")));
    ASSERT_GT(before.size(), 800);

    // The workshop PC: the diagnostic software and the Program Files folder, nothing of the suite.
    SharedTestContext base;
    const platform::Registry& registry = base.os().registry();
    ASSERT_TRUE(base.temp().writeFile(q("C:\\Program Files\\Marvek\\Scanlux\\Scanlux.exe"), "diagnostics"));
    registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::ScanluxKey), q("ProgramPath"),
                         q("C:\\Program Files\\Marvek\\Scanlux"));
    registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::WindowsVersionKey),
                         q("ProgramFilesDir"), q("C:\\Program Files"));
    const QString files = base.temp().root() + q("/run");
    ASSERT_TRUE(QDir().mkpath(files));
    const QString script = files + q("/script.txt");
    QFile scriptFile(script);
    ASSERT_TRUE(scriptFile.open(QIODevice::WriteOnly));
    scriptFile.write("frmMenu cmdStartInstall\nfrmStartUp O_Value(1)\nfrmStartUp B_OK\n"
                     "frmDirectorySelect B_OK *\nfrmResult B_END\nfrmTarm B_END\n");
    scriptFile.close();
    const ShortPauses pauses;
    const ScopedEnvironment environment[] = {{"MARVEK_SCREEN_SCRIPT", script},
                                             {"MARVEK_UI_LOG", files + q("/ui.log")},
                                             {"LANG", "en_US.UTF-8"},
                                             {"LC_ALL", nullptr}};

    // As the technician does: the manual-link component's installer, then setup, both from the CD's
    // folder, which lies under no drive of the machine.
    const QString onHost = base.temp().machine().toWindows(cd.root());
    ASSERT_TRUE(onHost.startsWith(q("Z:\\")));
    for (const QString& commandLine :
         {onHost + q("\\programs\\manual_link\\setup.exe 1"), onHost + q("\\programs\\setup\\setup.exe")}) {
        const std::unique_ptr<platform::ChildProcess> child =
            base.os().processes().start(commandLine, platform::WindowMode::Hidden);
        ASSERT_TRUE(child) << commandLine.toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return child->exitCode() != 259; }, 180000));
        EXPECT_EQ(child->exitCode(), 0u) << commandLine.toStdString();
    }

    // The CD got drive D: and the installation went through without a box.
    EXPECT_EQ(QFileInfo(base.temp().machine().drivesFolder() + q("/d")).symLinkTarget(), cd.root());
    EXPECT_EQ(base.temp().machine().toWindows(cd.root() + q("/programs")), q("D:\\programs"));
    EXPECT_EQ(readText(files + q("/ui.log")), QString());
    EXPECT_EQ(installedManuals(
                  base.temp().host(q("C:\\Program Files\\Marvek\\Scanlux\\ManualLink\\ManualLink.mdb"))),
              (QStringList{"BRM00EN", "EWD00EN", "NCF00EN", "RM011EN", "RMJ00JA"}));
    EXPECT_TRUE(
        QFileInfo::exists(base.temp().host(q("C:\\Program Files\\Marvek\\Scanlux\\ManualLink\\Mandex.exe"))));

    EXPECT_EQ(fingerprint(cd.root()), before);
    EXPECT_EQ(fileFingerprint(QFileInfo(BuildPath("MARVEK_SAMPLE_CD_IMAGE"))), image);
}

} // namespace
