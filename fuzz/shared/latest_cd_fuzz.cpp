// The latest-CD check of the installer and of the launcher on any pair of information files. The input
// is a flag byte (bit 0: the PC has a file, bit 1: the CD has one), then the PC's file, a NUL and the
// CD's file. Checked: the check never ends the program (its folder exists), asks nothing, leaves the PC's
// file either as it was or replaced by the CD's whole (replaced only when the CD is the latest), answers
// "not latest" exactly when a file is broken or a record is older, and lists at most one line per record.

#include "fuzz/FuzzCheck.h"
#include "launcher/LauncherLocalRead.h"
#include "shared/access/AccessControl.h"
#include "shared/maninfo/AutRunLocalRead.h"
#include "shared/testing/SharedTestContext.h"

#include <QFile>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

using namespace marvek;
using shared::AutRunLocalRead;
using shared::CheckLatestResult;

namespace {

const QString LocalFile = QStringLiteral("C:\\man_info\\man_info_do.ci");
const QString CdFile = QStringLiteral("C:\\CD\\programs\\setup\\man_info_do.ci");

const QStringList CdFolders = {QStringLiteral("RM010EN"), QStringLiteral("RM011EN"),
                               QStringLiteral("EWD00EN"), QStringLiteral("RMJ00JA"),
                               QStringLiteral("NCF00EN"), QStringLiteral("BRM00EN")};

// One machine for every input, with the manual folders of the sample CD at C:\CD.
struct Machine {
    Machine() {
        t.ctx.UsersGroupName = shared::GetUsersGroupName(t.ctx);
        t.ctx.LanguageCode = QStringLiteral("09");
        for (const QString& folder : CdFolders)
            t.os().files().createFolderPath(QStringLiteral("C:\\CD\\") + folder);
        t.os().files().createFolderPath(QStringLiteral("C:\\man_info"));
        t.temp().writeFile(t.ctx.SysDirPath + QStringLiteral("\\M09.ini"),
                           "[MESSAGE]\r\nM072=@1 @2 @3 @4 @5\r\nM073=Use the latest CD.\r\nM074=View?\r\n");
    }
    testing::SharedTestContext t;
};

testing::SharedTestContext& machine() {
    static Machine made;
    return made.t;
}

void place(const QString& path, bool present, const QByteArray& content) {
    testing::SharedTestContext& t = machine();
    QFile::remove(t.temp().host(path));
    if (present)
        MARVEK_FUZZ_CHECK(t.temp().writeFile(path, content));
}

void check(const std::function<std::unique_ptr<AutRunLocalRead>()>& make, bool hasLocal,
           const QByteArray& local, bool hasCd, const QByteArray& cd) {
    testing::SharedTestContext& t = machine();
    place(LocalFile, hasLocal, local);
    place(CdFile, hasCd, cd);
    const size_t asked = t.ui().asked().size();

    // The files as the check reads them, by a module of its own.
    const std::unique_ptr<AutRunLocalRead> reader = make();
    const bool localReads = reader->ManInfo_ReadLocal(LocalFile);
    const bool cdReads = reader->ManInfo_ReadCd(CdFile);

    const std::unique_ptr<AutRunLocalRead> module = make();
    const CheckLatestResult result = module->ManInfo_CheckLatest();
    MARVEK_FUZZ_CHECK(result != CheckLatestResult::EndProgram);
    MARVEK_FUZZ_CHECK(t.ui().asked().size() == asked);
    MARVEK_FUZZ_CHECK(t.os().files().folderExists(QStringLiteral("C:\\man_info")));

    const QByteArray after = t.temp().readFile(LocalFile);
    const bool kept = hasLocal && t.os().files().fileExists(LocalFile) && after == local;
    const bool replaced = hasCd && t.os().files().fileExists(LocalFile) && after == cd;
    if (!hasLocal) {
        MARVEK_FUZZ_CHECK(result == CheckLatestResult::Latest);
        MARVEK_FUZZ_CHECK(hasCd ? replaced : !t.os().files().exists(LocalFile));
        return;
    }
    MARVEK_FUZZ_CHECK(kept || replaced);
    if (result == CheckLatestResult::NotLatest)
        MARVEK_FUZZ_CHECK(kept);
    if (!kept)
        MARVEK_FUZZ_CHECK(module->newerFound());
    const bool broken = !localReads || !cdReads;
    MARVEK_FUZZ_CHECK((result == CheckLatestResult::NotLatest) ==
                      (broken || !module->notLatestLines().isEmpty()));
    if (!broken) {
        MARVEK_FUZZ_CHECK(module->notLatestLines().size() <= qsizetype(module->cdRecords().size()));
        MARVEK_FUZZ_CHECK(module->cdRecords().size() == reader->cdRecords().size());
        for (const shared::ManInfoRecord& record : module->cdRecords()) {
            MARVEK_FUZZ_CHECK(record.date.isValid() && record.date.day() == 1 && record.date.year() >= 100);
            MARVEK_FUZZ_CHECK(record.onCd == QLatin1String("1") || record.onCd == QLatin1String("0"));
            // A key naming a manual folder of the CD, in any case and with trailing blanks or dots as
            // Windows drops them, is on the CD.
            QString folder = record.key;
            while (folder.endsWith(u' ') || folder.endsWith(u'.'))
                folder.chop(1);
            if (CdFolders.contains(folder, Qt::CaseInsensitive))
                MARVEK_FUZZ_CHECK(record.onCd == QLatin1String("1"));
        }
        for (const QString& line : module->notLatestLines())
            MARVEK_FUZZ_CHECK(line.endsWith(u'|'));
        if (!module->notLatestLines().isEmpty()) {
            t.ui().addAnswer(QStringLiteral("7"));
            MARVEK_FUZZ_CHECK(module->ManInfo_ShowNotLatest() == 7);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray files = marvek::fuzz::bytes(data, size, 1);
    const qsizetype nul = files.indexOf('\0');
    const QByteArray local = nul < 0 ? files : files.left(nul);
    const QByteArray cd = nul < 0 ? QByteArray() : files.mid(nul + 1);
    const bool hasLocal = (data[0] & 1) != 0;
    const bool hasCd = (data[0] & 2) != 0;
    const shared::SharedContext& ctx = machine().ctx;
    check([&] { return std::make_unique<AutRunLocalRead>(ctx, ctx.SourceRoot); }, hasLocal, local, hasCd, cd);
    check(
        [&] {
            return std::make_unique<launcher::LauncherLocalRead>(ctx, ctx.SourceRoot, QStringLiteral("0409"));
        },
        hasLocal, local, hasCd, cd);
    return 0;
}
