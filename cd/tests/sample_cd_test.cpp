// Walks the built sample CD (the sample_cd target) and checks that it has the shape the programs expect.
#include "platform/FileVersion.h"
#include "platform/TextCodec.h"
#include "shared/catalogue/CarInfo.h"
#include "shared/config/Messages.h"
#include "shared/config/SysParameters.h"
#include "shared/maninfo/AutRunLocalRead.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
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

// Text files of the original's ANSI code page: every line ends in CR LF.
bool hasCrLfLinesOnly(const QByteArray& bytes) {
    const qsizetype crLf = bytes.count("\r\n");
    return bytes.endsWith("\r\n") && bytes.count('\n') == crLf && bytes.count('\r') == crLf;
}

// Reads every file of a zip, data and CRC included, by its name decoded from code page 932 as the
// installer's extractor reads it. Sets error unless every entry was read.
QMap<QString, QByteArray> readZip(const QString& hostPath, QString& error) {
    QMap<QString, QByteArray> files;
    const std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(a.get());
    archive_entry* entry = nullptr;
    int status = archive_read_open_filename(a.get(), QFile::encodeName(hostPath).constData(), 65536);
    while (status == ARCHIVE_OK && (status = archive_read_next_header(a.get(), &entry)) == ARCHIVE_OK) {
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        QByteArray& data =
            files[platform::decodeCodePage(archive_entry_pathname(entry), platform::CodePageShiftJis)];
        char buffer[16384];
        la_ssize_t read = 0;
        while ((read = archive_read_data(a.get(), buffer, sizeof buffer)) > 0)
            data.append(buffer, read);
        status = read < 0 ? ARCHIVE_FATAL : ARCHIVE_OK;
    }
    if (status != ARCHIVE_EOF)
        error = hostPath + QStringLiteral(": ") + QString::fromLocal8Bit(archive_error_string(a.get()));
    return files;
}

// Why a file is no valid PDF that a viewer opens with a title, or empty.
QString pdfProblem(const QString& hostPath) {
    QFile file(hostPath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!bytes.startsWith("%PDF-") || !bytes.trimmed().endsWith("%%EOF") || !bytes.contains("startxref") ||
        !bytes.contains("trailer"))
        return hostPath + QStringLiteral(": no PDF header or trailer");
#ifdef MARVEK_HAVE_QT_PDF
    QPdfDocument document;
    document.load(hostPath);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1 ||
        document.metaData(QPdfDocument::MetaDataField::Title).toString().isEmpty())
        return hostPath + QStringLiteral(": no pages or no title");
#endif
    return {};
}

// The CD as drive D: of a fresh Japanese machine, with the installer's folder D:\programs\setup, and the
// catalogue of each manual folder (a folder at the root that holds car_info.ci).
class SampleCdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo::exists(CdFolder + QStringLiteral("/.sample-cd")))
            << "build the sample_cd target";
        ASSERT_TRUE(t.temp().machine().mapDrive(QLatin1Char('D'), CdFolder));
        ASSERT_TRUE(t.setLocale("0411"));
        t.ctx.setProgramFolder(QStringLiteral("D:\\programs\\setup"));
        t.ctx.SourceRoot = QStringLiteral("D:\\");
        t.ctx.LanguageCode = QStringLiteral("09");
        ASSERT_TRUE(LoadSysParameters(t.ctx));
        for (const QString& name : QDir(CdFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (!QFileInfo::exists(host(name + QStringLiteral("/car_info.ci"))))
                continue;
            ManualEntry& entry = manuals.emplace_back();
            entry.Folder = name;
            ReadCarInfo(t.ctx, name, entry);
            entry.PdfFlag = QFileInfo::exists(host(pdfOf(entry))) ? QStringLiteral("1") : QStringLiteral("0");
        }
    }

    QString host(const QString& relative) const { return CdFolder + QLatin1Char('/') + relative; }
    QByteArray read(const QString& relative) { return t.temp().readFile(QStringLiteral("D:\\") + relative); }
    static QString pdfOf(const ManualEntry& entry) {
        return QStringLiteral("%1/contents/%2.pdf").arg(entry.Folder, entry.Pub_No);
    }
    QString message(int number) { return GetMessage(t.ctx, QLatin1String(MessageSection), number); }

    marvek::testing::SharedTestContext t;
    std::vector<ManualEntry> manuals;
};

} // namespace

