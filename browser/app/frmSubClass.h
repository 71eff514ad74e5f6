#pragma once

#include "browser/app/HandOverServer.h"

#include <QString>
#include <memory>

namespace marvek::browser {

class BrowserContext;

// The hand-over receiver of the running instance. It stands for the hidden form of that name: the
// server is its window, WM_COPYDATA fills txtURL, and txtURL's change handler processes the request.
class frmSubClass {
public:
    // Takes the server that Main claimed; the form is loaded (serves requests) from Form_Load on.
    frmSubClass(BrowserContext& context, std::unique_ptr<handover::HandOverServer> server);
    ~frmSubClass();
    frmSubClass(const frmSubClass&) = delete;
    frmSubClass& operator=(const frmSubClass&) = delete;

    void Form_Load();
    // Stops serving and gives the name up (the socket is removed).
    void Form_QueryUnload();
    bool loaded() const { return m_loaded; }

    const QString& txtURL() const { return m_txtURL; }
    // Sets the text box; a change of its text runs txtURL_Change.
    void setTxtURL(const QString& text);

    handover::HandOverServer& server() const { return *m_server; }

private:
    qint32 windowProc_CopyData(quint32 dwData, const QByteArray& lpData);
    bool quitIfCaptionShown(const QString& caption);
    void txtURL_Change();

    BrowserContext& m_context;
    std::unique_ptr<handover::HandOverServer> m_server;
    QString m_txtURL;
    bool m_loaded = false;
};

} // namespace marvek::browser
