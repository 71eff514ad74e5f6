#include "BrowserPage.h"

#include "frmMain.h"

#include <QWebEngineSettings>

namespace marvek::browser {

BrowserPage::BrowserPage(frmMain& window, QObject* parent) : QWebEnginePage(parent), m_window(window) {
    // PDF documents are shown by the engine's own viewer, which is a plug-in.
    settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    settings()->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
}

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    (void)type;
    m_window.wbrMain_BeforeNavigate2(url, isMainFrame);
    return true;
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType type) {
    (void)type;
    return m_window.wbrMain_NewWindow2();
}

} // namespace marvek::browser
