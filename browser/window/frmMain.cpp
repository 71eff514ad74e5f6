#include "frmMain.h"

#include "BookmarkLocation.h"
#include "BookmarkMenu.h"
#include "BrowserPage.h"
#include "FindBar.h"
#include "PubNo.h"
#include "SearchDock.h"
#include "ToolbarImages.h"
#include "browser/app/BrowserContext.h"
#include "frmVer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineHistory>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <algorithm>
#include <array>
#include <iterator>

namespace marvek::browser {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kPubNoPanelTwips = 3000;

struct Tooltip {
    const char* key;
    const char* code;
};
constexpr Tooltip kTooltips[] = {
    {"forward", "TB301"}, {"back", "TB302"}, {"print", "TB303"}, {"bookmark", "TB304"}, {"version", "TB305"},
};

// The zoom steps of Ctrl+plus and Ctrl+minus.
constexpr std::array<double, 15> kZoomLevels{0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0,
                                             1.1,  1.25, 1.5, 1.75, 2.0,  2.5, 3.0};

// The mouse pointer shows the hourglass while a command runs.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

bool isPdfAddress(const QString& url) {
    return !url.contains(QLatin1String("javascript"), Qt::CaseInsensitive) &&
           url.contains(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

} // namespace

frmMain::frmMain(BrowserContext& context, QWidget* parent) : QMainWindow(parent), m_context(context) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(programImage());
    resize(900, 680);

    m_wbrMain = new QWebEngineView(this);
    m_wbrMain->setObjectName(QStringLiteral("wbrMain"));
    m_page = new BrowserPage(*this, m_wbrMain);
    m_wbrMain->setPage(m_page);
    setCentralWidget(m_wbrMain);

    m_bookmarks = new BookmarkMenu(this);

    m_tbrBar = new QToolBar(QStringLiteral("tbrBar"), this);
    m_tbrBar->setObjectName(QStringLiteral("tbrBar"));
    m_tbrBar->setMovable(false);
    m_tbrBar->setFloatable(false);
    m_tbrBar->setIconSize(QSize(24, 24));
    m_tbrBar->toggleViewAction()->setVisible(false);
    for (const char* key : kToolbarKeys) {
        const QString name = QString::fromLatin1(key);
        auto* button = new QToolButton(m_tbrBar);
        button->setObjectName(name);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, name] { tbrBar_ButtonClick(name); });
        if (name == QLatin1String("bookmark")) {
            // A drop-down button: its arrow opens the bookmark menu under the button.
            button->setPopupMode(QToolButton::MenuButtonPopup);
            button->setMenu(m_bookmarks->mnuBookMark());
        }
        m_tbrBar->addWidget(button);
        if (name != QLatin1String("back") && name != QLatin1String("version"))
            m_tbrBar->addSeparator();
    }
    addToolBar(Qt::TopToolBarArea, m_tbrBar);

    m_stsBar = new QStatusBar(this);
    m_stsBar->setObjectName(QStringLiteral("stsBar"));
    m_panelTitle = new QLabel(m_stsBar);
    m_panelTitle->setObjectName(QStringLiteral("title"));
    m_panelTitle->setTextFormat(Qt::PlainText);
    // A long status text must not widen the window.
    m_panelTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_panelPubNo = new QLabel(m_stsBar);
    m_panelPubNo->setObjectName(QStringLiteral("pubno"));
    m_panelPubNo->setTextFormat(Qt::PlainText);
    m_panelPubNo->setFixedWidth(kPubNoPanelTwips / kTwipsPerPixel);
    m_panelPubNo->setFrameShape(QFrame::StyledPanel);
    m_panelPubNo->setFrameShadow(QFrame::Sunken);
    m_stsBar->addWidget(m_panelTitle, 1);
    m_stsBar->addPermanentWidget(m_panelPubNo);
    setStatusBar(m_stsBar);

    m_findBar = new FindBar(m_page, m_context.gstrLang() == QLatin1String("11"), this);
    addToolBar(Qt::BottomToolBarArea, m_findBar);
    m_searchDock = new SearchDock(m_context.os, m_context.gstrLang(), this);
    addDockWidget(Qt::LeftDockWidgetArea, m_searchDock);
    m_searchDock->hide();
    connect(m_searchDock, &SearchDock::pageChosen, this,
            [this](const QString& page) { openSearchHit(page); });

    connect(m_page, &QWebEnginePage::linkHovered, this, &frmMain::wbrMain_StatusTextChange);
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok)
            wbrMain_DocumentComplete();
        else
            wbrMain_NavigateError();
    });
    connect(m_page, &QWebEnginePage::geometryChangeRequested, this, &frmMain::wbrMain_WindowSetGeometry);
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, &frmMain::wbrMain_WindowClosing);
    connect(m_page->action(QWebEnginePage::Back), &QAction::changed, this,
            &frmMain::wbrMain_CommandStateChange);
    connect(m_page->action(QWebEnginePage::Forward), &QAction::changed, this,
            &frmMain::wbrMain_CommandStateChange);
    connect(m_page, &QWebEnginePage::printRequested, this, &frmMain::printPage);
    connect(m_wbrMain, &QWebEngineView::printFinished, this, [this](bool) {
        // The printer is released once the engine is done with it.
        QTimer::singleShot(0, this, [this] { m_printer.reset(); });
    });
    connect(m_bookmarks, &BookmarkMenu::addRequested, this, &frmMain::addBookmarkForCurrentPage);
    connect(m_bookmarks, &BookmarkMenu::openRequested, this, &frmMain::navigate);

    setupShortcuts();
    wbrMain_CommandStateChange();
}

