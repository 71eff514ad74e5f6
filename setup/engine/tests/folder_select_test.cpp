// The room the install-folder screen asks for and finds.
#include "SetupTestFixture.h"

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
        entry.PdfFlag = QStringLiteral("1");
        ctx.CurrentIndex = 1;
    }
};

TEST_F(FolderSelectTest, RequiredSpace) {
    struct Case {
        qint64 pdfSize; // -1: no file
        double required;
    };
    const QString pdf = QStringLiteral("D:\\PDF00EN\\contents\\PDF00EN.pdf");
    for (const Case& c : {Case{23456789, 30000000}, Case{9999999, 10000000}, Case{20000000, 30000000},
                          Case{0, 10000000}, Case{-1, 10000000}}) {
        QFile::remove(host(pdf));
        if (c.pdfSize >= 0) {
            ASSERT_TRUE(temp().writeFile(pdf, {}));
            ASSERT_TRUE(QFile::resize(host(pdf), c.pdfSize));
        }
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

} // namespace
