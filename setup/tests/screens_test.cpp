// The menu, agreement, closing and folder screens driven through their controls on a copy of the
// sample CD, in English and in Japanese.
#include "ScreensFixture.h"
#include "platform/TextCodec.h"
#include "setup/window/frmDirectorySelect.h"
#include "setup/window/frmMain.h"
#include "setup/window/frmMenu.h"
#include "setup/window/frmStartUp.h"
#include "setup/window/frmTarm.h"
#include "shared/forms/LanguageFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace marvek;
using namespace marvek::testing;

namespace {

struct Language {
    const char* langId;
    const char* code;
};

void PrintTo(const Language& language, std::ostream* out) {
    *out << language.langId;
}

class ScreenLanguageTest : public ScreensFixture, public ::testing::WithParamInterface<Language> {};

// The font a control shows: the language's family at the size, and on a Japanese machine one that
// really writes Japanese (the named font, or the installed fallback).
void expectFont(const QWidget& control, const QString& languageCode, int size) {
    SCOPED_TRACE(control.objectName().toStdString());
    EXPECT_EQ(control.font().family(), shared::ResolvedFontFamily(languageCode));
    EXPECT_EQ(control.font().pointSize(), size);
    if (languageCode == QLatin1String("11")) {
        const QString used = QFontInfo(control.font()).family();
        EXPECT_TRUE(QFontDatabase::writingSystems(used).contains(QFontDatabase::Japanese))
            << used.toStdString();
    }
}

TEST_P(ScreenLanguageTest, TextsAndFontsFromTheCatalogue) {
    startIn(GetParam().langId);
    const QString language = QLatin1String(GetParam().code);
    ASSERT_EQ(ctx.shared.LanguageCode, language);
    const int stepSize = language == QLatin1String("11") ? 11 : 10;

    setup::frmMenu menu(ctx, flow);
    EXPECT_EQ(ctx.shared.AppTitle, message(84));
    setup::frmStartUp agreement(ctx, flow);
    EXPECT_EQ(ctx.shared.AppTitle, message(34));
    setup::frmTarm closing(ctx, flow);
    setup::frmMain installation(ctx, flow);
    shared::ManualEntry& entry = ctx.ManualTable.append();
    entry.Model_desc = q("Corsa Van");
    entry.Version = QStringLiteral("3");
    ctx.CurrentIndex = 1;
    ctx.FolderRequestCount = 2;
    ctx.InstallBase = QStringLiteral("C:\\Manuals");
    setup::frmDirectorySelect folder(ctx);

    EXPECT_EQ(menu.windowTitle(), message(84));
    EXPECT_EQ(menu.lblTitle()->text(), message(84));
    EXPECT_EQ(menu.cmdDispManual()->text(), message(85));
    EXPECT_EQ(menu.cmdStartInstall()->text(), message(86));
    EXPECT_EQ(menu.cmdBrowseManual()->text(), message(93));
    EXPECT_EQ(agreement.windowTitle(), message(34));
    EXPECT_EQ(agreement.B_OK()->text(), message(6));
    EXPECT_EQ(agreement.O_Value(1)->text(), message(56));
    EXPECT_EQ(agreement.O_Value(2)->text(), message(57));
    EXPECT_EQ(closing.windowTitle(), message(34));
    EXPECT_EQ(closing.L_TarmMsg()->text(), message(82));
    EXPECT_EQ(closing.B_END()->text(), message(6));
    EXPECT_EQ(installation.windowTitle(), message(34));
    EXPECT_EQ(folder.windowTitle(), message(34));
    EXPECT_EQ(folder.L_Msg(1)->text(), message(27));
    EXPECT_EQ(folder.L_Msg(2)->text(), message(28));
    EXPECT_EQ(folder.B_CHANGE()->text(), message(31));
    EXPECT_EQ(folder.B_Cancel()->text(), message(32));
    const std::pair<const QWidget*, int> fonts[] = {
        {menu.lblTitle(), 22},        {menu.cmdDispManual(), 18},  {menu.cmdStartInstall(), 18},
        {menu.cmdBrowseManual(), 18}, {agreement.O_Value(1), 9},   {agreement.O_Value(2), 9},
        {agreement.Frame1(), 9},      {agreement.T_CONTRACT(), 9}, {closing.L_TarmMsg(), stepSize},
        {folder.L_InstalPath(), 9}};
    for (const auto& [control, size] : fonts)
        expectFont(*control, language, size);

    for (int step = 2; step <= 4; ++step) {
        EXPECT_EQ(installation.L_STEP(step)->text(), message(9 + (step - 2) * 3));
        EXPECT_FALSE(installation.L_STEP(step)->font().bold());
        EXPECT_EQ(installation.frameColour(step), setup::StepFrameInitial);
        for (const QWidget* label : {static_cast<const QWidget*>(installation.L_STEP(step)),
                                     static_cast<const QWidget*>(installation.L_STEP_BORDER_1(step)),
                                     static_cast<const QWidget*>(installation.L_STEP_BORDER_2(step))})
            expectFont(*label, language, stepSize);
    }

    EXPECT_EQ(folder.L_Name()->text(), q("Corsa Van (Ver.3)"));
    EXPECT_EQ(folder.L_Msg(0)->text(), message(59).replace(QLatin1Char('@'), QStringLiteral("2")));
    EXPECT_EQ(folder.Frame1()->title(), QStringLiteral("  ") + message(33) + QStringLiteral("  "));
    EXPECT_EQ(folder.L_InstalPath()->text(), QStringLiteral("C:\\Manuals"));
    for (const QWidget* control :
         {static_cast<const QWidget*>(folder.L_Msg(0)), static_cast<const QWidget*>(folder.L_Name()),
          static_cast<const QWidget*>(folder.Frame1())})
        EXPECT_EQ(control->font().family(), shared::ResolvedFontFamily(language));
}

INSTANTIATE_TEST_SUITE_P(Languages, ScreenLanguageTest,
                         ::testing::Values(Language{"0409", "09"}, Language{"0411", "11"}),
                         [](const ::testing::TestParamInfo<Language>& info) {
                             return std::string("Lang") + info.param.langId;
                         });

TEST(LanguageFont, NamesAndJapaneseFallback) {
    EXPECT_EQ(shared::LanguageFontName(QStringLiteral("11")), q("MS Pゴシック"));
    for (const char* code : {"09", "04S", "07", ""})
        EXPECT_EQ(shared::LanguageFontName(QLatin1String(code)), QStringLiteral("Arial")) << code;
    const QString japanese = shared::ResolvedFontFamily(QStringLiteral("11"));
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
    shared::ApplyLanguageFont(label, QStringLiteral("09"), 12);
    EXPECT_TRUE(label.font().bold());
    EXPECT_EQ(label.font().pointSize(), 12);
}

// The agreement file of the language, else the English one, else nothing; read in the machine's
// code page, every line ending in CR LF whatever ended it in the file.
TEST_F(ScreensFixture, AgreementTextInTheSystemCodePage) {
    startIn("0411");
    const QString sysDir = QStringLiteral("D:\\programs\\setup\\SysDir\\");
    const QString japanese = q("使用許諾契約書\r\n第1条　～定義～\n\rＡＢＣ");
    ASSERT_TRUE(temp().writeFile(sysDir + QStringLiteral("Licence_11.txt"),
                                 platform::encodeCodePage(japanese, platform::CodePageShiftJis)));
    ASSERT_TRUE(temp().writeFile(sysDir + QStringLiteral("Licence_09.txt"), "Licence\r\nEnglish"));

    struct Case {
        const char* remove;
        QString expected;
    };
    const Case cases[] = {{nullptr, q("使用許諾契約書\r\n第1条　～定義～\r\n\r\nＡＢＣ\r\n")},
                          {"Licence_11.txt", QStringLiteral("Licence\r\nEnglish\r\n")},
                          {"Licence_09.txt", QString()}};
    for (const Case& c : cases) {
        if (c.remove != nullptr) {
            ASSERT_TRUE(QFile::remove(host(sysDir + QLatin1String(c.remove))));
        }
        RecordingFlow caseFlow;
        setup::frmStartUp agreement(ctx, caseFlow);
        EXPECT_EQ(agreement.contractText(), c.expected);
        EXPECT_EQ(agreement.T_CONTRACT()->toPlainText(),
                  QString(c.expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        EXPECT_TRUE(agreement.T_CONTRACT()->isReadOnly());
        EXPECT_TRUE(agreement.T_CONTRACT()->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        // Agreeing works without any text.
        agreement.O_Value(1)->click();
        agreement.B_OK()->click();
        EXPECT_EQ(caseFlow.calls, std::vector<std::string>{"installation"});
    }
    EXPECT_EQ(setup::AgreementLines(QString()), QString());
    EXPECT_EQ(setup::AgreementLines(QStringLiteral("a\r\n")), QStringLiteral("a\r\n"));
    EXPECT_EQ(setup::AgreementLines(QStringLiteral("\n\n")), QStringLiteral("\r\n\r\n"));
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
    const QString opened = temp().root() + QStringLiteral("/opened.txt");
    const QString recorder = recorderCommand(opened);
    setup::frmMenu menu(ctx, flow);
    {
        ScopedEnvironment opener("MARVEK_OPEN_COMMAND", recorder);
        menu.cmdDispManual()->click();
        EXPECT_TRUE(ui().asked().empty());
        EXPECT_EQ(waitForLine(opened), host(QStringLiteral("D:\\install.html")).toUtf8());
    }
    {
        ScopedEnvironment opener("MARVEK_OPEN_COMMAND", "/nonexistent/opener");
        menu.cmdDispManual()->click();
    }
    ASSERT_TRUE(QFile::remove(cdRoot + QStringLiteral("/install.html")));
    {
        ScopedEnvironment opener("MARVEK_OPEN_COMMAND", recorder);
        menu.cmdDispManual()->click();
    }
    ASSERT_EQ(ui().asked().size(), 2u);
    for (const platform::AskedQuestion& box : ui().asked()) {
        EXPECT_EQ(box.text, message(88));
        EXPECT_EQ(box.style, platform::mb::Exclamation);
        EXPECT_EQ(box.title, message(84));
    }
    EXPECT_TRUE(flow.calls.empty());

    // The viewer gets the start page.
    const QString viewed = temp().root() + QStringLiteral("/viewed.txt");
    ASSERT_TRUE(temp().writeFile(ctx.ViewerExePath, "#!/bin/sh\necho \"$@\" > '" + viewed.toUtf8() + "'\n"));
    menu.cmdBrowseManual()->click();
    EXPECT_EQ(waitForLine(viewed), host(QStringLiteral("D:\\index.html")).toUtf8());

    menu.cmdStartInstall()->click();
    EXPECT_EQ(flow.calls, std::vector<std::string>{"agreement"});
}

class FolderScreenTest : public ScreensFixture {
protected:
    void SetUp() override {
        ScreensFixture::SetUp();
        startIn("0409");
        shared::ManualEntry& entry = ctx.ManualTable.append();
        entry.Model_desc = QStringLiteral("Aurea");
        entry.Version = QStringLiteral("1");
        entry.PdfFlag = QStringLiteral("0");
        ctx.CurrentIndex = 1;
        ctx.FolderRequestCount = 1;
        ctx.InstallBase = QStringLiteral("C:\\Manuals");
    }
};

// OK takes the folder shown; a drive without room (here one that does not exist) gives M022 and the
// screen stays; change takes the dialog's folder without its separator; cancel asks (style 52) and
// only Yes cancels the run; the close box asks the same question.
TEST_F(FolderScreenTest, OkChangeNoRoomAndCancel) {
    {
        setup::frmDirectorySelect screen(ctx);
        screen.show();
        EXPECT_EQ(screen.focusWidget(), screen.B_OK());
        screen.B_OK()->click();
        EXPECT_FALSE(screen.isVisible());
        EXPECT_EQ(screen.result(), QDialog::Accepted);
        EXPECT_EQ(ctx.InstallBase, QStringLiteral("C:\\Manuals"));
    }
    {
        // A folder on a drive that does not exist: no room.
        setup::frmDirectorySelect screen(ctx);
        screen.show();
        ui().addAnswer(QStringLiteral("folder:Q:\\Manuals\\"));
        screen.B_CHANGE()->click();
        EXPECT_EQ(screen.L_InstalPath()->text(), QStringLiteral("Q:\\Manuals"));
        screen.B_OK()->click();
        EXPECT_TRUE(screen.isVisible());
        ASSERT_EQ(ui().asked().size(), 2u);
        EXPECT_EQ(ui().asked()[1].text, message(22));
        EXPECT_EQ(ui().asked()[1].style, platform::mb::Information);
        EXPECT_EQ(ui().asked()[1].title, message(34));

        // The dialog starts at the folder shown; cancelling it keeps the folder; a drive root loses its
        // separator.
        ui().addAnswer(QStringLiteral("folder:"));
        screen.B_CHANGE()->click();
        EXPECT_EQ(screen.L_InstalPath()->text(), QStringLiteral("Q:\\Manuals"));
        ui().addAnswer(QStringLiteral("folder:D:\\"));
        screen.B_CHANGE()->click();
        ASSERT_EQ(ui().asked().size(), 4u);
        EXPECT_EQ(ui().asked()[3].kind, platform::AskedQuestion::Kind::Folder);
        EXPECT_EQ(ui().asked()[3].title, message(21));
        EXPECT_EQ(ui().asked()[3].text, QStringLiteral("Q:\\Manuals"));
        EXPECT_EQ(screen.L_InstalPath()->text(), QStringLiteral("D:"));
        screen.B_OK()->click();
        EXPECT_EQ(screen.result(), QDialog::Accepted);
        EXPECT_EQ(ctx.InstallBase, QStringLiteral("D:"));
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
        EXPECT_EQ(ctx.InstallBase, QStringLiteral("D:"));
        EXPECT_TRUE(ctx.ErrorLine1.isEmpty());
        screen.B_Cancel()->click();
        EXPECT_FALSE(screen.isVisible());
        EXPECT_EQ(screen.result(), QDialog::Rejected);
        EXPECT_TRUE(ctx.InstallBase.isEmpty());
        EXPECT_EQ(ctx.ErrorLine1, message(25));
        EXPECT_EQ(ctx.ErrorLine2, message(24));
        ASSERT_EQ(ui().asked().size(), 7u);
        for (size_t i = 4; i < 7; ++i) {
            EXPECT_EQ(ui().asked()[i].text, message(29));
            EXPECT_EQ(ui().asked()[i].style, 52);
        }
    }
}

} // namespace
