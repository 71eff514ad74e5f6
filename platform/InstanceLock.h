#pragma once

#include "Machine.h"
#include "RuntimeFolder.h"

#include <QString>

namespace marvek::platform {

// The previous-instance flag: an exclusive flock on "<program>.<tag>.lock" in the user's private
// runtime folder (see RuntimeFolder: one per user and machine prefix), held for the life of this object
// and released by the kernel when the process dies. The file is opened without following a link. A lock
// file that cannot be made (no safe runtime folder) counts as no previous instance. Children started
// later do not inherit the lock.
class InstanceLock {
public:
    InstanceLock(const Machine& machine, const QString& programName);
    InstanceLock(const RuntimeFolder& folder, const Machine& machine, const QString& programName);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when another process of the same user already holds the lock.
    bool previousInstance() const { return m_previous; }
    // The lock file (empty without a safe runtime folder).
    const QString& file() const { return m_file; }

private:
    QString m_file;
    int m_fd = -1;
    bool m_previous = false;
};

} // namespace marvek::platform
