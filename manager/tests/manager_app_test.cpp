// The manager's start routine and the actions its window wires: the list, opening a manual, the memo
// and the checks before a change.
#include "ManagerFixture.h"
#include "manager/app/ManagerActions.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace marvek;
using namespace marvek::testing;

namespace {

// Three manuals: an HTML one installed under C:\Manuals, a PDF one, and one marked for adjustment; with
// model orders that make the English and Japanese orders differ.
const QByteArray Rows = R"(
INSERT INTO M_order VALUES ('AUR50', 'Aurea', 1);
INSERT INTO M_order VALUES ('VELT20', 'Veltro', 2);
INSERT INTO M_manage VALUES ('RM011EN', 'Aurea', 'AUR50', '2', '2024', 'ZVH50', 'Europe', 'English', '2024/03',
    'tech', '2024-04-01 09:30:01', 'C:\Manuals\RM011EN', '0', 'brakes: see sec. 9');
INSERT INTO M_manage VALUES ('BRM00EN', 'Aurea', 'AUR50', '1', '2023', 'ZVH51', 'Europe', 'English', '2023/06',
    'tech', '2024-04-01 09:30:01', 'C:\Manuals\BRM00EN', '0', '');
INSERT INTO M_manage VALUES ('NCF00EN', 'Veltro', 'VELT20', '3', '2022', 'AAA10', 'Europe', 'English', '2022/01',
    'tech', '2024-04-01 09:30:01', 'C:\Manuals\NCF00EN', '1', '');
INSERT INTO M_type VALUES ('RM011EN', '0');
INSERT INTO M_type VALUES ('BRM00EN', '1');
INSERT INTO M_type VALUES ('NCF00EN', '0');
)";

class ManagerTest : public ManagerFixture {
protected:
    void SetUp() override {
        installManager(Rows);
        base.os().registry().writeString(platform::HKEY_LOCAL_MACHINE,
                                         QStringLiteral("SOFTWARE\\Marvek\\Scanlux\\MarvekView"),
                                         QStringLiteral("InstallDir"), QStringLiteral("C:\\Viewer"));
        ASSERT_TRUE(temp().writeFile(QStringLiteral("C:\\Manuals\\RM011EN\\index.html"), "<html></html>"));
        ASSERT_TRUE(
            temp().writeFile(QStringLiteral("C:\\Manuals\\BRM00EN\\contents\\BRM00EN.pdf"), "%PDF-1.4"));
    }

    // A script standing in for a program: records its arguments in a file.
    QString recorder(const QString& name) {
        const QString script = tools.filePath(name);
        QFile file(script);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\necho \"$@\" > \"$0.args\"\n");
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return script;
    }
    // The recorded arguments, once their line is complete.
    static QByteArray awaitArgs(const QString& script) {
        QByteArray args;
        for (int i = 0; i < 750 && !args.endsWith('\n'); ++i) {
            QThread::msleep(20);
            QFile file(script + QStringLiteral(".args"));
            if (file.open(QIODevice::ReadOnly))
                args = file.readAll();
        }
        return args.trimmed();
    }

    QTemporaryDir tools;
};

TEST_F(ManagerTest, StartSettlesPathsAndOpensTheDatabase) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    EXPECT_EQ(ctx.ViewerExePath, QStringLiteral("C:\\Viewer\\Pagora.exe"));
    EXPECT_EQ(ctx.DatabasePath, DatabasePath);
    EXPECT_EQ(ctx.shared.CleanupBatchPath, QStringLiteral("C:\\ManualLink\\SysDir\\RmDir.bat"));
    EXPECT_TRUE(ctx.db.Database.IsOpen());
    EXPECT_TRUE(ui().asked().empty());
}

TEST_F(ManagerTest, StartFailuresEndWithTheirBoxes) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        const char* box;
    };
    const QString parameters = temp().host(QStringLiteral("C:\\ManualLink\\SysDir\\SysParameter.ini"));
    const std::vector<Case> cases = {
        {"database missing", [&] { QFile::remove(temp().host(DatabasePath)); }, manager::NoDatabase},
        {"bad parameter",
         [&] {
             QFile file(parameters);
             file.open(QIODevice::WriteOnly | QIODevice::Truncate);
             file.write("[SYSTEM INFORMATION]\r\nLCID_Flg=x\r\n");
         },
         "No System Data"},
        {"parameters missing", [&] { QFile::remove(parameters); }, "System Parameter File None"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        manager::ManagerContext fresh(base.os());
        EXPECT_EQ(manager::StartManager(fresh, ProgramFolder, false), manager::ManagerStartOutcome::End);
        ASSERT_FALSE(ui().asked().empty());
        EXPECT_EQ(ui().asked().back().text, QLatin1String(c.box));
        EXPECT_EQ(ui().asked().back().title, QLatin1String(manager::ManagerTitle));
        EXPECT_FALSE(fresh.db.Database.IsOpen());
    }
    const size_t asked = ui().asked().size();
    EXPECT_EQ(manager::StartManager(ctx, ProgramFolder, true), manager::ManagerStartOutcome::End);
    EXPECT_EQ(ui().asked().size(), asked) << "a second copy ends silently";
}