frmMain::~frmMain() {
    // Script results that arrive while the page goes away are dropped.
    m_unloading = true;
    // A dialog still open (the window went away under it) goes before the printer it may use.
    qDeleteAll(findChildren<QDialog*>(Qt::FindDirectChildrenOnly));
    delete m_wbrMain;
    m_wbrMain = nullptr;
    m_page = nullptr;
}

QWebEnginePage* frmMain::page() const {
    return m_page;
}

QToolButton* frmMain::button(const QString& key) const {
    return m_tbrBar->findChild<QToolButton*>(key, Qt::FindDirectChildrenOnly);
}

QString frmMain::statusPanelText(const QString& key) const {
    if (key == QLatin1String("title"))
        return m_panelTitle->text();
    if (key == QLatin1String("pubno"))
        return m_panelPubNo->text();
    return {};
}

bool frmMain::toolbarHidden() const {
    return m_tbrBar->isHidden();
}

// ---- the start-up side's methods

void frmMain::GSubMain_Show(int plngCnt, const QString& pstrURL, bool pbolTBRUnVisi, bool pbolUnVisi,
                            bool pbolPubNo) {
    mstrURL = pstrURL;
    mbolTBRUnVisi = pbolTBRUnVisi;
    mbolPubNo = pbolPubNo;
    mlngCnt = plngCnt;
    Form_Load();
    if (!pbolUnVisi)
        show();
}

void frmMain::GSubMain_Update(const QString& pstrURL, bool pbolTBRUnVisi, bool pbolUnVisi, bool pbolPubNo) {
    // A window created for this request loads first, with no page of its own yet.
    if (!m_loaded)
        Form_Load();
    mstrURL = pstrURL;
    mbolTBRUnVisi = pbolTBRUnVisi;
    mbolPubNo = pbolPubNo;
    if (pbolUnVisi) {
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        hide();
    } else {
        show();
        raise();
        activateWindow();
    }
    navigate(mstrURL);
}

QString frmMain::GFncPub_Read() const {
    const PubNoResult result = readPubNo(m_context.os);
    if (!result.failure.isEmpty()) {
        // Reported once the page engine's request has been answered.
        const QString text = m_context.gstrErrPage + QStringLiteral("\n    ") + result.failure +
                             QStringLiteral(" [") + QString::number(result.failureNumber) + QLatin1Char(']');
        BrowserContext& context = m_context;
        QTimer::singleShot(0, this, [&context, text] {
            context.os.ui().messageBox(text, platform::mb::Critical, context.gstrTitle);
        });
    }
    return result.pubNo;
}

// ---- window events

