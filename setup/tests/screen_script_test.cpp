// The screen script: its file format, the order in which it answers forms, standing actions, and the
// screenshots and log it leaves.
#include "ScreensFixture.h"
#include "platform/ScreenScript.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace marvek;
using namespace marvek::testing;

namespace {

using platform::ScreenAction;

TEST(ScreenScriptFormat, Lines) {
    struct Case {
        const char* text;
        QList<ScreenAction> actions;
        int lineError;
    };
    const QString a = QStringLiteral("frmA");
    const QString b = QStringLiteral("B_OK");
    const Case cases[] = {
        {"frmA B_OK\n", {{a, b, false}}, 0},
        {"# comment\r\n\r\n  frmA\tB_OK  \r\nfrmA  B_OK  *\n", {{a, b, false}, {a, b, true}}, 0},
        {"frmStartUp O_Value(1)", {{QStringLiteral("frmStartUp"), QStringLiteral("O_Value(1)"), false}}, 0},
        {"", {}, 0},
        {"frmA B_OK\nfrmA\n", {}, 2},
        {"frmA B_OK now\n", {}, 1},
        {"frmA B_OK * *\n", {}, 1},
    };
    for (const Case& c : cases) {
        const platform::ParsedScreenScript parsed = platform::parseScreenScript(QString::fromUtf8(c.text));
        EXPECT_EQ(parsed.actions, c.actions) << c.text;
        EXPECT_EQ(parsed.lineError, c.lineError) << c.text;
    }
}

// A form with a button that counts and one that hides the form.
class TestForm : public QWidget {
public:
    explicit TestForm(const char* name) {
        setObjectName(QLatin1String(name));
        auto* count = new QPushButton(QStringLiteral("count"), this);
        count->setObjectName(QStringLiteral("B_COUNT"));
        connect(count, &QPushButton::clicked, this, [this] { ++counted; });
        auto* hide = new QPushButton(QStringLiteral("hide"), this);
        hide->setObjectName(QStringLiteral("B_HIDE"));
        hide->move(0, 40);
        connect(hide, &QPushButton::clicked, this, &QWidget::hide);
        resize(120, 80);
    }
    int counted = 0;
};

TEST(ScreenScriptRun, OrderStandingActionsShotsAndLog) {
    QTemporaryDir dir;
    const QString shots = dir.path() + QStringLiteral("/shots");
    const QString logFile = dir.path() + QStringLiteral("/screen.log");
    const platform::ParsedScreenScript parsed = platform::parseScreenScript(
        QStringLiteral("frmA B_COUNT\nfrmA B_HIDE\nfrmB B_NONE\nfrmB B_HIDE\nfrmA B_HIDE\nfrmC B_COUNT *\n"));
    platform::ScreenScript script(parsed.actions, shots, logFile);
    TestForm formA("frmA"), formB("frmB"), formC("frmC"), notAForm("other");

    // frmB first: the script's head waits for frmA.
    formB.show();
    notAForm.show();
    QTest::qWait(20);
    EXPECT_TRUE(formB.isVisible());
    EXPECT_EQ(script.pendingActions(), 5);
    // frmA: counted, hidden; then frmB (already shown): the missing button is logged, then hidden.
    formA.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !formB.isVisible(); }, 5000));
    EXPECT_EQ(formA.counted, 1);
    EXPECT_FALSE(formA.isVisible());
    // The second showing of frmA takes the next frmA line.
    formA.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !formA.isVisible(); }, 5000));
    EXPECT_EQ(script.pendingActions(), 0);
    // The standing action answers each showing once.
    for (int showing = 1; showing <= 2; ++showing) {
        formC.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return formC.counted == showing; }, 5000));
        QTest::qWait(20);
        EXPECT_EQ(formC.counted, showing);
        formC.hide();
    }

    QFile log(logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList events;
    for (const QString& line :
         QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1String("shot")))
            events.append(line);
    }
    EXPECT_EQ(events, (QStringList{"shown\tfrmB", "shown\tfrmA", "click\tfrmA\tB_COUNT",
                                   "click\tfrmA\tB_HIDE", "missing\tfrmB\tB_NONE", "click\tfrmB\tB_HIDE",
                                   "shown\tfrmA", "click\tfrmA\tB_HIDE", "shown\tfrmC",
                                   "click\tfrmC\tB_COUNT", "shown\tfrmC", "click\tfrmC\tB_COUNT"}));
    // Shots: each showing, after each action that left the form shown, and at hiding after a showing
    // without actions (none here: every showing was acted on).
    const QStringList files = QDir(shots).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"01-frmB.png", "02-frmA.png", "03-frmA.png", "04-frmB.png", "05-frmA.png",
                                  "06-frmC.png", "07-frmC.png", "08-frmC.png", "09-frmC.png"}));
    EXPECT_EQ(script.screenshotsTaken(), files.size());
    EXPECT_FALSE(QImage(shots + QStringLiteral("/01-frmB.png")).isNull());
}

} // namespace
