#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace marvek::platform {

InstanceLock::InstanceLock(const Machine& machine, const QString& programName) {
    const QString folder = machine.root() + QStringLiteral("/run");
    if (!QDir().mkpath(folder))
        return;
    QString name = programName;
    name.replace(u'/', u'_');
    const QString path = folder + u'/' + name + u'-' + QString::number(getuid()) + QStringLiteral(".lock");
    m_fd = open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return;
    int result = 0;
    do {
        result = flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        m_previous = errno == EWOULDBLOCK;
        close(m_fd);
        m_fd = -1;
    }
}

InstanceLock::~InstanceLock() {
    if (m_fd >= 0)
        close(m_fd);
}

} // namespace marvek::platform