TEST_F(ManagerTest, ListInBothLanguages) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    const manager::ManagerTexts texts = manager::LoadManagerTexts(ctx);
    EXPECT_EQ(ctx.shared.AppTitle, message(43));
    EXPECT_EQ(texts.headers[2], message(35));
    EXPECT_EQ(texts.headers[7], QStringLiteral("Pdf_flg"));

    std::optional<std::vector<manager::ManagerRow>> rows = manager::LoadManagerList(ctx);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 3u);
    // English: OrderNo, year, number; column 4 is the year.
    EXPECT_EQ((*rows)[0].columns[0], QStringLiteral("BRM00EN"));
    EXPECT_EQ((*rows)[0].columns[3], QStringLiteral("2023"));
    EXPECT_EQ((*rows)[0].columns[7], QStringLiteral("1"));
    EXPECT_EQ((*rows)[1].columns[0], QStringLiteral("RM011EN"));
    EXPECT_EQ((*rows)[1].columns[1], QStringLiteral("C:\\Manuals\\RM011EN"));
    EXPECT_EQ((*rows)[1].columns[5], QStringLiteral("RM011EN"));
    EXPECT_EQ((*rows)[1].columns[6], QStringLiteral("2"));
    EXPECT_EQ((*rows)[1].colourFlag, QStringLiteral("0"));
    EXPECT_EQ((*rows)[2].colourFlag, QStringLiteral("1")) << "marked manuals show white";

    ctx.shared.LanguageCode = QStringLiteral("11");
    rows = manager::LoadManagerList(ctx);
    ASSERT_TRUE(rows);
    EXPECT_EQ((*rows)[0].columns[3], QStringLiteral("ZVH51")) << "Japanese shows the classification";
    EXPECT_TRUE(manager::HasManuals(ctx));
}

TEST_F(ManagerTest, DisplayOpensOrMarksMissingManuals) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    manager::LoadManagerTexts(ctx);

    // HTML manual without Pagora: the system web browser gets the page.
    const QString browser = recorder(QStringLiteral("browser"));
    qputenv("BROWSER", browser.toUtf8());
    EXPECT_EQ(manager::DisplayManual(ctx, QStringLiteral("RM011EN"), QStringLiteral("C:\\Manuals\\RM011EN"),
                                     QStringLiteral("0")),
              manager::DisplayResult::Opened);
    qunsetenv("BROWSER");
    EXPECT_TRUE(awaitArgs(browser).endsWith("RM011EN/index.html"));

    // With Pagora: the unquoted command line.
    const QString pagora = recorder(QStringLiteral("Pagora.exe"));
    QDir().mkpath(temp().host(QStringLiteral("C:\\Viewer")));
    ASSERT_TRUE(QFile::copy(pagora, temp().host(QStringLiteral("C:\\Viewer\\Pagora.exe"))));
    EXPECT_EQ(manager::DisplayManual(ctx, QStringLiteral("RM011EN"), QStringLiteral("C:\\Manuals\\RM011EN"),
                                     QStringLiteral("0")),
              manager::DisplayResult::Opened);
    EXPECT_EQ(awaitArgs(temp().host(QStringLiteral("C:\\Viewer\\Pagora.exe"))),
              temp().host(QStringLiteral("C:\\Manuals\\RM011EN\\index.html")).toUtf8());

    // PDF manual through the shell's Open.
    const QString opener = recorder(QStringLiteral("opener"));
    qputenv("MARVEK_OPEN_COMMAND", opener.toUtf8());
    EXPECT_EQ(manager::DisplayManual(ctx, QStringLiteral("BRM00EN"), QStringLiteral("C:\\Manuals\\BRM00EN"),
                                     QStringLiteral("1")),
              manager::DisplayResult::Opened);
    qunsetenv("MARVEK_OPEN_COMMAND");
    EXPECT_TRUE(awaitArgs(opener).endsWith("BRM00EN.pdf"));
    EXPECT_TRUE(ui().asked().empty());

    // A missing page: the box, then the manual is marked.
    EXPECT_EQ(manager::DisplayManual(ctx, QStringLiteral("NCF00EN"), QStringLiteral("C:\\Manuals\\NCF00EN"),
                                     QStringLiteral("0")),
              manager::DisplayResult::MissingMarked);
    EXPECT_EQ(ui().asked().back().text, message(50));
    EXPECT_EQ(ui().asked().back().title, message(43));
    ASSERT_EQ(ctx.db.FindInstalledManual(QStringLiteral("NCF00EN")), 0);
    EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, QStringLiteral("1"));

    // Read-only database: the missing PDF is reported, then M067, and nothing is stored.
    ASSERT_TRUE(QFile::remove(temp().host(QStringLiteral("C:\\Manuals\\BRM00EN\\contents\\BRM00EN.pdf"))));
    ctx.os().files().setAttributes(DatabasePath, platform::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(manager::DisplayManual(ctx, QStringLiteral("BRM00EN"), QStringLiteral("C:\\Manuals\\BRM00EN"),
                                     QStringLiteral("1")),
              manager::DisplayResult::Missing);
    ASSERT_GE(ui().asked().size(), 2u);
    EXPECT_EQ(ui().asked()[ui().asked().size() - 2].text, message(81));
    EXPECT_EQ(ui().asked().back().text, message(67));
    EXPECT_EQ(ui().asked().back().title, QLatin1String(manager::ManagerTitle));
    ctx.os().files().setAttributes(DatabasePath, platform::FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(ctx.db.FindInstalledManual(QStringLiteral("BRM00EN")), 0);
    EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, QStringLiteral("0"));
}

