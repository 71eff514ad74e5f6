// The install-folder screen's rules and the progress timers.
#include "SetupTestFixture.h"
#include "shared/config/Messages.h"

#include <QFile>
#include <cmath>

using namespace marvek;
using namespace marvek::testing;

namespace {

class FolderSelectTest : public SetupFixture {
protected:
    void SetUp() override {
        SetupFixture::SetUp();
        ASSERT_EQ(start(), setup::StartOutcome::ShowMenu);
        shared::ManualEntry& entry = ctx.ManualTable.append();
        entry.Pub_No = QStringLiteral("PDF00EN");
        entry.Model_desc = QStringLiteral("Veltro");
        entry.Version = QStringLiteral("4");
        entry.PdfFlag = QStringLiteral("1");
        ctx.CurrentIndex = 1;
        ctx.FolderRequestCount = 3;
        ctx.InstallBase = QStringLiteral("C:\\Manuals");
    }

    void writePdf(qint64 size) {
        QDir().mkpath(cdRoot + QStringLiteral("/PDF00EN/contents"));
        QFile pdf(cdRoot + QStringLiteral("/PDF00EN/contents/PDF00EN.pdf"));
        ASSERT_TRUE(pdf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_TRUE(pdf.resize(size));
    }
};

TEST_F(FolderSelectTest, RequiredSpace) {
    struct Case {
        qint64 pdfSize; // -1: no file
        double required;
    };
    for (const Case& c : {Case{23456789, 30000000}, Case{9999999, 10000000}, Case{20000000, 30000000},
                          Case{0, 10000000}, Case{-1, 10000000}}) {
        QFile::remove(cdRoot + QStringLiteral("/PDF00EN/contents/PDF00EN.pdf"));
        if (c.pdfSize >= 0)
            writePdf(c.pdfSize);
        EXPECT_EQ(setup::RequiredSpace(ctx), c.required) << c.pdfSize;
    }
    ctx.ManualTable.entry(1).PdfFlag = QStringLiteral("0");
    EXPECT_EQ(setup::RequiredSpace(ctx), 150000000.0);
}

TEST_F(FolderSelectTest, FreeSpaceKeepsTheProgramFilesReserve) {
    EXPECT_EQ(setup::FreeSpace(ctx, QStringLiteral("Manuals")), 0.0);
    EXPECT_EQ(setup::FreeSpace(ctx, QStringLiteral("Q:\\Manuals")), 0.0) << "no such drive";
    // C: and D: lie on the same host file system here; C: is the Program Files drive.
    const double c = setup::FreeSpace(ctx, QStringLiteral("C:\\Manuals"));
    const double d = setup::FreeSpace(ctx, QStringLiteral("D:\\"));
    EXPECT_LT(std::abs(d - c - setup::ProgramFilesReserve), 64e6);
    ctx.ProgramFilesDrive = QStringLiteral("c:"); // compared exactly: another spelling keeps no reserve
    EXPECT_LT(std::abs(setup::FreeSpace(ctx, QStringLiteral("C:\\Manuals")) - d), 64e6);
}

TEST_F(FolderSelectTest, ScreenTextsAndButtons) {
    setup::FolderScreen screen(ctx);
    EXPECT_EQ(screen.texts().Caption, setup::Message(ctx, 34));
    EXPECT_EQ(ctx.shared.AppTitle, setup::Message(ctx, 34));
    EXPECT_EQ(screen.texts().L_Name, QStringLiteral("Veltro (Ver.4)"));
    EXPECT_EQ(screen.texts().L_Msg[0],
              setup::Message(ctx, 59).replace(QLatin1Char('@'), QStringLiteral("3")));
    EXPECT_EQ(screen.texts().Frame1, QStringLiteral("  ") + setup::Message(ctx, 33) + QStringLiteral("  "));
    EXPECT_EQ(screen.installPath(), QStringLiteral("C:\\Manuals"));

    // Change: the dialog starts at the current folder; a drive root loses its separator; cancel keeps it.
    temp().addDrive(QLatin1Char('E'));
    ui().addAnswer(QStringLiteral("folder:E:\\"));
    screen.change();
    EXPECT_EQ(ui().asked().back().text, QStringLiteral("C:\\Manuals"));
    EXPECT_EQ(ui().asked().back().title, setup::Message(ctx, 21));
    EXPECT_EQ(screen.installPath(), QStringLiteral("E:"));
    ui().addAnswer(QStringLiteral("folder:"));
    screen.change();
    EXPECT_EQ(ctx.InstallBase, QStringLiteral("E:"));

    // OK with room unloads; on a drive that cannot be asked the M022 box keeps the screen.
    EXPECT_TRUE(screen.ok());
    ui().addAnswer(QStringLiteral("folder:Q:\\Manuals\\"));
    screen.change();
    EXPECT_EQ(screen.installPath(), QStringLiteral("Q:\\Manuals"));
    EXPECT_FALSE(screen.ok());
    EXPECT_EQ(ui().asked().back().text, setup::Message(ctx, 22));
    EXPECT_EQ(ui().asked().back().style, platform::mb::Information);

    // Cancel: No keeps everything, Yes sets the lines and empties the folder.
    ui().addAnswer(QString::number(platform::mb::IdNo));
    EXPECT_FALSE(screen.cancel());
    EXPECT_EQ(ctx.InstallBase, QStringLiteral("Q:\\Manuals"));
    EXPECT_TRUE(ctx.ErrorLine1.isEmpty());
    ui().addAnswer(QString::number(platform::mb::IdYes));
    EXPECT_TRUE(screen.cancel());
    EXPECT_TRUE(ctx.InstallBase.isEmpty());
    EXPECT_EQ(ctx.ErrorLine1, setup::Message(ctx, 25));
    EXPECT_EQ(ctx.ErrorLine2, setup::Message(ctx, 24));
}

TEST(ProgressTimers, BarsFillWithinTheExtractTimeAndStayFull) {
    setup::ProgressBarState extract{0, 60, 0, true, true};
    for (int tick = 0; tick < 60; ++tick)
        setup::Timer1Tick(extract, 60);
    EXPECT_EQ(extract.Value, 60);
    setup::Timer1Tick(extract, 60);
    EXPECT_EQ(extract.Value, 60);

    setup::ProgressBarState pdf{0, 58, 1, true, true};
    for (int tick = 0; tick < 20; ++tick)
        setup::Timer2Tick(pdf, 58);
    EXPECT_EQ(pdf.Value, 58) << "never past the maximum";

    setup::ProgressBarState disabled{0, 60, 3, true, false};
    setup::Timer1Tick(disabled, 60);
    setup::Timer2Tick(disabled, 60);
    EXPECT_EQ(disabled.Value, 3);
}

} // namespace
