// The manager: its start routine, the actions its window wires (the list, opening a manual, the memo,
// the checks before a change), the window driven under the offscreen platform, and the program as a
// real process.
#include "manager/app/ManagerActions.h"
#include "manager/app/ManagerListThread.h"
#include "manager/app/ManagerStart.h"
#include "manager/window/frmMmpMain.h"
#include "platform/InstanceLock.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/RecordingProgram.h"
#include "platform/testing/ScopedEnvironment.h"
#include "shared/config/Messages.h"
#include "shared/grid/vaSpread.h"
#include "shared/testing/SchemaDatabase.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <future>
#include <gtest/gtest.h>

using marvek::testing::BuildPath;

using namespace marvek;
using namespace marvek::testing;

namespace {

// The manager installed in C:\ManualLink with the sample CD's SysDir and a database made from the
// schema and the given rows; the UI answers from a script and the clock is instant.
class ManagerFixture : public ::testing::Test {
protected:
    static inline const QString ProgramFolder = q("C:\\ManualLink");
    static inline const QString DatabasePath = q("C:\\ManualLink\\ManualLink.mdb");

    ManagerFixture() : ctx(base.os()) {}

    void installManager(const QByteArray& rows) {
        QDir().mkpath(temp().host(ProgramFolder));
        ASSERT_EQ(QProcess::execute(
                      q("cp"),
                      {q("-a"), BuildPath("MARVEK_SAMPLE_CD_DIR") + QStringLiteral("/programs/setup/SysDir"),
                       temp().host(ProgramFolder)}),
                  0);
        base.os().registry().writeString(platform::HKEY_LOCAL_MACHINE,
                                         q("SOFTWARE\\Marvek\\Scanlux\\ManualLink"), q("InstallDir"),
                                         ProgramFolder);
        ASSERT_TRUE(MakeSchemaDatabase(temp(), DatabasePath, rows));
    }

    TempMachine& temp() { return base.temp(); }
    platform::ScriptedUserInterface& ui() { return base.ui(); }
    QString message(int number) { return shared::GetMessage(ctx.shared, q("MESSAGE"), number); }
    manager::ManagerStartOutcome start() { return manager::StartManager(ctx, ProgramFolder, false); }
    // The last box shown: its text, title and style.
    QStringList lastBox() {
        if (ui().asked().empty())
            return {q("<no box>")};
        const platform::AskedQuestion& box = ui().asked().back();
        return {box.text, box.title, QString::number(box.style)};
    }

    SharedTestContext base;
    manager::ManagerContext ctx;
};

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
                                         q("SOFTWARE\\Marvek\\Scanlux\\MarvekView"), q("InstallDir"),
                                         q("C:\\Viewer"));
        ASSERT_TRUE(temp().writeFile(q("C:\\Manuals\\RM011EN\\index.html"), "<html></html>"));
        ASSERT_TRUE(temp().writeFile(q("C:\\Manuals\\BRM00EN\\contents\\BRM00EN.pdf"), "%PDF-1.4"));
    }

    // A recording stand-in for a program at a host path.
    RecordingProgram recorder(const QString& hostPath) {
        RecordingProgram program(hostPath, hostPath + q(".args"));
        EXPECT_TRUE(program.install());
        return program;
    }
};

// An upgrade cut off after the database lost its name: the manager puts the whole backup back and opens.
TEST_F(ManagerTest, StartRestoresTheUpgradesBackupOfAMissingDatabase) {
    const QString backup = temp().host(ProgramFolder) + q("/BACK_ManualLink.mdb");
    ASSERT_TRUE(QFile::rename(temp().host(DatabasePath), backup));
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    EXPECT_EQ(ctx.db.CountInstalledManuals(), 3);
    EXPECT_FALSE(QFileInfo::exists(backup));
    EXPECT_TRUE(ui().asked().empty());
}

