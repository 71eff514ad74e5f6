#pragma once

#include "Machine.h"

#include <QString>

namespace marvek::platform {

// The previous-instance flag: an exclusive flock on <prefix>/run/<program>-<uid>.lock, held for the
// life of this object (and released by the kernel when the process dies). A lock file that cannot be
// made counts as no previous instance. Children started later do not inherit the lock.
class InstanceLock {
public:
    InstanceLock(const Machine& machine, const QString& programName);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when another process of the same user already holds the lock.
    bool previousInstance() const { return m_previous; }

private:
    int m_fd = -1;
    bool m_previous = false;
};

} // namespace marvek::platform
