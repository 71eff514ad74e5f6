#include "TestSupport.h"
#include "platform/UserInterface.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace {

// A default button beyond the box's buttons falls back to the first, as Windows does.
TEST(MessageBoxStyle, DefaultButtonBeyondTheButtonsFallsBackToTheFirst) {
    EXPECT_EQ(mb::defaultButton(mb::YesNo | mb::DefaultButton3), mb::IdYes);
    EXPECT_EQ(mb::defaultButton(mb::OKOnly | mb::DefaultButton2), mb::IdOk);
}

TEST(ScriptedUserInterface, AnswersInOrderAndTakesTheDefaultWhenNoneIsLeft) {
    TempMachine machine;
    const QString log = machine.root() + "/ui.log";
    ScriptedUserInterface ui({"6", "folder:D:\\Manuals", "folder:", "1", "2", "folder:X:\\wrong kind"}, log);

    EXPECT_EQ(ui.messageBox("Install?\r\nPath\tC:\\x", mb::YesNo | mb::Question, "Setup"), mb::IdYes);
    EXPECT_EQ(ui.browseForFolder("Folder", "C:\\Start"), QStringLiteral("D:\\Manuals"));
    EXPECT_EQ(ui.browseForFolder("Folder", "C:\\Start"), std::nullopt);
    EXPECT_EQ(ui.browseForFolder("Folder", "C:\\Start"), QStringLiteral("C:\\Start"));
    EXPECT_EQ(ui.browseForFolder("Folder", "C:\\Start"), std::nullopt);
    EXPECT_EQ(ui.messageBox("Wrong kind", mb::OKCancel | mb::DefaultButton2, "T"), mb::IdCancel);
    EXPECT_EQ(ui.messageBox("Left over", mb::YesNoCancel | mb::DefaultButton3, "T"), mb::IdCancel);
    EXPECT_EQ(ui.browseForFolder("Folder", "C:\\Start"), std::nullopt);

    EXPECT_EQ(readHostFile(log), QByteArray("Setup\t36\tInstall?\\r\\nPath\\tC:\\\\x\t6\n"
                                            "Folder\t65\tC:\\\\Start\tD:\\\\Manuals\n"
                                            "Folder\t65\tC:\\\\Start\t\n"
                                            "Folder\t65\tC:\\\\Start\tC:\\\\Start\n"
                                            "Folder\t65\tC:\\\\Start\t\n"
                                            "T\t257\tWrong kind\t2\tdefault\n"
                                            "T\t515\tLeft over\t2\tdefault\n"
                                            "Folder\t65\tC:\\\\Start\t\tdefault\n"));
}

TEST(ScriptedUserInterface, IsChosenByTheEnvironmentAndReadsItsScript) {
    TempMachine machine;
    const QString script = machine.root() + "/answers.txt";
    const QString log = machine.root() + "/ui.log";
    ASSERT_TRUE(writeHostFile(script, "7\r\n\r\n  folder:C:\\Program Files\\Marvek  \n"));

    EXPECT_NE(dynamic_cast<QtUserInterface*>(createUserInterface(machine.machine()).get()), nullptr);
    const auto createWith = [&machine](const char* variable, const QString& file) {
        const ScopedEnvironment env(variable, QFile::encodeName(file));
        return createUserInterface(machine.machine());
    };
    const auto scripted = createWith("MARVEK_UI_SCRIPT", script);
    ASSERT_NE(dynamic_cast<ScriptedUserInterface*>(scripted.get()), nullptr);
    EXPECT_EQ(scripted->messageBox("Q", mb::YesNo, "T"), mb::IdNo);
    EXPECT_EQ(scripted->browseForFolder("F", "C:\\"), QStringLiteral("C:\\Program Files\\Marvek"));

    // A log alone makes every box take its default button.
    const auto logOnly = createWith("MARVEK_UI_LOG", log);
    ASSERT_NE(dynamic_cast<ScriptedUserInterface*>(logOnly.get()), nullptr);
    EXPECT_EQ(logOnly->messageBox("Q", mb::YesNo | mb::DefaultButton2, "T"), mb::IdNo);
    EXPECT_EQ(readHostFile(log), QByteArray("T\t260\tQ\t7\tdefault\n"));
}

// Runs `act` on the first modal dialog of type T that appears while the code under test runs.
template <typename T> void whenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

// Escape as a person presses it: to the widget with the focus, from where it travels up to the box.
void pressEscape(QWidget* box) {
    QWidget* target = box->focusWidget() ? box->focusWidget() : box;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

TEST(QtUserInterface, MessageBoxShowsTheStyleAndAnswersTheClickedButton) {
    TempMachine machine;
    QtUserInterface ui(machine.machine());
    whenShown<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->buttons().size(), 3);
        box->defaultButton()->click();
    });
    EXPECT_EQ(ui.messageBox("Delete?", mb::YesNoCancel | mb::Question | mb::DefaultButton2, "Mandex"),
              mb::IdNo);

    // Escape answers Cancel.
    whenShown<QMessageBox>([](QMessageBox* box) { pressEscape(box); });
    EXPECT_EQ(ui.messageBox("x", mb::OKCancel | mb::Exclamation, "T"), mb::IdCancel);
}

// A box with several buttons and no Cancel has no close button and ignores Escape and a close request:
// only its buttons answer it.
TEST(QtUserInterface, BoxWithoutCancelStaysOpenUntilAButtonAnswers) {
    TempMachine machine;
    QtUserInterface ui(machine.machine());
    const struct {
        int style;
        QMessageBox::StandardButton clicked;
        int answer;
    } cases[] = {
        {mb::YesNo | mb::Exclamation | mb::DefaultButton2, QMessageBox::No, mb::IdNo},
        {mb::YesNo | mb::Question, QMessageBox::Yes, mb::IdYes},
        {mb::AbortRetryIgnore, QMessageBox::Retry, mb::IdRetry},
    };
    for (const auto& c : cases) {
        bool stayedOpen = false;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            EXPECT_FALSE(box->windowFlags().testFlag(Qt::WindowCloseButtonHint));
            pressEscape(box);
            box->close();
            QApplication::processEvents();
            stayedOpen = box->isVisible() && QApplication::activeModalWidget() == box;
            box->button(c.clicked)->click();
        });
        EXPECT_EQ(ui.messageBox("Open the start page?", c.style, "Cdlaunch"), c.answer) << c.style;
        EXPECT_TRUE(stayedOpen) << c.style;
    }
    // A box with a single button still closes with Escape.
    whenShown<QMessageBox>([](QMessageBox* box) { pressEscape(box); });
    EXPECT_EQ(ui.messageBox("Done", mb::OKOnly, "T"), mb::IdOk);
}

} // namespace
