#pragma once

#include <QWebEnginePage>

namespace marvek::browser {

class frmMain;

// The page of a browser window: passes the page engine's navigation and new-window requests to the
// window's BeforeNavigate2 and NewWindow2 handlers. Navigations are never refused.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT

public:
    BrowserPage(frmMain& window, QObject* parent);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    frmMain& m_window;
};

} // namespace marvek::browser