TEST_F(ManagerTest, StartFailuresEndWithTheirBoxes) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        const char* box;
    };
    const QString parameters = temp().host(q("C:\\ManualLink\\SysDir\\SysParameter.ini"));
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
        EXPECT_EQ(lastBox(), (QStringList{c.box, manager::ManagerTitle, "48"}));
        EXPECT_FALSE(fresh.db.Database.IsOpen());
    }
    const size_t asked = ui().asked().size();
    EXPECT_EQ(manager::StartManager(ctx, ProgramFolder, true), manager::ManagerStartOutcome::End);
    EXPECT_EQ(ui().asked().size(), asked) << "a second copy ends silently";
}

TEST_F(ManagerTest, StartSettlesPathsAndListsInBothLanguages) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    EXPECT_EQ((QStringList{ctx.ViewerExePath, ctx.DatabasePath, ctx.shared.CleanupBatchPath}),
              (QStringList{"C:\\Viewer\\Pagora.exe", DatabasePath, "C:\\ManualLink\\SysDir\\RmDir.bat"}));
    EXPECT_TRUE(ctx.db.Database.IsOpen());
    EXPECT_TRUE(ui().asked().empty());

    manager::ManagerList rows = manager::LoadManagerList(ctx);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 3u);
    // English: OrderNo, year, number; column 4 is the year; marked manuals show white (colour flag 1).
    const auto row = [&](size_t i) {
        const manager::ManagerRow read = rows->row(i);
        return QStringList(read.columns.begin(), read.columns.end()) << read.colourFlag;
    };
    EXPECT_EQ(row(0), (QStringList{"BRM00EN", "C:\\Manuals\\BRM00EN", "Aurea", "2023", "English", "BRM00EN",
                                   "1", "1", "0"}));
    EXPECT_EQ(row(1), (QStringList{"RM011EN", "C:\\Manuals\\RM011EN", "Aurea", "2024", "English", "RM011EN",
                                   "2", "0", "0"}));
    EXPECT_EQ(row(2), (QStringList{"NCF00EN", "C:\\Manuals\\NCF00EN", "Veltro", "2022", "English", "NCF00EN",
                                   "3", "0", "1"}));

    ctx.shared.LanguageCode = q("11");
    rows = manager::LoadManagerList(ctx);
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->text(0, 3), q("ZVH51")) << "Japanese shows the classification";
}

// The program's list thread: started before the database is open, it reads the list once given the
// context, and a thread never given one (the start ended the program) ends without keeping it waiting.
TEST_F(ManagerTest, ListThreadOpensTheDatabaseThenReadsTheListOnce) {
    {
        manager::ManagerListThread unused;
        EXPECT_FALSE(unused.opened()) << "nothing given, nothing opened";
        EXPECT_FALSE(unused.take().valid());
    }
    ASSERT_EQ(manager::CheckManagerStartBeforeDatabase(ctx, ProgramFolder, false).outcome,
              manager::ManagerStartOutcome::ShowWindow);
    EXPECT_FALSE(ctx.db.Database.IsOpen()) << "the database is the thread's to open";
    {
        manager::ManagerListThread thread;
        thread.read(ctx);
        thread.read(ctx);
        EXPECT_TRUE(thread.opened());
        std::future<manager::ManagerList> list = thread.take();
        ASSERT_TRUE(list.valid());
        const manager::ManagerList rows = list.get();
        ASSERT_TRUE(rows);
        ASSERT_EQ(rows->size(), 3u);
        EXPECT_EQ(rows->text(0, 0), q("BRM00EN"));
        EXPECT_FALSE(thread.take().valid());
        EXPECT_TRUE(thread.opened()) << "the same answer again";
    }

    // A database that does not open gives no list.
    manager::EndManager(ctx);
    ASSERT_TRUE(QFile::remove(temp().host(DatabasePath)));
    manager::ManagerListThread thread;
    thread.read(ctx);
    EXPECT_FALSE(thread.opened());
    std::future<manager::ManagerList> list = thread.take();
    ASSERT_TRUE(list.valid());
    EXPECT_FALSE(list.get());
    EXPECT_FALSE(ctx.db.Database.IsOpen());
}

