#pragma once

#include "Machine.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

namespace marvek::platform {

// Message-box style values and button codes, as the original programs pass and compare them.
namespace mb {
inline constexpr int OKOnly = 0;
inline constexpr int OKCancel = 1;
inline constexpr int AbortRetryIgnore = 2;
inline constexpr int YesNoCancel = 3;
inline constexpr int YesNo = 4;
inline constexpr int RetryCancel = 5;
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
inline constexpr int DefaultButton2 = 256;
inline constexpr int DefaultButton3 = 512;

inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;
inline constexpr int IdAbort = 3;
inline constexpr int IdRetry = 4;
inline constexpr int IdIgnore = 5;
inline constexpr int IdYes = 6;
inline constexpr int IdNo = 7;

// The button a box of this style answers with when nobody chooses (its default button).
int defaultButton(int style);
} // namespace mb

// Every message box and folder dialog of the suite goes through this seam.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // Shows text under title with the buttons and icon of style; returns the button code.
    virtual int messageBox(const QString& text, int style, const QString& title) = 0;
    // The folder picker (file-system folders only, new dialog style); initialFolder pre-selected.
    // Returns the chosen folder as a Windows path, or empty when the user cancels.
    virtual std::optional<QString> browseForFolder(const QString& title, const QString& initialFolder) = 0;
    // The window boxes and dialogs are modal to (may be null).
    virtual void setOwner(QWidget* owner) { (void)owner; }
};

// Real dialogs (QMessageBox, QFileDialog); paths cross the prefix mapping (the machine is copied).
// The box shows the text as plain text with the buttons of the style in Windows order, its icon and its
// default button; Escape or closing the box answers Cancel where the box has one, OK on an OK-only box
// (Windows lets no other box close; here Escape answers No on a Yes/No box, Abort on Abort/Retry/Ignore).
// The folder dialog opens at the initial folder (or its nearest existing parent, else drive C:), shows
// folders only, and answers the chosen host folder as a Windows path.
class QtUserInterface : public UserInterface {
public:
    explicit QtUserInterface(const Machine& machine);
    int messageBox(const QString& text, int style, const QString& title) override;
    std::optional<QString> browseForFolder(const QString& title, const QString& initialFolder) override;
    void setOwner(QWidget* owner) override { m_owner = owner; }

private:
    Machine m_machine;
    QPointer<QWidget> m_owner;
};

// One question the scripted interface was asked.
struct AskedQuestion {
    enum class Kind { MessageBox, Folder };
    Kind kind = Kind::MessageBox;
    QString title;
    int style = 0;          // the folder dialog records 0x41
    QString text;           // the box text, or the dialog's initial folder
    QString answer;         // the button code or the folder ("" when cancelled)
    bool defaulted = false; // no fitting scripted answer was left: the default was taken
};

// Answers from a list, records every question, and optionally appends each to a log file (UTF-8), one
// line: title TAB style TAB text TAB answer [TAB "default"]; "\" , TAB, CR and LF in the fields are
// written as \\ \t \r \n. Answers are button codes ("6") or folders ("folder:D:\Manuals", "folder:" =
// cancel); the folder dialog also takes "1" (OK: the initial folder) and "2" (cancel). The dialog is
// logged with style 65 (0x41) and its initial folder as text. A question with no answer left, or with an
// answer of the other kind, takes the box's default button (the dialog: cancel) and is logged so.
// Each process reads the script for itself: programs started by a scripted program begin at its top.
class ScriptedUserInterface : public UserInterface {
public:
    explicit ScriptedUserInterface(QStringList answers = {}, QString logFile = {});
    int messageBox(const QString& text, int style, const QString& title) override;
    std::optional<QString> browseForFolder(const QString& title, const QString& initialFolder) override;

    void addAnswer(const QString& answer) { m_answers.append(answer); }
    // Keeps each box open this long, running the event loop as a modal box does while the user reads.
    void setBoxOpenMs(int ms) { m_boxOpenMs = ms; }
    const std::vector<AskedQuestion>& asked() const { return m_asked; }

    // Reads the answers from a file (one per line, blank lines ignored).
    static std::unique_ptr<ScriptedUserInterface> fromFiles(const QString& scriptFile,
                                                            const QString& logFile);

private:
    std::optional<QString> nextAnswer();
    void record(AskedQuestion question);

    QStringList m_answers;
    QString m_logFile;
    int m_boxOpenMs = 0;
    std::vector<AskedQuestion> m_asked;
};

// The scripted interface when MARVEK_UI_SCRIPT or MARVEK_UI_LOG is set (log only: every box takes
// its default button), else the Qt one. MARVEK_UI_BOX_MS keeps each scripted box open that long.
std::unique_ptr<UserInterface> createUserInterface(const Machine& machine);

} // namespace marvek::platform
