#pragma once

#include "platform/TextCodec.h"
#include "shared/access/AccessControl.h"
#include "shared/maninfo/AutRunLocalRead.h"
#include "shared/testing/SharedTestContext.h"

#include <QDir>
#include <QRegularExpression>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace marvek::testing {

// What a check leaves of the PC's catalogue.
enum class LocalAfter { Kept, Replaced };

// One latest-CD comparison. A file is its lines separated by "|", each "KEY=MONTH" standing for a whole
// record (model Aurea, classification ZVH50, manual type, KEY as folder and Pub_No, MONTH and whatever
// follows it); nullptr for no file. Every key but the lower-case one has its folder on the CD. A PC without
// the file takes the CD's, or none: the latest_cd fuzz harness asserts that on its seeds.
struct Comparison {
    const char* what;
    const char* local;
    const char* cd;
    shared::CheckLatestResult result;
    LocalAfter after;
    int olderLines;
};

using enum shared::CheckLatestResult;
using enum LocalAfter;

// The comparisons both module variants make alike.
inline const Comparison Comparisons[] = {
    {"newer", "RM010EN=2023/06|OLD0000=2020/01", "RM010EN=2024/03", Latest, Replaced, 0},
    {"key unknown to the PC (1900/01)", "RM010EN=2023/06", "RM010EN=2023/06|NCF00EN=1900/02", Latest,
     Replaced, 0},
    {"equal", "RM010EN=2023/06", "RM010EN= 2023/6 ", Latest, Kept, 0},
    {"older", "RM010EN=2024/03", "RM010EN=2023/06", NotLatest, Kept, 1},
    {"older and newer", "RM010EN=2024/03|EWD00EN=2023/01", "RM010EN=2023/06|EWD00EN=2024/02", NotLatest, Kept,
     1},
    {"duplicate key, first newer", "RM010EN=2024/03|RM010EN=2022/01", "RM010EN=2023/06", NotLatest, Kept, 1},
    {"duplicate key, first older", "RM010EN=2022/01|RM010EN=2024/03", "RM010EN=2023/06", Latest, Replaced, 0},
    {"keys compare exactly", "rm010en=2024/03|RM010EN=2023/06", "RM010EN=2023/06", Latest, Kept, 0},
    {"extra fields, LF line ends", "RM010EN=2023/06,extra,fields", "RM010EN=2024/03\n", Latest, Replaced, 0},
    {"five fields", "RM010EN=2023/06", "RM010EN=2024/03|Aurea,ZVH50,Repair Manual,EWD00EN,EWD00EN", NotLatest,
     Kept, 0},
    {"month 13", "RM010EN=2023/06", "RM010EN=2024/03|EWD00EN=2024/13", NotLatest, Kept, 0},
    {"month in words", "RM010EN=2023/06", "RM010EN=2024/03|EWD00EN=March 2024", NotLatest, Kept, 0},
    {"two-digit year", "RM010EN=2023/06", "RM010EN=2024/03|EWD00EN=24/03", NotLatest, Kept, 0},
    {"with a day", "RM010EN=2023/06", "RM010EN=2024/03|EWD00EN=2024/03/01", NotLatest, Kept, 0},
    {"empty line", "RM010EN=2023/06", "|RM010EN=2024/03", NotLatest, Kept, 0},
    {"broken local line", "RM010EN,2023/06", "RM010EN=2024/03", NotLatest, Kept, 0},
    {"no CD file", "RM010EN=2023/06", nullptr, NotLatest, Kept, 0},
};

// A machine with a CD at C:\CD\ on which both module variants are tested.
class ManInfoTest : public ::testing::Test {
protected:
    using Module = std::unique_ptr<shared::AutRunLocalRead>;

    ManInfoTest() {
        t.ctx.UsersGroupName = shared::GetUsersGroupName(t.ctx);
        for (const char* key : {"RM010EN", "EWD00EN", "NCF00EN", "OLD0000"})
            EXPECT_TRUE(t.os().files().createFolderPath(QStringLiteral("C:\\CD\\") + QLatin1String(key)));
    }

