#pragma once

// A browser process in a test: a temporary machine with a few pages on drive C:, a scripted
// message-box seam, the context and helpers to open windows and wait for the page engine.

#include "browser/app/BrowserContext.h"
#include "browser/window/frmMain.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"
#include "platform/testing/BuildPath.h"
#include "platform/testing/TempMachine.h"

#include <QEventLoop>
#include <QFile>
#include <QPoint>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace marvek::browser::browsertest {

using namespace Qt::StringLiterals;

// Page loads, new windows and cold starts of the page engine can take seconds on a loaded machine.
inline constexpr int kWaitMs = 60000;

inline QString fixturePage(const QString& relative) {
    return marvek::testing::BuildPath("BROWSER_TEST_DATA") + QStringLiteral("/pages/") + relative;
}

// Runs the event loop until condition holds (checked every few milliseconds) or the time is up.
// A real event loop, not sleeps between event batches: the page engine's work is driven by the
// loop, and QTest::qWaitFor's sleeps slow every page load down to seconds.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

class BrowserFixture : public ::testing::Test {
protected:
    // Writes the machine's languages and three titled pages ("index", "other", "codesearch") in a
    // folder with a blank, as the launcher passes such paths.
    void prepareMachine(quint16 languageId = 0x0409) {
        const QByteArray id = QByteArray::number(languageId, 16).rightJustified(4, '0');
        QFile ini(machine.machine().machineIniFile());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[Locale]\r\nUserDefaultLangID=" + id + "\r\nSystemDefaultLangID=" + id + "\r\n");
        for (const QString& path : {page, other, codeSearch}) {
            const QByteArray title = path.section(u'\\', -1).section(u'.', 0, 0).toUtf8();
            ASSERT_TRUE(machine.writeFile(path, "<html><head><title>" + title + "</title></head><body><p>" +
                                                    title + "</p></body></html>"));
        }
    }

    // The machine above and a Pagora context on it, as Main prepares it.
    void startBrowser(quint16 languageId = 0x0409) {
        prepareMachine(languageId);
        auto scripted = std::make_unique<platform::ScriptedUserInterface>();
        ui = scripted.get();
        os = std::make_unique<platform::Platform>(machine.machine(), std::move(scripted),
                                                  std::make_unique<platform::TestClock>());
        context = std::make_unique<BrowserContext>(*os, u"C:\\Pagora"_s);
        context->gstrErrPage = context->GFncMsg_Get(u"EM101"_s);
        context->gstrTitle = context->GFncMsg_Get(u"WC201"_s);
        context->onEnd = [this] {
            ++ends;
        };
    }

    // Opens a window as the start-up side does and returns it (slot glngCnt - 1).
    frmMain* open(const QString& url, bool tbrUnVisi = false, bool unVisi = false, bool pubNo = false) {
        if (!context->GFncWin_Open(url, tbrUnVisi, unVisi, pubNo))
            return nullptr;
        return context->gfrmBrowser.at(static_cast<size_t>(context->glngCnt - 1));
    }

    // Opens a window on a fixture page and waits until it shows the page with its caption set; null
    // when it did not load.
    frmMain* openLoaded(const QString& relative) {
        frmMain* window = open(fixturePage(relative));
        return window != nullptr && waitFor([&] {
                   return window->page()->url().toString().endsWith(relative) &&
                          !window->page()->isLoading() && window->windowTitle().contains(u" - "_s);
               })
                   ? window
                   : nullptr;
    }

    // Waits for the caption "<title> - <the browser's name>".
    bool waitForCaption(frmMain* window, const QString& title) {
        return waitFor([&] { return window->windowTitle() == title + u" - "_s + context->gstrTitle; });
    }

    // A real click into the page (navigations without a user gesture are skipped by Back).
    static void clickPage(frmMain* window) {
        QTest::mouseClick(window->wbrMain()->focusProxy(), Qt::LeftButton, {}, QPoint(40, 40));
    }

    const QString page = u"C:\\Manuals\\My Manual\\index.html"_s;
    const QString other = u"C:\\Manuals\\My Manual\\other.html"_s;
    const QString codeSearch = u"C:\\Manuals\\My Manual\\codesearch.html"_s;

    marvek::testing::TempMachine machine;
    platform::ScriptedUserInterface* ui = nullptr;
    std::unique_ptr<platform::Platform> os;
    std::unique_ptr<BrowserContext> context;
    int ends = 0;
};

} // namespace marvek::browser::browsertest
