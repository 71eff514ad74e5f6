// ManualLink.exe from the sample CD, started the way a diagnostic tool asks for a manual, with
// recording stand-ins for Pagora and for the system web browser.
#include "CompanionTest.h"
#include "cd/companions/manual_link/ManualLink.h"
#include "shared/database/clsMDB.h"

namespace marvek::companions::testing {
namespace {

const QString LinkFolder = QStringLiteral("C:\\Diag\\ManualLink");
const QString ViewerFolder = QStringLiteral("C:\\Viewer");
const QString HtmlManual = QStringLiteral("C:\\Manuals\\Repair Manual");
const QString PdfManual = QStringLiteral("C:\\Manuals\\NCF00EN");

class ManualLinkTest : public CompanionTest {
protected:
    ManualLinkTest() {
        const platform::Files& files = os().files();
        EXPECT_TRUE(files.createFolderPath(LinkFolder));
        EXPECT_TRUE(files.copyFile(QStringLiteral("D:\\programs\\manual_link\\ManualLink.exe"),
                                   LinkFolder + QStringLiteral("\\ManualLink.exe")));
        const QString database = LinkFolder + QStringLiteral("\\ManualLink.mdb");
        EXPECT_TRUE(files.copyFile(QStringLiteral("D:\\programs\\setup\\ManualLink_new.mdb"), database));
        EXPECT_TRUE(files.setAttributes(database, platform::FILE_ATTRIBUTE_NORMAL));
        shared::clsMDB db(os().machine());
        EXPECT_TRUE(db.Pcls_MdbOpen(database));
        for (const char* row : {"'RM010EN', 'C:\\Manuals\\Repair Manual\\'",
                                "'NCF00EN', 'C:\\Manuals\\NCF00EN'", "'GONE00EN', 'C:\\Manuals\\Gone'"})
            EXPECT_EQ(db.Pcls_MdbExecute(QStringLiteral("INSERT INTO M_manage (Pub_No, InsPath) VALUES (%1)")
                                             .arg(QLatin1String(row))),
                      0);
        db.Release();
        EXPECT_TRUE(t.temp().writeFile(HtmlManual + QStringLiteral("\\index.html"), "<html></html>"));
        EXPECT_TRUE(t.temp().writeFile(PdfManual + QStringLiteral("\\contents\\NCF00EN.pdf"), "%PDF-1.4"));

        writeRecorder(ViewerFolder + QStringLiteral("\\Pagora.exe"), pagoraRecord);
        writeRecorder(QStringLiteral("C:\\Tools\\browser.sh"), browserRecord);
        setRegistry(ViewerKey, InstallDirValue, ViewerFolder);
    }

