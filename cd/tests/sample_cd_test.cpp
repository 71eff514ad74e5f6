// Walks the built sample CD (the sample_cd target) and checks that it has the shape the programs expect,
// and runs its clean-up batch RmDir.bat as the suite runs it: /bin/sh with one host path.
#include "platform/FileVersion.h"
#include "platform/SevenZip.h"
#include "platform/TextCodec.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/TempMachine.h"
#include "shared/catalogue/CarInfo.h"
#include "shared/config/Messages.h"
#include "shared/config/SysParameters.h"
#include "shared/maninfo/AutRunLocalRead.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sqlite3.h>

#ifdef MARVEK_HAVE_QT_PDF
#include <QPdfDocument>

using marvek::testing::BuildPath;
#endif

using namespace marvek;
using namespace marvek::shared;

namespace {

using namespace Qt::StringLiterals;

const QString CdFolder = BuildPath("MARVEK_SAMPLE_CD_DIR");

// Every message number the suite shows.
constexpr int MessageNumbers[] = {6,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 27,
                                  28, 29, 30, 31, 32, 33, 34, 35, 37, 38, 39, 40, 41, 42, 43, 45, 46, 47,
                                  48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 59, 60, 64, 65, 66, 67, 68, 69,
                                  70, 71, 72, 73, 74, 80, 81, 82, 83, 84, 85, 86, 88, 90, 91, 93};

// Why a file is no valid PDF that a viewer opens with a title, or empty.
QString pdfProblem(const QString& hostPath) {
    QFile file(hostPath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!bytes.startsWith("%PDF-") || !bytes.trimmed().endsWith("%%EOF") || !bytes.contains("startxref") ||
        !bytes.contains("trailer"))
        return hostPath + u": no PDF header or trailer"_s;
#ifdef MARVEK_HAVE_QT_PDF
    QPdfDocument document;
    document.load(hostPath);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1 ||
        document.metaData(QPdfDocument::MetaDataField::Title).toString().isEmpty())
        return hostPath + u": no pages or no title"_s;
#endif
    return {};
}

// The CD as drive D: of a fresh Japanese machine, with the installer's folder D:\programs\setup, and the
// catalogue of each manual folder (a folder at the root that holds car_info.ci).
class SampleCdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo::exists(CdFolder + u"/.sample-cd"_s)) << "build the sample_cd target";
        ASSERT_TRUE(t.temp().machine().mapDrive(u'D', CdFolder));
        ASSERT_TRUE(t.setLocale("0411"));
        t.ctx.setProgramFolder(u"D:\\programs\\setup"_s);
        t.ctx.SourceRoot = u"D:\\"_s;
        t.ctx.LanguageCode = u"09"_s;
        ASSERT_TRUE(LoadSysParameters(t.ctx));
        for (const QString& name : QDir(CdFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (!QFileInfo::exists(host(name + u"/car_info.ci"_s)))
                continue;
            ManualEntry& entry = manuals.emplace_back();
            entry.Folder = name;
            ReadCarInfo(t.ctx, name, entry);
            entry.PdfFlag = QFileInfo::exists(host(pdfOf(entry))) ? u"1"_s : u"0"_s;
        }
    }

    QString host(const QString& relative) const { return CdFolder + u'/' + relative; }
    QByteArray read(const QString& relative) { return t.temp().readFile(u"D:\\"_s + relative); }
    static QString pdfOf(const ManualEntry& entry) {
        return u"%1/contents/%2.pdf"_s.arg(entry.Folder, entry.Pub_No);
    }
    QString message(int number) { return GetMessage(t.ctx, QLatin1String(MessageSection), number); }

    marvek::testing::SharedTestContext t;
    std::vector<ManualEntry> manuals;
};

} // namespace

