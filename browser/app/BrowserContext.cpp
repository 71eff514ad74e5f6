#include "browser/app/BrowserContext.h"

#include "browser/app/frmSubClass.h"
#include "browser/window/frmMain.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <new>
#include <stdexcept>

namespace marvek::browser {

namespace {

QString flag(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

// The run-time error numbers the failure boxes show.
constexpr int ErrOutOfMemory = 7;
constexpr int ErrInvalidCall = 5;

} // namespace

BrowserContext::BrowserContext(platform::Platform& platform, QString programFolder)
    : os(platform), ProgramFolder(std::move(programFolder)),
      messages(MessageTable::GSubMsg_Load(platform.machine(), platform.machineInfo(), ProgramFolder,
                                          MessageProgram::Pagora)),
      m_logFile(qEnvironmentVariable("MARVEK_BROWSER_LOG")) {
}

BrowserContext::~BrowserContext() {
    m_ending = true;
    if (m_subClass)
        m_subClass->Form_QueryUnload();
    // Windows still alive when the program leaves its event loop (a stale instance told to quit,
    // or one that closed and waits for its deferred deletion).
    for (const QPointer<frmMain>& window : m_created)
        delete window.data();
}

std::optional<CommandRequest> BrowserContext::GFncCmd_Parse(const QString& commandLine) {
    const auto bad = [this]() -> std::optional<CommandRequest> {
        os.ui().messageBox(GFncMsg_Get(QStringLiteral("EM102")),
                           platform::mb::OKOnly | platform::mb::Critical, gstrTitle);
        return std::nullopt;
    };
    if (commandLine.isEmpty())
        return bad();
    const CommandRequest request = splitCommandRequest(commandLine);
    if (request.url.isEmpty())
        return bad();
    if (hostPathOf(request.url).isEmpty() || !QFileInfo(hostPathOf(request.url)).isFile())
        return bad();
    return request;
}

frmMain* BrowserContext::createWindow() {
    auto* window = new frmMain(*this); // deletes itself when closed (Qt::WA_DeleteOnClose)
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_forms.emplace_back(window);
    m_created.emplace_back(window);
    return window;
}

bool BrowserContext::GFncWin_Open(const QString& url, bool tbrUnVisi, bool unVisi, bool pubNo) {
    try {
        if (glngCnt < 0)
            throw std::out_of_range("slot");
        if (gfrmBrowser.size() <= static_cast<size_t>(glngCnt))
            gfrmBrowser.resize(static_cast<size_t>(glngCnt) + 1);
        frmMain* window = createWindow();
        gfrmBrowser[static_cast<size_t>(glngCnt)] = window;
        const bool hide = unVisi && url.contains(QStringLiteral("codesearch.html"), Qt::CaseInsensitive);
        log({QStringLiteral("open"), QString::number(glngCnt), url, flag(tbrUnVisi), flag(hide),
             flag(pubNo)});
        window->GSubMain_Show(glngCnt, url, tbrUnVisi, hide, pubNo);
        ++glngCnt;
        return true;
    } catch (const std::bad_alloc&) {
        showFailure(QStringLiteral("Out of memory"), ErrOutOfMemory, platform::mb::Critical);
    } catch (const std::exception& error) {
        showFailure(QString::fromLocal8Bit(error.what()), ErrInvalidCall, platform::mb::Critical);
    }
    return false;
}

void BrowserContext::processForwardedRequest(const QString& commandLine) {
    const std::optional<CommandRequest> request = GFncCmd_Parse(commandLine);
    if (!request)
        return;
    if (gfrmBrowser.empty())
        gfrmBrowser.resize(1);

    QPointer<frmMain> target = gfrmBrowser.front();
    if (target && !target->isVisible()) {
        // The hidden code-search window gives slot 0 up. Its unloading must not end the program,
        // since the request is about to open a window in its place.
        frmMain* hidden = target.data();
        emptySlot(0);
        log({QStringLiteral("unload"), QStringLiteral("0")});
        unload(hidden, /*quietly=*/true);
        target = nullptr;
    }
    if (!target) {
        target = createWindow();
        gfrmBrowser.front() = target;
        log({QStringLiteral("create"), QStringLiteral("0")});
    }
    log({QStringLiteral("update"), QStringLiteral("0"), request->url, flag(request->tbrUnVisi),
         flag(request->unVisi), flag(request->pubNo)});
    target->GSubMain_Update(request->url, request->tbrUnVisi, request->unVisi, request->pubNo);
}

void BrowserContext::emptySlot(int slot) {
    if (slot >= 0 && static_cast<size_t>(slot) < gfrmBrowser.size())
        gfrmBrowser[static_cast<size_t>(slot)] = nullptr;
}

void BrowserContext::unload(frmMain* window, bool quietly) {
    std::erase(m_forms, window);
    if (quietly)
        m_quietUnloads.push_back(window);
    window->close();
    std::erase(m_quietUnloads, window);
}

void BrowserContext::GSubWin_EndCheck(frmMain* window) {
    if (window)
        std::erase(m_forms, window);
    if (m_ending ||
        std::find(m_quietUnloads.cbegin(), m_quietUnloads.cend(), window) != m_quietUnloads.cend())
        return;
    if (GFncWin_CountOthers(window) >= 1)
        return;
    gfrmBrowser.clear();
    glngCnt = 0;
    if (!m_ended) {
        m_ended = true;
        log({QStringLiteral("end")});
        if (onEnd)
            onEnd();
    }
}

int BrowserContext::GFncWin_CountOthers(const frmMain* window) {
    int count = 0;
    std::vector<frmMain*> hidden;
    for (const QPointer<frmMain>& form : m_forms) {
        if (!form || form.data() == window)
            continue;
        if (form->isVisible())
            ++count;
        else
            hidden.push_back(form.data());
    }
    if (count == 0) {
        // Every hidden browser window goes, not only the last one met: a program without a visible
        // window must not stay alive invisibly.
        m_ending = true;
        for (frmMain* form : hidden)
            unload(form, /*quietly=*/true);
        if (m_subClass)
            m_subClass->Form_QueryUnload();
        m_ending = false;
    }
    return count;
}

QString BrowserContext::hostPathOf(const QString& url) const {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (url.isEmpty() || scheme.match(url).hasMatch())
        return {};
    if (url.startsWith(QLatin1Char('/')))
        return url;
    return os.machine().toHost(url);
}

QUrl BrowserContext::pageUrl(const QString& url) const {
    if (url.isEmpty())
        return {};
    const QString host = hostPathOf(url);
    if (!host.isEmpty())
        return QUrl::fromLocalFile(QFileInfo(host).absoluteFilePath());
    return QUrl(url);
}

void BrowserContext::showFailure(const QString& description, int number, int style) const {
    os.ui().messageBox(description + QLatin1Char('[') + QString::number(number) + QLatin1Char(']'), style,
                       gstrTitle);
}

void BrowserContext::log(const QStringList& fields) const {
    if (m_logFile.isEmpty())
        return;
    QFile file(m_logFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(QByteArray::number(QCoreApplication::applicationPid()) + '\t' +
                   fields.join(QLatin1Char('\t')).toUtf8() + '\n');
}

void BrowserContext::loadSubClass(std::unique_ptr<frmSubClass> receiver) {
    m_subClass = std::move(receiver);
    m_subClass->Form_Load();
}

} // namespace marvek::browser
