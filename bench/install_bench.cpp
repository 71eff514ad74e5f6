// The installer's whole run on a generated CD against the archiver and cp(1) on the same archives.
//
// The CD: MARVEK_BENCH_HTML_MANUALS HTML manuals (default 8) of MARVEK_BENCH_FILES files each (default
// 2,000 pages of about 10 KB in nested folders) and 2 PDF manuals of MARVEK_BENCH_PDF_MB MiB (default 50).
// The engine runs survey, extraction, copy, registration and search indexing with the prescribed waits taken
// by a clock that does not sleep but does run pending events for real; the baseline is `bsdtar -xf` into a
// scratch folder followed by `cp -a` into place, and `bsdtar -xf` alone. Peak memory is the growth of the
// process's maximum resident size over an idle Qt process (measured before the run).

#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/testing/BuildPath.h"
#include "setup/engine/FolderSelect.h"
#include "setup/engine/InstallRun.h"
#include "setup/engine/InstallView.h"
#include "setup/engine/SetupContext.h"
#include "setup/engine/Startup.h"
#include "shared/search/ManualSearch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <memory>
#include <random>
#include <sys/resource.h>

using namespace marvek;

namespace {

int envInt(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

long maxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool run(const QString& program, const QStringList& arguments) {
    return QProcess::execute(program, arguments) == 0;
}

// The prescribed waits are not what is measured: a sleep lasts at most a millisecond (which keeps the
// one-second polls of a child from spinning). Events run for real and are timed.
class BenchClock : public platform::Clock {
public:
    void sleepMs(int milliseconds) override {
        if (milliseconds > 0)
            QThread::msleep(1);
    }
    void processEvents() override {
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::processEvents();
        eventNs += timer.nsecsElapsed();
        ++eventRuns;
    }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 eventNs = 0;
    long eventRuns = 0;
};

// Keeps the bar states, counts repaints and answers the folder screen with OK.
class BenchView : public setup::InstallView {
public:
    explicit BenchView(setup::SetupContext& ctx) : m_ctx(ctx) {}
    void showStep(int, const QString&, bool, quint32) override {}
    setup::ProgressBarState& bar(setup::Bar which) override { return m_bars[static_cast<int>(which)]; }
    void repaint() override { ++repaints; }
    void setMousePointer(int) override {}
    void showFolderScreen() override {
        setup::FolderScreen screen(m_ctx);
        if (!screen.ok())
            m_ctx.InstallBase.clear();
    }
    long repaints = 0;

private:
    setup::SetupContext& m_ctx;
    setup::ProgressBarState m_bars[3];
};

// A zip of `files` pages under <top>/contents/secNN/, plus index.html and contents itself.
bool writeManualZip(const QString& path, const QString& top, int files, std::mt19937& random) {
    std::unique_ptr<archive, decltype(&archive_write_free)> zip(archive_write_new(), archive_write_free);
    archive_write_set_format_zip(zip.get());
    if (archive_write_open_filename(zip.get(), QFile::encodeName(path).constData()) != ARCHIVE_OK)
        return false;
    QByteArray page(10 * 1024, 'x');
    auto add = [&](const QString& name, const QByteArray& data) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            archive_entry_free);
        archive_entry_set_pathname_utf8(entry.get(), name.toUtf8().constData());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), data.size());
        archive_write_header(zip.get(), entry.get());
        archive_write_data(zip.get(), data.constData(), static_cast<size_t>(data.size()));
    };
    add(top + QStringLiteral("/index.html"), "<html><body>index</body></html>");
    for (int i = 0; i < files; ++i) {
        for (int j = 0; j < 64; ++j)
            page[static_cast<qsizetype>(random() % page.size())] = static_cast<char>('a' + random() % 26);
        add(QStringLiteral("%1/contents/sec%2/page%3.html")
                .arg(top)
                .arg(i % 40, 2, 10, QLatin1Char('0'))
                .arg(i),
            page);
    }
    return archive_write_close(zip.get()) == ARCHIVE_OK;
}

