#include "platform/Clock.h"

#include <QCoreApplication>
#include <QThread>

namespace marvek::platform {

std::unique_ptr<RealClock> RealClock::fromEnvironment() {
    bool ok = false;
    const int cap = qEnvironmentVariableIntValue("MARVEK_MAX_SLEEP_MS", &ok);
    return std::make_unique<RealClock>(ok && cap >= 0 ? cap : NoCap);
}

void RealClock::sleepMs(int milliseconds) {
    if (m_maxSleepMs != NoCap && milliseconds > m_maxSleepMs)
        milliseconds = m_maxSleepMs;
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void RealClock::processEvents() {
    // A tool without an application object has no events to run.
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents();
}

QDateTime RealClock::now() const {
    const QDateTime current = QDateTime::currentDateTime();
    return current.addMSecs(-current.time().msec());
}

void TestClock::sleepMs(int milliseconds) {
    ++m_sleeps;
    if (milliseconds > 0)
        m_sleptMs += milliseconds;
    if (onSleep)
        onSleep();
}

} // namespace marvek::platform