TEST(ManagerRowsTest, KeepsEveryTextAndAMarkChangesOnlyItsRow) {
    manager::ManagerRows rows;
    const auto fields = [](std::string_view pubNo, std::string_view model, std::string_view flag) {
        return manager::ManagerRows::Fields{pubNo, "C:\\M", model, "2024", "", pubNo, "1", "0", flag};
    };
    // Repeated texts, texts equal to one two rows up, empty texts, UTF-8 of CJK and apostrophes.
    for (const auto& row :
         {fields("A1", "Aurea", "0"), fields("B2", "Aurea", "0"), fields("C3", "O'Neil", "1"),
          fields("D4", "Aurea", "0"), fields("E5", "\xe6\x97\xa5\xe6\x9c\xac", "0")})
        ASSERT_TRUE(rows.append(row));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.text(1, 0), q("B2"));
    EXPECT_EQ(rows.text(3, 2), q("Aurea"));
    EXPECT_EQ(rows.text(2, 2), q("O'Neil"));
    EXPECT_EQ(rows.text(4, 2), QString::fromUtf8("\u65e5\u672c"));
    EXPECT_EQ(rows.text(4, 4), QString(""));
    const manager::ManagerRow last = rows.row(4);
    EXPECT_EQ(
        QStringList(last.columns.begin(), last.columns.end()) << last.colourFlag,
        (QStringList{"E5", "C:\\M", QString::fromUtf8("\u65e5\u672c"), "2024", "", "E5", "1", "0", "0"}));
    // Rows 0 and 1 share their flag "0": marking row 1 leaves row 0 as it was.
    rows.setText(1, manager::ManagerRows::ColourFlagField, q("1"));
    EXPECT_EQ(rows.text(1, manager::ManagerRows::ColourFlagField), q("1"));
    EXPECT_EQ(rows.text(0, manager::ManagerRows::ColourFlagField), q("0"));
    EXPECT_EQ(rows.text(3, manager::ManagerRows::ColourFlagField), q("0"));
}

TEST(ManagerRowsTest, AnOrderRenumbersTheRowsOnlyWhenItNamesEachOnce) {
    manager::ManagerRows rows;
    for (const std::string_view pubNo : {"A1", "B2", "C3"})
        ASSERT_TRUE(rows.append({pubNo, "", "", "", "", pubNo, "", "0", "0"}));
    const auto pubNos = [&rows] {
        QStringList shown;
        for (size_t row = 0; row < rows.size(); ++row)
            shown << rows.text(row, 0);
        return shown.join(u',');
    };
    for (const std::vector<quint32>& wrong :
         {std::vector<quint32>{2, 0}, std::vector<quint32>{2, 0, 0}, std::vector<quint32>{2, 0, 3}})
        EXPECT_FALSE(rows.setOrder(wrong)) << wrong.size();
    EXPECT_EQ(pubNos(), q("A1,B2,C3")) << "a refused order changes nothing";
    ASSERT_TRUE(rows.setOrder({2, 0, 1}));
    EXPECT_EQ(pubNos(), q("C3,A1,B2"));
    // A change and a row added later land where the order shows them.
    rows.setText(0, manager::ManagerRows::ColourFlagField, q("1"));
    EXPECT_EQ(rows.row(0).colourFlag, q("1"));
    EXPECT_EQ(rows.row(1).colourFlag, q("0"));
    ASSERT_TRUE(rows.append({"D4", "", "", "", "", "D4", "", "0", "0"}));
    EXPECT_EQ(pubNos(), q("C3,A1,B2,D4"));
}

