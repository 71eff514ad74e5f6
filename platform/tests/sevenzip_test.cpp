#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/SevenZip.h"
#include "platform/TextCodec.h"
#include "platform/testing/TestArchive.h"

#include <QDirIterator>
#include <QSet>
#include <sys/stat.h>

using marvek::testing::TestArchive;

namespace {

const QString Archive = QStringLiteral("C:\\CD\\RM010EN\\install\\condense\\manual.zip");
const QString Destination = QStringLiteral("C:\\Link\\UnZipTemp");

class SevenZipTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(temp.host("C:\\CD\\RM010EN\\install\\condense"))); }

    bool make(const TestArchive& archive, TestArchive::Format format = TestArchive::Format::Zip,
              const QString& path = Archive) {
        return archive.write(temp.host(path), format);
    }
    qint32 extract(const QString& commandLine) {
        QString output;
        return SevenZip(temp.machine(), 0, commandLine, output, 0);
    }
    qint32 extract(const QString& archive, const QString& destination) {
        return extract(QStringLiteral("x -aoa -hide ") + archive + QStringLiteral(" \"") + destination +
                       QStringLiteral("\\\""));
    }
    QByteArray read(const QString& windowsPath) const { return temp.readFile(windowsPath); }
    // Every file and folder of the prefix outside the destination, with its content.
    QHash<QString, QByteArray> outsideDestination() const {
        QHash<QString, QByteArray> result;
        const QString destination = temp.host(Destination);
        for (QDirIterator it(temp.root(),
                             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            if (path != destination && !path.startsWith(destination + u'/'))
                result.insert(path, it.fileInfo().isFile() ? readHostFile(path) : QByteArray());
        }
        return result;
    }

    TempMachine temp;
};

TEST_F(SevenZipTest, ExtractsNestedFoldersOfZipAnd7z) {
    for (const auto format : {TestArchive::Format::Zip, TestArchive::Format::SevenZip}) {
        SCOPED_TRACE(format == TestArchive::Format::Zip ? "zip" : "7z");
        QByteArray big(300 * 1024, 'p'); // several blocks
        ASSERT_TRUE(make(TestArchive()
                             .folder("Manual/")
                             .file("Manual/index.html", "<html>")
                             .file("Manual/contents/sec01/page001.html", big)
                             .file("Manual\\contents\\toc.html", "toc") // "\" separates
                             .file("./Manual/empty.txt", "")
                             .readOnlyFile("Manual/readonly.txt", "ro")
                             .folder("Manual/images/"),
                         format));
        ASSERT_EQ(extract(Archive, Destination), 0);
        EXPECT_EQ(read(Destination + "\\Manual\\index.html"), "<html>");
        EXPECT_EQ(read(Destination + "\\Manual\\contents\\sec01\\page001.html"), big);
        EXPECT_EQ(read(Destination + "\\Manual\\contents\\toc.html"), "toc");
        EXPECT_TRUE(QFileInfo(temp.host(Destination + "\\Manual\\empty.txt")).isFile());
        EXPECT_TRUE(QFileInfo(temp.host(Destination + "\\Manual\\images")).isDir());
        const Files files(temp.machine());
        EXPECT_EQ(files.lastModifiedMs(Destination + "\\Manual\\index.html"), TestArchive::EntryTime * 1000);
        EXPECT_TRUE(files.isReadOnly(Destination + "\\Manual\\readonly.txt"));
        ASSERT_TRUE(QDir(temp.host(Destination)).removeRecursively());
    }
}

// Entries that go back and forth between more folders than the extraction keeps open, one folder named in
// two cases (one folder, as on Windows), each land in their folder.
TEST_F(SevenZipTest, EntriesGoingBackAndForthBetweenManyFoldersEachLandInTheirs) {
    TestArchive archive;
    for (int i = 0; i < 300; ++i) {
        const int folder = i % 70;
        const QString section =
            (i % 140 < 70 ? QStringLiteral("sec%1") : QStringLiteral("SEC%1")).arg(folder);
        archive.file(QStringLiteral("Manual/contents/%1/page%2.html").arg(section).arg(i),
                     QByteArray::number(i));
    }
    ASSERT_TRUE(make(archive));
    ASSERT_EQ(extract(Archive, Destination), 0);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(
            read(Destination + QStringLiteral("\\Manual\\contents\\sec%1\\page%2.html").arg(i % 70).arg(i)),
            QByteArray::number(i))
            << i;
    EXPECT_EQ(QDir(temp.host(Destination + "\\Manual\\contents"))
                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                  .size(),
              70);
}

