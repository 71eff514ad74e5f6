#include "setup/engine/CopyTree.h"
#include "shared/testing/SharedTestContext.h"

#include <QDirIterator>
#include <QSet>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::setup;

namespace {

// Records what the engine tells, and which file of the destination appeared at each copy.
class RecordingObserver : public CopyObserver {
public:
    explicit RecordingObserver(QString destinationHost) : m_destination(std::move(destinationHost)) {}

    void folderListed() override { ++foldersListed; }
    void fileCopied(qint32 progressValue) override {
        progress.append(progressValue);
        for (QDirIterator it(m_destination, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString file = it.next().mid(m_destination.size() + 1);
            if (!m_seen.contains(file)) {
                m_seen.insert(file);
                copied.append(file);
            }
        }
    }

    int foldersListed = 0;
    QList<qint32> progress;
    QStringList copied; // in the order the files appeared

private:
    QString m_destination;
    QSet<QString> m_seen;
};

class CopyTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Listed as NTFS lists: a, B, c (without regard to case); a1 before A2.
        for (const char* file : {"root.txt", "a\\a.txt", "a\\a1\\a1.txt", "a\\A2\\a2.txt", "B\\b.txt",
                                 "c\\c.txt", "c\\c1\\c1.txt"})
            ASSERT_TRUE(t.temp().writeFile(Source + u'\\' + q(file), QByteArray("content of ") + file));
    }

    qint32 copyTree(int mode, qint32 start, const QString& source, const QString& destination,
                    CopyObserver* observer = nullptr) {
        return CopyTree(t.ctx, mode, start, source, destination, observer);
    }
    QString host(const QString& path) { return t.temp().host(path); }

    const QString Source = QStringLiteral("C:\\Link\\UnZipTemp");
    const QString Destination = QStringLiteral("C:\\Manuals\\New\\Base");
    marvek::testing::SharedTestContext t;
};

TEST_F(CopyTreeTest, CountModeCountsEveryFileAndTouchesNothing) {
    RecordingObserver observer(host(Destination));
    EXPECT_EQ(copyTree(CopyModeCount, 0, Source, Destination, &observer), 7);
    EXPECT_EQ(copyTree(CopyModeCount, 7, Source, Destination), 14);
    EXPECT_EQ(observer.foldersListed, 7);
    EXPECT_TRUE(observer.progress.isEmpty());
    EXPECT_FALSE(t.os().files().exists(QStringLiteral("C:\\Manuals")));

    ASSERT_TRUE(QDir().mkpath(host("C:\\Empty")));
    EXPECT_EQ(copyTree(CopyModeCount, 3, QStringLiteral("C:\\Empty"), Destination), 3);
}

// Depth first, later siblings first: the subfolders of a folder are pushed in listing order and the last
// pushed is visited next. Progress counts on from the start count.
TEST_F(CopyTreeTest, CopyModeCopiesInStackOrder) {
    RecordingObserver observer(host(Destination));
    EXPECT_EQ(copyTree(CopyModeCopy, 7, Source, Destination, &observer), 0);
    EXPECT_EQ(observer.copied, QStringList({"root.txt", "c/c.txt", "c/c1/c1.txt", "B/b.txt", "a/a.txt",
                                            "a/A2/a2.txt", "a/a1/a1.txt"}));
    EXPECT_EQ(observer.progress, QList<qint32>({8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(observer.foldersListed, 7);
    EXPECT_EQ(t.temp().readFile(Destination + QStringLiteral("\\a\\A2\\a2.txt")), "content of a\\A2\\a2.txt");
}

// An existing target is replaced: a read-only one after a one-second wait; the copies are writable, and
// folders that exist in another case are used as they are.
TEST_F(CopyTreeTest, CopyReplacesExistingTargets) {
    ASSERT_TRUE(t.temp().writeFile(Destination + QStringLiteral("\\C\\c.txt"), "old"));
    ASSERT_TRUE(t.temp().writeFile(Destination + QStringLiteral("\\root.txt"), "old"));
    ASSERT_TRUE(t.os().files().setAttributes(Destination + QStringLiteral("\\root.txt"),
                                             platform::FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(t.os().files().setAttributes(Source + QStringLiteral("\\B\\b.txt"),
                                             platform::FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(copyTree(CopyModeCopy, 0, Source, Destination), 0);
    EXPECT_EQ(t.temp().readFile(Destination + QStringLiteral("\\root.txt")), "content of root.txt");
    EXPECT_EQ(t.temp().readFile(Destination + QStringLiteral("\\C\\c.txt")), "content of c\\c.txt");
    EXPECT_FALSE(QFileInfo::exists(host(Destination) + QStringLiteral("/c")));
    EXPECT_FALSE(t.os().files().isReadOnly(Destination + QStringLiteral("\\root.txt")));
    EXPECT_FALSE(t.os().files().isReadOnly(Destination + QStringLiteral("\\B\\b.txt")));
    EXPECT_EQ(t.clock().sleptMs(), 1000);
}

// The walk stops at the first folder that cannot be created or file that cannot be copied.
TEST_F(CopyTreeTest, FailuresGiveMinusOne) {
    const struct {
        const char* what;
        const char* inTheWay; // a file, or a folder when it ends in "\"
        int filesCopied;
    } cases[] = {
        {"destination root", "C:\\Manuals\\New", 0},
        {"folder below", "C:\\Manuals\\New\\Base\\c", 1},
        {"file", "C:\\Manuals\\New\\Base\\c\\c.txt\\", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString inTheWay = q(c.inTheWay);
        if (inTheWay.endsWith(u'\\'))
            ASSERT_TRUE(QDir().mkpath(host(inTheWay)));
        else
            ASSERT_TRUE(t.temp().writeFile(inTheWay, "in the way"));
        RecordingObserver observer(host(Destination));
        EXPECT_EQ(copyTree(CopyModeCopy, 0, Source, Destination, &observer), -1);
        EXPECT_EQ(observer.progress.size(), c.filesCopied);
        ASSERT_TRUE(QDir(host("C:\\Manuals")).removeRecursively());
    }
    for (const int mode : {CopyModeCopy, CopyModeCount})
        EXPECT_EQ(copyTree(mode, 5, QStringLiteral("C:\\Missing"), Destination), -1);
}

// The destination of a folder is its path with the source folder replaced by the destination folder; a
// folder deeper down whose path repeats the source's text keeps its name. A source given with a
// trailing "\" walks the same.
TEST_F(CopyTreeTest, DestinationReplacesTheSourceRootOnly) {
    const QString nested = Source + QStringLiteral("\\") + Source + QStringLiteral("\\deep.txt");
    ASSERT_TRUE(t.temp().writeFile(nested, "deep")); // host folders "C:" and "Link" below the source
    EXPECT_EQ(copyTree(CopyModeCopy, 0, Source + QStringLiteral("\\"), Destination), 0);
    EXPECT_EQ(t.temp().readFile(Destination + QStringLiteral("\\") + Source + QStringLiteral("\\deep.txt")),
              "deep");
    EXPECT_EQ(t.temp().readFile(Destination + QStringLiteral("\\c\\c1\\c1.txt")), "content of c\\c1\\c1.txt");
}

} // namespace
