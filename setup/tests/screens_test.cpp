// The installer's screens on a copy of the sample CD, in English and in Japanese: the menu, agreement,
// folder, installation, result and closing screens driven through their controls, the screen script that
// answers them, and the program as a real process.
#include "SetupTestFixture.h"
#include "platform/Processes.h"
#include "platform/ScreenScript.h"
#include "platform/TextCodec.h"
#include "platform/testing/ScopedEnvironment.h"
#include "platform/testing/ShortPauses.h"
#include "setup/app/ScreenFlow.h"
#include "setup/engine/ResultList.h"
#include "setup/window/FormText.h"
#include "setup/window/frmDirectorySelect.h"
#include "setup/window/frmMain.h"
#include "setup/window/frmMenu.h"
#include "setup/window/frmResult.h"
#include "setup/window/frmStartUp.h"
#include "setup/window/frmTarm.h"
#include "shared/forms/LanguageFont.h"
#include "shared/grid/vaSpread.h"

#include <QApplication>
#include <QByteArray>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <memory>
#include <vector>

using namespace marvek;
using namespace marvek::testing;

namespace {

// The lines of a text file, or none when it cannot be read.
QStringList fileLines(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

// The screen flow as the screen tests see it: every hand-over the screens ask for, in order
// ("menu", "agreement", "installation", "result", "closing", "end 0", "end 1").
class RecordingFlow : public setup::ScreenFlow {
public:
    void showMenu() override { calls.emplace_back("menu"); }
    void showAgreement() override { calls.emplace_back("agreement"); }
    void showInstallation() override { calls.emplace_back("installation"); }
    void showResult() override { calls.emplace_back("result"); }
    void showClosing() override { calls.emplace_back("closing"); }
    void showScreen(std::unique_ptr<QWidget> screen) override {
        calls.emplace_back("screen");
        shown = std::move(screen);
    }
    void endSetup(bool skipCleanup) override { calls.emplace_back(skipCleanup ? "end 1" : "end 0"); }

    std::vector<std::string> calls;
    std::unique_ptr<QWidget> shown;
};

// The installer on a copy of the sample CD, started on a machine of the given language ("0409",
// "0411") up to its menu; the screens hand over to a recording flow.
class ScreensFixture : public SetupFixture {
protected:
    void startIn(const char* langId) {
        ASSERT_TRUE(base.setLocale(langId));
        ASSERT_EQ(start(), setup::StartOutcome::ShowMenu) << ctx.ErrorLine1.toStdString();
    }

    // One manual on the table asking for a folder, with the folder screen's counter and default folder.
    void requestFolder(const char* model, const char* version, int count) {
        shared::ManualEntry& entry = ctx.ManualTable.append();
        entry.Model_desc = QLatin1String(model);
        entry.Version = QLatin1String(version);
        ctx.CurrentIndex = 1;
        ctx.FolderRequestCount = count;
        ctx.InstallBase = q("C:\\Manuals");
    }

    RecordingFlow flow;
};

class ScreenLanguageTest : public ScreensFixture, public ::testing::WithParamInterface<const char*> {};

// Each form takes its texts from the language's catalogue and its caption becomes the boxes' title; the
// texts built from the manual are the folder screen's. Every form shows the language's font (on a
// Japanese machine one that really writes Japanese), the step and closing texts a point larger in Japanese.
TEST_P(ScreenLanguageTest, TextsAndFontsOfTheLanguage) {
    startIn(GetParam());
    const QString language = ctx.shared.LanguageCode;
    ASSERT_EQ(language, q(GetParam()).right(2));
    const int stepSize = language == q("11") ? 11 : 10;

    setup::frmMenu menu(ctx, flow);
    EXPECT_EQ(ctx.shared.AppTitle, message(84));
    setup::frmStartUp agreement(ctx, flow);
    EXPECT_EQ(ctx.shared.AppTitle, message(34));
    setup::frmTarm closing(ctx, flow);
    setup::frmMain installation(ctx, flow);
    requestFolder("Corsa Van", "3", 2);
    setup::frmDirectorySelect folder(ctx);

    EXPECT_EQ(QStringList({menu.cmdStartInstall()->text(), agreement.O_Value(1)->text(),
                           closing.L_TarmMsg()->text(), folder.L_Name()->text(), folder.L_Msg(0)->text(),
                           folder.Frame1()->title(), folder.L_InstalPath()->text()}),
              QStringList({message(86), message(56), message(82), q("Corsa Van (Ver.3)"),
                           message(59).replace(QLatin1Char('@'), q("2")), q("  ") + message(33) + q("  "),
                           q("C:\\Manuals")}));
    const std::pair<const QWidget*, int> fonts[] = {
        {menu.lblTitle(), 22},           {agreement.T_CONTRACT(), 9},
        {closing.L_TarmMsg(), stepSize}, {installation.L_STEP(3), stepSize},
        {folder.L_InstalPath(), 9},      {folder.Frame1(), 9}};
    for (const auto& [control, size] : fonts) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_EQ(control->font().family(), shared::ResolvedFontFamily(language));
        EXPECT_EQ(control->font().pointSize(), size);
        if (language == q("11")) {
            const QString used = QFontInfo(control->font()).family();
            EXPECT_TRUE(QFontDatabase::writingSystems(used).contains(QFontDatabase::Japanese))
                << used.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, ScreenLanguageTest, ::testing::Values("0409", "0411"),
                         [](const auto& info) { return std::string("Lang") + info.param; });

TEST(LanguageFont, NamesAndJapaneseFallback) {
    EXPECT_EQ(shared::LanguageFontName(q("11")), q("MS Pゴシック"));
    for (const char* code : {"09", "04S", "07", ""})
        EXPECT_EQ(shared::LanguageFontName(QLatin1String(code)), q("Arial")) << code;
    const QString japanese = shared::ResolvedFontFamily(q("11"));
    if (QFontDatabase::hasFamily(q("MS Pゴシック")))
        EXPECT_EQ(japanese, q("MS Pゴシック"));
    else
        EXPECT_TRUE(QFontDatabase::writingSystems(japanese).contains(QFontDatabase::Japanese))
            << japanese.toStdString();
    // A bold label stays bold in its language font.
    QLabel label;
    QFont bold = label.font();
    bold.setBold(true);
    label.setFont(bold);
    shared::ApplyLanguageFont(label, q("09"), 12);
    EXPECT_TRUE(label.font().bold());
    EXPECT_EQ(label.font().pointSize(), 12);
}

// The agreement file of the language, else the English one, else nothing; read in the machine's
// code page, every line ending in CR LF whatever ended it in the file.
TEST_F(ScreensFixture, AgreementTextInTheSystemCodePage) {
    startIn("0411");
    const QString sysDir = q("D:\\programs\\setup\\SysDir\\");
    const QString japanese = q("使用許諾契約書\r\n第1条　～定義～\n\rＡＢＣ");
    ASSERT_TRUE(temp().writeFile(sysDir + q("Licence_11.txt"),
                                 platform::encodeCodePage(japanese, platform::CodePageShiftJis)));
    ASSERT_TRUE(temp().writeFile(sysDir + q("Licence_09.txt"), "Licence\r\nEnglish"));

    struct Case {
        const char* remove;
        QString expected;
    };
    const Case cases[] = {{nullptr, q("使用許諾契約書\r\n第1条　～定義～\r\n\r\nＡＢＣ\r\n")},
                          {"Licence_11.txt", q("Licence\r\nEnglish\r\n")},
                          {"Licence_09.txt", QString()}};
    for (const Case& c : cases) {
        if (c.remove != nullptr) {
            ASSERT_TRUE(QFile::remove(host(sysDir + QLatin1String(c.remove))));
        }
        RecordingFlow caseFlow;
        setup::frmStartUp agreement(ctx, caseFlow);
        EXPECT_EQ(agreement.contractText(), c.expected);
        EXPECT_EQ(agreement.T_CONTRACT()->toPlainText(), QString(c.expected).replace(q("\r\n"), q("\n")));
        EXPECT_TRUE(agreement.T_CONTRACT()->isReadOnly());
        EXPECT_TRUE(agreement.T_CONTRACT()->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        // Agreeing works without any text.
        agreement.O_Value(1)->click();
        agreement.B_OK()->click();
        EXPECT_EQ(caseFlow.calls, std::vector<std::string>{"installation"});
    }
}

// Either option enables OK; the last one clicked counts; disagreeing ends without the clean-up.
TEST_F(ScreensFixture, AgreementOptions) {
    startIn("0409");
    struct Case {
        std::vector<int> clicks;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{1}, {"installation"}}, {{2}, {"end 1"}}, {{1, 2}, {"end 1"}}, {{2, 1}, {"installation"}}};
    for (const Case& c : cases) {
        RecordingFlow caseFlow;
        setup::frmStartUp agreement(ctx, caseFlow);
        EXPECT_FALSE(agreement.B_OK()->isEnabled());
        EXPECT_FALSE(agreement.O_Value(1)->isChecked() || agreement.O_Value(2)->isChecked());
        for (const int index : c.clicks) {
            agreement.O_Value(index)->click();
            EXPECT_TRUE(agreement.B_OK()->isEnabled());
            EXPECT_TRUE(agreement.O_Value(index)->isChecked());
            EXPECT_FALSE(agreement.O_Value(3 - index)->isChecked());
        }
        agreement.B_OK()->click();
        EXPECT_EQ(caseFlow.calls, c.expected);
    }
    // The close box ends the program as well; so does the closing screen's button.
    setup::frmStartUp agreement(ctx, flow);
    agreement.show();
    agreement.close();
    EXPECT_EQ(flow.calls, std::vector<std::string>{"end 1"});
    setup::frmTarm closing(ctx, flow);
    closing.B_END()->click();
    EXPECT_EQ(flow.calls, (std::vector<std::string>{"end 1", "end 1"}));
}

// The guide opens through the shell; a failure (no guide, no opener) shows M088 and the menu stays.
// The installation button moves on to the agreement; the browse button shows the start page in the
// viewer.
TEST_F(ScreensFixture, MenuButtons) {
    startIn("0409");
    const QString opened = temp().root() + q("/opened.txt");
    const QString recorder = recorderCommand(opened);
    setup::frmMenu menu(ctx, flow);
    {
        ScopedEnvironment opener("MARVEK_OPEN_COMMAND", recorder);
        menu.cmdDispManual()->click();
        EXPECT_TRUE(ui().asked().empty());
        EXPECT_EQ(waitForLine(opened), host(q("D:\\install.html")).toUtf8());
    }
    {
        ScopedEnvironment opener("MARVEK_OPEN_COMMAND", "/nonexistent/opener");
        menu.cmdDispManual()->click();
    }
    ASSERT_TRUE(QFile::remove(cdRoot + q("/install.html")));
    {
        ScopedEnvironment opener("MARVEK_OPEN_COMMAND", recorder);
        menu.cmdDispManual()->click();
    }
    ASSERT_EQ(ui().asked().size(), 2u);
    for (const platform::AskedQuestion& asked : ui().asked())
        EXPECT_EQ(box(asked),
                  (QStringList{message(88), message(84), QString::number(platform::mb::Exclamation)}));
    EXPECT_TRUE(flow.calls.empty());

    // The viewer gets the start page.
    const QString viewed = temp().root() + q("/viewed.txt");
    ASSERT_TRUE(temp().writeFile(ctx.ViewerExePath, "#!/bin/sh\necho \"$@\" > '" + viewed.toUtf8() + "'\n"));
    menu.cmdBrowseManual()->click();
    EXPECT_EQ(waitForLine(viewed), host(q("D:\\index.html")).toUtf8());

    menu.cmdStartInstall()->click();
    EXPECT_EQ(flow.calls, std::vector<std::string>{"agreement"});
}

// OK takes the folder shown; a drive without room (here one that does not exist) gives M022 and the
// screen stays; change takes the dialog's folder without its separator; cancel asks (style 52) and
// only Yes cancels the run; the close box asks the same question.
TEST_F(ScreensFixture, FolderScreenOkChangeNoRoomAndCancel) {
    startIn("0409");
    requestFolder("Aurea", "1", 1);
    {
        setup::frmDirectorySelect screen(ctx);
        screen.show();
        EXPECT_EQ(screen.focusWidget(), screen.B_OK());
        screen.B_OK()->click();
        EXPECT_FALSE(screen.isVisible());
        EXPECT_EQ(screen.result(), QDialog::Accepted);
        EXPECT_EQ(ctx.InstallBase, q("C:\\Manuals"));
    }
    {
        // A folder on a drive that does not exist: no room.
        setup::frmDirectorySelect screen(ctx);
        screen.show();
        ui().addAnswer(q("folder:Q:\\Manuals\\"));
        screen.B_CHANGE()->click();
        EXPECT_EQ(screen.L_InstalPath()->text(), q("Q:\\Manuals"));
        screen.B_OK()->click();
        EXPECT_TRUE(screen.isVisible());
        ASSERT_EQ(ui().asked().size(), 2u);
        EXPECT_EQ(lastBox(),
                  (QStringList{message(22), message(34), QString::number(platform::mb::Information)}));

        // The dialog starts at the folder shown; cancelling it keeps the folder; a drive root loses its
        // separator.
        ui().addAnswer(q("folder:"));
        screen.B_CHANGE()->click();
        EXPECT_EQ(screen.L_InstalPath()->text(), q("Q:\\Manuals"));
        ui().addAnswer(q("folder:D:\\"));
        screen.B_CHANGE()->click();
        ASSERT_EQ(ui().asked().size(), 4u);
        EXPECT_EQ(ui().asked()[3].kind, platform::AskedQuestion::Kind::Folder);
        EXPECT_EQ(box(ui().asked()[3]), (QStringList{"Q:\\Manuals", message(21), "65"}));
        EXPECT_EQ(screen.L_InstalPath()->text(), q("D:"));
        screen.B_OK()->click();
        EXPECT_EQ(screen.result(), QDialog::Accepted);
        EXPECT_EQ(ctx.InstallBase, q("D:"));
    }
    {
        ui().addAnswer(QString::number(platform::mb::IdNo));
        ui().addAnswer(QString::number(platform::mb::IdNo));
        ui().addAnswer(QString::number(platform::mb::IdYes));
        setup::frmDirectorySelect screen(ctx);
        screen.show();
        screen.B_Cancel()->click();
        EXPECT_TRUE(screen.isVisible());
        screen.close();
        EXPECT_TRUE(screen.isVisible());
        EXPECT_EQ(ctx.InstallBase, q("D:"));
        EXPECT_TRUE(ctx.ErrorLine1.isEmpty());
        screen.B_Cancel()->click();
        EXPECT_FALSE(screen.isVisible());
        EXPECT_EQ(screen.result(), QDialog::Rejected);
        EXPECT_TRUE(ctx.InstallBase.isEmpty());
        EXPECT_EQ(errorLines(ctx), std::pair(message(25), message(24)));
        ASSERT_EQ(ui().asked().size(), 7u);
        for (size_t i = 4; i < 7; ++i)
            EXPECT_EQ(box(ui().asked()[i]), (QStringList{message(29), message(34), "52"}));
    }
}

// The installation window shows what the run asks for (the steps' order, texts and pointer are the
// engine's): the initial texts on load, then a step's text, weight and frame colour converted from
// blue-green-red; the hourglass as the application's pointer until the run sets the default again.
TEST_F(ScreensFixture, InstallationWindowShowsStepsAndPointer) {
    startIn("0409");
    ctx.ErrorLine1 = q("left over");
    setup::frmMain window(ctx, flow); // not shown: no run
    EXPECT_TRUE(ctx.ErrorLine1.isEmpty());
    const auto shown = [&](int step) {
        return std::tuple(window.L_STEP(step)->text(), window.L_STEP(step)->font().bold(),
                          window.frameColour(step),
                          window.L_STEP_BORDER_1(step)->palette().color(QPalette::Window));
    };
    for (int step = 2; step <= 4; ++step) {
        EXPECT_EQ(shown(step), std::tuple(message(setup::InitialStepMessage(step)), false,
                                          setup::StepFrameInitial, QColor(0, 0, 255)));
    }
    window.showStep(3, q("running"), true, setup::StepFrameRunning);
    EXPECT_EQ(shown(3), std::tuple(q("running"), true, setup::StepFrameRunning, QColor(255, 0, 0)));
    window.showStep(3, q("done"), false, setup::StepFrameDone);
    EXPECT_EQ(shown(3), std::tuple(q("done"), false, setup::StepFrameDone, QColor(0x40, 0x40, 0x40)));

    window.setMousePointer(setup::Hourglass);
    window.setMousePointer(setup::Hourglass);
    const QCursor* pointer = QApplication::overrideCursor();
    EXPECT_TRUE(pointer != nullptr && pointer->shape() == Qt::WaitCursor);
    window.setMousePointer(setup::DefaultPointer);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The form's timers drive the bars it shows: Timer1 the extraction bar by 1 up to ZIP_ExtractTime,
// Timer2 the PDF bar by 5, one step past it (the tick rules are the engine's).
TEST_F(ScreensFixture, InstallationWindowTimersMoveTheBarsShown) {
    startIn("0409");
    ASSERT_EQ(ctx.shared.systemParameters.ZIP_ExtractTime, 60);
    setup::frmMain window(ctx, flow); // not shown: no run
    EXPECT_TRUE(window.Timer1().isActive() && window.Timer2().isActive());
    for (setup::Bar which : {setup::Bar::Extract, setup::Bar::Copy, setup::Bar::Pdf}) {
        EXPECT_TRUE(window.progressBar(which)->isHidden());
        EXPECT_FALSE(window.progressBar(which)->isEnabled());
    }
    window.bar(setup::Bar::Extract) = {0, 100, 58, true, true};
    window.bar(setup::Bar::Pdf) = {0, 100, 58, true, true};
    window.Timer1().start(1);
    window.Timer2().start(1);
    const auto shown = [&](setup::Bar which) {
        return window.progressBar(which)->value();
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return shown(setup::Bar::Extract) == 60 && shown(setup::Bar::Pdf) == 63; }, 10000));
    QTest::qWait(20);
    EXPECT_EQ(window.bar(setup::Bar::Extract).Value, 60);
    EXPECT_EQ(window.bar(setup::Bar::Pdf).Value, 63);
    EXPECT_FALSE(window.progressBar(setup::Bar::Pdf)->isHidden());
    EXPECT_TRUE(window.progressBar(setup::Bar::Extract)->isEnabled());
}

// The grid shows the engine's header and rows in its order and the message lines; the button shows
// M030, then ends the program after a failed run, or finishes and shows the closing screen.
TEST_F(ScreensFixture, ResultScreenListsTheRowsAndItsButtonEndsOrFinishes) {
    startIn("0409");
    for (const auto& [pubNo, orderNo, status, done] :
         {std::tuple("B2", 2, "1", "1"), std::tuple("A1", 1, "9", "1"), std::tuple("SKIP", 0, "1", "0")}) {
        shared::ManualEntry& entry = ctx.ManualTable.append();
        entry.Pub_No = QLatin1String(pubNo);
        entry.OrderNo = static_cast<qint16>(orderNo);
        entry.Status = QLatin1String(status);
        entry.Done = QLatin1String(done);
    }
    std::vector<setup::ResultRow> expected = setup::ResultRows(ctx);
    expected.insert(expected.begin(), setup::ResultHeaders(ctx.shared));
    ASSERT_EQ(expected.size(), 3u);
    {
        setup::frmResult failed(ctx, flow);
        std::vector<setup::ResultRow> rows(static_cast<size_t>(failed.grid()->MaxRows()) + 1);
        for (size_t row = 0; row < rows.size(); ++row) {
            for (int col = 1; col <= setup::ResultColumnCount; ++col) {
                QVariant text;
                failed.grid()->GetText(col, static_cast<int>(row), text);
                rows[row][static_cast<size_t>(col - 1)] = text.toString();
            }
        }
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(failed.windowTitle(), message(34));
        EXPECT_EQ((std::array{failed.L_ErrorMsg(1)->text(), failed.L_ErrorMsg(2)->text()}),
                  setup::ResultMessageLines(ctx));
        EXPECT_FALSE(failed.L_NormalMsg()->isVisibleTo(&failed));
        failed.B_END()->click();
        EXPECT_EQ(flow.calls, std::vector<std::string>{"end 0"});
        EXPECT_EQ(failed.L_NormalMsg()->text(), message(30));
    }
    flow.calls.clear();
    ctx.InstallSucceeded = true;
    setup::frmResult done(ctx, flow);
    done.B_END()->click();
    EXPECT_EQ(flow.calls, std::vector<std::string>{"closing"});
}

using platform::ScreenAction;

// Blanks, comments and empty lines are skipped and "*" makes an action standing; one bad line refuses
// the whole script and names its line.
TEST(ScreenScriptFormat, Lines) {
    const platform::ParsedScreenScript parsed =
        platform::parseScreenScript(q("# comment\r\n\r\n  frmA\tB_OK  \r\nfrmStartUp  O_Value(1)  *"));
    EXPECT_EQ(parsed.actions, (QList<ScreenAction>{{q("frmA"), q("B_OK"), false, std::nullopt},
                                                   {q("frmStartUp"), q("O_Value(1)"), true, std::nullopt}}));
    EXPECT_EQ(parsed.lineError, 0);
    EXPECT_EQ(platform::parseScreenScript(QString()).lineError, 0);
    // "=" puts the rest of the line, trimmed, into a field; nothing after it empties the field.
    EXPECT_EQ(platform::parseScreenScript(q("frmMmpMain T_Search =  brake  冷却水 \nfrmA T_X =")).actions,
              (QList<ScreenAction>{{q("frmMmpMain"), q("T_Search"), false, q("brake  冷却水")},
                                   {q("frmA"), q("T_X"), false, QString()}}));
    for (const char* bad :
         {"frmA B_OK\nfrmA B_OK now\n", "frmA B_OK\nfrmA B_OK * *\n", "frmA B_OK\nfrmA = x\n"}) {
        const platform::ParsedScreenScript refused = platform::parseScreenScript(q(bad));
        EXPECT_EQ(std::pair(refused.actions.size(), refused.lineError), std::pair(qsizetype(0), 2)) << bad;
    }
}

// A form with a button that counts and one that hides the form.
class TestForm : public QWidget {
public:
    explicit TestForm(const char* name) {
        setObjectName(QLatin1String(name));
        auto* count = new QPushButton(q("count"), this);
        count->setObjectName(q("B_COUNT"));
        connect(count, &QPushButton::clicked, this, [this] { ++counted; });
        auto* hide = new QPushButton(q("hide"), this);
        hide->setObjectName(q("B_HIDE"));
        hide->move(0, 40);
        connect(hide, &QPushButton::clicked, this, &QWidget::hide);
        resize(120, 80);
    }
    int counted = 0;
};

TEST(ScreenScriptRun, OrderStandingActionsShotsAndLog) {
    QTemporaryDir dir;
    const QString shots = dir.path() + q("/shots");
    const QString logFile = dir.path() + q("/screen.log");
    const platform::ParsedScreenScript parsed = platform::parseScreenScript(
        q("frmA B_COUNT\nfrmA B_HIDE\nfrmB B_NONE\nfrmB B_HIDE\nfrmA B_HIDE\nfrmC B_COUNT *\n"));
    platform::ScreenScript script(parsed.actions, shots, logFile);
    TestForm formA("frmA"), formB("frmB"), formC("frmC"), notAForm("other");

    // frmB first: the script's head waits for frmA.
    formB.show();
    notAForm.show();
    QTest::qWait(20);
    EXPECT_TRUE(formB.isVisible());
    EXPECT_EQ(script.pendingActions(), 5);
    // frmA: counted, hidden; then frmB (already shown): the missing button is logged, then hidden.
    formA.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !formB.isVisible(); }, 5000));
    EXPECT_EQ(formA.counted, 1);
    EXPECT_FALSE(formA.isVisible());
    // The second showing of frmA takes the next frmA line.
    formA.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !formA.isVisible(); }, 5000));
    EXPECT_EQ(script.pendingActions(), 0);
    // The standing action answers each showing once.
    for (int showing = 1; showing <= 2; ++showing) {
        formC.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return formC.counted == showing; }, 5000));
        QTest::qWait(20);
        EXPECT_EQ(formC.counted, showing);
        formC.hide();
    }

    QStringList events = fileLines(logFile);
    events.removeIf([](const QString& line) { return line.startsWith(q("shot")); });
    EXPECT_EQ(events, (QStringList{"shown\tfrmB", "shown\tfrmA", "click\tfrmA\tB_COUNT",
                                   "click\tfrmA\tB_HIDE", "missing\tfrmB\tB_NONE", "click\tfrmB\tB_HIDE",
                                   "shown\tfrmA", "click\tfrmA\tB_HIDE", "shown\tfrmC",
                                   "click\tfrmC\tB_COUNT", "shown\tfrmC", "click\tfrmC\tB_COUNT"}));
    // Shots: each showing, after each action that left the form shown, and at hiding after a showing
    // without actions (none here: every showing was acted on).
    const QStringList files = QDir(shots).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"01-frmB.png", "02-frmA.png", "03-frmA.png", "04-frmB.png", "05-frmA.png",
                                  "06-frmC.png", "07-frmC.png", "08-frmC.png", "09-frmC.png"}));
    EXPECT_EQ(script.screenshotsTaken(), files.size());
    EXPECT_FALSE(QImage(shots + q("/01-frmB.png")).isNull());
}

