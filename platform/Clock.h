#pragma once

#include <QDateTime>
#include <functional>
#include <memory>

namespace marvek::platform {

// Every wait and every "let pending events run" of the suite goes through this interface.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleepMs(int milliseconds) = 0;
    virtual void processEvents() = 0;
    // The local date and time, whole seconds (what the installer stamps its runs with).
    virtual QDateTime now() const = 0;
};

// Sleeps for real and runs the Qt event loop's pending events. A cap (maxSleepMs >= 0) shortens every
// longer sleep to it: tests of whole programs pass the prescribed pauses quickly, in the same order.
class RealClock : public Clock {
public:
    explicit RealClock(int maxSleepMs = NoCap) : m_maxSleepMs(maxSleepMs) {}
    // The clock of a program: capped when MARVEK_MAX_SLEEP_MS holds a whole number >= 0 (tests only),
    // else sleeping as long as asked.
    static std::unique_ptr<RealClock> fromEnvironment();

    void sleepMs(int milliseconds) override;
    void processEvents() override;
    QDateTime now() const override;

    static constexpr int NoCap = -1;

private:
    int m_maxSleepMs;
};

// Returns at once and counts; onSleep (when set) runs at every sleep, so a test can let time "pass".
class TestClock : public Clock {
public:
    void sleepMs(int milliseconds) override;
    void processEvents() override { ++m_eventPumps; }
    // start plus the time slept so far.
    QDateTime now() const override { return start.addMSecs(m_sleptMs); }

    long long sleptMs() const { return m_sleptMs; }
    int sleeps() const { return m_sleeps; }
    int eventPumps() const { return m_eventPumps; }
    std::function<void()> onSleep;
    QDateTime start = QDateTime(QDate(2024, 4, 1), QTime(9, 30, 0));

private:
    long long m_sleptMs = 0;
    int m_sleeps = 0;
    int m_eventPumps = 0;
};

} // namespace marvek::platform
