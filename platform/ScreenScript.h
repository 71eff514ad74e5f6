#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QWidget;

namespace marvek::platform {

// One line of a screen script: click a control of a form (or close the form), or put a text into a field.
struct ScreenAction {
    QString form;          // the form's object name ("frmStartUp")
    QString control;       // a button's object name ("O_Value(1)", "B_OK"), or "close" for the close box;
                           // with a text, a line edit's ("T_Search")
    bool standing = false; // "*": done at every showing of the form, never used up
    std::optional<QString> text; // "= <text>": the field's new text (the rest of the line, trimmed)

    friend bool operator==(const ScreenAction&, const ScreenAction&) = default;
};

// Reads a screen script: one action a line, "<form> <control>" with an optional third word "*", or
// "<form> <control> = <text>"; blank lines and lines starting with "#" are skipped. A line of another shape
// is an error (its number in lineError, counted from 1).
struct ParsedScreenScript {
    QList<ScreenAction> actions;
    int lineError = 0;
};
ParsedScreenScript parseScreenScript(const QString& text);

// Drives the program's forms from a script and photographs them, for demonstrations and tests without
// a person at the screen. A form is a top-level widget whose object name starts with "frm".
//
// The ordered actions run one after another: the first one waits until its form is shown, is done on
// the next turn of the event loop (so the form's own show handling has finished) through the control's
// click(), and the next one follows. An action whose form is hidden by an earlier action waits for the
// next showing, so "frmDirectorySelect B_OK" twice answers two folder screens. A text action sets the
// text of the form's line edit of that name as a program does (setText: no key is typed). A standing action
// ("frmDirectorySelect B_OK *") answers every showing of its form while the ordered head waits for
// another form. Without a fitting action a form waits for the person at the screen.
//
// With a screenshot folder every form is saved as "<nn>-<form>.png" (nn counting from 01 in the
// process) when it is shown, after each action while it is still shown, and when it is hidden after a
// showing without scripted actions (its final state). With a log file each event is appended as a line:
// "shown<TAB>form", "click<TAB>form<TAB>control", "missing<TAB>form<TAB>control", "shot<TAB>file".
class ScreenScript : public QObject {
    Q_OBJECT

public:
    ScreenScript(QList<ScreenAction> actions, QString screenshotDir, QString logFile);
    ~ScreenScript() override;

    // From MARVEK_SCREEN_SCRIPT (the script file), MARVEK_SCREENSHOT_DIR and MARVEK_SCREEN_LOG; none
    // when none is set. A script that cannot be read or parsed is reported on stderr and not run.
    // The object watches the application's widgets for its life.
    static std::unique_ptr<ScreenScript> fromEnvironment();

    // Ordered actions not yet done.
    int pendingActions() const { return static_cast<int>(m_actions.size()); }
    int screenshotsTaken() const { return m_shots; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void formShown(QWidget* form);
    void formHidden(QWidget* form);
    void schedule();
    void runNext();
    void perform(QWidget* form, const ScreenAction& action);
    void shoot(QWidget* form);
    void log(const QStringList& fields) const;

    // What happened to one form in its current showing.
    struct Showing {
        QPointer<QWidget> form;
        bool acted = false;   // a scripted action was done on it
        int standingDone = 0; // standing actions of its name done
    };
    Showing& showing(QWidget* form);
    void forget(QWidget* form);

    QList<ScreenAction> m_actions;  // ordered, front first
    QList<ScreenAction> m_standing; // in script order
    QList<Showing> m_showings;
    QString m_screenshotDir;
    QString m_logFile;
    int m_shots = 0;
    bool m_scheduled = false;
};

} // namespace marvek::platform
