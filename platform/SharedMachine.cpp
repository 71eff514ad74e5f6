#include "platform/SharedMachine.h"

#include "platform/MachineInfo.h"

#include <QFile>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace marvek::platform {

namespace {

// The account name of this process's user, for the command that adds it to the group.
QString accountName() {
    const QString name = processAccountName();
    return name.isEmpty() ? QStringLiteral("<name>") : name;
}

} // namespace

std::optional<MachineGroup> sharedMachineGroup(const Machine& machine) {
    struct stat info {};
    if (::stat(QFile::encodeName(machine.root()).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        (info.st_mode & S_ISGID) == 0)
        return std::nullopt;
    MachineGroup group{info.st_gid, QString::number(info.st_gid)};
    // getgrgid_r with a buffer that grows: a group of many technicians has a long member list.
    std::vector<char> buffer(4096);
    struct group entry {};
    struct group* found = nullptr;
    int error = 0;
    while ((error = ::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 24))
        buffer.resize(buffer.size() * 2);
    if (error == 0 && found != nullptr)
        group.name = QString::fromLocal8Bit(found->gr_name);
    return group;
}

QString enterMachine(const Machine& machine) {
    const std::optional<MachineGroup> group = sharedMachineGroup(machine);
    if (!group)
        return {};
    const mode_t mask = ::umask(0);
    ::umask(mask & ~mode_t(S_IRWXG));
    if (::access(QFile::encodeName(machine.root()).constData(), R_OK | W_OK | X_OK) == 0)
        return {};
    return QStringLiteral("The machine %1 is shared by the technicians of the group \"%2\", and %3 is not "
                          "one of them (or joined it after logging in). Ask the administrator to run "
                          "\"sudo adduser %3 %2\", then log in again.")
        .arg(machine.root(), group->name, accountName());
}

} // namespace marvek::platform