class ProgramTest : public ScreensFixture {
protected:
    void SetUp() override {
        ScreensFixture::SetUp();
        // The CD carries the program as built.
        ASSERT_TRUE(QFileInfo(cdRoot + q("/programs/setup/setup.exe")).isExecutable());
        ASSERT_TRUE(temp().writeFile(q("C:\\ManualLink\\UnZipTemp\\left.txt"), "scratch"));
        files = temp().root() + q("/run");
        ASSERT_TRUE(QDir().mkpath(files));
    }

    // Runs setup.exe from the CD with the screen script; its exit code.
    quint32 runSetup(const char* script) {
        const QString scriptFile = files + q("/script.txt");
        QFile file(scriptFile);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        const ScopedEnvironment screenScript("MARVEK_SCREEN_SCRIPT", scriptFile.toUtf8());
        const ScopedEnvironment screenLog("MARVEK_SCREEN_LOG", (files + q("/screen.log")).toUtf8());
        const ScopedEnvironment shots("MARVEK_SCREENSHOT_DIR", (files + q("/shots")).toUtf8());
        const ScopedEnvironment uiLog("MARVEK_UI_LOG", (files + q("/ui.log")).toUtf8());
        const std::unique_ptr<platform::ChildProcess> child =
            base.os().processes().start(q("D:\\programs\\setup\\setup.exe"), platform::WindowMode::Hidden);
        if (!child) {
            ADD_FAILURE() << "setup.exe did not start";
            return 1;
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return child->exitCode() != 259; }, 180000));
        return child->exitCode();
    }

    QStringList shownForms() const {
        QStringList forms;
        for (const QString& line : fileLines(files + q("/screen.log"))) {
            if (line.startsWith(q("shown\t")))
                forms.append(line.section(QLatin1Char('\t'), 1));
        }
        return forms;
    }

    QString files;
    ShortPauses pauses;
};

