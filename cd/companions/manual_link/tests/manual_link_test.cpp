// ManualLink.exe from the sample CD, started the way a diagnostic tool asks for a manual, with
// recording stand-ins for Pagora and for the system web browser.
#include "CompanionTest.h"
#include "cd/companions/manual_link/ManualLink.h"
#include "shared/database/clsMDB.h"

namespace marvek::companions::testing {
namespace {

const QString LinkFolder = u"C:\\Diag\\ManualLink"_s;
const QString ViewerFolder = u"C:\\Viewer"_s;
const QString HtmlManual = u"C:\\Manuals\\Repair Manual"_s;
const QString PdfManual = u"C:\\Manuals\\NCF00EN"_s;

class ManualLinkTest : public CompanionTest {
protected:
    ManualLinkTest() {
        const platform::Files& files = os().files();
        EXPECT_TRUE(files.createFolderPath(LinkFolder));
        EXPECT_TRUE(files.copyFile(u"D:\\programs\\manual_link\\ManualLink.exe"_s,
                                   LinkFolder + u"\\ManualLink.exe"_s));
        const QString database = LinkFolder + u"\\ManualLink.mdb"_s;
        EXPECT_TRUE(files.copyFile(u"D:\\programs\\setup\\ManualLink_new.mdb"_s, database));
        EXPECT_TRUE(files.setAttributes(database, platform::FILE_ATTRIBUTE_NORMAL));
        shared::clsMDB db(os().machine());
        EXPECT_TRUE(db.Pcls_MdbOpen(database));
        for (const char* row : {"'RM010EN', 'C:\\Manuals\\Repair Manual\\'",
                                "'NCF00EN', 'C:\\Manuals\\NCF00EN'", "'GONE00EN', 'C:\\Manuals\\Gone'"})
            EXPECT_EQ(db.Pcls_MdbExecute(
                          u"INSERT INTO M_manage (Pub_No, InsPath) VALUES (%1)"_s.arg(QLatin1String(row))),
                      0);
        db.Release();
        EXPECT_TRUE(t.temp().writeFile(HtmlManual + u"\\index.html"_s, "<html></html>"));
        EXPECT_TRUE(t.temp().writeFile(PdfManual + u"\\contents\\NCF00EN.pdf"_s, "%PDF-1.4"));

        writeRecorder(ViewerFolder + u"\\Pagora.exe"_s, pagoraRecord);
        writeRecorder(u"C:\\Tools\\browser.sh"_s, browserRecord);
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
        const ScopedEnvironment browser("BROWSER", host(u"C:\\Tools\\browser.sh"_s));
        return run(LinkFolder + u"\\ManualLink.exe "_s + arguments);
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

    const QString pagoraRecord = t.temp().root() + u"/pagora.args"_s;
    const QString browserRecord = t.temp().root() + u"/browser.args"_s;
};

TEST_F(ManualLinkTest, OpensTheManualsPageInPagora) {
    // Browser path, a blank, the page path without quotes: a page path with a blank arrives in pieces,
    // which Pagora joins again.
    ASSERT_EQ(open(u"rm010en"_s), 0u);
    EXPECT_EQ(recorded(pagoraRecord), (QStringList{host(u"C:\\Manuals\\Repair"_s), u"Manual\\index.html"_s}));

    QFile::remove(pagoraRecord);
    ASSERT_EQ(open(u"NCF00EN"_s), 0u);
    EXPECT_EQ(recorded(pagoraRecord), QStringList{host(PdfManual + u"\\contents\\NCF00EN.pdf"_s)});

    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_TRUE(recorded(browserRecord, 0).isEmpty());
}

TEST_F(ManualLinkTest, WithoutPagoraTheSystemWebBrowserShowsThePage) {
    for (const QString& viewer : {u"C:\\Empty"_s, QString()}) {
        SCOPED_TRACE(viewer.toStdString());
        setRegistry(ViewerKey, InstallDirValue, viewer);
        QFile::remove(browserRecord);
        ASSERT_EQ(open(u"RM010EN"_s), 0u);
        EXPECT_EQ(recorded(browserRecord), QStringList{host(HtmlManual + u"\\index.html"_s)});
    }
    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_TRUE(recorded(pagoraRecord, 0).isEmpty());
}

TEST_F(ManualLinkTest, RefusalsShowOneBoxAndOpenNothing) {
    // The arguments, the result and a piece of the box's text.
    const std::tuple<const char*, ManualLinkResult, const char*> cases[] = {
        {"", ManualLinkResult::BadInput, "publication number"},
        {"RM0'10EN", ManualLinkResult::BadInput, "RM0'10EN"},
        {"..\\..\\x", ManualLinkResult::BadInput, "is not a publication number"},
        {"RM010EN NCF00EN", ManualLinkResult::BadInput, "RM010EN NCF00EN"},
        {"NOPE00EN", ManualLinkResult::NotInstalled, "NOPE00EN is not installed"},
        {"GONE00EN", ManualLinkResult::FilesMissing, "C:\\\\Manuals\\\\Gone"}};
    for (const auto& [arguments, result, inText] : cases) {
        SCOPED_TRACE(arguments);
        QFile::remove(uiLog);
        EXPECT_EQ(open(QString::fromUtf8(arguments)), static_cast<quint32>(result));
        const QStringList shown = boxes();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].startsWith(u"ManualLink\t48\t"_s)) << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(QString::fromUtf8(inText))) << shown[0].toStdString();
        EXPECT_TRUE(recorded(pagoraRecord, 300).isEmpty());
        EXPECT_TRUE(recorded(browserRecord, 0).isEmpty());
    }
}

TEST_F(ManualLinkTest, WithoutItsDatabaseItRefuses) {
    ASSERT_TRUE(os().files().createFolderPath(u"C:\\Other"_s));
    ASSERT_TRUE(os().files().copyFile(LinkFolder + u"\\ManualLink.exe"_s, u"C:\\Other\\ManualLink.exe"_s));
    const ScopedEnvironment boxes("MARVEK_UI_LOG", uiLog);
    EXPECT_EQ(run(u"C:\\Other\\ManualLink.exe RM010EN"_s),
              static_cast<quint32>(ManualLinkResult::DatabaseError));
    EXPECT_EQ(this->boxes().size(), 1);
    EXPECT_TRUE(recorded(pagoraRecord, 300).isEmpty());
}

} // namespace
} // namespace marvek::companions::testing