TEST_F(ManagerTest, DisplayOpensOrMarksMissingManuals) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    manager::LoadManagerTexts(ctx);

    // Opens a manual through a recording stand-in named by an environment variable; what it was given.
    const auto openThrough = [&](const char* variable, const char* pubNo, const char* pdfFlag) {
        const RecordingProgram standIn = recorder(temp().root() + u'/' + q(variable));
        const ScopedEnvironment named(variable, standIn.path());
        EXPECT_EQ(manager::DisplayManual(ctx, q(pubNo), q("C:\\Manuals\\") + q(pubNo), q(pdfFlag)),
                  manager::DisplayResult::Opened);
        return standIn.waitForRuns(1).value(0).join(u' ');
    };
    // HTML manual without Pagora: the system web browser gets the page; a PDF manual the shell's Open.
    EXPECT_TRUE(openThrough("BROWSER", "RM011EN", "0").endsWith(q("RM011EN/index.html")));
    EXPECT_TRUE(openThrough("MARVEK_OPEN_COMMAND", "BRM00EN", "1").endsWith(q("BRM00EN.pdf")));

    // With Pagora: the unquoted command line.
    const RecordingProgram pagora = recorder(temp().host(q("C:\\Viewer\\Pagora.exe")));
    EXPECT_EQ(manager::DisplayManual(ctx, q("RM011EN"), q("C:\\Manuals\\RM011EN"), q("0")),
              manager::DisplayResult::Opened);
    EXPECT_EQ(pagora.waitForRuns(1),
              QList<QStringList>{{temp().host(q("C:\\Manuals\\RM011EN\\index.html"))}});
    EXPECT_TRUE(ui().asked().empty());

    // A missing page: the box, then the manual is marked.
    EXPECT_EQ(manager::DisplayManual(ctx, q("NCF00EN"), q("C:\\Manuals\\NCF00EN"), q("0")),
              manager::DisplayResult::MissingMarked);
    EXPECT_EQ(lastBox(), (QStringList{message(50), message(43), "48"}));
    ASSERT_EQ(ctx.db.FindInstalledManual(q("NCF00EN")), 0);
    EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, q("1"));

    // Read-only database: the missing PDF is reported, then M067, and nothing is stored.
    ASSERT_TRUE(QFile::remove(temp().host(q("C:\\Manuals\\BRM00EN\\contents\\BRM00EN.pdf"))));
    ctx.os().files().setAttributes(DatabasePath, platform::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(manager::DisplayManual(ctx, q("BRM00EN"), q("C:\\Manuals\\BRM00EN"), q("1")),
              manager::DisplayResult::Missing);
    ASSERT_GE(ui().asked().size(), 2u);
    EXPECT_EQ(ui().asked()[ui().asked().size() - 2].text, message(81));
    EXPECT_EQ(lastBox(), (QStringList{message(67), manager::ManagerTitle, "48"}));
    ctx.os().files().setAttributes(DatabasePath, platform::FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(ctx.db.FindInstalledManual(q("BRM00EN")), 0);
    EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, q("0"));
}

TEST_F(ManagerTest, MemoIsTrimmedCutAndStoredAsWritten) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    EXPECT_EQ(manager::SelectManual(ctx, q("RM011EN"), q("C:\\Manuals\\RM011EN")), q("brakes: see sec. 9"));
    const QString hundred(100, QLatin1Char('m'));
    const QString cjk = q("ブレーキ: O'Neil's note");
    // A character outside the basic plane at the cut is kept whole.
    const QString surrogate = QString(99, QLatin1Char('x')) + q("😀") + q("yz");
    // Typed, shown, stored.
    const std::array<QString, 3> cases[] = {{hundred + q("n"), hundred, hundred},
                                            {q("   "), q("   "), QString()},
                                            {q("  keep  "), q("  keep  "), q("keep")},
                                            {cjk, cjk, cjk},
                                            {surrogate, QString(99, u'x'), QString(99, u'x')}};
    for (const auto& [typed, shown, stored] : cases) {
        EXPECT_EQ(manager::SaveMemo(ctx, typed), shown);
        EXPECT_EQ(ctx.db.GetManualMemo(q("RM011EN")), stored);
    }
    // Read-only: not stored, M067.
    ctx.os().files().setAttributes(DatabasePath, platform::FILE_ATTRIBUTE_READONLY);
    manager::ManagerContext readOnly(base.os());
    ASSERT_EQ(manager::StartManager(readOnly, ProgramFolder, false),
              manager::ManagerStartOutcome::ShowWindow);
    manager::SelectManual(readOnly, q("RM011EN"), QString());
    manager::SaveMemo(readOnly, q("changed"));
    EXPECT_EQ(lastBox(), (QStringList{message(67), manager::ManagerTitle, "48"}));
    EXPECT_EQ(readOnly.db.GetManualMemo(q("RM011EN")), QString(99, QLatin1Char('x')));
}

