#include "platform/UserInterface.h"

#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace marvek::platform {

namespace {

// The buttons of a style, in the order Windows shows them.
std::vector<int> buttonsOf(int style) {
    switch (style & 0xF) {
    case mb::OKCancel:
        return {mb::IdOk, mb::IdCancel};
    case mb::AbortRetryIgnore:
        return {mb::IdAbort, mb::IdRetry, mb::IdIgnore};
    case mb::YesNoCancel:
        return {mb::IdYes, mb::IdNo, mb::IdCancel};
    case mb::YesNo:
        return {mb::IdYes, mb::IdNo};
    case mb::RetryCancel:
        return {mb::IdRetry, mb::IdCancel};
    default:
        return {mb::IdOk};
    }
}

bool contains(const std::vector<int>& buttons, int id) {
    return std::find(buttons.cbegin(), buttons.cend(), id) != buttons.cend();
}

// The answer of a box that was closed without a button: Cancel where there is one, else the only button,
// else the default.
int closedAnswer(int style) {
    const std::vector<int> buttons = buttonsOf(style);
    if (contains(buttons, mb::IdCancel))
        return mb::IdCancel;
    return buttons.size() == 1 ? buttons.front() : mb::defaultButton(style);
}

// A box with several buttons and no Cancel (Yes/No, Abort/Retry/Ignore) can only be answered by a
// button, as on Windows: it has no close button and ignores Escape.
bool answeredOnlyByButtons(int style) {
    const std::vector<int> buttons = buttonsOf(style);
    return buttons.size() > 1 && !contains(buttons, mb::IdCancel);
}

// Keeps a box open against Escape and the window system's close request.
class IgnoreCloseAndEscape : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel))
            return true;
        return QObject::eventFilter(watched, event);
    }
};

QMessageBox::StandardButton standardButton(int id) {
    switch (id) {
    case mb::IdCancel:
        return QMessageBox::Cancel;
    case mb::IdAbort:
        return QMessageBox::Abort;
    case mb::IdRetry:
        return QMessageBox::Retry;
    case mb::IdIgnore:
        return QMessageBox::Ignore;
    case mb::IdYes:
        return QMessageBox::Yes;
    case mb::IdNo:
        return QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
    case mb::Critical:
        return QMessageBox::Critical;
    case mb::Question:
        return QMessageBox::Question;
    case mb::Exclamation:
        return QMessageBox::Warning;
    case mb::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The host folder a folder dialog opens at: the initial folder or its nearest existing parent.
QString existingFolder(const Machine& machine, const QString& windowsFolder) {
    QString folder = windowsFolder.isEmpty() ? QString() : machine.toHost(windowsFolder);
    while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).path();
        folder = parent == folder ? QString() : parent;
    }
    return folder.isEmpty() ? machine.driveFolder(u'C') : folder;
}

QString escapeField(QString field) {
    field.replace(u'\\', QLatin1String("\\\\"));
    field.replace(u'\t', QLatin1String("\\t"));
    field.replace(u'\r', QLatin1String("\\r"));
    field.replace(u'\n', QLatin1String("\\n"));
    return field;
}

} // namespace

