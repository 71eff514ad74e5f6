#pragma once

#include "manager/app/ManagerActions.h"
#include "manager/app/ManagerContext.h"

#include <future>

namespace marvek::manager {

// The manual list read on a thread of its own while the window is built. The thread is started before
// the database is open and waits for it: on a machine whose other core sleeps, a new thread may need a
// millisecond or more before it first runs, and the start routine runs meanwhile.
class ManagerListThread {
public:
    // Starts the thread; without a thread to spare there is none, and take() gives no list.
    ManagerListThread();
    // A thread never given a context ends without reading; the list is waited for.
    ~ManagerListThread();
    ManagerListThread(const ManagerListThread&) = delete;
    ManagerListThread& operator=(const ManagerListThread&) = delete;

    // The thread reads the list from the context's database (LoadManagerList), which nothing else uses
    // until the list is taken and has come. Once only; a second call does nothing.
    void read(ManagerContext& ctx);
    // The list to come (invalid without a thread, or after read() was not called or take() was).
    std::future<ManagerList> take();

private:
    std::promise<ManagerContext*> m_context;
    bool m_given = false;
    std::future<ManagerList> m_list;
};

} // namespace marvek::manager