TEST_F(SampleCdTest, SystemFolderHoldsParametersMessagesLicencesUserGuidesAndBatch) {
    const SystemParameters& p = t.ctx.systemParameters;
    EXPECT_FALSE(p.DTX3_MDB_NAME.isEmpty() || p.DTX3_EXE_NAME.isEmpty() || p.MCP_EXE_NAME.isEmpty() ||
                 p.DTX3_NEW_MDB_NAME.isEmpty() || p.ZIP_ExtractTime <= 0);
    for (const char* name : {"SysParameter.ini", "M09.ini", "M11.ini", "Licence_09.txt", "Licence_11.txt"}) {
        const QByteArray bytes = read(QStringLiteral("programs\\setup\\SysDir\\") + QLatin1String(name));
        EXPECT_TRUE(bytes.size() > 100 && hasCrLfLinesOnly(bytes)) << name;
    }
    // The Japanese files are in code page 932, not UTF-8.
    const QByteArray licence = read(QStringLiteral("programs\\setup\\SysDir\\Licence_11.txt"));
    EXPECT_TRUE(
        platform::decodeCodePage(licence, platform::CodePageShiftJis).contains(QStringLiteral("使用許諾")));
    EXPECT_FALSE(QString::fromUtf8(licence).contains(QStringLiteral("使用許諾")));
    const QByteArray batch = read(QStringLiteral("programs\\setup\\SysDir\\RmDir.bat"));
    EXPECT_TRUE(batch.startsWith("#!/bin/sh\n") && !batch.contains('\r'));

    for (const char* language : {"09", "11"}) {
        t.ctx.LanguageCode = QLatin1String(language);
        for (const int number : MessageNumbers)
            EXPECT_FALSE(message(number).isEmpty()) << "M" << number << " in M" << language << ".ini";
        for (int marker = 1; marker <= 4; ++marker) // templates carry the markers their callers fill in
            EXPECT_TRUE(message(72).contains(QStringLiteral("@%1").arg(marker)));
        EXPECT_TRUE(message(59).contains(QLatin1Char('@')));
        // The user guide named by message M060.
        EXPECT_EQ(pdfProblem(t.temp().host(t.ctx.SourceRoot + message(60))), QString());
    }
    EXPECT_EQ(message(74), QStringLiteral("このまま閲覧しますか？"));
    // M090 is followed directly by M091: the English text keeps the blank between them.
    t.ctx.LanguageCode = QStringLiteral("09");
    EXPECT_TRUE(message(91).startsWith(QLatin1Char(' ')));
}

TEST_F(SampleCdTest, EveryManualFolderPassesTheCatalogueCheckAndIsLinkedFromTheStartPage) {
    const QString index = QString::fromUtf8(read(QStringLiteral("index.html")));
    QMap<QString, QSet<QChar>> revisions; // Pub_No without its revision digit -> digits on the CD
    int pdf = 0;
    for (const ManualEntry& entry : manuals) {
        SCOPED_TRACE(entry.Folder.toStdString());
        ASSERT_GE(entry.Pub_No.size(), 5);
        EXPECT_TRUE(entry.Pub_No.at(4).isDigit());
        bool numeric = false;
        entry.Version.toShort(&numeric);
        EXPECT_TRUE(numeric);
        revisions[entry.Pub_No.left(4) + entry.Pub_No.mid(5)].insert(entry.Pub_No.at(4));
        if (entry.PdfFlag == QLatin1String("1")) {
            ++pdf;
            EXPECT_EQ(pdfProblem(host(pdfOf(entry))), QString());
        } else {
            // Installed from the archive and its changed files, and viewable from the CD as well (a path
            // ending in "/" exists only as a folder).
            for (const char* path :
                 {"/install/condense/manual.zip", "/install/compare/", "/index.html", "/contents/"})
                EXPECT_TRUE(QFileInfo::exists(host(entry.Folder + QLatin1String(path)))) << path;
        }
        const QString link =
            entry.PdfFlag == QLatin1String("1") ? pdfOf(entry) : entry.Folder + QStringLiteral("/index.html");
        EXPECT_TRUE(index.contains(QStringLiteral("href=\"%1\"").arg(link))) << link.toStdString();
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
    }
    EXPECT_GE(std::ssize(manuals) - pdf, 4);
    EXPECT_GE(pdf, 2);
    EXPECT_TRUE(std::any_of(revisions.begin(), revisions.end(), [](const QSet<QChar>& digits) {
        return digits.contains(QLatin1Char('0')) && digits.contains(QLatin1Char('1'));
    }));
    ManualEntry japanese;
    ReadCarInfo(t.ctx, QStringLiteral("RMJ00JA"), japanese);
    EXPECT_EQ(japanese.Model_desc, QStringLiteral("オーレア ハイブリッド"));
    EXPECT_TRUE(index.contains(QStringLiteral("href=\"install.html\"")) &&
                QFileInfo::exists(host(QStringLiteral("install.html"))));
}

