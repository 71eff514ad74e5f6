#include "platform/ProgramMark.h"

#include "platform/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace marvek::platform {

QString ProgramMark::ofThisProgram() {
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(u'/', -1);
}

QString ProgramMark::file(const Machine& machine, const QString& programName) {
    QString name = programName;
    name.replace(u'/', u'_').replace(u'\\', u'_');
    return machine.root() + QStringLiteral("/run/") + name + QStringLiteral(".lock");
}

ProgramMark::ProgramMark(const Machine& machine, const QString& programName, Kind kind) {
    const QString path = file(machine, programName);
    QDir().mkpath(machine.root() + QStringLiteral("/run"));
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (m_fd < 0 && errno == EACCES) // a mark another user made on a machine of one user
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0)
        return;
    const int result = flockRetrying(m_fd, kind == Kind::Shared ? LOCK_SH : LOCK_EX | LOCK_NB);
    if (result != 0) {
        m_heldByAnother = errno == EWOULDBLOCK;
        ::close(m_fd);
        m_fd = -1;
    }
}

ProgramMark::~ProgramMark() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ProgramMark::isRunning(const Machine& machine, const QString& programName) {
    const int fd =
        ::open(QFile::encodeName(file(machine, programName)).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = flockRetrying(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace marvek::platform
