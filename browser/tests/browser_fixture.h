#pragma once

// A browser process in a test: a temporary machine, a scripted message-box seam, the context and
// helpers to open windows on the fixture pages and wait for the page engine.

#include "browser/app/BrowserContext.h"
#include "browser/window/frmMain.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"
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

namespace marvek::browser::windowtest {

// Page loads, new windows and script results can take seconds on a loaded machine.
inline constexpr int kWaitMs = 30000;

inline QString fixturePage(const QString& relative) {
    return QStringLiteral(BROWSER_TEST_DATA "/pages/") + relative;
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
    // languageId: the system-default language identifier written into machine.ini (0 = none).
    void startBrowser(quint16 languageId = 0x0409) {
        if (languageId != 0) {
            const QByteArray id = QByteArray::number(languageId, 16).rightJustified(4, '0');
            QFile ini(machine.machine().machineIniFile());
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ini.write("[Locale]\r\nUserDefaultLangID=" + id + "\r\nSystemDefaultLangID=" + id + "\r\n");
        }
        auto scripted = std::make_unique<platform::ScriptedUserInterface>();
        ui = scripted.get();
        os = std::make_unique<platform::Platform>(machine.machine(), std::move(scripted),
                                                  std::make_unique<platform::TestClock>());
        context = std::make_unique<BrowserContext>(*os, QStringLiteral("C:\\Pagora"));
        context->gstrErrPage = context->GFncMsg_Get(QStringLiteral("EM101"));
        context->gstrTitle = context->GFncMsg_Get(QStringLiteral("WC201"));
        context->onEnd = [this] {
            ++ends;
        };
    }

    void TearDown() override {
        context.reset();
        os.reset();
    }

    // Opens a window as the start-up side does and returns it (slot glngCnt - 1).
    frmMain* open(const QString& url, bool tbrUnVisi = false, bool unVisi = false, bool pubNo = false) {
        if (!context->GFncWin_Open(url, tbrUnVisi, unVisi, pubNo))
            return nullptr;
        return context->gfrmBrowser.at(static_cast<size_t>(context->glngCnt - 1));
    }

    // Waits until the window shows a page whose address ends with suffix and its caption is set.
    static bool waitForPage(frmMain* window, const QString& suffix) {
        return waitFor([&] {
            return window->page()->url().toString().endsWith(suffix) && !window->page()->isLoading() &&
                   window->windowTitle().contains(QStringLiteral(" - "));
        });
    }

    // A real click into the page (navigations without a user gesture are skipped by Back).
    static void clickPage(frmMain* window, QPoint at = QPoint(40, 40)) {
        QWidget* target = window->wbrMain()->focusProxy();
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, {}, at);
    }

    marvek::testing::TempMachine machine;
    platform::ScriptedUserInterface* ui = nullptr;
    std::unique_ptr<platform::Platform> os;
    std::unique_ptr<BrowserContext> context;
    int ends = 0;
};

} // namespace marvek::browser::windowtest
