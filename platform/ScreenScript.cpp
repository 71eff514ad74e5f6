#include "platform/ScreenScript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace marvek::platform {

namespace {

const QString CloseControl = QStringLiteral("close");

bool isForm(const QObject* object) {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget != nullptr && widget->isWindow() && widget->objectName().startsWith(QLatin1String("frm"));
}

// The shown form of that name; the most recently created one when several are.
QWidget* visibleForm(const QString& name) {
    QWidget* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->objectName() == name)
            found = widget;
    }
    return found;
}

} // namespace

ParsedScreenScript parseScreenScript(const QString& text) {
    ParsedScreenScript parsed;
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        static const QRegularExpression textAction(QStringLiteral("^(\\S+)\\s+(\\S+)\\s+=(?:\\s+(.*))?$"));
        if (const QRegularExpressionMatch match = textAction.match(line); match.hasMatch()) {
            parsed.actions.append({match.captured(1), match.captured(2), false, match.captured(3).trimmed()});
            continue;
        }
        const QStringList words = line.split(blanks, Qt::SkipEmptyParts);
        const bool standing = words.size() == 3 && words.at(2) == QLatin1String("*");
        if (words.size() != 2 && !standing) {
            parsed.actions.clear();
            parsed.lineError = static_cast<int>(i + 1);
            return parsed;
        }
        parsed.actions.append({words.at(0), words.at(1), standing, std::nullopt});
    }
    return parsed;
}

ScreenScript::ScreenScript(QList<ScreenAction> actions, QString screenshotDir, QString logFile)
    : m_screenshotDir(std::move(screenshotDir)), m_logFile(std::move(logFile)) {
    for (ScreenAction& action : actions)
        (action.standing ? m_standing : m_actions).append(std::move(action));
    if (!m_screenshotDir.isEmpty())
        QDir().mkpath(m_screenshotDir);
    qApp->installEventFilter(this);
}

ScreenScript::~ScreenScript() {
    if (qApp != nullptr)
        qApp->removeEventFilter(this);
}

std::unique_ptr<ScreenScript> ScreenScript::fromEnvironment() {
    const QString scriptFile = qEnvironmentVariable("MARVEK_SCREEN_SCRIPT");
    const QString screenshotDir = qEnvironmentVariable("MARVEK_SCREENSHOT_DIR");
    const QString logFile = qEnvironmentVariable("MARVEK_SCREEN_LOG");
    if (scriptFile.isEmpty() && screenshotDir.isEmpty() && logFile.isEmpty())
        return nullptr;
    QList<ScreenAction> actions;
    if (!scriptFile.isEmpty()) {
        QFile file(scriptFile);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "screen script: cannot read \"%s\"\n", qPrintable(scriptFile));
        } else {
            const ParsedScreenScript parsed = parseScreenScript(QString::fromUtf8(file.read(1 << 20)));
            if (parsed.lineError != 0)
                std::fprintf(stderr,
                             "screen script: line %d of \"%s\" is not \"<form> <control> [*]\" or \"<form> "
                             "<control> = "
                             "<text>\"\n",
                             parsed.lineError, qPrintable(scriptFile));
            actions = parsed.actions;
        }
    }
    return std::make_unique<ScreenScript>(std::move(actions), screenshotDir, logFile);
}

bool ScreenScript::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && !event->spontaneous() && isForm(watched) &&
        !QCoreApplication::closingDown()) {
        auto* form = static_cast<QWidget*>(watched);
        if (type == QEvent::Show)
            formShown(form);
        else
            formHidden(form);
    }
    return QObject::eventFilter(watched, event);
}

ScreenScript::Showing& ScreenScript::showing(QWidget* form) {
    for (Showing& s : m_showings) {
        if (s.form == form)
            return s;
    }
    m_showings.append({form, false, 0});
    return m_showings.last();
}

void ScreenScript::forget(QWidget* form) {
    m_showings.removeIf([form](const Showing& s) { return s.form.isNull() || s.form == form; });
}

void ScreenScript::formShown(QWidget* form) {
    forget(form);
    showing(form);
    log({QStringLiteral("shown"), form->objectName()});
    shoot(form);
    schedule();
}

void ScreenScript::formHidden(QWidget* form) {
    const bool acted = showing(form).acted;
    forget(form);
    if (!acted)
        shoot(form);
}

void ScreenScript::schedule() {
    if (m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, &ScreenScript::runNext);
}

void ScreenScript::runNext() {
    m_scheduled = false;
    if (!m_actions.isEmpty()) {
        if (QWidget* form = visibleForm(m_actions.first().form)) {
            const ScreenAction action = m_actions.takeFirst();
            perform(form, action);
            return;
        }
    }
    for (QWidget* form : QApplication::topLevelWidgets()) {
        if (!form->isVisible() || !isForm(form))
            continue;
        Showing& current = showing(form);
        int seen = 0;
        for (const ScreenAction& action : std::as_const(m_standing)) {
            if (action.form != form->objectName())
                continue;
            if (seen++ == current.standingDone) {
                ++current.standingDone;
                perform(form, action);
                return;
            }
        }
    }
}

void ScreenScript::perform(QWidget* form, const ScreenAction& action) {
    QPointer<QWidget> guard(form);
    showing(form).acted = true;
    if (action.text) {
        auto* field = form->findChild<QLineEdit*>(action.control);
        if (field == nullptr || !field->isEnabled()) {
            log({QStringLiteral("missing"), action.form, action.control});
            std::fprintf(stderr, "screen script: %s has no enabled field %s\n", qPrintable(action.form),
                         qPrintable(action.control));
        } else {
            log({QStringLiteral("text"), action.form, action.control, *action.text});
            field->setText(*action.text);
        }
    } else if (action.control == CloseControl) {
        log({QStringLiteral("click"), action.form, action.control});
        form->close();
    } else {
        auto* button = form->findChild<QAbstractButton*>(action.control);
        if (button == nullptr || !button->isEnabled()) {
            log({QStringLiteral("missing"), action.form, action.control});
            std::fprintf(stderr, "screen script: %s has no enabled button %s\n", qPrintable(action.form),
                         qPrintable(action.control));
        } else {
            log({QStringLiteral("click"), action.form, action.control});
            button->click();
        }
    }
    if (guard && guard->isVisible())
        shoot(guard);
    schedule();
}

void ScreenScript::shoot(QWidget* form) {
    if (m_screenshotDir.isEmpty())
        return;
    ++m_shots;
    const QString file = QStringLiteral("%1/%2-%3.png")
                             .arg(m_screenshotDir)
                             .arg(m_shots, 2, 10, QLatin1Char('0'))
                             .arg(form->objectName());
    if (form->grab().save(file))
        log({QStringLiteral("shot"), file});
}

void ScreenScript::log(const QStringList& fields) const {
    if (m_logFile.isEmpty())
        return;
    QFile file(m_logFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(fields.join(QLatin1Char('\t')).toUtf8() + '\n');
}

} // namespace marvek::platform
