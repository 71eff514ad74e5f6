// Walks the built sample CD (the sample_cd target) and checks that it has the shape the programs expect.
#include "platform/TextCodec.h"
#include "shared/access/AccessControl.h"
#include "shared/catalogue/CarInfo.h"
#include "shared/config/Messages.h"
#include "shared/config/SysParameters.h"
#include "shared/maninfo/AutRunLocalRead.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>

#ifdef MARVEK_HAVE_QT_PDF
#include <QPdfDocument>
#endif

using namespace marvek;
using namespace marvek::shared;

namespace {

const QString CdFolder = QStringLiteral(MARVEK_SAMPLE_CD_DIR);

// Every message number the suite shows.
constexpr int MessageNumbers[] = {6,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 27,
                                  28, 29, 30, 31, 32, 33, 34, 35, 37, 38, 39, 40, 41, 42, 43, 45, 46, 47,
                                  48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 59, 60, 64, 65, 66, 67, 68, 69,
                                  70, 71, 72, 73, 74, 80, 81, 82, 83, 84, 85, 86, 88, 90, 91, 93};

QByteArray readHostFile(const QString& hostPath) {
    QFile file(hostPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void setCodePage(const marvek::testing::TempMachine& machine, int codePage) {
    QFile ini(machine.machine().machineIniFile());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(QStringLiteral("[Locale]\nACP=%1\n").arg(codePage).toLatin1());
}

// Text files of the original's ANSI code page: every line ends in CR LF.
bool hasCrLfLinesOnly(const QByteArray& bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return false;
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
            return false;
    }
    return bytes.endsWith("\r\n");
}

struct ArchiveFreer {
    void operator()(archive* a) const { archive_read_free(a); }
};

struct ZipContents {
    bool readable = false;
    QString error;
    QMap<QString, QByteArray> files; // name (decoded from CP932) -> data
    QSet<QString> folders;
    bool nonAsciiNames = false;
};

// Reads every entry of a zip with libarchive, data included (which checks every CRC). Names are taken
// as stored and decoded from code page 932, as the installer's extractor reads a legacy archive.
ZipContents readZip(const QString& hostPath) {
    ZipContents zip;
    std::unique_ptr<archive, ArchiveFreer> a(archive_read_new());
    archive_read_support_format_zip(a.get());
    if (archive_read_open_filename(a.get(), QFile::encodeName(hostPath).constData(), 65536) != ARCHIVE_OK) {
        zip.error = QString::fromLocal8Bit(archive_error_string(a.get()));
        return zip;
    }
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(a.get(), &entry)) == ARCHIVE_OK) {
        const QByteArray raw(archive_entry_pathname(entry));
        for (const char c : raw)
            zip.nonAsciiNames = zip.nonAsciiNames || static_cast<unsigned char>(c) >= 0x80;
        QString name = platform::decodeCodePage(raw, platform::CodePageShiftJis);
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            if (name.endsWith(QLatin1Char('/')))
                name.chop(1);
            zip.folders.insert(name);
            continue;
        }
        QByteArray data;
        char buffer[16384];
        la_ssize_t read = 0;
        while ((read = archive_read_data(a.get(), buffer, sizeof buffer)) > 0)
            data.append(buffer, read);
        if (read < 0) {
            zip.error = name + QStringLiteral(": ") + QString::fromLocal8Bit(archive_error_string(a.get()));
            return zip;
        }
        zip.files.insert(name, data);
    }
    zip.readable = status == ARCHIVE_EOF;
    if (!zip.readable)
        zip.error = QString::fromLocal8Bit(archive_error_string(a.get()));
    return zip;
}

struct PdfCheck {
    bool ok = false;
    QString problem;
};

PdfCheck checkPdf(const QString& hostPath) {
    const QByteArray bytes = readHostFile(hostPath);
    if (!bytes.startsWith("%PDF-"))
        return {false, QStringLiteral("no %PDF header")};
    if (!bytes.trimmed().endsWith("%%EOF") || !bytes.contains("startxref") || !bytes.contains("trailer"))
        return {false, QStringLiteral("no trailer")};
#ifdef MARVEK_HAVE_QT_PDF
    QPdfDocument document;
    document.load(hostPath);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1)
        return {false, QStringLiteral("QPdfDocument cannot open it")};
    if (document.metaData(QPdfDocument::MetaDataField::Title).toString().isEmpty())
        return {false, QStringLiteral("no document title")};
