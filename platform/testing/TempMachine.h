#pragma once

#include "platform/Machine.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace marvek::testing {

// A fresh machine prefix in a temporary folder, with drive C: and MARVEK_ROOT pointing at it for the
// life of the object (the previous value is restored afterwards). Nothing outside it is touched.
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

private:
    QTemporaryDir m_dir;
    platform::Machine m_machine;
    QByteArray m_savedRoot;
    bool m_hadRoot = false;
};

} // namespace marvek::testing