bool writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray carInfo(const QString& pubNo) {
    return QStringLiteral("[CAR_INFO]\r\nPub_No=%1\r\nVersion=1\r\nModel_desc=Bench\r\nModel_ID="
                          "AUR50\r\nLang=English\r\n"
                          "Ldup=2024/01\r\nYear=2024\r\nKubun=X\r\nCountry=Europe\r\n")
        .arg(pubNo)
        .toLatin1();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long idleKb = maxRssKb();
    const int htmlManuals = envInt("MARVEK_BENCH_HTML_MANUALS", 8);
    const int filesPerManual = envInt("MARVEK_BENCH_FILES", 2000);
    const int pdfMb = envInt("MARVEK_BENCH_PDF_MB", 50);

    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("machine"));
    const QString cd = dir.filePath(QStringLiteral("cd"));
    qputenv("MARVEK_ROOT", prefix.toUtf8());
    platform::Machine machine(prefix);
    machine.ensureLayout();
    QDir().mkpath(cd);
    QFile::link(cd, machine.drivesFolder() + QStringLiteral("/d"));

    // The CD: the sample CD's setup folder, then the generated manuals.
    if (!run(QStringLiteral("cp"),
             {QStringLiteral("-a"), testing::BuildPath("MARVEK_SAMPLE_CD_DIR") + QStringLiteral("/programs"),
              cd})) {
        std::fprintf(stderr, "cannot copy the sample CD's programs folder\n");
        return 1;
    }
    std::mt19937 random(7);
    QStringList archives;
    for (int m = 0; m < htmlManuals; ++m) {
        const QString pubNo = QStringLiteral("BH%1").arg(m, 2, 10, QLatin1Char('0')) + QStringLiteral("0EN");
        const QString folder = cd + QLatin1Char('/') + pubNo;
        const QString archive = folder + QStringLiteral("/install/condense/manual.zip");
        QDir().mkpath(folder + QStringLiteral("/install/condense"));
        QDir().mkpath(folder + QStringLiteral("/install/compare"));
        if (!writeFile(folder + QStringLiteral("/car_info.ci"), carInfo(pubNo)) ||
            !writeManualZip(archive, pubNo, filesPerManual, random))
            return 1;
        archives.append(archive);
    }
    QByteArray pdf(pdfMb * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < pdf.size(); ++i)
        pdf[i] = static_cast<char>(random());
    QStringList pdfFolders;
    for (int m = 0; m < 2; ++m) {
        const QString pubNo = QStringLiteral("BP%1").arg(m, 2, 10, QLatin1Char('0')) + QStringLiteral("0EN");
        const QString folder = cd + QLatin1Char('/') + pubNo;
        if (!writeFile(folder + QStringLiteral("/car_info.ci"), carInfo(pubNo)) ||
            !writeFile(folder + QStringLiteral("/contents/") + pubNo + QStringLiteral(".pdf"), pdf))
            return 1;
        pdfFolders.append(folder);
    }
    pdf.clear();
    pdf.squeeze();

    // The PC: registry, manual-link component and its database, an up-to-date manager.
    const platform::Registry registry(machine);
    registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::ScanluxKey),
                         QStringLiteral("ProgramPath"), QStringLiteral("C:\\Marvek"));
    registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::WindowsVersionKey),
                         QStringLiteral("ProgramFilesDir"), QStringLiteral("C:\\Program Files"));
    registry.writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(setup::ManualLinkKey),
                         QStringLiteral("InstallDir"), QStringLiteral("C:\\ManualLink"));
    const QString link = machine.toHost(QStringLiteral("C:\\ManualLink"));
    QDir().mkpath(link);
    writeFile(link + QStringLiteral("/ManualLink.exe"), "link");
    writeFile(link + QStringLiteral("/Mandex.exe"), "manager");
    QFile::copy(cd + QStringLiteral("/programs/setup/ManualLink_new.mdb"),
                link + QStringLiteral("/ManualLink.mdb"));
    QFile(link + QStringLiteral("/ManualLink.mdb"))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QDir(cd + QStringLiteral("/programs/man_manager")).removeRecursively();
    QDir(cd + QStringLiteral("/programs/manual_link")).removeRecursively();
    QDir(cd + QStringLiteral("/programs/View")).removeRecursively();
    run(QStringLiteral("sync"), {});

    // The engine. MARVEK_BENCH_INDEXING=0: a folder where the search index file goes makes every
    // manual "not indexed" at once, which leaves the engine without the search indexing.
    const bool indexing = qEnvironmentVariable("MARVEK_BENCH_INDEXING") != QLatin1String("0");
    const QString indexFile =
        machine.toHost(search::SearchIndexPath(QStringLiteral("C:\\ManualLink\\ManualLink.mdb")));
    if (!indexing)
        QDir().mkpath(indexFile);
    auto clock = std::make_unique<BenchClock>();
    BenchClock& benchClock = *clock;
    platform::Platform os(machine, std::make_unique<platform::ScriptedUserInterface>(), std::move(clock));
    setup::SetupContext ctx(os);
    BenchView view(ctx);
    QElapsedTimer timer;
    timer.start();
    if (setup::StartSetup(ctx, QStringLiteral("D:\\programs\\setup"), false) !=
        setup::StartOutcome::ShowMenu) {
        std::fprintf(stderr, "start-up failed: %s\n", qPrintable(ctx.ErrorLine1));
        return 1;
    }
    setup::RunFirstActivation(ctx, view);
    setup::EndSetup(ctx, false);
    const double engineS = timer.nsecsElapsed() / 1e9;
    if (!ctx.InstallSucceeded) {
        std::fprintf(stderr, "the run failed: %s / %s\n", qPrintable(ctx.ErrorLine1),
                     qPrintable(ctx.ErrorLine2));
        return 1;
    }
    const long engineKb = maxRssKb() - idleKb;

    // The search indexing alone: the installed manuals indexed again into an empty index.
    if (!ctx.db.Database.IsOpen() && !ctx.db.Database.Pcls_MdbOpen(ctx.DatabasePath)) {
        std::fprintf(stderr, "cannot open the database again\n");
        return 1;
    }
    const std::vector<search::ManualSource> installed = search::ReadInstalledManuals(ctx.db);
    double indexS = 0;
    int notIndexed = 0; // the generated PDF files are no real PDF: setup leaves them not indexed too
    if (indexing) {
        QFile::remove(indexFile);
        search::ManualSearch index(os, ctx.DatabasePath);
        timer.restart();
        for (const search::ManualSource& manual : installed)
            notIndexed += index.indexManual(manual) ? 0 : 1;
        indexS = timer.nsecsElapsed() / 1e9;
    }

    // The baseline on the same archives.
    const QString scratch = dir.filePath(QStringLiteral("scratch"));
    const QString target = dir.filePath(QStringLiteral("target"));
    run(QStringLiteral("sync"), {});
    timer.restart();
    qint64 extractNs = 0;
    for (const QString& archive : archives) {
        QDir(scratch).removeRecursively();
        QDir().mkpath(scratch);
        QElapsedTimer extract;
        extract.start();
        run(QStringLiteral("bsdtar"), {QStringLiteral("-xf"), archive, QStringLiteral("-C"), scratch});
        extractNs += extract.nsecsElapsed();
        QDir().mkpath(target);
        run(QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("cp -a \"$0\"/* \"$1\""), scratch, target});
    }
    for (const QString& folder : pdfFolders)
        run(QStringLiteral("cp"), {QStringLiteral("-a"), folder, target});
    const double baselineS = timer.nsecsElapsed() / 1e9;

    std::printf("manuals: %d HTML x %d files, 2 PDF x %d MiB\n", htmlManuals, filesPerManual, pdfMb);
    if (indexing) {
        std::printf(
            "engine run (survey, extraction, copy, registration, search indexing beside them): %.2f s\n",
            engineS);
        std::printf("  search indexing alone (%zu manuals again, %d of them not indexable): %.2f s\n",
                    installed.size(), notIndexed, indexS);
    } else {
        std::printf("engine run (survey, extraction, copy, registration; search indexing off): %.2f s\n",
                    engineS);
    }
    std::printf("  pending-event runs: %ld, %.3f s; repaints: %ld\n", benchClock.eventRuns,
                benchClock.eventNs / 1e9, view.repaints);
    std::printf("bsdtar -xf + cp -a: %.2f s (bsdtar -xf alone %.2f s)\n", baselineS, extractNs / 1e9);
    std::printf("ratio engine / baseline: %.2f; engine / bsdtar alone: %.2f\n", engineS / baselineS,
                engineS / (extractNs / 1e9));
    std::printf("peak memory above an idle Qt process: %.1f MiB\n", engineKb / 1024.0);
    return 0;
}