#endif
    return {true, {}};
}

// The CD as drive D: of a fresh machine, with the installer's folder D:\programs\setup.
class SampleCdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo::exists(CdFolder + QStringLiteral("/.sample-cd")))
            << "build the sample_cd target";
        ASSERT_TRUE(t.temp().machine().mapDrive(QLatin1Char('D'), CdFolder));
        t.ctx.setProgramFolder(QStringLiteral("D:\\programs\\setup"));
        t.ctx.SourceRoot = QStringLiteral("D:\\");
        t.ctx.LanguageCode = QStringLiteral("09");
        t.ctx.UsersGroupName = GetUsersGroupName();
        ASSERT_TRUE(LoadSysParameters(t.ctx));
    }

    // The manual folders: folders at the root that hold car_info.ci.
    QStringList manualFolders() const {
        QStringList folders;
        for (const QString& name : QDir(CdFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (QFileInfo::exists(CdFolder + QLatin1Char('/') + name + QStringLiteral("/car_info.ci")))
                folders.append(name);
        }
        return folders;
    }

    ManualEntry readEntry(const QString& folder) {
        ManualEntry entry;
        entry.Folder = folder;
        ReadCarInfo(t.ctx, folder, entry);
        return entry;
    }

    bool isPdfManual(const ManualEntry& entry) const {
        return QFileInfo::exists(CdFolder +
                                 QStringLiteral("/%1/contents/%2.pdf").arg(entry.Folder, entry.Pub_No));
    }

    QString host(const QString& relative) const { return CdFolder + QLatin1Char('/') + relative; }

    marvek::testing::SharedTestContext t;
};

} // namespace

TEST_F(SampleCdTest, SystemFolderHoldsParametersMessagesLicencesAndBatch) {
    const SystemParameters& p = t.ctx.systemParameters;
    EXPECT_FALSE(p.DTX3_MDB_NAME.isEmpty());
    EXPECT_FALSE(p.DTX3_EXE_NAME.isEmpty());
    EXPECT_FALSE(p.MCP_EXE_NAME.isEmpty());
    EXPECT_FALSE(p.DTX3_NEW_MDB_NAME.isEmpty());
    EXPECT_GT(p.ZIP_ExtractTime, 0);
    for (const qint16 limit : p.ColumnLengths)
        EXPECT_GT(limit, 0);

    for (const char* name : {"SysParameter.ini", "M09.ini", "M11.ini", "Licence_09.txt", "Licence_11.txt"}) {
        const QByteArray bytes =
            readHostFile(host(QStringLiteral("programs/setup/SysDir/") + QLatin1String(name)));
        EXPECT_GT(bytes.size(), 100) << name;
        EXPECT_TRUE(hasCrLfLinesOnly(bytes)) << name;
    }
    // The Japanese files are in code page 932, not UTF-8.
    const QByteArray licence = readHostFile(host(QStringLiteral("programs/setup/SysDir/Licence_11.txt")));
    EXPECT_TRUE(
        platform::decodeCodePage(licence, platform::CodePageShiftJis).contains(QStringLiteral("使用許諾")));
    EXPECT_FALSE(QString::fromUtf8(licence).contains(QStringLiteral("使用許諾")));

    const QByteArray batch = readHostFile(host(QStringLiteral("programs/setup/SysDir/RmDir.bat")));
    EXPECT_TRUE(batch.startsWith("#!/bin/sh\n"));
    EXPECT_FALSE(batch.contains('\r'));
}

