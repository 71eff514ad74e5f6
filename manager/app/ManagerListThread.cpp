#include "manager/app/ManagerListThread.h"

#include <system_error>

namespace marvek::manager {

ManagerListThread::ManagerListThread() {
    try {
        m_list = std::async(std::launch::async, [context = m_context.get_future()]() mutable -> ManagerList {
            ManagerContext* const ctx = context.get();
            if (ctx == nullptr)
                return std::nullopt;
            return LoadManagerList(*ctx);
        });
    } catch (const std::system_error&) {
    }
}

ManagerListThread::~ManagerListThread() {
    if (!m_given)
        m_context.set_value(nullptr);
}

void ManagerListThread::read(ManagerContext& ctx) {
    if (m_given)
        return;
    m_given = true;
    m_context.set_value(&ctx);
}

std::future<ManagerList> ManagerListThread::take() {
    return m_given ? std::move(m_list) : std::future<ManagerList>();
}

} // namespace marvek::manager