TEST_F(ManagerTest, DeleteAsksUnlessTheDatabaseIsReadOnly) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    manager::LoadManagerTexts(ctx);
    ui().addAnswer(QString::number(platform::mb::IdNo));
    EXPECT_FALSE(manager::ConfirmDelete(ctx));
    EXPECT_EQ(lastBox(), (QStringList{message(51), message(43), "68"}));
    ui().addAnswer(QString::number(platform::mb::IdYes));
    EXPECT_TRUE(manager::ConfirmDelete(ctx));
    ctx.os().files().setAttributes(DatabasePath, platform::FILE_ATTRIBUTE_READONLY);
    const size_t asked = ui().asked().size();
    EXPECT_FALSE(manager::ConfirmDelete(ctx));
    ASSERT_EQ(ui().asked().size(), asked + 1) << "no question on a read-only database";
    EXPECT_EQ(ui().asked().back().text, message(67));
}

QByteArray manualRow(const char* pubNo, const char* adjust) {
    return QByteArray("INSERT INTO M_manage VALUES ('") + pubNo +
           "', 'Aurea', 'AUR50', '1', '2024', 'Z', 'Europe', " +
           "'English', '2024/01', 'tech', '2024-04-01 09:30:01', 'C:\\Manuals\\" + pubNo + "', '" + adjust +
           "', 'memo " + pubNo + "');INSERT INTO M_type VALUES ('" + pubNo + "', '0');";
}

// The window's layout belongs to the user: it is written into the user's application data folder of the
// machine, never beside the program (shared by every user, and not theirs to write); a layout left
// beside the program by an earlier version is read while the user has none.
TEST_F(ManagerTest, WindowLayoutIsKeptPerUser) {
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    const auto logOnAs = [this](const char* user) {
        QFile ini(temp().machine().machineIniFile());
        return ini.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               ini.write(QByteArray("[System]\nLogonName=") + user + "\n") > 0;
    };
    const QString shared = temp().host(q("C:\\ManualLink\\Mandex.ini"));
    {
        QSettings old(shared, QSettings::IniFormat);
        old.setValue(q("Window/ColumnWidths"), QVariantList{120, 80});
    }
    const QByteArray sharedBefore = temp().readFile(q("C:\\ManualLink\\Mandex.ini"));

    ASSERT_TRUE(logOnAs("anna"));
    EXPECT_EQ(manager::LoadWindowLayout(ctx).columnWidths, (QList<int>{120, 80}));
    const manager::WindowLayout annas{QByteArray("geometry of anna"), {200, 90}};
    manager::SaveWindowLayout(ctx, annas);
    EXPECT_EQ(manager::LoadWindowLayout(ctx), annas);
    EXPECT_TRUE(ctx.os().files().fileExists(
        q("C:\\Documents and Settings\\anna\\Application Data\\Marvek\\Mandex\\Mandex.ini")));
    EXPECT_EQ(temp().readFile(q("C:\\ManualLink\\Mandex.ini")), sharedBefore);

    ASSERT_TRUE(logOnAs("ben"));
    EXPECT_EQ(manager::LoadWindowLayout(ctx).columnWidths, (QList<int>{120, 80})) << "not anna's";
    ASSERT_TRUE(QFile::remove(shared));
    EXPECT_EQ(manager::LoadWindowLayout(ctx), manager::WindowLayout{});
    ASSERT_TRUE(logOnAs("anna"));
    EXPECT_EQ(manager::LoadWindowLayout(ctx), annas);
}

