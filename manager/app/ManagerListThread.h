#pragma once

#include "manager/app/ManagerActions.h"
#include "manager/app/ManagerContext.h"

#include <future>
#include <optional>

namespace marvek::manager {

// The manager's database opened and its list read on a thread of their own while the window system
// starts and the window is built. The thread is started before the start routine and waits for it: on a
// machine whose other core sleeps, a new thread may need a millisecond or more before it first runs, and
// the start routine runs meanwhile.
class ManagerListThread {
public:
    // Starts the thread; without a thread to spare there is none: opened() then opens the database on
    // the caller's thread, and take() gives no list.
    ManagerListThread();
    // A thread never given a context ends without opening anything; the list is waited for.
    ~ManagerListThread();
    ManagerListThread(const ManagerListThread&) = delete;
    ManagerListThread& operator=(const ManagerListThread&) = delete;

    // The thread opens the context's database (OpenManagerDatabase), then reads the list from it
    // (LoadManagerList). Nothing else uses the database until opened() has answered, nor until the list
    // is taken and has come. Once only; a second call does nothing.
    void read(ManagerContext& ctx);
    // Whether the database opened, once the open is done; only after read(). The same answer each time.
    bool opened();
    // The list to come (invalid without a thread, or after read() was not called or take() was); none
    // when the database did not open.
    std::future<ManagerList> take();

private:
    std::promise<ManagerContext*> m_context;
    ManagerContext* m_given = nullptr;
    std::future<bool> m_open;
    std::optional<bool> m_opened;
    std::future<ManagerList> m_list;
};

} // namespace marvek::manager