TEST_F(SampleCdTest, BothMessageFilesHaveEveryMessage) {
    setCodePage(t.temp(), platform::CodePageShiftJis);
    for (const char* language : {"09", "11"}) {
        t.ctx.LanguageCode = QLatin1String(language);
        ASSERT_TRUE(t.os().files().fileExists(MessageFilePath(t.ctx)));
        for (const int number : MessageNumbers) {
            EXPECT_FALSE(GetMessage(t.ctx, QLatin1String(MessageSection), number).isEmpty())
                << "M" << number << " in M" << language << ".ini";
        }
    }
    EXPECT_EQ(GetMessage(t.ctx, QLatin1String(MessageSection), 74), QStringLiteral("このまま閲覧しますか？"));
    // Templates carry the markers their callers fill in.
    EXPECT_TRUE(GetMessage(t.ctx, QLatin1String(MessageSection), 59).contains(QLatin1Char('@')));
    for (int marker = 1; marker <= 4; ++marker)
        EXPECT_TRUE(
            GetMessage(t.ctx, QLatin1String(MessageSection), 72).contains(QStringLiteral("@%1").arg(marker)));
    // M090 is followed directly by M091: the English text keeps the blank between them.
    t.ctx.LanguageCode = QStringLiteral("09");
    EXPECT_TRUE(GetMessage(t.ctx, QLatin1String(MessageSection), 91).startsWith(QLatin1Char(' ')));
}

TEST_F(SampleCdTest, EveryManualFolderPassesTheCatalogueCheck) {
    const QStringList folders = manualFolders();
    int html = 0;
    int pdf = 0;
    QMap<QString, QSet<QChar>> revisions; // Pub_No without its revision digit -> digits on the CD
    // The check must hold on a Japanese PC and on a Western one (where code page 932 bytes are read as
    // code page 1252 characters).
    for (const int codePage : {platform::CodePageShiftJis, platform::CodePageWestern}) {
        setCodePage(t.temp(), codePage);
        for (const QString& folder : folders) {
            const ManualEntry entry = readEntry(folder);
            QString line1;
            QString line2;
            EXPECT_TRUE(ValidateCatalogueEntry(entry, t.ctx.systemParameters, line1, line2))
                << folder.toStdString() << ": " << line2.toStdString();
            if (codePage != platform::CodePageShiftJis)
                continue;
            ASSERT_GE(entry.Pub_No.size(), 5);
            EXPECT_TRUE(entry.Pub_No.at(4).isDigit()) << folder.toStdString();
            bool numeric = false;
            entry.Version.toShort(&numeric);
            EXPECT_TRUE(numeric) << folder.toStdString();
            revisions[entry.Pub_No.left(4) + entry.Pub_No.mid(5)].insert(entry.Pub_No.at(4));
            if (isPdfManual(entry)) {
                ++pdf;
            } else {
                ++html;
                EXPECT_TRUE(QFileInfo::exists(host(folder + QStringLiteral("/install/condense/manual.zip"))));
                EXPECT_TRUE(QFileInfo(host(folder + QStringLiteral("/install/compare"))).isDir());
                // The manual can be viewed from the CD as well.
                EXPECT_TRUE(QFileInfo::exists(host(folder + QStringLiteral("/index.html"))));
                EXPECT_TRUE(QFileInfo(host(folder + QStringLiteral("/contents"))).isDir());
            }
        }
    }
    EXPECT_GE(html, 4);
    EXPECT_GE(pdf, 2);
    const bool twoRevisions = std::any_of(revisions.begin(), revisions.end(), [](const QSet<QChar>& digits) {
        return digits.contains(QLatin1Char('0')) && digits.contains(QLatin1Char('1'));
    });
    EXPECT_TRUE(twoRevisions);

    setCodePage(t.temp(), platform::CodePageShiftJis);
    EXPECT_EQ(readEntry(QStringLiteral("RMJ00JA")).Model_desc, QStringLiteral("オーレア ハイブリッド"));
}