class ManagerWindowTest : public ManagerFixture {
protected:
    void prepare(const QByteArray& rows) {
        installManager(rows);
        ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    }

    static QString cell(const manager::frmMmpMain& form, int col, int row) {
        QVariant text;
        form.grid()->GetText(col, row, text);
        return text.toString();
    }

    bool ended = false;
};

TEST_F(ManagerWindowTest, EmptyDatabaseLeavesOnlyTheEndButton) {
    prepare({});
    manager::frmMmpMain form(ctx, [this] { ended = true; });
    ASSERT_TRUE(form.loaded());
    for (const char* name : {"B_Display", "B_Delete", "B_CheckUpdate", "B_MemoUpdate"})
        EXPECT_FALSE(form.button(name)->isEnabled()) << name;
    EXPECT_TRUE(form.button("B_End")->isEnabled());
    EXPECT_FALSE(form.T_Memo()->isEnabled());
    form.button("B_End")->click();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(ctx.db.Database.IsOpen());
}

TEST_F(ManagerWindowTest, DeletingTheLastManualLeavesOnlyTheEndButton) {
    prepare(manualRow("A0010EN", "0"));
    manager::frmMmpMain form(ctx, [this] { ended = true; });
    ASSERT_TRUE(form.loaded());
    EXPECT_TRUE(form.button("B_CheckUpdate")->isEnabled());
    form.T_Memo()->setText(q("typed"));
    base.ui().addAnswer(QString::number(platform::mb::IdYes));
    form.button("B_Delete")->click();
    for (const char* name : {"B_Display", "B_Delete", "B_CheckUpdate", "B_MemoUpdate"})
        EXPECT_FALSE(form.button(name)->isEnabled()) << name;
    EXPECT_FALSE(form.T_Memo()->isEnabled());
    EXPECT_TRUE(form.T_Memo()->text().isEmpty());
    EXPECT_TRUE(form.button("B_End")->isEnabled());
}