// Names without the UTF-8 flag are in the machine's ANSI code page; flagged names are UTF-8 everywhere.
TEST_F(SevenZipTest, DecodesNamesInTheAnsiCodePageUnlessFlaggedUtf8) {
    // "表" ends in 0x5C ("\\" in 1252) and "ー" starts with 0x81 (undefined in 1252, a control character on
    // Windows): the names stay whole on a Japanese machine and decode as Windows would on a Western one.
    const QString name = QString::fromUtf8("日本語/テスト表ー.html");
    const QByteArray cp932 = encodeCodePage(name, CodePageShiftJis);
    const struct {
        QByteArray langId;
        QByteArray charset; // empty: UTF-8 flag
        QString expected;
    } cases[] = {
        {"0411", "CP932", name},
        {"0409", "CP932", decodeCodePage(cp932, CodePageWestern).replace(u'\\', u'/')},
        {"0411", {}, name},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.langId.constData());
        ASSERT_TRUE(writeHostFile(temp.machine().machineIniFile(), "[Locale]\nUserDefaultLangID=" + c.langId +
                                                                       "\nSystemDefaultLangID=" + c.langId));
        ASSERT_TRUE(make(TestArchive().nameCharset(c.charset).file(name, "page")));
        ASSERT_EQ(extract(Archive, Destination), 0);
        EXPECT_EQ(readHostFile(temp.host(Destination) + u'/' + c.expected), "page");
        ASSERT_TRUE(QDir(temp.host(Destination)).removeRecursively());
    }
}