    // A program that writes its arguments, one a line, to a record file.
    void writeRecorder(const QString& windowsPath, const QString& record) {
        const QByteArray script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                  QFile::encodeName(record) + ".part' && mv '" + QFile::encodeName(record) +
                                  ".part' '" + QFile::encodeName(record) + "'\n";
        ASSERT_TRUE(t.temp().writeFile(windowsPath, script));
        QFile::setPermissions(host(windowsPath), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Runs ManualLink.exe with the command line's arguments; its exit code.
    std::optional<quint32> open(const QString& arguments) {
        const ScopedEnvironment boxes("MARVEK_UI_LOG", uiLog);
        const ScopedEnvironment browser("BROWSER", host(QStringLiteral("C:\\Tools\\browser.sh")));
        return run(LinkFolder + QStringLiteral("\\ManualLink.exe ") + arguments);
    }

    // The arguments a recorder was started with (waiting up to 10 s for them); empty when never started.
    static QStringList recorded(const QString& record, int waitMs = 10000) {
        QElapsedTimer timer;
        timer.start();
        do {
            QFile file(record);
            if (file.open(QIODevice::ReadOnly))
                return QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
            QThread::msleep(20);
        } while (timer.elapsed() < waitMs);
        return {};
    }

    QStringList boxes() const {
        QFile file(uiLog);
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    const QString uiLog = t.temp().root() + QStringLiteral("/ui.log");
    const QString pagoraRecord = t.temp().root() + QStringLiteral("/pagora.args");
    const QString browserRecord = t.temp().root() + QStringLiteral("/browser.args");
};

TEST_F(ManualLinkTest, OpensTheManualsPageInPagora) {
    // Browser path, a blank, the page path without quotes: a page path with a blank arrives in pieces,
    // which Pagora joins again.
    ASSERT_EQ(open(QStringLiteral("rm010en")), 0u);
    EXPECT_EQ(recorded(pagoraRecord), (QStringList{host(QStringLiteral("C:\\Manuals\\Repair")),
                                                   QStringLiteral("Manual\\index.html")}));

    QFile::remove(pagoraRecord);
    ASSERT_EQ(open(QStringLiteral("NCF00EN")), 0u);
    EXPECT_EQ(recorded(pagoraRecord),
              QStringList{host(PdfManual + QStringLiteral("\\contents\\NCF00EN.pdf"))});

    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_TRUE(recorded(browserRecord, 0).isEmpty());
}

TEST_F(ManualLinkTest, WithoutPagoraTheSystemWebBrowserShowsThePage) {
    for (const QString& viewer : {QStringLiteral("C:\\Empty"), QString()}) {
        SCOPED_TRACE(viewer.toStdString());
        setRegistry(ViewerKey, InstallDirValue, viewer);
        QFile::remove(browserRecord);
        ASSERT_EQ(open(QStringLiteral("RM010EN")), 0u);
        EXPECT_EQ(recorded(browserRecord), QStringList{host(HtmlManual + QStringLiteral("\\index.html"))});
    }
    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_TRUE(recorded(pagoraRecord, 0).isEmpty());
}

struct Refusal {
    const char* name;
    const char* arguments;
    ManualLinkResult result;
    const char* inText; // a piece of the box's text
};
void PrintTo(const Refusal& value, std::ostream* out) {
    *out << value.name;
}

class ManualLinkRefusal : public ManualLinkTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ManualLinkRefusal, ShowsOneBoxAndOpensNothing) {
    const Refusal& refusal = GetParam();
    EXPECT_EQ(open(QString::fromUtf8(refusal.arguments)), static_cast<quint32>(refusal.result));
    const QStringList shown = boxes();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("ManualLink\t48\t"))) << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(QString::fromUtf8(refusal.inText))) << shown[0].toStdString();
    EXPECT_TRUE(recorded(pagoraRecord, 300).isEmpty());
    EXPECT_TRUE(recorded(browserRecord, 0).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManualLinkRefusal,
    ::testing::Values(
        Refusal{"NoNumber", "", ManualLinkResult::BadInput, "publication number"},
        Refusal{"Quote", "RM0'10EN", ManualLinkResult::BadInput, "RM0'10EN"},
        Refusal{"Path", "..\\..\\x", ManualLinkResult::BadInput, "is not a publication number"},
        Refusal{"TwoWords", "RM010EN NCF00EN", ManualLinkResult::BadInput, "RM010EN NCF00EN"},
        Refusal{"Unknown", "NOPE00EN", ManualLinkResult::NotInstalled, "NOPE00EN is not installed"},
        Refusal{"FilesGone", "GONE00EN", ManualLinkResult::FilesMissing, "C:\\\\Manuals\\\\Gone"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(ManualLinkTest, WithoutItsDatabaseItRefuses) {
    ASSERT_TRUE(os().files().createFolderPath(QStringLiteral("C:\\Other")));
    ASSERT_TRUE(os().files().copyFile(LinkFolder + QStringLiteral("\\ManualLink.exe"),
                                      QStringLiteral("C:\\Other\\ManualLink.exe")));
    const ScopedEnvironment boxes("MARVEK_UI_LOG", uiLog);
    EXPECT_EQ(run(QStringLiteral("C:\\Other\\ManualLink.exe RM010EN")),
              static_cast<quint32>(ManualLinkResult::DatabaseError));
    EXPECT_EQ(this->boxes().size(), 1);
    EXPECT_TRUE(recorded(pagoraRecord, 300).isEmpty());
}

} // namespace
} // namespace marvek::companions::testing
