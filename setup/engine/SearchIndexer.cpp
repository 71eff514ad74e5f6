#include "setup/engine/SearchIndexer.h"

#include <chrono>
#include <system_error>

namespace marvek::setup {

SearchIndexer::SearchIndexer(const platform::Platform& os, QString databasePath)
    : m_os(os), m_databasePath(std::move(databasePath)) {
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
    }
}

SearchIndexer::~SearchIndexer() {
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SearchIndexer::add(search::ManualSource manual) {
    if (!m_thread.joinable()) {
        index(manual);
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(manual));
    }
    m_changed.notify_all();
}

void SearchIndexer::finish(const std::function<void()>& pump) {
    using namespace std::chrono_literals;
    std::unique_lock lock(m_mutex);
    while (!m_queue.empty() || m_working) {
        m_changed.wait_for(lock, 20ms);
        if (pump) {
            lock.unlock();
            pump();
            lock.lock();
        }
    }
}

int SearchIndexer::notIndexed() const {
    const std::lock_guard lock(m_mutex);
    return m_notIndexed;
}

void SearchIndexer::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_ending || !m_queue.empty(); });
        if (m_queue.empty())
            return; // ending, and nothing left
        const search::ManualSource manual = std::move(m_queue.front());
        m_queue.pop_front();
        m_working = true;
        lock.unlock();
        index(manual);
        lock.lock();
        m_working = false;
        m_changed.notify_all();
    }
}

void SearchIndexer::index(const search::ManualSource& manual) {
    // One index connection, made and used by whichever thread indexes.
    if (!m_search)
        m_search = std::make_unique<search::ManualSearch>(m_os, m_databasePath);
    const bool indexed = m_search->indexManual(manual);
    if (!indexed) {
        const std::lock_guard lock(m_mutex);
        ++m_notIndexed;
    }
}

} // namespace marvek::setup
