#include "platform/RuntimeFolder.h"

#include "platform/Machine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marvek::platform {

namespace {

constexpr mode_t PrivateMode = 0700;

// Empty when path is a real folder (lstat: not a link) of uid with mode 0700; else why it is not.
QString unsafeReason(const QString& path, uid_t uid) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("is a symbolic link");
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("is not a folder");
    if (info.st_uid != uid)
        return QStringLiteral("belongs to user %1, not to user %2").arg(info.st_uid).arg(uid);
    if ((info.st_mode & 07777) != PrivateMode)
        return QStringLiteral("has mode %1, not 0700").arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

// Empty when others cannot rename or replace the entries of folder (it is not writable by group or
// others, or it is sticky); else why they can.
QString sharedParentReason(const QString& folder) {
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0)
        return QStringLiteral("others may write to it and it is not sticky");
    return {};
}

} // namespace

RuntimeFolder RuntimeFolder::ofUser() {
    return open(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), ::geteuid());
}

RuntimeFolder RuntimeFolder::open(const QString& runtimeDir, const QString& tempDir, uid_t uid) {
    if (!runtimeDir.isEmpty()) {
        const QString base = QDir::cleanPath(QDir(runtimeDir).absolutePath());
        if (unsafeReason(base, uid).isEmpty())
            return claim(base + QStringLiteral("/marvek"), uid);
    }
    const QString temp = QDir::cleanPath(QDir(tempDir).absolutePath());
    if (const QString reason = sharedParentReason(temp); !reason.isEmpty()) {
        RuntimeFolder refused;
        refused.m_error = temp + QStringLiteral(": ") + reason;
        return refused;
    }
    return claim(temp + QStringLiteral("/marvek-") + QString::number(uid), uid);
}

RuntimeFolder RuntimeFolder::claim(const QString& path, uid_t uid) {
    RuntimeFolder folder;
    const QByteArray encoded = QFile::encodeName(path);
    if (::mkdir(encoded.constData(), PrivateMode) != 0 && errno != EEXIST) {
        folder.m_error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return folder;
    }
    if (const QString reason = unsafeReason(path, uid); !reason.isEmpty())
        folder.m_error = path + QStringLiteral(": ") + reason;
    else
        folder.m_path = path;
    return folder;
}

QString RuntimeFolder::entry(const QString& name, const Machine& machine) const {
    if (!isValid())
        return {};
    const QByteArray root = QDir(machine.root()).absolutePath().toUtf8();
    const QByteArray tag = QCryptographicHash::hash(root, QCryptographicHash::Sha1).toHex().left(12);
    return m_path + QLatin1Char('/') + name + QLatin1Char('.') + QString::fromLatin1(tag);
}

bool peerIsOwnUser(int socketFd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return ::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           size == sizeof credentials && credentials.uid == ::geteuid();
}

} // namespace marvek::platform