void frmMain::Form_Load() {
    m_loaded = true;
    setWindowTitle(m_context.gstrTitle);
    navigate(mstrURL);
    PSubTbr_Init();
    m_tag = QString::number(mlngCnt);
}

void frmMain::PSubTbr_Init() {
    for (const char* key : kToolbarKeys) {
        if (QToolButton* b = button(QString::fromLatin1(key)))
            b->setIcon(toolbarIcon(QString::fromLatin1(key)));
    }
    for (const Tooltip& tooltip : kTooltips) {
        if (QToolButton* b = button(QString::fromLatin1(tooltip.key)))
            b->setToolTip(m_context.GFncMsg_Get(QString::fromLatin1(tooltip.code)));
    }
    if (mbolTBRUnVisi)
        m_tbrBar->hide();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize() {
    // The page area fills the window between the toolbar (when shown) and the status bar; the main
    // window's layout places it.
    mbolSizeReq = false;
    if (isMinimized())
        return;
    if (QLayout* l = layout())
        l->activate();
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}

void frmMain::Form_QueryUnload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (mlngCnt >= 0 && mlngCnt < static_cast<int>(m_context.gfrmBrowser.size()) &&
        m_context.gfrmBrowser[static_cast<size_t>(mlngCnt)] == this)
        m_context.emptySlot(mlngCnt);
    m_context.GSubWin_EndCheck(this);
}

// ---- toolbar

void frmMain::tbrBar_ButtonClick(const QString& key) {
    const QPointer<QToolButton> clicked = button(key);
    if (clicked.isNull())
        return;
    // The version box and the print dialog run an event loop of their own, in which the window can
    // be unloaded and deleted (a page's window.close(), a forwarded request): nothing of it is
    // touched after that.
    const QPointer<frmMain> self(this);
    clicked->setEnabled(false);
    if (key == QLatin1String("back")) {
        WaitCursor wait;
        m_wbrMain->back();
    } else if (key == QLatin1String("forward")) {
        WaitCursor wait;
        m_wbrMain->forward();
    } else if (key == QLatin1String("print")) {
        printPage();
    } else if (key == QLatin1String("version")) {
        showVersionBox();
    }
    // "bookmark": the menu opens from the drop-down arrow.
    if (self.isNull())
        return;
    clicked->setEnabled(true);
    // Back and forward follow the history again.
    wbrMain_CommandStateChange();
}

void frmMain::printPage() {
    if (m_printer)
        return; // the page is still printing
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // On the heap: the window may go away while the dialog runs, and takes the dialog with it.
    const QPointer<frmMain> self(this);
    const QPointer<QPrintDialog> dialog = new QPrintDialog(m_printer.get(), this);
    const int answer = dialog->exec();
    if (self.isNull())
        return;
    delete dialog.data();
    if (answer != QDialog::Accepted) {
        m_printer.reset();
        return;
    }
    WaitCursor wait;
    m_wbrMain->print(m_printer.get());
}

void frmMain::showVersionBox() {
    // On the heap: the window may go away while the box runs, and takes the box with it.
    const QPointer<frmVer> box = new frmVer(m_context, this);
    box->exec();
    delete box.data();
}

// ---- page-control events

void frmMain::wbrMain_StatusTextChange(const QString& text) {
    m_panelTitle->setText(text);
    m_panelPubNo->setText(mstrPubNo);
}

void frmMain::wbrMain_CommandStateChange() {
    if (QToolButton* b = button(QStringLiteral("forward")))
        b->setEnabled(m_page->action(QWebEnginePage::Forward)->isEnabled());
    if (QToolButton* b = button(QStringLiteral("back")))
        b->setEnabled(m_page->action(QWebEnginePage::Back)->isEnabled());
}

void frmMain::wbrMain_BeforeNavigate2(const QUrl& url, bool isMainFrame) {
    // The bookmark button waits for the document; a frame's navigation leaves the document in place.
    if (isMainFrame) {
        ++m_navigationSerial;
        if (QToolButton* b = button(QStringLiteral("bookmark")))
            b->setEnabled(false);
    }

    mstrPubNo.clear();
    if (mbolPubNo)
        mstrPubNo = GFncPub_Read();

    if (mbolSizeReq && !isMaximized())
        applySizeRequest();

    // A PDF document hides the toolbar for the rest of the window's life.
    if (isPdfAddress(url.toString())) {
        mbolTBRUnVisi = true;
        m_tbrBar->hide();
        Form_Resize();
    }
}

