// CopyFileReplacing against cp(1) on one large file, both within the same temporary machine prefix.
// The file size in MiB comes from MARVEK_BENCH_COPY_MB (default 256).

#include "platform/Platform.h"
#include "shared/Context.h"
#include "shared/helpers/FileHelpers.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <random>

namespace {

using namespace marvek;

const QString SourcePath = QStringLiteral("C:\\CD\\manual.zip");
const QString TargetPath = QStringLiteral("C:\\Link\\UnZipTemp\\manual.zip");

qint64 fileBytes() {
    bool ok = false;
    const qint64 mb = qEnvironmentVariableIntValue("MARVEK_BENCH_COPY_MB", &ok);
    return (ok && mb > 0 ? mb : 256) * 1024 * 1024;
}

// A prefix with one source file of incompressible data, shared by every benchmark.
class CopyFixture {
public:
    CopyFixture()
        : m_os(platform::Machine(m_dir.path()), std::make_unique<platform::ScriptedUserInterface>(),
               std::make_unique<platform::TestClock>()),
          m_ctx(m_os, QStringLiteral("bench")) {
        m_os.machine().ensureLayout();
        m_os.files().createFolderPath(QStringLiteral("C:\\CD"));
        m_os.files().createFolderPath(QStringLiteral("C:\\Link\\UnZipTemp"));
        QFile file(host(SourcePath));
        if (!file.open(QIODevice::WriteOnly))
            return;
        std::mt19937_64 random(42);
        QByteArray chunk(1024 * 1024, Qt::Uninitialized);
        for (qint64 written = 0; written < fileBytes(); written += chunk.size()) {
            auto* words = reinterpret_cast<quint64*>(chunk.data());
            for (qsizetype i = 0; i < chunk.size() / 8; ++i)
                words[i] = random();
            file.write(chunk);
        }
        m_ready = file.flush();
    }

    bool ready() const { return m_ready; }
    const shared::SharedContext& ctx() const { return m_ctx; }
    QString host(const QString& windowsPath) const { return m_os.machine().toHost(windowsPath); }

private:
    QTemporaryDir m_dir;
    platform::Platform m_os;
    shared::SharedContext m_ctx;
    bool m_ready = false;
};

CopyFixture& fixture() {
    static CopyFixture instance;
    return instance;
}

void BM_CopyFileReplacing(benchmark::State& state) {
    CopyFixture& f = fixture();
    if (!f.ready()) {
        state.SkipWithError("cannot write the source file");
        return;
    }
    for (auto _ : state) {
        if (!shared::CopyFileReplacing(f.ctx(), SourcePath, TargetPath)) {
            state.SkipWithError("copy failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * fileBytes());
}

void BM_cp(benchmark::State& state) {
    CopyFixture& f = fixture();
    if (!f.ready()) {
        state.SkipWithError("cannot write the source file");
        return;
    }
    const QStringList arguments = {QStringLiteral("-f"), f.host(SourcePath), f.host(TargetPath)};
    for (auto _ : state) {
        if (QProcess::execute(QStringLiteral("cp"), arguments) != 0) {
            state.SkipWithError("cp failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * fileBytes());
}

// cp onto a target that does not exist (removed outside the timing), as CopyFileReplacing writes a new file.
void BM_cp_newTarget(benchmark::State& state) {
    CopyFixture& f = fixture();
    if (!f.ready()) {
        state.SkipWithError("cannot write the source file");
        return;
    }
    const QStringList arguments = {f.host(SourcePath), f.host(TargetPath)};
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(f.host(TargetPath));
        state.ResumeTiming();
        if (QProcess::execute(QStringLiteral("cp"), arguments) != 0) {
            state.SkipWithError("cp failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * fileBytes());
}

BENCHMARK(BM_CopyFileReplacing)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_cp)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_cp_newTarget)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
