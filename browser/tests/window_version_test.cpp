// The version box: its texts from the message table (built-in or from PG_MSG.TXT) and the version
// line from the program's own file-version record.

#include "browser/window/frmVer.h"
#include "browser_fixture.h"
#include "platform/FileVersion.h"

#include <QLabel>
#include <QPushButton>

namespace marvek::browser::browsertest {
namespace {

class VersionBox : public BrowserFixture {
protected:
    static QStringList texts(const frmVer& box) {
        QStringList result{box.windowTitle()};
        for (int i = 0; i < 5; ++i)
            result << box.lblVersion(i)->text();
        return result << box.cmdOK()->text();
    }
};

TEST_F(VersionBox, JapaneseSystemWithoutMessageFileShowsThePagoraRecord) {
    startBrowser(0x0411);
    const std::optional<platform::FileVersion> pagora = platform::readFileVersion(QStringLiteral(PAGORA_EXE));
    ASSERT_TRUE(pagora.has_value()); // 1.1.0.2
    frmVer box(*context, nullptr, pagora);
    EXPECT_EQ(texts(box), (QStringList{u"バージョン情報"_s, u"マーベックブラウザ"_s, u"Ver.1.1.2"_s,
                                       u"Copyright (C) 2005 マーベック株式会社"_s, u"All rights reserved."_s,
                                       u"Build date: 2006/03/09"_s, u"OK"_s}));
    EXPECT_TRUE(box.isModal());
}

TEST_F(VersionBox, MessageFileTextsAndAMissingBuildDate) {
    // Nine entries are enough for the file to be used; it has no "WC205".
    const QString file = u"0x0409 English|EM101\tBad data.|EM102\tBad parameter.|WC201\tWorkshop Viewer|"
                         u"WC202\tAbout the viewer|WC203\tCopyright (C) 2005 Workshop Company|"
                         u"WC204\tAll rights kept.|TB301\tNext|TB302\tPrevious|BC401\tClose|END|"_s;
    ASSERT_TRUE(machine.writeFile(u"C:\\Pagora\\PG_MSG.TXT"_s,
                                  platform::encodeUtf16Le(QString(file).replace(u'|', u"\r\n"_s), true)));
    startBrowser(0x0409);
    ASSERT_FALSE(context->messages.usesBuiltIn());
    frmVer box(*context, nullptr, platform::FileVersion{2, 3, 9, 4});
    EXPECT_EQ(texts(box), (QStringList{u"About the viewer"_s, u"Workshop Viewer"_s, u"Ver.2.3.4"_s,
                                       u"Copyright (C) 2005 Workshop Company"_s, u"All rights kept."_s,
                                       QString(), u"Close"_s}));
}

} // namespace
} // namespace marvek::browser::browsertest