int mb::defaultButton(int style) {
    const std::vector<int> buttons = buttonsOf(style);
    const std::size_t index = (style & DefaultButton3) != 0 ? 2 : (style & DefaultButton2) != 0 ? 1 : 0;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

QtUserInterface::QtUserInterface(const Machine& machine) : m_machine(machine) {
}

int QtUserInterface::messageBox(const QString& text, int style, const QString& title) {
    IgnoreCloseAndEscape onlyButtons; // outlives the box it filters
    QMessageBox box(m_owner);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(iconOf(style));
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    for (const int id : buttonsOf(style))
        buttons.emplace_back(box.addButton(standardButton(id)), id);
    const auto buttonFor = [&buttons](int id) {
        const auto found =
            std::find_if(buttons.cbegin(), buttons.cend(), [id](const auto& b) { return b.second == id; });
        return found == buttons.cend() ? nullptr : found->first;
    };
    box.setDefaultButton(qobject_cast<QPushButton*>(buttonFor(mb::defaultButton(style))));
    if (answeredOnlyByButtons(style)) {
        box.setWindowFlags((box.windowFlags() | Qt::CustomizeWindowHint) &
                           ~(Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
        box.installEventFilter(&onlyButtons);
    } else {
        box.setEscapeButton(buttonFor(closedAnswer(style)));
    }
    box.exec();
    const auto clicked = std::find_if(buttons.cbegin(), buttons.cend(),
                                      [&box](const auto& b) { return b.first == box.clickedButton(); });
    return clicked == buttons.cend() ? closedAnswer(style) : clicked->second;
}

std::optional<QString> QtUserInterface::browseForFolder(const QString& title, const QString& initialFolder) {
    QFileDialog dialog(m_owner, title, existingFolder(m_machine, initialFolder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = m_machine.toWindows(dialog.selectedFiles().constFirst());
    return chosen.isEmpty() ? std::nullopt : std::optional<QString>(chosen);
}

ScriptedUserInterface::ScriptedUserInterface(QStringList answers, QString logFile)
    : m_answers(std::move(answers)), m_logFile(std::move(logFile)) {
}

std::optional<QString> ScriptedUserInterface::nextAnswer() {
    if (m_answers.isEmpty())
        return std::nullopt;
    return m_answers.takeFirst();
}

int ScriptedUserInterface::messageBox(const QString& text, int style, const QString& title) {
    AskedQuestion question{AskedQuestion::Kind::MessageBox, title, style, text, {}, false};
    const std::optional<QString> answer = nextAnswer();
    bool isCode = false;
    int code = answer ? answer->toInt(&isCode) : 0;
    if (!isCode) {
        code = mb::defaultButton(style);
        question.defaulted = true;
    }
    question.answer = QString::number(code);
    record(std::move(question));
    if (m_boxOpenMs > 0) {
        QEventLoop loop;
        QTimer::singleShot(m_boxOpenMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return code;
}

std::optional<QString> ScriptedUserInterface::browseForFolder(const QString& title,
                                                              const QString& initialFolder) {
    AskedQuestion question{AskedQuestion::Kind::Folder, title, 0x41, initialFolder, {}, false};
    const std::optional<QString> answer = nextAnswer();
    std::optional<QString> chosen;
    if (answer && answer->startsWith(QLatin1String("folder:"))) {
        const QString folder = answer->mid(7);
        if (!folder.isEmpty())
            chosen = folder;
    } else if (answer && *answer == QString::number(mb::IdOk)) {
        if (!initialFolder.isEmpty())
            chosen = initialFolder;
    } else if (!answer || *answer != QString::number(mb::IdCancel)) {
        question.defaulted = true;
    }
    question.answer = chosen.value_or(QString());
    record(std::move(question));
    return chosen;
}

void ScriptedUserInterface::record(AskedQuestion question) {
    if (!m_logFile.isEmpty()) {
        QStringList fields{escapeField(question.title), QString::number(question.style),
                           escapeField(question.text), escapeField(question.answer)};
        if (question.defaulted)
            fields.append(QStringLiteral("default"));
        QFile log(m_logFile);
        if (log.open(QIODevice::WriteOnly | QIODevice::Append))
            log.write((fields.join(u'\t') + u'\n').toUtf8());
        else
            qWarning("Cannot append to the dialog log %s", qPrintable(m_logFile));
    }
    m_asked.push_back(std::move(question));
}

std::unique_ptr<ScriptedUserInterface> ScriptedUserInterface::fromFiles(const QString& scriptFile,
                                                                        const QString& logFile) {
    QStringList answers;
    if (!scriptFile.isEmpty()) {
        QFile script(scriptFile);
        if (script.open(QIODevice::ReadOnly)) {
            const QStringList lines = QString::fromUtf8(script.readAll()).split(u'\n');
            for (const QString& line : lines) {
                if (const QString answer = line.trimmed(); !answer.isEmpty())
                    answers.append(answer);
            }
        } else {
            qWarning("Cannot read the dialog script %s; every question takes its default",
                     qPrintable(scriptFile));
        }
    }
    return std::make_unique<ScriptedUserInterface>(std::move(answers), logFile);
}

std::unique_ptr<UserInterface> createUserInterface(const Machine& machine) {
    const QString script = qEnvironmentVariable("MARVEK_UI_SCRIPT");
    const QString log = qEnvironmentVariable("MARVEK_UI_LOG");
    if (!script.isEmpty() || !log.isEmpty()) {
        std::unique_ptr<ScriptedUserInterface> scripted = ScriptedUserInterface::fromFiles(script, log);
        scripted->setBoxOpenMs(qEnvironmentVariableIntValue("MARVEK_UI_BOX_MS"));
        return scripted;
    }
    return std::make_unique<QtUserInterface>(machine);
}

} // namespace marvek::platform
