#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

class QLabel;
class QMenu;
class QPrinter;
class QToolBar;
class QToolButton;
class QStatusBar;
class QWebEngineView;
class QWebEnginePage;

namespace marvek::browser {

class BrowserContext; // browser/app/BrowserContext.h: the process-wide state of the browser
class BookmarkMenu;
class BrowserPage;
class FindBar;
class SearchDock;

// The browser window: the page control wbrMain, the toolbar tbrBar above it and the status bar stsBar
// below it. Each window lives in one slot of the context (gfrmBrowser[mlngCnt]).
//
// Ownership: a window is a top-level widget with Qt::WA_DeleteOnClose set; it deletes itself when it
// is closed (unloaded). The slots hold non-owning QPointer<frmMain>. Closing a window (by the user,
// by a page's window.close() or by close() from the start-up side) runs its query-unload: it empties
// its slot (when the slot still holds it) and then calls GSubWin_EndCheck(this) on the context.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit frmMain(BrowserContext& context, QWidget* parent = nullptr);
    ~frmMain() override;

    // First show of a new window: stores the fields, runs the load event (first navigation, toolbar
    // set-up, tag) and shows the window unless pbolUnVisi.
    void GSubMain_Show(int plngCnt, const QString& pstrURL, bool pbolTBRUnVisi, bool pbolUnVisi,
                       bool pbolPubNo);
    // Reuse for a forwarded request: stores the fields (not the slot), hides the window (state normal)
    // when pbolUnVisi, else shows it, then navigates to pstrURL. The toolbar's visibility is unchanged.
    void GSubMain_Update(const QString& pstrURL, bool pbolTBRUnVisi, bool pbolUnVisi, bool pbolPubNo);
    // The publication number: the "D=" line of marvek.ci in the manual-link folder, or empty. A file
    // that is there but cannot be read is reported in a message box ("EM101" and the failure).
    QString GFncPub_Read() const;

    // The window's tag: its slot number as decimal text (set by the load event).
    QString tag() const { return m_tag; }
    int slot() const { return mlngCnt; }

    // The page control; its page is what a new-window request is handed.
    QWebEngineView* wbrMain() const { return m_wbrMain; }
    QWebEnginePage* page() const;

    // For tests and diagnostics.
    QToolBar* tbrBar() const { return m_tbrBar; }
    QStatusBar* stsBar() const { return m_stsBar; }
    QToolButton* button(const QString& key) const;
    QString statusPanelText(const QString& key) const; // panel "title" or "pubno"
    BookmarkMenu& bookmarks() const { return *m_bookmarks; }
    FindBar& findBar() const { return *m_findBar; }
    SearchDock& searchDock() const { return *m_searchDock; }
    bool toolbarHidden() const;
    bool pubNoShown() const { return mbolPubNo; }
    QString currentUrl() const { return mstrURL; }
    // The page area's requested size in twips, and whether a request waits for the next navigation.
    bool sizeRequestPending() const { return mbolSizeReq; }

    // Adds a bookmark for the page shown (as "add" in the bookmark menu does); the result arrives
    // later, after the page's frames were searched.
    void addBookmarkForCurrentPage();

Q_SIGNALS:
    // The caption was set from a completed document.
    void captionUpdated(const QString& caption);
    // A bookmark was added (after the page's frames were searched).
    void bookmarkAdded(int number);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; }

private:
    friend class BrowserPage;

    // Events of the window, the toolbar and the page control.
    void Form_Load();
    void Form_Resize();
    void Form_QueryUnload();
    void PSubTbr_Init();
    void tbrBar_ButtonClick(const QString& key);
    void wbrMain_StatusTextChange(const QString& text);
    void wbrMain_CommandStateChange();
    void wbrMain_BeforeNavigate2(const QUrl& url, bool isMainFrame);
    QWebEnginePage* wbrMain_NewWindow2();
    void wbrMain_DocumentComplete();
    void wbrMain_NavigateError();
    void wbrMain_WindowSetGeometry(const QRect& geometry);
    void wbrMain_WindowClosing();

    void navigate(const QString& url);
    void openSearchHit(const QString& page);
    void applySizeRequest();
    // Reads the current document's title for the caption once it is parsed (serial: the navigation).
    void askCaption(quint64 serial, int attempt);
    void applyCaption(const QString& documentTitle);
    void printPage();
    void showVersionBox();
    void setupShortcuts();
    void zoom(int step);
    bool alive() const { return !m_unloading; }

    BrowserContext& m_context;

    // Fields of the window, reset when it is created.
    QString mstrURL;
    bool mbolTBRUnVisi = false;
    bool mbolPubNo = false;
    int mlngCnt = 0;
    bool mbolSizeReq = false;
    int mlngReqHeight = 0; // twips
    int mlngReqWidth = 0;  // twips
    QString mstrPubNo;
    QString m_tag;

    quint64 m_navigationSerial = 0; // a script result older than the current document is dropped
    bool m_loaded = false;          // the load event has run
    bool m_unloaded = false;        // query-unload has run
    bool m_unloading = false;       // the window is going away: late script results are dropped

    QWebEngineView* m_wbrMain = nullptr;
    BrowserPage* m_page = nullptr;
    QToolBar* m_tbrBar = nullptr;
    QStatusBar* m_stsBar = nullptr;
    QLabel* m_panelTitle = nullptr;
    QLabel* m_panelPubNo = nullptr;
    FindBar* m_findBar = nullptr;
    SearchDock* m_searchDock = nullptr;
    BookmarkMenu* m_bookmarks = nullptr;
    std::unique_ptr<QPrinter> m_printer; // kept until the page has printed
};

} // namespace marvek::browser