TEST_F(SampleCdTest, SystemFolderHoldsParametersMessagesLicencesAndUserGuides) {
    const SystemParameters& p = t.ctx.systemParameters;
    EXPECT_FALSE(p.DTX3_MDB_NAME.isEmpty() || p.DTX3_EXE_NAME.isEmpty() || p.MCP_EXE_NAME.isEmpty() ||
                 p.DTX3_NEW_MDB_NAME.isEmpty() || p.ZIP_ExtractTime <= 0);
    for (const char* name : {"SysParameter.ini", "M09.ini", "M11.ini", "Licence_09.txt", "Licence_11.txt"}) {
        const QByteArray bytes = read(u"programs\\setup\\SysDir\\"_s + QLatin1String(name));
        const qsizetype crLf = bytes.count("\r\n"); // text of the ANSI code page: every line ends in CR LF
        EXPECT_TRUE(bytes.size() > 100 && bytes.endsWith("\r\n") && bytes.count('\n') == crLf &&
                    bytes.count('\r') == crLf)
            << name;
    }
    // The Japanese files are in code page 932, not UTF-8.
    const QByteArray licence = read(u"programs\\setup\\SysDir\\Licence_11.txt"_s);
    EXPECT_TRUE(platform::decodeCodePage(licence, platform::CodePageShiftJis).contains(u"使用許諾"_s));
    EXPECT_FALSE(QString::fromUtf8(licence).contains(u"使用許諾"_s));

    for (const char* language : {"09", "11"}) {
        t.ctx.LanguageCode = QLatin1String(language);
        for (const int number : MessageNumbers)
            EXPECT_FALSE(message(number).isEmpty()) << "M" << number << " in M" << language << ".ini";
        for (int marker = 1; marker <= 4; ++marker) // templates carry the markers their callers fill in
            EXPECT_TRUE(message(72).contains(u"@%1"_s.arg(marker)));
        EXPECT_TRUE(message(59).contains(u'@'));
        // The user guide named by message M060.
        EXPECT_EQ(pdfProblem(t.temp().host(t.ctx.SourceRoot + message(60))), QString());
    }
    // M090 is followed directly by M091: the English text keeps the blank between them.
    t.ctx.LanguageCode = u"09"_s;
    EXPECT_TRUE(message(91).startsWith(u' '));
}

