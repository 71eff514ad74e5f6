// The search index on generated manuals (MARVEK_BENCH_MANUALS manuals of MARVEK_BENCH_PAGES HTML pages,
// default 20 x 2,000 pages of about 10 KB, English ones in UTF-8 and Japanese ones in Shift_JIS):
// - indexing with the suite's indexer (reading, decoding and extracting the pages, the suite's
//   tokenizer) against the sqlite3 shell importing the same already-extracted text into an FTS5 table
//   with the standard unicode61 tokenizer;
// - the indexer's peak memory (VmHWM) above an idle process of the same program;
// - one to three words searched in process over the index: hits, ranking and snippets of the first 50.
// - the manager's search panel over the last round's index: from the words put into its field to the
//   hits painted (the pause after typing left out).
// Each round runs the indexer and the queries in a child process of its own (MARVEK_BENCH_ROUNDS, 5);
// the figures are the medians. MARVEK_BENCH_DIR keeps the generated manuals there (made when missing).

#include "manager/app/ManagerContext.h"
#include "manager/window/SearchPanel.h"
#include "platform/Machine.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"
#include "platform/testing/BuildPath.h"
#include "shared/search/HtmlText.h"
#include "shared/search/ManualPages.h"
#include "shared/search/ManualSearch.h"
#include "shared/search/SearchIndex.h"
#include "shared/testing/SchemaDatabase.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <vector>

using namespace marvek;

