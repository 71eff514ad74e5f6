#pragma once

#include <QString>
#include <sys/types.h>

namespace marvek::platform {

class Machine;

// The user's private runtime folder: the one place for the suite's per-user sockets and locks, where no
// other account can make, take or read a name. It is
//   $XDG_RUNTIME_DIR/marvek          when $XDG_RUNTIME_DIR is a real folder of this user with mode 0700;
//   <temporary folder>/marvek-<uid>  otherwise (the temporary folder as Qt finds it: $TMPDIR, else /tmp).
// The folder is made with mode 0700 when missing and then checked with lstat: a real folder (not a
// link), owned by this user, mode 0700. The temporary folder that holds it must keep others from
// renaming it away (not writable by others, or sticky). A folder that fails a check is refused, never
// used: isValid() is false and error() says why.
class RuntimeFolder {
public:
    // The folder of this process's effective user, from the environment.
    static RuntimeFolder ofUser();
    // The same rule over given places and user (an empty runtimeDir stands for an unset variable).
    static RuntimeFolder open(const QString& runtimeDir, const QString& tempDir, uid_t uid);

    bool isValid() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    // Why there is no folder: "<path>: <reason>".
    const QString& error() const { return m_error; }

    // "<folder>/<name>.<tag>", the tag being the first 12 hex digits of the SHA-1 of the machine prefix's
    // absolute path: one name per user and per prefix. Empty when the folder is not valid.
    QString entry(const QString& name, const Machine& machine) const;

private:
    // Makes (when missing) and checks the folder at path.
    static RuntimeFolder claim(const QString& path, uid_t uid);

    QString m_path;
    QString m_error;
};

// True when the process at the other end of a connected Unix-domain socket runs as this process's
// effective user (its credentials as the kernel recorded them when the connection was made).
bool peerIsOwnUser(int socketFd);

} // namespace marvek::platform
