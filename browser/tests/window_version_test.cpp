// The version box: its texts from the message table (built-in or from PG_MSG.TXT) and the version
// line from the program's own file-version record.

#include "browser/window/frmVer.h"
#include "platform/FileVersion.h"
#include "window_fixture.h"

#include <QLabel>
#include <QPushButton>

using namespace marvek;
using namespace marvek::browser;
using namespace marvek::browser::windowtest;

namespace {

class VersionBox : public BrowserFixture {
protected:
    // Writes PG_MSG.TXT beside the program: UTF-16LE with a byte-order mark, CR LF lines.
    void writeMessageFile(const QString& section, const QStringList& entries) {
        QString text = section + QStringLiteral("\r\n");
        for (const QString& entry : entries)
            text += entry + QStringLiteral("\r\n");
        text += QStringLiteral("END\r\n");
        ASSERT_TRUE(
            machine.writeFile(QStringLiteral("C:\\Pagora\\PG_MSG.TXT"), platform::encodeUtf16Le(text, true)));
    }

    static QStringList texts(const frmVer& box) {
        QStringList result{box.windowTitle()};
        for (int i = 0; i < 5; ++i)
            result << box.lblVersion(i)->text();
        result << box.cmdOK()->text();
        return result;
    }
};

TEST_F(VersionBox, JapaneseSystemWithoutMessageFile) {
    startBrowser(0x0411);
    frmVer box(*context, nullptr, platform::FileVersion{1, 1, 0, 2});
    const QStringList shown = texts(box);
    EXPECT_EQ(shown[0], QStringLiteral("バージョン情報"));
    EXPECT_EQ(shown[1], QStringLiteral("マーベックブラウザ"));
    EXPECT_EQ(shown[2], QStringLiteral("Ver.1.1.2"));
    EXPECT_EQ(shown[3], context->GFncMsg_Get(QStringLiteral("WC203")));
    EXPECT_FALSE(shown[3].isEmpty());
    EXPECT_EQ(shown[4], QStringLiteral("All rights reserved."));
    EXPECT_EQ(shown[5], QStringLiteral("Build date: 2006/03/09"));
    EXPECT_EQ(shown[6], QStringLiteral("OK"));
    EXPECT_TRUE(box.isModal());
}

TEST_F(VersionBox, EnglishSystemWithoutMessageFile) {
    startBrowser(0x0409);
    frmVer box(*context, nullptr, platform::FileVersion{1, 1, 0, 2});
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Version information"));
    EXPECT_EQ(box.lblVersion(0)->text(), QStringLiteral("MarvekBrowser"));
}

TEST_F(VersionBox, MessageFileTextsAndAMissingBuildDate) {
    // Nine entries are enough for the file to be used; it has no "WC205".
    writeMessageFile(QStringLiteral("0x0409 English"),
                     {QStringLiteral("EM101\tBad data."), QStringLiteral("EM102\tBad parameter."),
                      QStringLiteral("WC201\tWorkshop Viewer"), QStringLiteral("WC202\tAbout the viewer"),
                      QStringLiteral("WC203\tCopyright (C) 2005 Workshop Company"),
                      QStringLiteral("WC204\tAll rights kept."), QStringLiteral("TB301\tNext"),
                      QStringLiteral("TB302\tPrevious"), QStringLiteral("BC401\tClose")});
    startBrowser(0x0409);
    ASSERT_FALSE(context->messages.usesBuiltIn());
    frmVer box(*context, nullptr, platform::FileVersion{2, 3, 9, 4});
    EXPECT_EQ(texts(box),
              (QStringList{QStringLiteral("About the viewer"), QStringLiteral("Workshop Viewer"),
                           QStringLiteral("Ver.2.3.4"), QStringLiteral("Copyright (C) 2005 Workshop Company"),
                           QStringLiteral("All rights kept."), QString(), QStringLiteral("Close")}));
}

TEST(VersionText, TakesMajorMinorAndRevisionOfTheProgramsRecord) {
    EXPECT_EQ(frmVer::versionText(platform::FileVersion{1, 1, 0, 2}), QStringLiteral("Ver.1.1.2"));
    EXPECT_EQ(frmVer::versionText(platform::FileVersion{10, 0, 7, 65535}), QStringLiteral("Ver.10.0.65535"));
    // The browser program itself carries 1.1.0.2.
    const std::optional<platform::FileVersion> pagora = platform::readFileVersion(QStringLiteral(PAGORA_EXE));
    ASSERT_TRUE(pagora.has_value());
    EXPECT_EQ(frmVer::versionText(pagora), QStringLiteral("Ver.1.1.2"));
}

} // namespace
