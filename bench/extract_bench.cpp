// The extraction and copy of one HTML manual: SevenZip against bsdtar -xf on the same zip, and CopyTree in
// copy mode against cp -a on the same tree, all in one temporary machine prefix. The manual has 2,000
// pages of 2 to 18 KiB (about 20 MB) in 20 section folders. Besides the times, each benchmark reports the
// time per file (per_file).

#include "platform/Platform.h"
#include "platform/SevenZip.h"
#include "setup/engine/CopyTree.h"
#include "setup/engine/Extractor.h"
#include "shared/Context.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <benchmark/benchmark.h>
#include <memory>
#include <random>

namespace {

using namespace marvek;

constexpr int Sections = 20;
constexpr int PagesPerSection = 100;
constexpr int Files = Sections * PagesPerSection;

const QString ArchivePath = QStringLiteral("C:\\CD\\RM010EN\\install\\condense\\manual.zip");
const QString ScratchFolder = QStringLiteral("C:\\Program Files\\Marvek\\UnZipTemp");
const QString InstallBase = QStringLiteral("C:\\Program Files\\Marvek\\Manuals");

// A page of HTML: markup around sentences drawn from a small vocabulary, so that it compresses about as
// well as a real manual page.
QByteArray page(std::mt19937& random, int section, int number) {
    static const char* const words[] = {"brake",   "caliper", "torque", "bolt",      "remove",
                                        "install", "check",   "hose",   "sensor",    "connector",
                                        "harness", "engine",  "valve",  "clearance", "tolerance",
                                        "replace", "inspect", "the",    "and",       "with"};
    QByteArray html = "<html><head><title>Section " + QByteArray::number(section) + " page " +
                      QByteArray::number(number) + "</title></head><body>\n";
    const int size = 2048 + int(random() % (16 * 1024));
    while (html.size() < size) {
        html += "<p class=\"step\">";
        for (int i = 0; i < 12; ++i) {
            html += words[random() % std::size(words)];
            html += ' ';
        }
        html += QByteArray::number(int(random() % 1000)) + " N&middot;m.</p>\n";
    }
    return html + "</body></html>\n";
}

struct ArchiveWriterFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

bool writeManualZip(const QString& hostPath) {
    std::unique_ptr<archive, ArchiveWriterFree> zip(archive_write_new());
    if (archive_write_set_format_zip(zip.get()) != ARCHIVE_OK ||
        archive_write_open_filename(zip.get(), QFile::encodeName(hostPath).constData()) != ARCHIVE_OK)
        return false;
    std::mt19937 random(7);
    for (int section = 1; section <= Sections; ++section) {
        for (int number = 1; number <= PagesPerSection; ++number) {
            const QByteArray data = page(random, section, number);
            const QByteArray name = QStringLiteral("RM010EN/contents/sec%1/page%2.html")
                                        .arg(section, 2, 10, QChar(u'0'))
                                        .arg(number, 3, 10, QChar(u'0'))
                                        .toUtf8();
            std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
            archive_entry_set_pathname(entry.get(), name.constData());
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), 0644);
            archive_entry_set_mtime(entry.get(), 1700000000, 0);
            archive_entry_set_size(entry.get(), data.size());
            if (archive_write_header(zip.get(), entry.get()) != ARCHIVE_OK ||
                archive_write_data(zip.get(), data.constData(), size_t(data.size())) != data.size())
                return false;
        }
    }
    return archive_write_close(zip.get()) == ARCHIVE_OK;
}

// Lets pending events run at every call, as the installation window does.
class EventPumpObserver : public setup::CopyObserver {
public:
    void folderListed() override { QCoreApplication::processEvents(); }
    void fileCopied(qint32) override { QCoreApplication::processEvents(); }
};

// A prefix with the manual's zip and its tree extracted once (the copy source), shared by every benchmark.
class Fixture {
public:
    Fixture()
        : m_os(platform::Machine(m_dir.path()), std::make_unique<platform::ScriptedUserInterface>(),
               std::make_unique<platform::TestClock>()),
          m_ctx(m_os, QStringLiteral("bench")) {
        m_os.machine().ensureLayout();
        m_os.files().createFolderPath(QStringLiteral("C:\\CD\\RM010EN\\install\\condense"));
        m_ready =
            writeManualZip(host(ArchivePath)) && setup::RunExtractor(m_ctx, ArchivePath, ScratchFolder) == 0;
    }

    bool ready() const { return m_ready; }
    const shared::SharedContext& ctx() const { return m_ctx; }
    QString host(const QString& windowsPath) const { return m_os.machine().toHost(windowsPath); }
    void removeFolder(const QString& windowsPath) const { QDir(host(windowsPath)).removeRecursively(); }

private:
    QTemporaryDir m_dir;
    platform::Platform m_os;
    shared::SharedContext m_ctx;
    bool m_ready = false;
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

const QString Target = QStringLiteral("C:\\Program Files\\Marvek\\Target");

// Runs one timed step per iteration on an emptied target folder; fails the benchmark when it fails.
template <typename Step> void run(benchmark::State& state, Step step) {
    Fixture& f = fixture();
    if (!f.ready()) {
        state.SkipWithError("cannot prepare the manual");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        f.removeFolder(Target);
        state.ResumeTiming();
        if (!step(f)) {
            state.SkipWithError("step failed");
            return;
        }
    }
    // Seconds per file (printed with its SI prefix: "12.3u" is 12.3 microseconds).
    state.counters["per_file"] =
        benchmark::Counter(double(Files) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

bool execute(const QString& program, const QStringList& arguments) {
    return QProcess::execute(program, arguments) == 0;
}

void BM_SevenZip(benchmark::State& state) {
    run(state, [](const Fixture& f) { return setup::RunExtractor(f.ctx(), ArchivePath, Target) == 0; });
}

void BM_bsdtar_xf(benchmark::State& state) {
    run(state, [](const Fixture& f) {
        return QDir().mkpath(f.host(Target)) &&
               execute(QStringLiteral("bsdtar"),
                       {QStringLiteral("-xf"), f.host(ArchivePath), QStringLiteral("-C"), f.host(Target)});
    });
}

void BM_CopyTree(benchmark::State& state) {
    run(state, [](const Fixture& f) {
        return setup::CopyTree(f.ctx(), setup::CopyModeCopy, 0, ScratchFolder, Target) == 0;
    });
}

void BM_CopyTree_eventPump(benchmark::State& state) {
    run(state, [](const Fixture& f) {
        EventPumpObserver observer;
        return setup::CopyTree(f.ctx(), setup::CopyModeCopy, 0, ScratchFolder, Target, &observer) == 0;
    });
}

void BM_CopyTree_count(benchmark::State& state) {
    run(state, [](const Fixture& f) {
        return setup::CopyTree(f.ctx(), setup::CopyModeCount, 0, ScratchFolder, Target) == Files;
    });
}

void BM_cp_a(benchmark::State& state) {
    run(state, [](const Fixture& f) {
        return execute(QStringLiteral("cp"), {QStringLiteral("-a"), f.host(ScratchFolder), f.host(Target)});
    });
}

BENCHMARK(BM_SevenZip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_bsdtar_xf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CopyTree)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CopyTree_eventPump)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_CopyTree_count)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_cp_a)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