// -aoa replaces existing files (a read-only one too), landing on existing folders and files without
// regard to case; without it an existing file fails the extraction and keeps its content.
TEST_F(SevenZipTest, OverwritesOnlyWithAoaAndMapsNamesWithoutCase) {
    ASSERT_TRUE(temp.writeFile(Destination + "\\Manual\\Index.html", "old"));
    ASSERT_TRUE(temp.writeFile(Destination + "\\Manual\\other.html", "kept"));
    const Files files(temp.machine());
    ASSERT_TRUE(files.setAttributes(Destination + "\\Manual\\Index.html", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(make(TestArchive().file("MANUAL/index.HTML", "new").file("manual/new.html", "added")));

    EXPECT_EQ(extract("x -hide " + Archive + " \"" + Destination + "\\\""), sevenzip::TargetExists);
    EXPECT_EQ(read(Destination + "\\Manual\\Index.html"), "old");

    ASSERT_EQ(extract(Archive, Destination), 0);
    EXPECT_EQ(QDir(temp.host(Destination)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Manual"});
    EXPECT_EQ(QDir(temp.host(Destination + "\\Manual")).entryList(QDir::Files),
              (QStringList{"Index.html", "new.html", "other.html"}));
    EXPECT_EQ(read(Destination + "\\Manual\\Index.html"), "new");
    EXPECT_EQ(read(Destination + "\\Manual\\other.html"), "kept");
}

// An entry that would land outside the destination, any link and any special file fail the
// extraction, and nothing outside the destination changes, even after good entries were written.
TEST_F(SevenZipTest, UnsafeEntriesFailAndWriteNothingOutside) {
    using Kind = TestArchive::Kind;
    const auto zip = TestArchive::Format::Zip;
    const auto sevenZip = TestArchive::Format::SevenZip;
    const struct {
        const char* what;
        TestArchive archive;
        TestArchive::Format format;
    } cases[] = {
        {"parent with backslashes", TestArchive().file("a\\..\\..\\escaped.txt", "x"), sevenZip},
        {"dots and blanks", TestArchive().file("a/.. /escaped.txt", "x"), zip},
        {"absolute", TestArchive().file("/tmp/escaped.txt", "x"), zip},
        {"absolute backslash", TestArchive().file("\\escaped.txt", "x"), sevenZip},
        {"drive", TestArchive().file("C:escaped.txt", "x"), zip},
        {"drive root", TestArchive().file("C:\\escaped.txt", "x"), sevenZip},
        {"symlink out", TestArchive().symlink("Manual/link", "/etc"), zip},
        {"symlink inside", TestArchive().file("a.txt", "x").symlink("b.txt", "a.txt"), zip},
        {"symlink in 7z", TestArchive().symlink("link", "../.."), sevenZip},
        {"fifo", TestArchive().special(Kind::Fifo, "pipe"), sevenZip},
        {"device", TestArchive().special(Kind::CharDevice, "tty"), sevenZip},
        {"after good entries", TestArchive().file("Manual/index.html", "ok").file("../../escaped.txt", "x"),
         zip},
    };
    ASSERT_TRUE(temp.writeFile("C:\\Link\\keep.txt", "keep"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(make(c.archive, c.format));
        const QHash<QString, QByteArray> before = outsideDestination();
        EXPECT_EQ(extract(Archive, Destination), sevenzip::UnsafeEntry);
        EXPECT_EQ(outsideDestination(), before);
        EXPECT_FALSE(QFileInfo::exists("/tmp/escaped.txt"));
        ASSERT_TRUE(QDir(temp.host(Destination)).removeRecursively());
    }
}

// A link already in the destination is never followed: an entry going through it fails.
TEST_F(SevenZipTest, ExistingLinkInTheDestinationIsNotFollowed) {
    ASSERT_TRUE(QDir().mkpath(temp.host(Destination)));
    ASSERT_TRUE(QDir().mkpath(temp.host("C:\\Outside")));
    ASSERT_TRUE(QFile::link(temp.host("C:\\Outside"), temp.host(Destination) + "/Manual"));
    ASSERT_TRUE(QFile::link(temp.host("C:\\Outside") + "/target.txt", temp.host(Destination) + "/file.txt"));
    ASSERT_TRUE(make(TestArchive().file("manual/index.html", "x")));
    EXPECT_EQ(extract(Archive, Destination), sevenzip::WriteFailed);
    // A file entry replaces a link of its name (with -aoa) instead of writing where it leads.
    ASSERT_TRUE(make(TestArchive().file("file.txt", "x")));
    EXPECT_EQ(extract(Archive, Destination), 0);
    EXPECT_EQ(QDir(temp.host("C:\\Outside")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());
    EXPECT_FALSE(QFileInfo(temp.host(Destination + "\\file.txt")).isSymLink());
}

TEST_F(SevenZipTest, DamagedArchivesFailCleanly) {
    QByteArray content;
    for (int i = 0; i < 2000; ++i)
        content += "line " + QByteArray::number(i) + " of a page\n";
    ASSERT_TRUE(make(TestArchive().file("Manual/a.html", content).file("Manual/b.html", content)));
    const QByteArray good = read(Archive);
    QByteArray flipped = good;
    flipped[flipped.indexOf("Manual/a.html") + 40] ^= 0x55; // inside the compressed data
    const struct {
        const char* what;
        QByteArray bytes;
        qint32 expected;
    } cases[] = {
        {"empty", QByteArray(), sevenzip::CannotOpenArchive},
        {"not an archive", QByteArray("<html>not a zip</html>"), sevenzip::CannotOpenArchive},
        {"truncated", good.left(good.size() / 2), sevenzip::DamagedArchive},
        {"truncated in a header", good.left(40), sevenzip::DamagedArchive},
        {"corrupt data", flipped, sevenzip::DamagedArchive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(temp.writeFile(Archive, c.bytes));
        EXPECT_EQ(extract(Archive, Destination), c.expected);
        QDir(temp.host(Destination)).removeRecursively();
    }
    EXPECT_EQ(extract("C:\\CD\\missing.zip", Destination), sevenzip::CannotOpenArchive);
}

// The archive runs from the switches to the last argument, blanks included; the destination is the last
// argument, quoted (its final backslash is literal) or without blanks, and ends in "\".
TEST_F(SevenZipTest, CommandLines) {
    ASSERT_TRUE(QDir().mkpath(temp.host("C:\\Program Files\\CD")));
    ASSERT_TRUE(make(TestArchive().file("a.txt", "a"), TestArchive::Format::Zip,
                     "C:\\Program Files\\CD\\man ual.zip"));
    const QString archive = "C:\\Program Files\\CD\\man ual.zip";
    const struct {
        QString commandLine;
        qint32 expected;
        QString landsIn;
    } cases[] = {
        {"x -aoa -hide " + archive + " \"C:\\Temp Dir\\\"", 0, "C:\\Temp Dir"},
        {"  X  -AOA   -Hide  " + archive + "   \"C:\\Temp\\\"  ", 0, "C:\\Temp"},
        {"x -aoa -hide " + archive + " C:\\Temp\\", 0, "C:\\Temp"},
        {"x -aoa -hide " + archive + " \"C:\\Temp\\New\\Deeper\\\"", 0, "C:\\Temp\\New\\Deeper"},
        {"", sevenzip::BadCommandLine, {}},
        {"e -aoa -hide " + archive + " \"C:\\Temp\\\"", sevenzip::BadCommandLine, {}},
        {"x -aoa -y " + archive + " \"C:\\Temp\\\"", sevenzip::BadCommandLine, {}},
        {"x -aoa -hide \"C:\\Temp\\\"", sevenzip::BadCommandLine, {}},
        {"x -aoa -hide " + archive + " \"C:\\Temp\"", sevenzip::BadCommandLine, {}},
        {"x -aoa -hide " + archive + "\"C:\\Temp\\\"", sevenzip::BadCommandLine, {}},
        {"x -aoa -hide " + archive + " \"C:\\Te\"mp\\\"", sevenzip::BadCommandLine, {}},
        {"x -aoa -hide C:\\Program Files\\CD\\missing.zip \"C:\\Temp\\\"", sevenzip::CannotOpenArchive, {}},
        {"x -aoa -hide " + archive + " \"Q:\\Temp\\\"", sevenzip::WriteFailed, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine.toStdString());
        EXPECT_EQ(extract(c.commandLine), c.expected);
        if (!c.landsIn.isEmpty()) {
            EXPECT_EQ(read(c.landsIn + "\\a.txt"), "a");
        }
        QDir(temp.host("C:\\Temp")).removeRecursively();
    }
    // The output buffer tells the reason within its size.
    QString output = "untouched";
    EXPECT_EQ(SevenZip(temp.machine(), 0, "bogus", output, 0), sevenzip::BadCommandLine);
    EXPECT_EQ(output, "untouched");
    EXPECT_EQ(SevenZip(temp.machine(), 0, "bogus", output, 9), sevenzip::BadCommandLine);
    EXPECT_EQ(output, "bad comm");
    EXPECT_EQ(SevenZip(temp.machine(), 0, "x \"" + archive + "\" \"" + Destination + "\\\"", output, 100), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(read(Destination + "\\a.txt"), "a");
}

} // namespace