TEST_F(ManagerTest, MemoIsTrimmedCutAndStoredAsWritten) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    EXPECT_EQ(manager::SelectManual(ctx, QStringLiteral("RM011EN"), QStringLiteral("C:\\Manuals\\RM011EN")),
              QStringLiteral("brakes: see sec. 9"));
    struct Case {
        QString typed;
        QString shown;
        QString stored;
    };
    const QString hundred(100, QLatin1Char('m'));
    const QString cjk = q("ブレーキ: O'Neil's note");
    // A character outside the basic plane at the cut is kept whole.
    const QString surrogate = QString(99, QLatin1Char('x')) + q("😀") + QStringLiteral("yz");
    for (const Case& c :
         {Case{hundred + QStringLiteral("n"), hundred, hundred},
          Case{QStringLiteral("   "), QStringLiteral("   "), QString()},
          Case{QStringLiteral("  keep  "), QStringLiteral("  keep  "), QStringLiteral("keep")},
          Case{cjk, cjk, cjk},
          Case{surrogate, QString(99, QLatin1Char('x')), QString(99, QLatin1Char('x'))}}) {
        EXPECT_EQ(manager::SaveMemo(ctx, c.typed), c.shown);
        EXPECT_EQ(ctx.db.GetManualMemo(QStringLiteral("RM011EN")), c.stored);
    }
    // Read-only: not stored, M067.
    ctx.os().files().setAttributes(DatabasePath, platform::FILE_ATTRIBUTE_READONLY);
    manager::ManagerContext readOnly(base.os());
    ASSERT_EQ(manager::StartManager(readOnly, ProgramFolder, false),
              manager::ManagerStartOutcome::ShowWindow);
    manager::SelectManual(readOnly, QStringLiteral("RM011EN"), QString());
    manager::SaveMemo(readOnly, QStringLiteral("changed"));
    ASSERT_FALSE(ui().asked().empty());
    EXPECT_EQ(ui().asked().back().text, message(67));
    EXPECT_EQ(readOnly.db.GetManualMemo(QStringLiteral("RM011EN")), QString(99, QLatin1Char('x')));
}

TEST_F(ManagerTest, DeleteAsksUnlessTheDatabaseIsReadOnly) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    manager::LoadManagerTexts(ctx);
    ui().addAnswer(QString::number(platform::mb::IdNo));
    EXPECT_FALSE(manager::ConfirmDelete(ctx));
    EXPECT_EQ(ui().asked().back().style, 68);
    EXPECT_EQ(ui().asked().back().text, message(51));
    ui().addAnswer(QString::number(platform::mb::IdYes));
    EXPECT_TRUE(manager::ConfirmDelete(ctx));
    ctx.os().files().setAttributes(DatabasePath, platform::FILE_ATTRIBUTE_READONLY);
    const size_t asked = ui().asked().size();
    EXPECT_FALSE(manager::ConfirmDelete(ctx));
    ASSERT_EQ(ui().asked().size(), asked + 1) << "no question on a read-only database";
    EXPECT_EQ(ui().asked().back().text, message(67));
    EXPECT_FALSE(manager::DatabaseWritableOrSay(ctx));
}

} // namespace
