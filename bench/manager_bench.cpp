// The manager on a database of MARVEK_BENCH_MANUALS installed manuals (default 10,000): from process
// start to the filled window (the real Mandex, ended by a screen script once its window shows) against
// sqlite3 printing the same list query and against the floor of any Qt program showing a table, in
// the same run; then, in process, where the time goes and one filter keystroke on the filled window.
// MARVEK_BENCH_KEEP_AT=<folder> keeps a copy of the bench machine there for profiling.

#include "manager/app/ManagerStart.h"
#include "manager/window/frmMmpMain.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/testing/BuildPath.h"
#include "shared/grid/vaSpread.h"
#include "shared/testing/SchemaDatabase.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace marvek;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The fastest run: what the program needs when the machine does nothing else.
double fastest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

double timeProcess(const QString& program, const QStringList& arguments) {
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e6;
}

// A positive count from the environment (runs more rounds for profiling), else the fallback.
int countFromEnvironment(const char* name, int fallback) {
    bool ok = false;
    const int count = qEnvironmentVariableIntValue(name, &ok);
    return ok && count > 0 ? count : fallback;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = countFromEnvironment("MARVEK_BENCH_MANUALS", 10000);

    testing::TempMachine temp;
    const QString folder = temp.host(QStringLiteral("C:\\ManualLink"));
    QDir().mkpath(folder);
    QProcess::execute(
        QStringLiteral("cp"),
        {QStringLiteral("-a"),
         testing::BuildPath("MARVEK_CD_CONTENT") + QStringLiteral("/root/programs/setup/SysDir"), folder});
    QFile::copy(testing::BuildPath("MANDEX_EXE"), folder + QStringLiteral("/Mandex.exe"));
    platform::Registry(temp.machine())
        .writeString(platform::HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Marvek\\Scanlux\\ManualLink"),
                     QStringLiteral("InstallDir"), QStringLiteral("C:\\ManualLink"));
    QByteArray rows = "BEGIN;";
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        rows += "INSERT INTO M_manage VALUES ('RM" + n + "EN', 'Model " + QByteArray::number(i % 40) +
                "', 'M" + QByteArray::number(i % 40) +
                "', '1', '2024', 'K', 'Europe', 'English', '2024/01', "
                "'tech', '2024-04-01 09:30:01', 'C:\\Manuals\\RM" +
                n + "EN', '" + (i % 9 ? "0" : "1") + "', 'memo " + n + "');INSERT INTO M_type VALUES ('RM" +
                n + "EN', '0');";
    }
    for (int i = 0; i < 40; ++i)
        rows += "INSERT INTO M_order VALUES ('M" + QByteArray::number(i) + "', 'Model', " +
                QByteArray::number(i) + ");";
    rows += "COMMIT;";
    if (!testing::MakeDatabase(temp, QStringLiteral("C:\\ManualLink\\ManualLink.mdb"),
                               testing::BuildPath("MARVEK_SCHEMA_SQL"), rows)) {
        std::fprintf(stderr, "cannot make the database\n");
        return 1;
    }

    // For profiling by hand: a copy of the bench machine (run Mandex there with MARVEK_ROOT set to it).
    const QString keepAt = qEnvironmentVariable("MARVEK_BENCH_KEEP_AT");
    if (!keepAt.isEmpty())
        QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), temp.root(), keepAt});

    const QString script = temp.root() + QStringLiteral("/script.txt");
    QFile scriptFile(script);
    scriptFile.open(QIODevice::WriteOnly);
    scriptFile.write("frmMmpMain B_End\n");
    scriptFile.close();
    qputenv("MARVEK_SCREEN_SCRIPT", script.toUtf8());
    const QString query = QStringLiteral("SELECT MM.PUB_NO AS P0,InsPath AS P1,MM.MODEL_DESC AS PA,Year AS "
                                         "PB,Lang AS PC,Adjust_flg AS K0,Pdf_flg,"
                                         "Version AS Ver FROM (M_manage MM LEFT JOIN M_type MT ON MM.PUB_NO "
                                         "= MT.PUB_NO) LEFT JOIN M_order MO ON "
                                         "MM.MODEL_ID = MO.MODEL_ID ORDER BY OrderNo,Year,MM.PUB_NO");
    const int rounds = countFromEnvironment("MARVEK_BENCH_ROUNDS", 21);
    std::vector<double> mandex;
    std::vector<double> sqlite;
    std::vector<double> floor;
    for (int round = 0; round < rounds; ++round) {
        mandex.push_back(timeProcess(folder + QStringLiteral("/Mandex.exe"), {}));
        sqlite.push_back(
            timeProcess(QStringLiteral("sqlite3"), {folder + QStringLiteral("/ManualLink.mdb"), query}));
        floor.push_back(timeProcess(testing::BuildPath("MINIMAL_TABLE_EXE"), {}));
    }
    qunsetenv("MARVEK_SCREEN_SCRIPT");

    // One keystroke in the filter box of a filled window.
    platform::Platform os(temp.machine(), std::make_unique<platform::ScriptedUserInterface>(),
                          std::make_unique<platform::TestClock>());
    manager::ManagerContext ctx(os);
    if (manager::StartManager(ctx, QStringLiteral("C:\\ManualLink"), false) !=
        manager::ManagerStartOutcome::ShowWindow)
        return 1;
    const int listRounds = countFromEnvironment("MARVEK_BENCH_LIST_ROUNDS", 5);
    std::vector<double> listMs;
    QElapsedTimer timer;
    for (int round = 0; round < listRounds; ++round) {
        timer.start();
        if (!manager::LoadManagerList(ctx))
            return 1;
        listMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    timer.start();
    manager::frmMmpMain window(ctx, {});
    const double constructMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    window.show();
    QCoreApplication::processEvents();
    const double showMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    window.T_Filter()->setText(QStringLiteral("9"));
    QCoreApplication::processEvents();
    const double keystrokeMs = timer.nsecsElapsed() / 1e6;
    window.T_Filter()->clear();
    QCoreApplication::processEvents();
    timer.restart();
    window.grid()->view()->horizontalHeader()->sectionClicked(2);
    QCoreApplication::processEvents();
    const double sortMs = timer.nsecsElapsed() / 1e6;

    std::printf("manuals: %d\n", count);
    std::printf("median of %d runs (fastest run):\n", rounds);
    std::printf("Mandex, process start to filled window and end: %.0f ms (%.0f ms)\n", median(mandex),
                fastest(mandex));
    std::printf("sqlite3 printing the list query:                %.0f ms (%.0f ms)\n", median(sqlite),
                fastest(sqlite));
    std::printf("floor, a Qt program showing an empty table:     %.0f ms (%.0f ms)\n", median(floor),
                fastest(floor));
    std::printf("ratio to sqlite3: %.2f (%.2f)\n", median(mandex) / median(sqlite),
                fastest(mandex) / fastest(sqlite));
    std::printf("ratio to the floor: %.2f (%.2f)\n", median(mandex) / median(floor),
                fastest(mandex) / fastest(floor));
    std::printf(
        "in process: list read %.1f ms (median of %d), window built and filled %.1f ms, shown %.1f ms; "
        "one filter keystroke %.1f ms; sorting by the model column %.1f ms\n",
        median(listMs), listRounds, constructMs, showMs, keystrokeMs, sortMs);
    return 0;
}