TEST_F(ManagerWindowTest, CheckFilterDeleteSortAndRememberedLayout) {
    prepare(manualRow("C0010EN", "0") + manualRow("A0010EN", "0") + manualRow("B0010EN", "0") +
            manualRow("D0010EN", "1") +
            "UPDATE M_manage SET Model_desc = 'Veltro' WHERE Pub_No = 'B0010EN';"
            "UPDATE M_manage SET Memo_txt = '\xe3\x83\x96\xe3\x83\xac\xe3\x83\xbc\xe3\x82\xad' WHERE Pub_No "
            "= 'C0010EN';");
    {
        // The list read on another thread while the window builds, as the program does.
        manager::frmMmpMain form(
            ctx, [this] { ended = true; },
            std::async(std::launch::async, [this] { return manager::LoadManagerList(ctx); }));
        ASSERT_TRUE(form.loaded());
        QTableView* view = form.grid()->view();
        auto listed = [&] {
            QStringList pubNos;
            for (int row = 1; row <= form.grid()->MaxRows(); ++row)
                pubNos.append(cell(form, 6, row));
            return pubNos;
        };
        EXPECT_EQ(listed(), (QStringList{"A0010EN", "B0010EN", "C0010EN", "D0010EN"}));
        EXPECT_EQ(form.T_Memo()->text(), q("memo A0010EN")) << "the first manual is selected";
        // The check lists the manuals again: D0010EN was marked before and is still missing, so it goes.
        form.button("B_CheckUpdate")->click();
        EXPECT_EQ(listed(), (QStringList{"A0010EN", "B0010EN", "C0010EN"}));
        EXPECT_EQ(form.T_Filter()->findChild<QToolButton*>(), nullptr) << "no clear button before any text";
        // The grid lists only the matching manuals; the first of them is selected, and without any the
        // buttons for one manual are disabled (the check still covers every manual).
        for (const auto& [filter, expected] : std::vector<std::pair<QString, QStringList>>{
                 {q("b00"), {"B0010EN"}},    // publication number, any case
                 {q(" velt "), {"B0010EN"}}, // model, blanks ignored
                 {q("ブレ"), {"C0010EN"}},   // memo
                 {q("nothing"), {}},
                 {QString(), {"A0010EN", "B0010EN", "C0010EN"}}}) {
            form.T_Filter()->setText(filter);
            EXPECT_EQ(listed(), expected) << filter.toStdString();
            EXPECT_EQ(ctx.SelectedPubNo, expected.value(0)) << filter.toStdString();
            EXPECT_EQ(form.button("B_Delete")->isEnabled(), !expected.isEmpty()) << filter.toStdString();
            EXPECT_EQ(form.button("B_Display")->isEnabled(), !expected.isEmpty()) << filter.toStdString();
            EXPECT_TRUE(form.button("B_CheckUpdate")->isEnabled()) << filter.toStdString();
        }
        // A memo saved here is found by the next filtering.
        form.T_Filter()->setText(q("A0010"));
        form.T_Memo()->setText(q("gearbox"));
        form.button("B_MemoUpdate")->click();
        form.T_Filter()->setText(q("GEARB"));
        EXPECT_EQ(listed(), QStringList{"A0010EN"});
        // Deleting acts on the manual listed once confirmed, and the filter stays.
        form.T_Filter()->setText(q("b00"));
        base.ui().addAnswer(QString::number(platform::mb::IdNo));
        form.button("B_Delete")->click();
        EXPECT_EQ(listed(), QStringList{"B0010EN"});
        base.ui().addAnswer(QString::number(platform::mb::IdYes));
        form.button("B_Delete")->click();
        EXPECT_EQ(listed(), QStringList{});
        EXPECT_FALSE(form.button("B_Delete")->isEnabled());
        // The filter's clear button came with its first text.
        auto* const clear = form.T_Filter()->findChild<QToolButton*>();
        ASSERT_NE(clear, nullptr);
        clear->click();
        EXPECT_EQ(listed(), (QStringList{"A0010EN", "C0010EN"}));
        // A header click sorts by its column, a second click the other way.
        view->horizontalHeader()->sectionClicked(5);
        view->horizontalHeader()->sectionClicked(5);
        EXPECT_EQ(cell(form, 6, 1), q("C0010EN"));
        EXPECT_EQ(form.T_Memo()->text(), q("ブレーキ")) << "the first row is selected again";
        form.grid()->setColWidth(3, 211);
        form.resize(900, 640);
        form.button("B_End")->click();
    }
    ASSERT_EQ(manager::StartManager(ctx, ProgramFolder, false), manager::ManagerStartOutcome::ShowWindow);
    manager::frmMmpMain again(ctx, {});
    EXPECT_EQ(again.grid()->view()->columnWidth(2), 211);
    EXPECT_EQ(again.size(), QSize(900, 640));
}

// The captions come from the catalogue of the user's language, the filter box's hint too (a Japanese
// PC reads the catalogue in code page 932).
TEST_F(ManagerWindowTest, TextsFollowTheLanguageTheFilterHintToo) {
    prepare(manualRow("A0010EN", "0"));
    for (const auto& [langId, language, caption, hint] :
         {std::tuple("0409", q("09"), q("Service Manual Management"), q("Pub. No., model or memo")),
          std::tuple("0411", q("11"), q("サービスマニュアル管理"), q("資料番号・車種・メモで絞り込み"))}) {
        ASSERT_TRUE(base.setLocale(langId));
        ctx.shared.LanguageCode = language;
        manager::frmMmpMain form(ctx, {});
        EXPECT_EQ(form.windowTitle(), caption);
        EXPECT_EQ(form.T_Filter()->placeholderText(), hint);
    }
}