void frmMain::applySizeRequest() {
    // The page area gets the requested size; the rest of the window (toolbar, status bar, frame)
    // keeps its size. A dimension never requested (0) stays as it is.
    if (QLayout* l = layout())
        l->activate();
    QSize target = size();
    if (mlngReqHeight > 0)
        target.setHeight(height() - m_wbrMain->height() + mlngReqHeight / kTwipsPerPixel);
    if (mlngReqWidth > 0)
        target.setWidth(width() - m_wbrMain->width() + mlngReqWidth / kTwipsPerPixel);
    resize(target);
    Form_Resize();
}

QWebEnginePage* frmMain::wbrMain_NewWindow2() {
    // The code-search page hands its manual pages to the first open window after its own.
    const bool codeSearch =
        m_page->url().toString().contains(QLatin1String("codesearch.html"), Qt::CaseInsensitive);
    if (codeSearch && m_context.glngCnt >= 2) {
        const int last = std::min<int>(m_context.glngCnt, static_cast<int>(m_context.gfrmBrowser.size()));
        for (int i = 1; i < last; ++i) {
            frmMain* window = m_context.gfrmBrowser[static_cast<size_t>(i)];
            if (window != nullptr && !window->m_unloaded) {
                window->show();
                window->raise();
                window->activateWindow();
                return window->page();
            }
        }
        // No window to reuse: the page gets a new browser window below.
    }

    if (!m_context.GFncWin_Open(QString(), mbolTBRUnVisi, false, mbolPubNo))
        return nullptr; // GFncWin_Open has reported the failure
    frmMain* window =
        m_context.glngCnt >= 1 && m_context.glngCnt <= static_cast<int>(m_context.gfrmBrowser.size())
            ? m_context.gfrmBrowser[static_cast<size_t>(m_context.glngCnt - 1)].data()
            : nullptr;
    if (window == nullptr) {
        m_context.showFailure(QStringLiteral("Object variable or With block variable not set"), 91,
                              platform::mb::Exclamation);
        return nullptr;
    }
    window->Form_Resize();
    window->show();
    return window->page();
}

void frmMain::wbrMain_DocumentComplete() {
    if (QToolButton* b = button(QStringLiteral("bookmark")))
        b->setEnabled(true);

    // The caption takes the document's own title (empty for a page without one and for a PDF
    // document), read from the page itself.
    askCaption(m_navigationSerial, 0);
    // The status text is cleared when a document is complete, which also shows the number.
    wbrMain_StatusTextChange(QString());
    Form_Resize();
}

void frmMain::askCaption(quint64 serial, int attempt) {
    // Qt WebEngine reports one completion for navigations that follow each other quickly, sometimes
    // while the last document is still being parsed (its title still empty): the answer counts only
    // when it comes from the page's current document, parsed to its end, and no navigation started
    // since. Otherwise the question is asked again until that document is there.
    constexpr int RetryMs = 50;
    constexpr int MaxAttempts = 200;
    QPointer<frmMain> self(this);
    m_page->runJavaScript(
        QStringLiteral("[document.title, document.URL, document.readyState]"),
        QWebEngineScript::ApplicationWorld, [self, serial, attempt](const QVariant& answer) {
            if (self.isNull() || !self->alive() || self->m_navigationSerial != serial)
                return;
            const QStringList fields = answer.toStringList();
            const auto withoutFragment = [](const QUrl& url) {
                return url.adjusted(QUrl::RemoveFragment);
            };
            const bool current = fields.size() == 3 && fields[2] != u"loading" &&
                                 withoutFragment(QUrl(fields[1])) == withoutFragment(self->m_page->url());
            if (current) {
                self->applyCaption(fields[0]);
            } else if (attempt < MaxAttempts) {
                QTimer::singleShot(RetryMs, self, [self, serial, attempt] {
                    if (self && self->alive() && self->m_navigationSerial == serial)
                        self->askCaption(serial, attempt + 1);
                });
            }
        });
}