TEST_F(SampleCdTest, ArchivesAreReadableManualTrees) {
    int largest = 0;
    bool renamedTop = false;
    bool japaneseNames = false;
    bool compareTree = false;
    for (const QString& folder : manualFolders()) {
        const ManualEntry entry = readEntry(folder);
        if (isPdfManual(entry))
            continue;
        SCOPED_TRACE(folder.toStdString());
        const ZipContents zip = readZip(host(folder + QStringLiteral("/install/condense/manual.zip")));
        ASSERT_TRUE(zip.readable) << zip.error.toStdString();

        // One top folder holding index.html (a frameset with "mainFrame") and the contents folder.
        QSet<QString> tops;
        for (const QString& name : zip.files.keys())
            tops.insert(name.section(QLatin1Char('/'), 0, 0));
        ASSERT_EQ(tops.size(), 1);
        const QString top = *tops.begin();
        renamedTop = renamedTop || top != folder;
        japaneseNames = japaneseNames || zip.nonAsciiNames;
        const QString index = QString::fromUtf8(zip.files.value(top + QStringLiteral("/index.html")));
        EXPECT_TRUE(index.contains(QStringLiteral("<frameset")));
        EXPECT_TRUE(index.contains(QStringLiteral("name=\"mainFrame\"")));
        EXPECT_TRUE(zip.folders.contains(top + QStringLiteral("/contents")));

        int pages = 0;
        for (const QString& name : zip.files.keys())
            pages +=
                name.startsWith(top + QStringLiteral("/contents/")) && name.endsWith(QStringLiteral(".html"));
        EXPECT_GE(pages, 100);
        largest = std::max(largest, pages);

        // The changed files of install\compare are the archive's files under contents.
        const QString compare = host(folder + QStringLiteral("/install/compare"));
        QDirIterator it(compare, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            compareTree = true;
            const QString name = top + QStringLiteral("/contents/") + QDir(compare).relativeFilePath(file);
            ASSERT_TRUE(zip.files.contains(name)) << name.toStdString();
            EXPECT_EQ(zip.files.value(name), readHostFile(file));
        }
    }
    EXPECT_GE(largest, 300); // several hundred pages in one manual
    EXPECT_TRUE(renamedTop);
    EXPECT_TRUE(japaneseNames);
    EXPECT_TRUE(compareTree);
}

TEST_F(SampleCdTest, PdfManualsAndUserGuidesAreValidPdfFiles) {
    for (const QString& folder : manualFolders()) {
        const ManualEntry entry = readEntry(folder);
        if (!isPdfManual(entry))
            continue;
        const PdfCheck check = checkPdf(host(QStringLiteral("%1/contents/%2.pdf").arg(folder, entry.Pub_No)));
        EXPECT_TRUE(check.ok) << folder.toStdString() << ": " << check.problem.toStdString();
    }
    // The user guide named by message M060, in each language.
    setCodePage(t.temp(), platform::CodePageShiftJis);
    for (const char* language : {"09", "11"}) {
        t.ctx.LanguageCode = QLatin1String(language);
        const QString guide = GetMessage(t.ctx, QLatin1String(MessageSection), 60);
        ASSERT_FALSE(guide.isEmpty());
        ASSERT_TRUE(t.os().files().fileExists(t.ctx.SourceRoot + guide)) << guide.toStdString();
        const PdfCheck check = checkPdf(host(guide));
        EXPECT_TRUE(check.ok) << guide.toStdString() << ": " << check.problem.toStdString();
    }
}

TEST_F(SampleCdTest, DatabaseTemplateHasTheSchemaAndItsRows) {
    const QString path = host(QStringLiteral("programs/setup/") + t.ctx.systemParameters.DTX3_NEW_MDB_NAME);
    ASSERT_TRUE(QFileInfo::exists(path));
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    const auto query = [&db](const char* sql) {
        QStringList rows;
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db.get(), sql, -1, &statement, nullptr), SQLITE_OK) << sql;
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                columns.append(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, i))));
            rows.append(columns.join(QLatin1Char('|')));
        }
        sqlite3_finalize(statement);
        return rows;
    };

    // Every table of the schema file.
    const QString schema = QString::fromUtf8(readHostFile(QStringLiteral(MARVEK_SCHEMA_SQL)));
    QStringList expected;
    for (const QRegularExpressionMatch& match :
         QRegularExpression(QStringLiteral("CREATE TABLE (\\w+)")).globalMatch(schema))
        expected.append(match.captured(1));
    expected.sort();
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"), expected);

    const QStringList version = query("SELECT MDB_Version FROM M_system");
    ASSERT_EQ(version.size(), 1);
    bool numeric = false;
    EXPECT_GE(version.front().toShort(&numeric), 1);
    EXPECT_TRUE(numeric);
    EXPECT_TRUE(query("SELECT * FROM M_manage").isEmpty());

    // Every model of the CD has a display order.
    const QStringList models = query("SELECT Model_ID FROM M_order");
    for (const QString& folder : manualFolders())
        EXPECT_TRUE(models.contains(readEntry(folder).Model_ID)) << folder.toStdString();
}