// A database check that fails at the start shows the result screen, whose button ends with the clean-up.
// Then, the database back: agree, OK on every folder screen, end: the installation window hands every
// new manual of the CD to the folder screen, the manuals are registered, the result and closing screens
// follow, the scratch folder is cleaned up, and every screen was photographed.
TEST_F(ProgramTest, StartFailureThenInstallsTheManualsOfTheCd) {
    const QString database = host(q("C:\\ManualLink\\ManualLink.mdb"));
    ASSERT_TRUE(QFile::rename(database, database + q(".away")));
    ASSERT_EQ(runSetup("frmResult B_END\n"), 0u);
    EXPECT_EQ(shownForms(), QStringList{"frmResult"});
    EXPECT_FALSE(QFileInfo::exists(host(q("C:\\ManualLink\\UnZipTemp"))));
    ASSERT_TRUE(QFile::rename(database + q(".away"), database));
    QFile::remove(files + q("/screen.log"));
    QDir(files + q("/shots")).removeRecursively();

    ASSERT_EQ(runSetup("frmMenu cmdStartInstall\nfrmStartUp O_Value(1)\nfrmStartUp B_OK\n"
                       "frmDirectorySelect B_OK *\nfrmResult B_END\nfrmTarm B_END\n"),
              0u);
    EXPECT_EQ(shownForms(), QStringList({"frmMenu", "frmStartUp", "frmMain"}) +
                                QStringList(6, q("frmDirectorySelect")) +
                                QStringList({"frmResult", "frmTarm"}));
    EXPECT_TRUE(fileLines(files + q("/ui.log")).isEmpty());
    ASSERT_EQ(start(), setup::StartOutcome::ShowMenu);
    EXPECT_EQ(ctx.db.FindInstalledManual(q("RMJ00JA")), 0);
    EXPECT_FALSE(QFileInfo::exists(host(q("C:\\ManualLink\\UnZipTemp"))));
    const QStringList shots = QDir(files + q("/shots")).entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(shots.isEmpty());
    EXPECT_EQ(shots.first(), q("01-frmMenu.png"));
    EXPECT_TRUE(shots.last().endsWith(q("-frmTarm.png")));
}

} // namespace
