#include "manager/app/ManagerListThread.h"

#include "manager/app/ManagerStart.h"

#include <system_error>

namespace marvek::manager {

ManagerListThread::ManagerListThread() {
    try {
        std::promise<bool> open;
        std::future<bool> opened = open.get_future();
        m_list =
            std::async(std::launch::async,
                       [context = m_context.get_future(), open = std::move(open)]() mutable -> ManagerList {
                           ManagerContext* const ctx = context.get();
                           const bool isOpen = ctx != nullptr && OpenManagerDatabase(*ctx);
                           open.set_value(isOpen);
                           if (!isOpen)
                               return std::nullopt;
                           return LoadManagerList(*ctx);
                       });
        m_open = std::move(opened);
    } catch (const std::system_error&) {
    }
}

ManagerListThread::~ManagerListThread() {
    if (m_given == nullptr)
        m_context.set_value(nullptr);
}

void ManagerListThread::read(ManagerContext& ctx) {
    if (m_given != nullptr)
        return;
    m_given = &ctx;
    m_context.set_value(&ctx);
}

bool ManagerListThread::opened() {
    if (m_given == nullptr)
        return false;
    if (!m_opened)
        m_opened = m_open.valid() ? m_open.get() : OpenManagerDatabase(*m_given);
    return *m_opened;
}

std::future<ManagerList> ManagerListThread::take() {
    return m_given != nullptr ? std::move(m_list) : std::future<ManagerList>();
}

} // namespace marvek::manager