    static constexpr auto LocalFile = "C:\\man_info\\man_info_do.ci";
    static constexpr auto CdFile = "C:\\CD\\programs\\setup\\man_info_do.ci";

    // Writes a file in the notation of Comparison (CR LF after every line unless the text ends in LF),
    // or removes it for nullptr.
    void write(const char* path, const char* lines, int codePage = platform::CodePageWestern) {
        QFile::remove(t.temp().host(QLatin1String(path)));
        if (lines == nullptr)
            return;
        static const QRegularExpression record(QStringLiteral("(\\w+)=([^|,\\n]*)"));
        QString text =
            QString::fromUtf8(lines).replace(record, QStringLiteral("Aurea,ZVH50,Repair Manual,\\1,\\1,\\2"));
        if (!text.endsWith(QLatin1Char('\n')))
            text = text.replace(QLatin1Char('|'), QStringLiteral("\r\n")) + QStringLiteral("\r\n");
        ASSERT_TRUE(t.temp().writeFile(QLatin1String(path), platform::encodeCodePage(text, codePage)));
    }
    QByteArray local() { return t.temp().readFile(QLatin1String(LocalFile)); }
    QByteArray cd() { return t.temp().readFile(QLatin1String(CdFile)); }
    const std::vector<platform::AskedQuestion>& asked() { return t.ui().asked(); }

    // Runs every comparison of the table with a new module each; then replaces a read-only catalogue with
    // the CD's, read-only too as on a real CD (the copy ends up writable); then puts a file where the folder
    // "C:\man_info" belongs (the error box, and the program must end).
    void checkLatestCd(const std::function<Module()>& make) {
        for (const Comparison& row : Comparisons) {
            SCOPED_TRACE(row.what);
            write(LocalFile, row.local);
            write(CdFile, row.cd);
            const QByteArray before = local();
            const Module module = make();
            EXPECT_EQ(module->ManInfo_CheckLatest(), row.result);
            EXPECT_EQ(module->notLatestLines().size(), row.olderLines);
            EXPECT_TRUE(t.os().files().folderExists(QStringLiteral("C:\\man_info")));
            EXPECT_EQ(local(), row.after == Kept ? before : cd());
        }

        write(LocalFile, "RM010EN=2023/06");
        write(CdFile, "RM010EN=2024/03");
        for (const char* file : {LocalFile, CdFile})
            ASSERT_TRUE(t.os().files().setAttributes(QLatin1String(file), platform::FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(make()->ManInfo_CheckLatest(), Latest);
        EXPECT_EQ(local(), cd());
        EXPECT_FALSE(t.os().files().isReadOnly(QLatin1String(LocalFile)));
        EXPECT_TRUE(asked().empty());

        ASSERT_TRUE(QDir(t.temp().host(QStringLiteral("C:\\man_info"))).removeRecursively());
        ASSERT_TRUE(t.temp().writeFile(QStringLiteral("C:\\man_info"), "not a folder"));
        EXPECT_EQ(make()->ManInfo_CheckLatest(), EndProgram);
        ASSERT_EQ(asked().size(), 1u);
        EXPECT_EQ(std::tie(asked()[0].text, asked()[0].title, asked()[0].style),
                  std::make_tuple(QStringLiteral("Marvec Service System Error"), t.ctx.ProgramTitle, 0));
        EXPECT_EQ(t.temp().readFile(QStringLiteral("C:\\man_info")), QByteArray("not a folder"));
    }

    // Asks the not-latest question with the scripted answer and checks the box.
    void checkQuestion(shared::AutRunLocalRead& module, int answer, const QString& text) {
        t.ui().addAnswer(QString::number(answer));
        EXPECT_EQ(module.ManInfo_ShowNotLatest(), answer);
        ASSERT_FALSE(asked().empty());
        EXPECT_EQ(std::tie(asked().back().title, asked().back().style, asked().back().text),
                  std::make_tuple(QStringLiteral("Marvek Manual Information"), 52, text));
    }

    SharedTestContext t;
};

} // namespace marvek::testing
