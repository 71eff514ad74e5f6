#include "browser/app/frmSubClass.h"

#include "browser/app/BrowserContext.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

namespace marvek::browser {

frmSubClass::frmSubClass(BrowserContext& context, std::unique_ptr<handover::HandOverServer> server)
    : m_context(context), m_server(std::move(server)) {
}

frmSubClass::~frmSubClass() {
    Form_QueryUnload();
}

void frmSubClass::Form_Load() {
    m_server->setHandlers(
        [this](quint32 dwData, const QByteArray& lpData) { return windowProc_CopyData(dwData, lpData); },
        [this](const QString& caption) { return quitIfCaptionShown(caption); });
    m_loaded = true;
}

void frmSubClass::Form_QueryUnload() {
    if (!m_loaded)
        return;
    m_loaded = false; // the handlers stay set (one may be running) but answer nothing from now on
    m_server->close();
}

qint32 frmSubClass::windowProc_CopyData(quint32 /*dwData*/, const QByteArray& lpData) {
    if (!m_loaded)
        return 0;
    setTxtURL(handover::textFromCopyData(lpData, m_context.os.machineInfo().ansiCodePage()));
    return 1;
}

bool frmSubClass::quitIfCaptionShown(const QString& caption) {
    if (!m_loaded)
        return false;
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool found = std::any_of(windows.cbegin(), windows.cend(), [&caption](const QWidget* window) {
        return window->windowTitle() == caption;
    });
    if (!found)
        return false;
    // Give the name up before answering, so that the new instance can take it at once; then quit.
    m_context.log({QStringLiteral("quit-stale")});
    Form_QueryUnload();
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    return true;
}

void frmSubClass::setTxtURL(const QString& text) {
    if (text == m_txtURL)
        return;
    m_txtURL = text;
    txtURL_Change();
}

void frmSubClass::txtURL_Change() {
    if (m_txtURL.isEmpty())
        return;
    m_context.processForwardedRequest(m_txtURL);
    setTxtURL(QString());
}

} // namespace marvek::browser
