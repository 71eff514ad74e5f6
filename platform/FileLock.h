#pragma once

#include <QString>

namespace marvek::platform {

// flock(2) on the descriptor, tried again while a signal interrupts it; its result.
int flockRetrying(int fd, int operation);

// An exclusive flock on a lock file (created when missing), held for the life of the object. Writers of
// one prefix file serialise on it; the kernel drops it when the process dies. The descriptor is
// close-on-exec, so started children never keep it.
class FileLock {
public:
    explicit FileLock(const QString& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isLocked() const { return m_locked; }

private:
    int m_fd;
    bool m_locked = false;
};

} // namespace marvek::platform