// The program as a technician starts it: the list, read while the window system starts, shows in its
// order (the first row is the one the display button acts on: a PDF manual whose file is gone gets its
// box and its mark); a start that cannot open the database says so in its box and ends.
TEST_F(ManagerFixture, ProgramShowsTheListInItsOrderOrSaysWhyItCannot) {
    installManager(Rows);
    ASSERT_TRUE(QFile::copy(BuildPath("MANDEX_EXE"), temp().host(q("C:\\ManualLink\\Mandex.exe"))));
    const QString uiLog = temp().root() + q("/ui.log");
    const QString script = temp().root() + q("/script.txt");
    ASSERT_TRUE(temp().writeFile(q("C:\\script.txt"), "frmMmpMain B_Display\nfrmMmpMain B_End\n"));
    const ScopedEnvironment environment[3] = {
        {"MARVEK_UI_LOG", uiLog.toUtf8()},
        {"MARVEK_SCREEN_SCRIPT", temp().host(q("C:\\script.txt")).toUtf8()},
        {"MARVEK_UI_SCRIPT", nullptr}};
    const auto run = [&] {
        QFile::remove(uiLog);
        const std::unique_ptr<platform::ChildProcess> program =
            ctx.os().processes().start(q("C:\\ManualLink\\Mandex.exe"), platform::WindowMode::Normal);
        EXPECT_TRUE(program &&
                    QTest::qWaitFor([&] { return program->exitCode() != platform::STILL_ACTIVE; }, 20000));
        QFile log(uiLog);
        return std::pair(program ? program->exitCode() : 1u,
                         log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString());
    };

    const auto [shown, shownBoxes] = run();
    EXPECT_EQ(shown, 0u);
    EXPECT_EQ(shownBoxes.count(u'\n'), 1) << qPrintable(shownBoxes);
    EXPECT_TRUE(shownBoxes.contains(message(81))) << qPrintable(shownBoxes);
    ASSERT_EQ(start(), manager::ManagerStartOutcome::ShowWindow);
    EXPECT_EQ(ctx.db.FindInstalledManual(q("BRM00EN")), 0);
    EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, q("1")) << "the first row of the list";
    EXPECT_EQ(ctx.db.FindInstalledManual(q("RM011EN")), 0);
    EXPECT_EQ(ctx.db.CurrentManual.Adjust_flg, q("0"));
    manager::EndManager(ctx);

    ASSERT_TRUE(QFile::remove(temp().host(DatabasePath)));
    const auto [refused, refusedBoxes] = run();
    EXPECT_EQ(refused, 0u);
    EXPECT_EQ(refusedBoxes,
              q("%1\t48\t%2\t1\tdefault\n").arg(q(manager::ManagerTitle), q(manager::NoDatabase)));
}

TEST_F(ManagerWindowTest, SecondProgramEndsAtOnce) {
    prepare(manualRow("A0010EN", "0"));
    // The installed manager with its SysDir.
    ASSERT_TRUE(QFile::copy(BuildPath("MANDEX_EXE"), temp().host(q("C:\\ManualLink\\Mandex.exe"))));
    const platform::InstanceLock first(ctx.os().machine(), q("Mandex"));
    const std::unique_ptr<platform::ChildProcess> second =
        ctx.os().processes().start(q("C:\\ManualLink\\Mandex.exe"), platform::WindowMode::Normal);
    ASSERT_TRUE(second);
    EXPECT_TRUE(QTest::qWaitFor([&] { return second->exitCode() != platform::STILL_ACTIVE; }, 20000));
    EXPECT_EQ(second->exitCode(), 0u);
}

} // namespace