TEST_F(SampleCdTest, EveryManualFolderPassesTheCatalogueCheckAndIsLinkedFromTheStartPage) {
    const QString index = QString::fromUtf8(read(u"index.html"_s));
    bool compareTree = false;
    for (const ManualEntry& entry : manuals) {
        SCOPED_TRACE(entry.Folder.toStdString());
        const bool pdf = entry.PdfFlag == QLatin1String("1");
        const QString link = pdf ? pdfOf(entry) : entry.Folder + u"/index.html"_s;
        EXPECT_TRUE(index.contains(u"href=\"%1\""_s.arg(link))) << link.toStdString();
        // The check holds on a Japanese PC and on a Western one, which reads code page 932 bytes as
        // code page 1252 characters.
        for (const char* locale : {"0409", "0411"}) {
            ASSERT_TRUE(t.setLocale(locale));
            ManualEntry read;
            ReadCarInfo(t.ctx, entry.Folder, read);
            QString line1;
            QString line2;
            EXPECT_TRUE(ValidateCatalogueEntry(read, t.ctx.systemParameters, line1, line2))
                << line2.toStdString();
        }
        if (pdf) {
            EXPECT_EQ(pdfProblem(host(pdfOf(entry))), QString());
            continue;
        }
        // Viewable from the CD as well (a path ending in "/" exists only as a folder).
        for (const char* path : {"/index.html", "/contents/"})
            EXPECT_TRUE(QFileInfo::exists(host(entry.Folder + QLatin1String(path)))) << path;
        // Installed from the archive by the suite's extractor: one top folder holding index.html and the
        // pages under contents.
        const QString unpacked = t.temp().host(u"C:\\unpacked\\"_s + entry.Folder);
        const QString command = u"x -aoa D:\\%1\\install\\condense\\manual.zip \"C:\\unpacked\\%1\\\""_s;
        QString error;
        ASSERT_EQ(platform::SevenZip(t.temp().machine(), 0, command.arg(entry.Folder), error, 512), 0)
            << error.toStdString();
        const QStringList tops = QDir(unpacked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        ASSERT_EQ(tops.size(), 1);
        const QString top = unpacked + u'/' + tops.front();
        EXPECT_TRUE(QFileInfo(top + u"/index.html"_s).isFile());
        // The changed files of install\compare are the archive's files under contents.
        const QDir compare(host(entry.Folder + u"/install/compare"_s));
        EXPECT_TRUE(compare.exists());
        for (QDirIterator it(compare.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            QFile file(it.next());
            compareTree = true;
            QFile extracted(top + u"/contents/"_s + compare.relativeFilePath(file.fileName()));
            ASSERT_TRUE(extracted.open(QIODevice::ReadOnly) && file.open(QIODevice::ReadOnly))
                << extracted.fileName().toStdString();
            EXPECT_EQ(extracted.readAll(), file.readAll());
        }
    }
    EXPECT_TRUE(compareTree);
    EXPECT_TRUE(index.contains(u"href=\"install.html\""_s) && QFileInfo::exists(host(u"install.html"_s)));
}

TEST_F(SampleCdTest, DatabaseTemplateHasTheSchemaAndItsRows) {
    // The first column of every row a query on a database file gives.
    const auto query = [](const QString& path, const char* sql) {
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        const SqliteDatabase closer(raw);
        QStringList rows;
        const auto collect = [](void* out, int, char** values, char**) {
            static_cast<QStringList*>(out)->append(QString::fromUtf8(values[0]));
            return 0;
        };
        EXPECT_EQ(sqlite3_exec(raw, sql, collect, &rows, nullptr), SQLITE_OK) << sql;
        return rows;
    };
    const QString db = host(u"programs/setup/"_s + t.ctx.systemParameters.DTX3_NEW_MDB_NAME);

    // The schema file run into an empty database gives the same tables, columns and indexes.
    ASSERT_TRUE(marvek::testing::MakeSchemaDatabase(t.temp(), u"C:\\schema.mdb"_s));
    const char* objects = "SELECT type || ' ' || name || ': ' || sql FROM sqlite_master ORDER BY name";
    const QStringList schema = query(t.temp().host(u"C:\\schema.mdb"_s), objects);
    ASSERT_FALSE(schema.isEmpty());
    EXPECT_EQ(query(db, objects), schema);

    const QStringList version = query(db, "SELECT MDB_Version FROM M_system");
    bool numeric = false;
    ASSERT_EQ(version.size(), 1);
    EXPECT_GE(version.front().toShort(&numeric), 1);
    EXPECT_TRUE(numeric);
    EXPECT_TRUE(query(db, "SELECT * FROM M_manage").isEmpty());
    const QStringList models = query(db, "SELECT Model_ID FROM M_order"); // every model has a display order
    for (const ManualEntry& entry : manuals)
        EXPECT_TRUE(models.contains(entry.Model_ID)) << entry.Folder.toStdString();
}

TEST_F(SampleCdTest, InformationFilesListEveryManual) {
    QStringList folders;
    for (const ManualEntry& entry : manuals)
        folders.append(entry.Folder);
    for (const char* name : {"man_info_do.ci", "man_info_us.ci"}) {
        const QByteArray bytes = read(u"programs\\setup\\"_s + QLatin1String(name));
        QStringList keys;
        for (const QString& line : platform::decodeCodePage(bytes, platform::CodePageShiftJis)
                                       .split(u"\r\n"_s, Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u',');
            ASSERT_GE(fields.size(), 6) << line.toStdString();
            keys.append(fields.at(3));
            EXPECT_TRUE(ManInfoIssueDate(fields.at(5)).isValid()) << line.toStdString();
        }
        keys.sort();
        EXPECT_EQ(keys, folders) << name;
    }
}

// The code-search page links only to pages on the CD; the autostart files start the launcher.
TEST_F(SampleCdTest, CodeSearchPageAndAutostartFiles) {
    const QString search = QString::fromUtf8(read(u"codesearch.html"_s));
    int targets = 0;
    for (const QRegularExpressionMatch& match :
         QRegularExpression(u"\"[A-Z0-9]+\": \"([^\"]+)\""_s).globalMatch(search)) {
        ++targets;
        EXPECT_TRUE(QFileInfo::exists(host(match.captured(1)))) << match.captured(1).toStdString();
    }
    EXPECT_GE(targets, 1);

    const QByteArray inf = read(u"autorun.inf"_s);
    EXPECT_TRUE(inf.startsWith("[autorun]\r\nopen=Cdlaunch.exe\r\n"));
    // The launcher tests run autorun.sh from the CD's sources; the CD's copy keeps its execute bit.
    EXPECT_TRUE(QFileInfo(host(u"autorun.sh"_s)).isExecutable());
}

// The built programs (marvek_cd_program): the companion installers beside what they install, under the
// names the suite looks for, each with a file-version record and the CD's file time.
TEST_F(SampleCdTest, CompanionInstallersLieBesideTheirPayloads) {
    const SystemParameters& p = t.ctx.systemParameters;
    QFile manifest(BuildPath("MARVEK_SAMPLE_CD_CONTENT") + QStringLiteral("/manuals.json"));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QDateTime fileTime = QDateTime::fromString(
        QJsonDocument::fromJson(manifest.readAll()).object().value(u"fileTime"_s).toString(), Qt::ISODate);
    ASSERT_TRUE(fileTime.isValid());

    const QStringList programs = {
        u"programs/manual_link/setup.exe"_s,    u"programs/manual_link/"_s + p.DTX3_EXE_NAME,
        u"programs/View/setup.exe"_s,           u"programs/View/Pagora.exe"_s,
        u"programs/man_manager/09/setup.exe"_s, u"programs/man_manager/09/"_s + p.MCP_EXE_NAME,
        u"programs/man_manager/11/setup.exe"_s, u"programs/man_manager/11/"_s + p.MCP_EXE_NAME,
    };
    for (const QString& program : programs) {
        const QFileInfo info(host(program));
        EXPECT_TRUE(info.isFile() && info.isExecutable() &&
                    platform::readFileVersion(info.filePath()).has_value() && info.lastModified() == fileTime)
            << program.toStdString();
    }
    // The viewer's message file is UTF-16LE with a byte-order mark.
    EXPECT_TRUE(read(u"programs\\View\\PG_MSG.TXT"_s).startsWith("\xFF\xFE"));
    EXPECT_EQ(QFileInfo(host(u"programs/View/PG_MSG.TXT"_s)).lastModified(), fileTime);
    // The browser in the viewer package is the one its installer records as the viewer.
    EXPECT_EQ(platform::readFileVersion(host(u"programs/View/Pagora.exe"_s)),
              (platform::FileVersion{1, 1, 0, 2}));

    QDirIterator it(host(u"programs"_s), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        EXPECT_FALSE(file.endsWith(u".part"_s)) << file.toStdString();
    }
}

namespace {

const QString Batch = BuildPath("MARVEK_SAMPLE_CD_DIR") + QStringLiteral("/programs/setup/SysDir/RmDir.bat");

// Runs the batch; the exit code (-1 for a crash), with what it wrote to standard error.
int runBatch(const QStringList& arguments, QString* errors = nullptr) {
    QProcess process;
    process.start(u"/bin/sh"_s, QStringList{Batch} + arguments);
    process.waitForFinished(30000);
    if (errors)
        *errors = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A manual tree with a read-only page inside, as a manual copied from a CD may have.
bool makeTree(const QString& root) {
    QDir().mkpath(root + u"/contents/sec 01"_s);
    QFile file(root + u"/contents/sec 01/page001.html"_s);
    return file.open(QIODevice::WriteOnly) && file.write("page") == 4 && file.flush() &&
           file.setPermissions(QFileDevice::ReadOwner);
}

class RmDirBatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QFileInfo::exists(Batch)) << "build the sample_cd target"; }

    marvek::testing::TempMachine machine; // MARVEK_ROOT points at it while the test runs
};

} // namespace

