#pragma once

#include "browser/app/CommandRequest.h"
#include "browser/messages/MessageTable.h"
#include "platform/Platform.h"

#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace marvek::browser {

class frmMain;     // browser/window/frmMain.h: one browser window
class frmSubClass; // browser/app/frmSubClass.h: the hand-over receiver of the running instance

// The process-wide state of Pagora, created by Main and alive until the program ends.
//
// For frmMain (the window side), the contract is:
//   - read gstrTitle, gstrErrPage, GFncMsg_Get(code) and os (registry, machine info, files, ui);
//   - NewWindow2: read glngCnt and gfrmBrowser[i] (QPointer, may be null), call
//     GFncWin_Open(QString(), tbrUnVisi, false, pubNo) and take gfrmBrowser[glngCnt - 1];
//   - query-unload (closeEvent): emptySlot(mlngCnt), then GSubWin_EndCheck(this);
//   - turn a url text into the page to load with pageUrl(url);
//   - report a run-time failure with showFailure(description, number, style);
//   - optionally note what it shows with log(...) for tests (see MARVEK_BROWSER_LOG below).
// Windows are created only here (GFncWin_Open and forwarded requests); each is a top-level widget
// with Qt::WA_DeleteOnClose, so the slots never own them. Unloading a window means close() on it.
//
// MARVEK_BROWSER_LOG: when set, names a file to which the program appends one line per event worth
// checking from outside: the process id, then fields separated by TAB: "open" slot url tbrUnVisi hidden
// pubNo, "update" slot url tbrUnVisi unVisi pubNo, "create" slot, "unload" slot, "quit-stale", "end", and the
// lines the window adds (for example "caption" slot text).
class BrowserContext {
public:
    // programFolder: Windows path of the folder of the program (no trailing "\"); PG_MSG.TXT lies there.
    BrowserContext(platform::Platform& platform, QString programFolder);
    ~BrowserContext();
    BrowserContext(const BrowserContext&) = delete;
    BrowserContext& operator=(const BrowserContext&) = delete;

    platform::Platform& os;
    const QString ProgramFolder;

    // The message table (GSubMsg_Load runs in the constructor) and the texts taken from it by Main.
    const MessageTable messages;
    const QString& gstrLang() const { return messages.gstrLang(); }
    QString GFncMsg_Get(const QString& code) const { return messages.GFncMsg_Get(code); }
    QString gstrTitle;   // "WC201": window captions and the title of every message box
    QString gstrErrPage; // "EM101"

    // The slots: slot i holds the i-th window created, or null once it is closed. glngCnt is the
    // number of slots used so far; only slot 0 is ever filled again (by forwarded requests).
    std::vector<QPointer<frmMain>> gfrmBrowser;
    int glngCnt = 0;

    // Splits and checks a command line; shows "EM102" itself and returns nothing when it is bad.
    std::optional<CommandRequest> GFncCmd_Parse(const QString& commandLine);
    // Creates a window in slot glngCnt and shows it (hidden only for the code-search page with unVisi).
    bool GFncWin_Open(const QString& url, bool tbrUnVisi, bool unVisi, bool pubNo);
    // A forwarded request: parse, choose slot 0 (reuse it when visible, else recreate it), update.
    void processForwardedRequest(const QString& commandLine);
    // Called by a window's query-unload (with the window) and once by Main (with null): ends the
    // program when no visible browser window remains.
    void GSubWin_EndCheck(frmMain* window);
    // Visible browser windows other than window; at 0 the hidden leftovers and the hand-over
    // receiver are unloaded.
    int GFncWin_CountOthers(const frmMain* window);
    void emptySlot(int slot);

    // The page to load for a url text: a Windows drive path, a host path, or a URL with a scheme.
    QUrl pageUrl(const QString& url) const;
    // Host path of the file a url text names; empty when it names none (a URL, a missing drive).
    QString hostPathOf(const QString& url) const;
    // Message box with the failure description followed by the number in square brackets,
    // titled gstrTitle.
    void showFailure(const QString& description, int number, int style) const;
    // Appends one line to the MARVEK_BROWSER_LOG file, when that variable is set.
    void log(const QStringList& fields) const;

    // The hand-over receiver; Main loads it once the command line is good.
    void loadSubClass(std::unique_ptr<frmSubClass> receiver);
    frmSubClass* subClass() const { return m_subClass.get(); }

    // Runs once, when GSubWin_EndCheck finds no visible window left; Main makes it quit the event loop.
    std::function<void()> onEnd;
    bool ended() const { return m_ended; }

private:
    frmMain* createWindow();
    // Closes a window (its query-unload runs); quietly: its end check does not end the program.
    void unload(frmMain* window, bool quietly);

    std::vector<QPointer<frmMain>> m_forms;   // the loaded browser windows, in creation order
    std::vector<QPointer<frmMain>> m_created; // every window ever created, for the final clean-up
    std::vector<const frmMain*> m_quietUnloads;
    std::unique_ptr<frmSubClass> m_subClass;
    QString m_logFile;
    bool m_ending = false; // unloading the leftovers, or destroying the context
    bool m_ended = false;
};

} // namespace marvek::browser
