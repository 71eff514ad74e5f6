#pragma once

#include "platform/Machine.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <vector>

namespace marvek::testing {

// A fresh machine prefix in a temporary folder, with drive C: and MARVEK_ROOT pointing at it for the
// life of the object (the previous values are restored afterwards). The host desktop's folders
// (XDG_DATA_HOME, XDG_CONFIG_HOME with a user-dirs.dirs naming the desktop folder) lie inside it as well,
// so that shortcuts published for the desktop never reach the real home. Nothing outside it is touched.
class TempMachine {
public:
    TempMachine();
    ~TempMachine();
    TempMachine(const TempMachine&) = delete;
    TempMachine& operator=(const TempMachine&) = delete;

    const platform::Machine& machine() const { return m_machine; }
    QString root() const { return m_dir.path(); }
    // Host path of a Windows path of this machine.
    QString host(const QString& windowsPath) const { return m_machine.toHost(windowsPath); }
    // Writes a file (creating its folders) at a Windows path; true on success.
    bool writeFile(const QString& windowsPath, const QByteArray& content) const;
    QByteArray readFile(const QString& windowsPath) const;
    // Maps a drive letter to a new empty folder inside the temporary folder and returns its host path.
    QString addDrive(QChar letter) const;
    // The host desktop's folders of this machine: $XDG_DATA_HOME and the XDG desktop folder.
    QString dataHome() const { return m_dir.path() + QStringLiteral("/home/data"); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/home/config"); }
    QString desktopFolder() const { return m_dir.path() + QStringLiteral("/home/Desktop"); }

private:
    QTemporaryDir m_dir;
    platform::Machine m_machine;
    struct Saved {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    std::vector<Saved> m_saved;
};

} // namespace marvek::testing
