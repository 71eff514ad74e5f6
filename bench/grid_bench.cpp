// Filling a clsSpread grid row by row as the result screen and the manager window do: inside a
// listing, one SpdMaxRowsChg and one SpdItemRowSet of 8 values per row, then the first paint of the
// form. Rows come from MARVEK_BENCH_GRID_ROWS (default 10000). Runs offscreen.

#include "shared/grid/clsSpread.h"
#include "shared/grid/vaSpread.h"

#include <QApplication>
#include <QPixmap>
#include <QVariantList>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using namespace marvek::shared;

int rowCount() {
    bool ok = false;
    const int rows = qEnvironmentVariableIntValue("MARVEK_BENCH_GRID_ROWS", &ok);
    return ok && rows > 0 ? rows : 10000;
}

// One manual row of the manager's list: Pub_No, folder, model, year, language, Pub_No, version, PDF flag.
QVariantList manualRow(int row) {
    const QString pubNo = QStringLiteral("SM%1").arg(row, 6, 10, QLatin1Char('0'));
    return {pubNo,
            QStringLiteral("C:\\Manuals\\") + pubNo,
            QStringLiteral("Model %1").arg(row % 97),
            QString::number(1990 + row % 35),
            QStringLiteral("EN"),
            pubNo,
            QStringLiteral("1.%1").arg(row % 10),
            QStringLiteral("0")};
}

// A form with one 8-column grid, shown, registered and cleared as the screens do on load.
struct GridForm {
    GridForm() : form(std::make_unique<QWidget>()), spread(new vaSpread(form.get())) {
        spread->setMaxCols(8);
        spread->resize(900, 600);
        form->resize(900, 600);
        form->show();
        grid = spd.SpdIni(spread);
        spd.SpdClear(grid, 0, -1, -1, -1, -1);
        const char* titles[] = {"PubNo", "InsPath", "Model", "Year", "Lang", "PubNo", "Ver", "Pdf_flg"};
        for (int col = 1; col <= 8; ++col)
            spread->SetText(col, 0, QString::fromLatin1(titles[col - 1]));
    }

    std::unique_ptr<QWidget> form;
    vaSpread* spread; // child of form
    clsSpread spd;
    qint16 grid = 0;
};

void fill(GridForm& f, int rows) {
    for (int row = 1; row <= rows; ++row) {
        f.spd.SpdMaxRowsChg(f.grid, row);
        f.spd.SpdItemRowSet(f.grid, row, row % 5 == 0 ? QStringLiteral("1") : QStringLiteral("0"),
                            manualRow(row));
    }
}

void BM_FillInListing(benchmark::State& state) {
    const int rows = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto f = std::make_unique<GridForm>();
        state.ResumeTiming();
        f->spd.SplListingStart(f->form.get());
        fill(*f, rows);
        f->spd.SplListingEnd(f->form.get());
        benchmark::DoNotOptimize(f->form->grab()); // the first paint
        state.PauseTiming();
        if (f->spread->MaxRows() != rows)
            state.SkipWithError("row count wrong");
        f.reset();
        state.ResumeTiming();
    }
    state.counters["rows/s"] =
        benchmark::Counter(double(rows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

// The same fill with painting left on: every row reaches the view on its own.
void BM_FillPaintingOn(benchmark::State& state) {
    const int rows = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto f = std::make_unique<GridForm>();
        state.ResumeTiming();
        fill(*f, rows);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(f->form->grab());
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BENCHMARK(BM_FillInListing)->Arg(rowCount())->Unit(benchmark::kMillisecond)->UseRealTime();
    BENCHMARK(BM_FillPaintingOn)->Arg(rowCount())->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