TEST_F(SampleCdTest, ArchivesAreReadableManualTrees) {
    int largest = 0;
    bool renamedTop = false;
    bool japaneseNames = false;
    bool compareTree = false;
    for (const ManualEntry& entry : manuals) {
        if (entry.PdfFlag == QLatin1String("1"))
            continue;
        SCOPED_TRACE(entry.Folder.toStdString());
        QString error;
        const auto zip = readZip(host(entry.Folder + QStringLiteral("/install/condense/manual.zip")), error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();

        // One top folder holding index.html (a frameset with "mainFrame") and the pages under contents.
        QSet<QString> tops;
        int pages = 0;
        for (const QString& name : zip.keys()) {
            tops.insert(name.section(QLatin1Char('/'), 0, 0));
            pages += name.section(QLatin1Char('/'), 1, 1) == QLatin1String("contents") &&
                     name.endsWith(QStringLiteral(".html"));
            japaneseNames =
                japaneseNames || std::any_of(name.begin(), name.end(), [](QChar c) { return c > u'~'; });
        }
        ASSERT_EQ(tops.size(), 1);
        const QString top = *tops.begin();
        renamedTop = renamedTop || top != entry.Folder;
        const QString index = QString::fromUtf8(zip.value(top + QStringLiteral("/index.html")));
        EXPECT_TRUE(index.contains(QStringLiteral("<frameset")) &&
                    index.contains(QStringLiteral("name=\"mainFrame\"")));
        EXPECT_GE(pages, 100);
        largest = std::max(largest, pages);

        // The changed files of install\compare are the archive's files under contents.
        const QDir compare(host(entry.Folder + QStringLiteral("/install/compare")));
        for (QDirIterator it(compare.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            QFile file(it.next());
            compareTree = true;
            const QString name =
                top + QStringLiteral("/contents/") + compare.relativeFilePath(file.fileName());
            ASSERT_TRUE(zip.contains(name) && file.open(QIODevice::ReadOnly)) << name.toStdString();
            EXPECT_EQ(zip.value(name), file.readAll());
        }
    }
    EXPECT_GE(largest, 300); // several hundred pages in one manual
    EXPECT_TRUE(renamedTop && japaneseNames && compareTree);
}

TEST_F(SampleCdTest, DatabaseTemplateHasTheSchemaAndItsRows) {
    using Database = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;
    const auto open = [](const QString& path, int flags) {
        sqlite3* raw = nullptr;
        const int opened = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
        return std::pair{Database(raw, sqlite3_close), opened};
    };
    // The first column of every row.
    const auto query = [](const Database& db, const char* sql) {
        QStringList rows;
        const auto collect = [](void* out, int, char** values, char**) {
            static_cast<QStringList*>(out)->append(QString::fromUtf8(values[0]));
            return 0;
        };
        EXPECT_EQ(sqlite3_exec(db.get(), sql, collect, &rows, nullptr), SQLITE_OK) << sql;
        return rows;
    };
    const auto [db, opened] =
        open(host(QStringLiteral("programs/setup/") + t.ctx.systemParameters.DTX3_NEW_MDB_NAME),
             SQLITE_OPEN_READONLY);
    ASSERT_EQ(opened, SQLITE_OK);

    // The schema file run into an empty database gives the same tables, columns and indexes.
    const auto [schema, created] = open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE);
    QFile schemaFile(QStringLiteral(MARVEK_SCHEMA_SQL));
    ASSERT_TRUE(created == SQLITE_OK && schemaFile.open(QIODevice::ReadOnly));
    ASSERT_EQ(sqlite3_exec(schema.get(), schemaFile.readAll().constData(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    const char* objects = "SELECT type || ' ' || name || ': ' || sql FROM sqlite_master ORDER BY name";
    ASSERT_FALSE(query(schema, objects).isEmpty());
    EXPECT_EQ(query(db, objects), query(schema, objects));

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
        const QByteArray bytes = read(QStringLiteral("programs\\setup\\") + QLatin1String(name));
        EXPECT_TRUE(hasCrLfLinesOnly(bytes)) << name;
        QStringList keys;
        for (const QString& line : platform::decodeCodePage(bytes, platform::CodePageShiftJis)
                                       .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(QLatin1Char(','));
            ASSERT_GE(fields.size(), 6) << line.toStdString();
            keys.append(fields.at(3));
            EXPECT_TRUE(ManInfoIssueDate(fields.at(5)).isValid()) << line.toStdString();
        }
        keys.sort();
        EXPECT_EQ(keys, folders) << name;
    }
}

TEST_F(SampleCdTest, CodeSearchPageOpensManualPagesAsSizedWindows) {
    const QString search = QString::fromUtf8(read(QStringLiteral("codesearch.html")));
    EXPECT_TRUE(search.contains(QStringLiteral("window.open(")) &&
                search.contains(QStringLiteral("width=600,height=400")));
    int targets = 0;
    for (const QRegularExpressionMatch& match :
         QRegularExpression(QStringLiteral("\"[A-Z0-9]+\": \"([^\"]+)\"")).globalMatch(search)) {
        ++targets;
        EXPECT_TRUE(QFileInfo::exists(host(match.captured(1)))) << match.captured(1).toStdString();
    }
    EXPECT_GE(targets, 1);
}

// The built programs (marvek_cd_program): the companion installers beside what they install, under the
// names the suite looks for, each with a file-version record and the CD's file time.
TEST_F(SampleCdTest, CompanionInstallersLieBesideTheirPayloads) {
    const SystemParameters& p = t.ctx.systemParameters;
    QFile manifest(QStringLiteral(MARVEK_SAMPLE_CD_CONTENT "/manuals.json"));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QDateTime fileTime = QDateTime::fromString(
        QJsonDocument::fromJson(manifest.readAll()).object().value(QStringLiteral("fileTime")).toString(),
        Qt::ISODate);
    ASSERT_TRUE(fileTime.isValid());

    const QStringList programs = {
        QStringLiteral("programs/manual_link/setup.exe"),
        QStringLiteral("programs/manual_link/") + p.DTX3_EXE_NAME,
        QStringLiteral("programs/View/setup.exe"),
        QStringLiteral("programs/View/Pagora.exe"),
        QStringLiteral("programs/man_manager/09/setup.exe"),
        QStringLiteral("programs/man_manager/09/") + p.MCP_EXE_NAME,
        QStringLiteral("programs/man_manager/11/setup.exe"),
        QStringLiteral("programs/man_manager/11/") + p.MCP_EXE_NAME,
    };
    for (const QString& program : programs) {
        const QFileInfo info(host(program));
        EXPECT_TRUE(info.isFile() && info.isExecutable()) << program.toStdString();
        EXPECT_TRUE(platform::readFileVersion(info.filePath()).has_value()) << program.toStdString();
        EXPECT_EQ(info.lastModified(), fileTime) << program.toStdString();
    }
    const QFileInfo messages(host(QStringLiteral("programs/View/PG_MSG.TXT")));
    EXPECT_TRUE(read(QStringLiteral("programs\\View\\PG_MSG.TXT")).startsWith("\xFF\xFE"));
    EXPECT_EQ(messages.lastModified(), fileTime);
    // The browser in the viewer package is the one its installer records as the viewer.
    EXPECT_EQ(platform::readFileVersion(host(QStringLiteral("programs/View/Pagora.exe"))),
              (platform::FileVersion{1, 1, 0, 2}));

    QDirIterator it(host(QStringLiteral("programs")), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        EXPECT_FALSE(file.endsWith(QStringLiteral(".part"))) << file.toStdString();
    }
}

TEST_F(SampleCdTest, AutostartFilesNameTheLauncherForWindowsAndLinuxDesktops) {
    const QByteArray inf = read(QStringLiteral("autorun.inf"));
    EXPECT_TRUE(hasCrLfLinesOnly(inf));
    EXPECT_TRUE(inf.startsWith("[autorun]\r\nopen=Cdlaunch.exe\r\n"));
    // The first of .autorun, autorun and autorun.sh at the root is the one a desktop runs.
    EXPECT_FALSE(QFileInfo::exists(host(QStringLiteral(".autorun"))));
    EXPECT_FALSE(QFileInfo::exists(host(QStringLiteral("autorun"))));
    const QFileInfo script(host(QStringLiteral("autorun.sh")));
    EXPECT_TRUE(script.isExecutable());
    const QByteArray text = read(QStringLiteral("autorun.sh"));
    EXPECT_TRUE(text.startsWith("#!/bin/sh\n") && !text.contains('\r') && text.contains("./Cdlaunch.exe"));
}