TEST_F(RmDirBatchTest, RemovesTheFolderWithEverythingInIt) {
    const QString folder = machine.host(u"C:\\Link\\Manual\\Aurea Repair"_s);
    const QString sibling = machine.host(u"C:\\Link\\Manual\\Keep"_s);
    ASSERT_TRUE(makeTree(folder) && QDir().mkpath(sibling));
    QString errors;
    EXPECT_EQ(runBatch({folder}, &errors), 0) << errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists(sibling));

    // With a trailing slash, and a folder that is already gone.
    ASSERT_TRUE(makeTree(folder));
    EXPECT_EQ(runBatch({folder + u'/'}), 0);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(runBatch({folder}), 0);
}

TEST_F(RmDirBatchTest, RefusesPathsThatWouldRemoveTooMuch) {
    const QString driveC = machine.machine().driveFolder(u'C');
    const QString mediaD = machine.addDrive(u'D');
    ASSERT_TRUE(makeTree(driveC + u"/Link"_s) && makeTree(mediaD + u"/RM010EN"_s));

    // Empty, relative, the root, a drive root as text or as the folder a drive letter stands for.
    for (const QString& path :
         {QString(), u"relative/folder"_s, u"Link"_s, u"/"_s, u"//"_s, u"C:"_s, u"C:\\"_s, u"C:\\Link"_s,
          driveC, driveC + u'/', machine.root() + u"/drives/d"_s, mediaD}) {
        QString errors;
        EXPECT_EQ(runBatch({path}, &errors), 2) << path.toStdString();
        EXPECT_TRUE(errors.contains(u"refused"_s)) << path.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(driveC + u"/Link/contents/sec 01/page001.html"_s));
    EXPECT_TRUE(QFileInfo::exists(mediaD + u"/RM010EN/contents/sec 01/page001.html"_s));
    EXPECT_EQ(runBatch({}), 2);
}
