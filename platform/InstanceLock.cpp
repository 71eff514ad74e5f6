#include "platform/InstanceLock.h"

#include "platform/FileLock.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace marvek::platform {

InstanceLock::InstanceLock(const Machine& machine, const QString& programName)
    : InstanceLock(RuntimeFolder::ofUser(), machine, programName) {
}

InstanceLock::InstanceLock(const RuntimeFolder& folder, const Machine& machine, const QString& programName) {
    if (!folder.isValid()) {
        std::fprintf(stderr, "%s: no private runtime folder (%s); the previous-instance check is off\n",
                     qPrintable(programName), qPrintable(folder.error()));
        return;
    }
    QString name = programName;
    name.replace(u'/', u'_');
    m_file = folder.entry(name, machine) + QStringLiteral(".lock");
    m_fd = ::open(QFile::encodeName(m_file).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    if (flockRetrying(m_fd, LOCK_EX | LOCK_NB) != 0) {
        m_previous = errno == EWOULDBLOCK;
        ::close(m_fd);
        m_fd = -1;
    }
}

InstanceLock::~InstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace marvek::platform