namespace {

constexpr int JapaneseCodePage = 932;

int envInt(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    if (values.empty())
        return 0;
    const auto at = size_t(fraction * double(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

// Peak resident memory of this process in KB.
qint64 peakKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// ---- Generated manuals ----

const std::array EnglishTerms = {
    "brake",       "fluid",        "bleeding",   "caliper",    "pad",        "rotor",      "master",
    "cylinder",    "hose",         "line",       "pressure",   "pedal",      "engine",     "coolant",
    "radiator",    "thermostat",   "pump",       "water",      "oil",        "filter",     "drain",
    "plug",        "torque",       "bolt",       "nut",        "washer",     "gasket",     "seal",
    "replace",     "remove",       "install",    "inspect",    "check",      "adjust",     "tighten",
    "loosen",      "sensor",       "connector",  "harness",    "wire",       "voltage",    "resistance",
    "circuit",     "ground",       "relay",      "fuse",       "battery",    "ignition",   "switch",
    "starter",     "alternator",   "belt",       "tension",    "pulley",     "injector",   "fuel",
    "tank",        "valve",        "timing",     "chain",      "camshaft",   "crankshaft", "piston",
    "transaxle",   "clutch",       "gear",       "shift",      "axle",       "wheel",      "tire",
    "hub",         "bearing",      "suspension", "spring",     "absorber",   "steering",   "rack",
    "airbag",      "module",       "diagnostic", "trouble",    "procedure",  "warning",    "caution",
    "hybrid",      "inverter",     "converter",  "motor",      "generator",  "cooling",    "system",
    "clearance",   "measurement",  "limit",      "standard",   "tool",       "assembly",   "component",
    "location",    "diagram",      "bleeds",     "bled",       "braking",    "leaks",      "leaking",
    "replacement", "installation", "removal",    "inspection", "adjustment", "tightening", "specified"};
const std::array EnglishGlue = {"the", "a",    "to",   "and",  "of",     "with",  "for",   "in",   "on",
                                "is",  "be",   "that", "when", "if",     "not",   "from",  "by",   "as",
                                "it",  "this", "then", "each", "before", "after", "until", "using"};
const std::array JapaneseTerms = {
    u"冷却水",   u"交換",     u"点検",       u"取り付け", u"取り外し",   u"ブレーキ",     u"フルード",
    u"エア抜き", u"パッド",   u"エンジン",   u"オイル",   u"フィルター", u"ラジエーター", u"サーモスタット",
    u"締め付け", u"トルク",   u"ボルト",     u"ナット",   u"警告",       u"注意",         u"手順",
    u"確認",     u"調整",     u"電圧",       u"抵抗",     u"回路",       u"配線",         u"コネクター",
    u"センサー", u"ハーネス", u"バッテリー", u"点火",     u"燃料",       u"ポンプ",       u"故障",
    u"診断",     u"部品",     u"位置",       u"規定値",   u"測定",       u"作業",         u"車両",
    u"前輪",     u"後輪",     u"油圧",       u"漏れ",     u"異音",       u"冷却",         u"系統",
    u"配管",     u"ホース",   u"キャリパー", u"ディスク", u"ガスケット", u"シール"};
const std::array JapaneseGlue = {u"の", u"を", u"に",   u"は",   u"が",
                                 u"で", u"と", u"から", u"まで", u"および"};
const std::array JapaneseEnds = {u"します。", u"してください。", u"すること。", u"を確認する。", u"です。"};

// Draws an index with a long tail: low indexes are much more frequent (word frequencies of a text).
size_t skewed(std::mt19937& random, size_t count) {
    const double u = std::uniform_real_distribution<double>(0, 1)(random);
    return std::min(count - 1, size_t(double(count) * u * u * u));
}

class PageWriter {
public:
    explicit PageWriter(quint32 seed) : m_random(seed) {
        // A vocabulary of made-up words besides the manuals' terms, as real pages hold many rare words.
        static const std::array syllables = {"ka",  "ro", "ten", "mi", "sul", "ve",  "tra", "on",  "pel",
                                             "dis", "ar", "qu",  "ex", "bo",  "lin", "ze",  "mor", "fa"};
        for (int i = 0; i < 6000; ++i) {
            std::string word;
            const int parts = 2 + int(m_random() % 3);
            for (int p = 0; p < parts; ++p)
                word += syllables[m_random() % syllables.size()];
            m_rare.push_back(word);
        }
        for (int i = 0; i < 600; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "P%c%03X", "0123"[m_random() % 4], unsigned(m_random() % 4096));
            m_codes.push_back(code);
        }
    }

    const std::vector<std::string>& codes() const { return m_codes; }
    const std::vector<std::string>& rare() const { return m_rare; }

    // Pages come in sections of 50 about one subject: most of a page's terms are its section's.
    void startPage(int page) { m_topic = size_t(page / 50); }

    QByteArray english(const QString& manual, int page) {
        startPage(page);
        QByteArray html;
        html.reserve(12 * 1024);
        const QByteArray title =
            (englishWord(true) + " " + englishWord(true) + " - " + englishWord(true)).c_str();
        head(html, "utf-8", title + " (" + QByteArray::number(page) + ")");
        html += "<body><table class=\"nav\"><tr><td><a href=\"../index.html\">" + manual.toUtf8() +
                "</a></td><td><a href=\"p" + QByteArray::number(page + 1) +
                ".html\">Next&nbsp;&gt;</a></td></tr></table>\n<h1>" + title + "</h1>\n";
        while (html.size() < 10400) {
            switch (m_random() % 6) {
            case 0:
                html += "<h2>" + QByteArray(englishWord(true).c_str()) + " " + englishWord(true).c_str() +
                        "</h2>\n";
                break;
            case 1: {
                html += "<ul>";
                for (int i = 0; i < 3; ++i)
                    html += "<li>" + englishSentence() + "</li>";
                html += "</ul>\n";
                break;
            }
            case 2: {
                html += "<table class=\"spec\" border=\"1\"><tr><th>Item</th><th>Specified value</th></tr>";
                for (int i = 0; i < 3; ++i)
                    html += "<tr><td>" + QByteArray(englishWord(true).c_str()) + "</td><td>" +
                            QByteArray::number(10 + m_random() % 90) + "&nbsp;N&middot;m (" +
                            QByteArray::number(m_random() % 900) + "&#176;C)</td></tr>";
                html += "</table>\n";
                break;
            }
            default:
                html += "<p class=\"step\">" + englishSentence() + " " + englishSentence() + "</p>\n";
                break;
            }
        }
        html += "<div class=\"foot\">&copy; 2024 Workshop manual &amp; parts</div></body></html>\n";
        return html;
    }

    QByteArray japanese(const QString& manual, int page) {
        startPage(page);
        QString body;
        const QString title = japaneseTerm() + japaneseTerm() + QStringLiteral("（%1）").arg(page);
        body += QStringLiteral("<body><table class=\"nav\"><tr><td><a href=\"../index.html\">") + manual +
                QStringLiteral("</a></td><td><a href=\"p%1.html\">次へ&nbsp;&gt;</a></td></tr></table>\n<h1>")
                    .arg(page + 1) +
                title + QStringLiteral("</h1>\n");
        // Two bytes a character in Shift_JIS.
        while (body.size() * 2 < 9800) {
            if (m_random() % 5 == 0) {
                body += QStringLiteral(
                    "<table class=\"spec\" border=\"1\"><tr><th>項目</th><th>規定値</th></tr>");
                body +=
                    QStringLiteral("<tr><td>") + japaneseSentence() +
                    QStringLiteral("</td><td>%1&nbsp;N&middot;m</td></tr></table>\n").arg(m_random() % 90);
            } else {
                body += QStringLiteral("<p>") + japaneseSentence() + japaneseSentence() + japaneseSentence() +
                        QStringLiteral("</p>\n");
            }
        }
        body += QStringLiteral("<div class=\"foot\">&copy; 2024 修理書</div></body></html>\n");
        QByteArray html;
        head(html, "Shift_JIS", platform::encodeCodePage(title, JapaneseCodePage));
        html += platform::encodeCodePage(body, JapaneseCodePage);
        return html;
    }

private:
    static void head(QByteArray& html, const QByteArray& charset, const QByteArray& title) {
        html += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html><head>\n"
                "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" +
                charset + "\">\n<title>" + title +
                "</title>\n<link rel=\"stylesheet\" href=\"../css/manual.css\">\n"
                "<style>td { padding: 2px 6px } .step { margin-left: 1em } h1 { font-size: 140% }</style>\n"
                "<script type=\"text/javascript\">function openFig(n){ var w = window.open('fig' + n + "
                "'.html', 'fig', 'width=640,height=480'); if (w && w.focus) { w.focus(); } return false; }"
                "</script>\n</head>\n";
    }

    // A term of the page's section, now and then any other.
    template <typename Terms> auto topical(const Terms& terms) {
        constexpr size_t group = 8;
        if (m_random() % 4 == 0)
            return terms[skewed(m_random, terms.size())];
        const size_t first = (m_topic * 5 * group) % (terms.size() - group);
        return terms[first + skewed(m_random, group)];
    }

    QString japaneseTerm() { return QString::fromUtf16(topical(JapaneseTerms)); }

    std::string englishWord(bool term) {
        const unsigned roll = m_random() % 10;
        if (term || roll < 3)
            return topical(EnglishTerms);
        if (roll < 8)
            return EnglishGlue[skewed(m_random, EnglishGlue.size())];
        if (roll < 9)
            return m_codes[skewed(m_random, m_codes.size())];
        return m_rare[skewed(m_random, m_rare.size())];
    }

    QByteArray englishSentence() {
        QByteArray sentence;
        const int words = 8 + int(m_random() % 14);
        for (int i = 0; i < words; ++i) {
            std::string word = englishWord(false);
            if (i == 0)
                word[0] = char(std::toupper(static_cast<unsigned char>(word[0])));
            if (i > 0)
                sentence += m_random() % 12 == 0 ? ", " : " ";
            if (m_random() % 40 == 0)
                sentence += "<b>" + QByteArray(word.c_str()) + "</b>";
            else if (m_random() % 60 == 0)
                sentence += "<a href=\"#\" onclick=\"return openFig(" + QByteArray::number(m_random() % 99) +
                            ")\">" + QByteArray(word.c_str()) + "</a>";
            else
                sentence += word.c_str();
        }
        return sentence + ".";
    }

    QString japaneseSentence() {
        QString sentence;
        const int parts = 3 + int(m_random() % 5);
        for (int i = 0; i < parts; ++i) {
            if (m_random() % 9 == 0)
                sentence += QString::fromStdString(m_codes[skewed(m_random, m_codes.size())]);
            else
                sentence += japaneseTerm();
            sentence += QString::fromUtf16(JapaneseGlue[m_random() % JapaneseGlue.size()]);
        }
        return sentence + QString::fromUtf16(JapaneseEnds[m_random() % JapaneseEnds.size()]);
    }

    std::mt19937 m_random;
    size_t m_topic = 0;
    std::vector<std::string> m_rare;
    std::vector<std::string> m_codes;
};

QString pubNo(int manual) {
    return QStringLiteral("RM%1%2").arg(manual, 3, 10, QLatin1Char('0')).arg(manual % 2 ? "JA" : "EN");
}

search::ManualSource manualAt(const platform::Machine& machine, const QString& root, int manual) {
    search::ManualSource source;
    source.Pub_No = pubNo(manual);
    source.Model_desc = QStringLiteral("Model %1").arg(manual);
    source.Version = QStringLiteral("1");
    source.InsPath = machine.toWindows(root + QLatin1Char('/') + source.Pub_No);
    source.InsDate = QStringLiteral("2024-04-01 09:30:00");
    return source;
}

bool writeFile(const QString& file, const QByteArray& bytes) {
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

// The manuals, and beside them the extracted text as CSV for the sqlite3 shell.
bool generate(const QString& root, int manuals, int pages) {
    const QString done = root + QStringLiteral("/generated");
    const QByteArray shape = QByteArray::number(manuals) + 'x' + QByteArray::number(pages);
    QFile mark(done);
    if (mark.open(QIODevice::ReadOnly) && mark.readAll() == shape)
        return true;
    mark.close();
    QFile csv(root + QStringLiteral("/extracted.csv"));
    if (!csv.open(QIODevice::WriteOnly))
        return false;
    const auto quoted = [](QString text) {
        return '"' + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")).toUtf8() + '"';
    };
    PageWriter writer(20240401);
    qint64 bytes = 0;
    for (int manual = 0; manual < manuals; ++manual) {
        const QString folder = root + QLatin1Char('/') + pubNo(manual) + QStringLiteral("/contents");
        QDir().mkpath(folder);
        for (int page = 0; page < pages; ++page) {
            const QString name = QStringLiteral("p%1.html").arg(page, 5, 10, QLatin1Char('0'));
            const QByteArray html =
                manual % 2 ? writer.japanese(pubNo(manual), page) : writer.english(pubNo(manual), page);
            if (!writeFile(folder + QLatin1Char('/') + name, html))
                return false;
            bytes += html.size();
            const search::HtmlText text = search::ExtractHtmlText(html, 1252);
            csv.write(quoted(text.title) + ',' + quoted(text.text) + ',' + pubNo(manual).toUtf8() +
                      ",contents\\" + name.toUtf8() + ",\n");
        }
    }
    std::printf("generated %d manuals x %d pages, %.0f MB of HTML (average %.1f KB a page)\n", manuals, pages,
                double(bytes) / 1e6, double(bytes) / 1024.0 / manuals / pages);
    return csv.flush() && writeFile(done, shape);
}

// The queries a technician types: one to three words, English, Japanese, codes; half of them still
// being typed (the last word a prefix too).
struct Query {
    QString words;
    bool typing = false;
};

std::vector<Query> makeQueries(int count) {
    PageWriter vocabulary(20240401);
    std::mt19937 random(7);
    std::vector<Query> queries;
    for (int i = 0; i < count; ++i) {
        const int words = 1 + i % 3;
        QStringList parts;
        for (int w = 0; w < words; ++w) {
            switch (random() % 5) {
            case 0:
            case 1:
                parts << QString::fromLatin1(EnglishTerms[random() % EnglishTerms.size()]);
                break;
            case 2:
                parts << QString::fromUtf16(JapaneseTerms[random() % JapaneseTerms.size()]);
                break;
            case 3:
                parts << QString::fromStdString(vocabulary.codes()[random() % vocabulary.codes().size()]);
                break;
            default:
                parts << QString::fromStdString(vocabulary.rare()[random() % 400]);
                break;
            }
        }
        Query query{parts.join(QLatin1Char(' ')), i % 2 == 1};
        if (query.typing && query.words.size() > 3)
            query.words.chop(1 + int(random() % 2)); // a word not yet finished
        queries.push_back(query);
    }
    return queries;
}

// ---- The child processes ----

int runIdle() {
    std::printf("%lld\n", peakKb());
    return 0;
}

int runQueries(const QString& indexFile);

int runIndex(const QString& root, const QString& indexFile, int manuals) {
    const platform::Machine machine(QDir::rootPath());
    QElapsedTimer timer;
    timer.start();
    search::SearchIndex index(indexFile);
    if (index.open() == search::SearchIndex::OpenResult::Failed)
        return 1;
    for (int manual = 0; manual < manuals; ++manual) {
        const search::ManualSource source = manualAt(machine, root, manual);
        const bool indexed = index.indexManual(source, [&](const search::PageSink& sink) {
            return search::ReadManualPages(machine, source, 1252, sink);
        });
        if (!indexed) {
            std::fprintf(stderr, "cannot index %s\n", qPrintable(source.Pub_No));
            return 1;
        }
    }
    index.close();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 peak = peakKb();
    std::printf("%.3f %lld ", seconds, peak);
    return runQueries(indexFile);
}

int runQueries(const QString& indexFile) {
    // The queries on the index as a program opens it.
    QElapsedTimer timer;
    search::SearchIndex reader(indexFile);
    if (reader.open() != search::SearchIndex::OpenResult::Opened)
        return 1;
    std::vector<double> times;
    qint64 hits = 0;
    // MARVEK_BENCH_QUERY: one query, 20 times, for profiling it.
    const QString only = qEnvironmentVariable("MARVEK_BENCH_QUERY");
    const std::vector<Query> queries =
        only.isEmpty() ? makeQueries(300) : std::vector<Query>(20, Query{only});
    for (const Query& query : queries) {
        timer.restart();
        const auto found = reader.search(search::BuildMatchExpression(query.words, query.typing), 50);
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (!found)
            return 1;
        if (qEnvironmentVariableIsSet("MARVEK_BENCH_SHOW_SLOW") && times.back() > 20)
            std::fprintf(stderr, "%.1f ms, %zu hits: %s%s\n", times.back(), found->size(),
                         qPrintable(query.words), query.typing ? " (typing)" : "");
        hits += qint64(found->size());
    }
    std::printf("%.3f %.3f %.3f %lld\n", percentile(times, 0.5), percentile(times, 0.95),
                percentile(times, 1.0), hits);
    return 0;
}

// The manager's panel on a database of the generated manuals, the index copied beside it: the time from
// the words put into the field (as a screen script or the end of the pause does) to the hits painted.
int runManager(const QString& root, const QString& indexFile, int manuals) {
    const testing::TempMachine temp;
    const QString database = QStringLiteral("C:\\ManualLink\\ManualLink.mdb");
    const platform::Machine machine(QDir::rootPath());
    QByteArray rows = "BEGIN;";
    for (int manual = 0; manual < manuals; ++manual) {
        const search::ManualSource source = manualAt(machine, root, manual);
        rows += "INSERT INTO M_manage (Pub_No, Model_desc, Version, InsDate, InsPath) VALUES ('" +
                source.Pub_No.toUtf8() + "', '" + source.Model_desc.toUtf8() + "', '" +
                source.Version.toUtf8() + "', '" + source.InsDate.toUtf8() + "', '" +
                source.InsPath.toUtf8() + "');INSERT INTO M_type VALUES ('" + source.Pub_No.toUtf8() +
                "', '0');";
    }
    if (!testing::MakeDatabase(temp, database, testing::BuildPath("MARVEK_SCHEMA_SQL"), rows + "COMMIT;") ||
        !QFile::copy(indexFile, temp.host(search::SearchIndexPath(database)))) {
        std::fprintf(stderr, "cannot make the database or copy the index\n");
        return 1;
    }
    platform::Platform os(machine, std::make_unique<platform::ScriptedUserInterface>(),
                          std::make_unique<platform::RealClock>());
    manager::ManagerContext ctx(os);
    ctx.DatabasePath = machine.toWindows(temp.host(database));
    if (!ctx.db.Database.Pcls_MdbOpen(ctx.DatabasePath))
        return 1;
    manager::SearchPanel panel(ctx);
    panel.resize(420, 700);
    panel.QWidget::show();
    std::vector<double> times;
    qint64 hits = 0;
    QElapsedTimer timer;
    for (const Query& query : makeQueries(300)) {
        timer.restart();
        panel.T_Search()->setText(query.words);
        QCoreApplication::processEvents(); // the layout the new hits ask for, as the event loop does it
        panel.repaint();
        times.push_back(timer.nsecsElapsed() / 1e6);
        hits += panel.L_Hits()->count();
        panel.T_Search()->clear();
        QCoreApplication::processEvents();
    }
    std::printf("%.3f %.3f %.3f %lld\n", percentile(times, 0.5), percentile(times, 0.95),
                percentile(times, 1.0), hits);
    return 0;
}

QByteArray runChild(const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    return child.readAllStandardOutput().trimmed();
}

double timeSqliteShell(const QString& root, const QString& database) {
    QFile::remove(database);
    const QString script =
        QStringLiteral("CREATE VIRTUAL TABLE pages USING fts5(title, body, pub_no UNINDEXED, path UNINDEXED,"
                       " pdf_page UNINDEXED, tokenize='unicode61 remove_diacritics 2');\n"
                       ".import --csv %1/extracted.csv pages\n")
            .arg(root);
    QElapsedTimer timer;
    timer.start();
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {database});
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const QByteArray errors = shell.readAllStandardError();
    if (shell.exitCode() != 0 || !errors.isEmpty()) {
        std::fprintf(stderr, "sqlite3: %s\n", errors.constData());
        return -1;
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 3 && QByteArray(argv[1]) == "--manager") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        const QApplication app(argc, argv);
        return runManager(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                          envInt("MARVEK_BENCH_MANUALS", 20));
    }
    const QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int manuals = envInt("MARVEK_BENCH_MANUALS", 20);
    const int pages = envInt("MARVEK_BENCH_PAGES", 2000);
    if (arguments.value(1) == QLatin1String("--idle"))
        return runIdle();
    if (arguments.value(1) == QLatin1String("--query")) // for profiling: the queries alone
        return runQueries(arguments.value(2));
    if (arguments.value(1) == QLatin1String("--index"))
        return runIndex(arguments.value(2), arguments.value(3), manuals);

    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/search_bench-XXXXXX"));
    QString root = qEnvironmentVariable("MARVEK_BENCH_DIR");
    if (root.isEmpty())
        root = temporary.path();
    QDir().mkpath(root);
    root = QDir(root).canonicalPath();
    if (!generate(root, manuals, pages)) {
        std::fprintf(stderr, "cannot write the manuals under %s\n", qPrintable(root));
        return 1;
    }

    const int rounds = envInt("MARVEK_BENCH_ROUNDS", 5);
    const QString indexFile = root + QStringLiteral("/ManualSearch.idx");
    const QString shellFile = root + QStringLiteral("/unicode61.db");
    std::vector<double> suite, shell, ratio, memory, p50, p95, worst;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(indexFile);
        const qint64 idle = runChild({QStringLiteral("--idle")}).toLongLong();
        const QList<QByteArray> figures = runChild({QStringLiteral("--index"), root, indexFile}).split(' ');
        const double sqlite = timeSqliteShell(root, shellFile);
        if (figures.size() != 6 || sqlite <= 0) {
            std::fprintf(stderr, "round %d failed\n", round + 1);
            return 1;
        }
        suite.push_back(figures[0].toDouble());
        shell.push_back(sqlite);
        ratio.push_back(suite.back() / sqlite);
        memory.push_back(double(figures[1].toLongLong() - idle) / 1024.0);
        p50.push_back(figures[2].toDouble());
        p95.push_back(figures[3].toDouble());
        worst.push_back(figures[4].toDouble());
        std::printf("round %d: suite %.1f s, sqlite3 %.1f s, ratio %.2f; peak %.1f MB above idle (%.1f MB); "
                    "query p50 %.2f ms, p95 %.2f ms, max %.2f ms (%lld hits)\n",
                    round + 1, suite.back(), sqlite, ratio.back(), memory.back(), double(idle) / 1024.0,
                    p50.back(), p95.back(), worst.back(), figures[5].toLongLong());
        std::fflush(stdout);
    }
    std::printf("\nmedians of %d rounds, %d manuals x %d pages:\n", rounds, manuals, pages);
    std::printf(
        "indexing: suite %.1f s, sqlite3 shell with unicode61 %.1f s, ratio %.2f (goal at most 1.5)\n",
        median(suite), median(shell), median(ratio));
    std::printf("peak memory above an idle process: %.1f MB (goal under 100 MB)\n", median(memory));
    std::printf("query of 1-3 words, first 50 with snippets: p50 %.2f ms, p95 %.2f ms (goal under 20 ms), "
                "max %.2f ms\n",
                median(p50), median(p95), median(worst));
    const QList<QByteArray> manager = runChild({QStringLiteral("--manager"), root, indexFile}).split(' ');
    if (manager.size() != 4) {
        std::fprintf(stderr, "the manager's search failed\n");
        return 1;
    }
    std::printf(
        "the manager, words to hits painted: p50 %.2f ms, p95 %.2f ms (goal under 100 ms), max %.2f ms\n",
        manager[0].toDouble(), manager[1].toDouble(), manager[2].toDouble());
    return 0;
}
