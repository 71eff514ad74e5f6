#pragma once

#include "platform/Platform.h"
#include "shared/search/ManualSearch.h"

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace marvek::setup {

// Puts the manuals setup registers into the search index in a thread of its own, one after another in
// the order they come, while the installation goes on with the next manual. A manual it cannot index
// stays "not indexed" (the next search indexes it); nothing here fails the installation. Without a
// thread to spare, each manual is indexed when it is added.
class SearchIndexer {
public:
    SearchIndexer(const platform::Platform& os, QString databasePath);
    ~SearchIndexer(); // lets the manuals added be indexed, then ends the thread
    SearchIndexer(const SearchIndexer&) = delete;
    SearchIndexer& operator=(const SearchIndexer&) = delete;

    void add(search::ManualSource manual);
    // Returns once every manual added is indexed (or left not indexed), calling pump every few
    // milliseconds meanwhile so that a window keeps painting.
    void finish(const std::function<void()>& pump);
    // The manuals that could not be indexed so far.
    int notIndexed() const;

private:
    void run();
    void index(const search::ManualSource& manual);

    const platform::Platform& m_os;
    const QString m_databasePath;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<search::ManualSource> m_queue;
    bool m_working = false; // a manual taken from the queue is being indexed
    bool m_ending = false;
    int m_notIndexed = 0;
    std::unique_ptr<search::ManualSearch> m_search; // the thread's own (or the caller's, without one)
    std::thread m_thread;                           // last: started once the rest is ready
};

} // namespace marvek::setup
