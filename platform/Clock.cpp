#include "platform/Clock.h"

#include <QCoreApplication>
#include <QThread>

namespace marvek::platform {

void RealClock::sleepMs(int milliseconds) {
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