TEST_F(SampleCdTest, InformationFilesListEveryManual) {
    setCodePage(t.temp(), platform::CodePageShiftJis);
    const QStringList folders = manualFolders();
    for (const char* name : {"man_info_do.ci", "man_info_us.ci"}) {
        const QByteArray bytes = readHostFile(host(QStringLiteral("programs/setup/") + QLatin1String(name)));
        EXPECT_TRUE(hasCrLfLinesOnly(bytes)) << name;
        const QStringList lines = platform::decodeCodePage(bytes, platform::CodePageShiftJis)
                                      .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QStringList keys;
        for (const QString& line : lines) {
            const QStringList fields = line.split(QLatin1Char(','));
            ASSERT_GE(fields.size(), 6) << line.toStdString();
            keys.append(fields.at(3));
            EXPECT_TRUE(ManInfoIssueDate(fields.at(5)).isValid()) << line.toStdString();
        }
        keys.sort();
        EXPECT_EQ(keys, folders) << name;
    }

    // The first check on a new PC takes the CD's catalogue, and a second one finds it latest.
    AutRunLocalRead first(t.ctx, t.ctx.SourceRoot);
    EXPECT_EQ(first.ManInfo_CheckLatest(), CheckLatestResult::Latest);
    EXPECT_EQ(t.temp().readFile(QStringLiteral("C:\\man_info\\man_info_do.ci")),
              readHostFile(host(QStringLiteral("programs/setup/man_info_do.ci"))));
    AutRunLocalRead second(t.ctx, t.ctx.SourceRoot);
    EXPECT_EQ(second.ManInfo_CheckLatest(), CheckLatestResult::Latest);
    EXPECT_FALSE(second.newerFound());
    EXPECT_TRUE(t.ui().asked().empty());
}

TEST_F(SampleCdTest, StartPagesLinkToTheManuals) {
    const QString index = QString::fromUtf8(readHostFile(host(QStringLiteral("index.html"))));
    for (const QString& folder : manualFolders()) {
        const ManualEntry entry = readEntry(folder);
        const QString link = isPdfManual(entry)
                                 ? QStringLiteral("%1/contents/%2.pdf").arg(folder, entry.Pub_No)
                                 : folder + QStringLiteral("/index.html");
        EXPECT_TRUE(index.contains(QStringLiteral("href=\"%1\"").arg(link))) << link.toStdString();
    }
    EXPECT_TRUE(index.contains(QStringLiteral("href=\"install.html\"")));
    EXPECT_TRUE(QFileInfo::exists(host(QStringLiteral("install.html"))));

    // The code-search page opens manual pages on the CD as sized new windows.
    const QString search = QString::fromUtf8(readHostFile(host(QStringLiteral("codesearch.html"))));
    EXPECT_TRUE(search.contains(QStringLiteral("window.open(")));
    EXPECT_TRUE(search.contains(QStringLiteral("width=600,height=400")));
    int targets = 0;
    for (const QRegularExpressionMatch& match :
         QRegularExpression(QStringLiteral("\"[A-Z0-9]+\": \"([^\"]+)\"")).globalMatch(search)) {
        ++targets;
        EXPECT_TRUE(QFileInfo::exists(host(match.captured(1)))) << match.captured(1).toStdString();
    }
    EXPECT_GE(targets, 1);
}