void frmMain::applyCaption(const QString& documentTitle) {
    const QString caption = documentTitle + QStringLiteral(" - ") + m_context.gstrTitle;
    setWindowTitle(caption);
    m_context.log({QStringLiteral("caption"), QString::number(mlngCnt), caption});
    Q_EMIT captionUpdated(caption);
}

void frmMain::wbrMain_NavigateError() {
    if (QToolButton* b = button(QStringLiteral("bookmark")))
        b->setEnabled(true);
    Form_Resize();
}

void frmMain::wbrMain_WindowSetGeometry(const QRect& geometry) {
    // The position is not used; the size applies to the page area at the next navigation.
    mbolSizeReq = true;
    if (geometry.width() > 0)
        mlngReqWidth = geometry.width() * kTwipsPerPixel;
    if (geometry.height() > 0)
        mlngReqHeight = geometry.height() * kTwipsPerPixel;
}

void frmMain::wbrMain_WindowClosing() {
    close();
}

// ---- bookmarks

void frmMain::addBookmarkForCurrentPage() {
    QPointer<frmMain> self(this);
    PFncBMark_GetLocation(*m_page, [self](std::optional<DocumentLocation> location) {
        if (self.isNull() || !self->alive() || !location)
            return;
        if (!location->error.isEmpty()) {
            self->m_context.showFailure(location->error, location->errorNumber, platform::mb::Critical);
            if (self.isNull() || !self->alive()) // unloaded while the box was shown
                return;
        }
        const std::optional<BookmarkTarget> target = bookmarkTarget(*location);
        if (!target)
            return;
        const int number = self->m_bookmarks->addBookmark(target->name, target->url);
        Q_EMIT self->bookmarkAdded(number);
    });
}

// ---- navigation, keys

void frmMain::navigate(const QString& url) {
    if (url.isEmpty())
        return;
    m_wbrMain->setUrl(m_context.pageUrl(url));
}

void frmMain::setupShortcuts() {
    const auto addShortcut = [this](const QList<QKeySequence>& keys, auto handler) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
        return action;
    };
    addShortcut({QKeySequence::Find}, [this] { m_findBar->open(); });
    addShortcut({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}, [this] { m_searchDock->open(); });
    addShortcut({QKeySequence(Qt::Key_F3)}, [this] { m_findBar->find(false); });
    addShortcut({QKeySequence(Qt::SHIFT | Qt::Key_F3)}, [this] { m_findBar->find(true); });
    addShortcut({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus)},
                [this] { zoom(+1); });
    addShortcut({QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { zoom(-1); });
    addShortcut({QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { zoom(0); });
    addShortcut({QKeySequence(Qt::ALT | Qt::Key_Left)}, [this] { m_wbrMain->back(); });
    addShortcut({QKeySequence(Qt::ALT | Qt::Key_Right)}, [this] { m_wbrMain->forward(); });
    addShortcut({QKeySequence(Qt::Key_F5)}, [this] { m_wbrMain->reload(); });
}

void frmMain::zoom(int step) {
    if (step == 0) {
        m_wbrMain->setZoomFactor(1.0);
        return;
    }
    const double current = m_wbrMain->zoomFactor();
    double next = current;
    if (step > 0) {
        const auto it = std::upper_bound(kZoomLevels.begin(), kZoomLevels.end(), current + 0.001);
        next = it == kZoomLevels.end() ? kZoomLevels.back() : *it;
    } else {
        const auto it = std::lower_bound(kZoomLevels.begin(), kZoomLevels.end(), current - 0.001);
        next = it == kZoomLevels.begin() ? kZoomLevels.front() : *std::prev(it);
    }
    m_wbrMain->setZoomFactor(next);
}

void frmMain::openSearchHit(const QString& page) {
    // A PDF page: the file's address with the viewer's page fragment.
    const qsizetype fragment = page.indexOf(QLatin1Char('#'));
    QUrl url = m_context.pageUrl(fragment < 0 ? page : page.left(fragment));
    if (fragment >= 0)
        url.setFragment(page.mid(fragment + 1));
    m_wbrMain->setUrl(url);
}

} // namespace marvek::browser
