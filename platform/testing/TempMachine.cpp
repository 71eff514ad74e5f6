#include "platform/testing/TempMachine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace marvek::testing {

TempMachine::TempMachine()
    : m_machine(m_dir.path()), m_savedRoot(qgetenv("MARVEK_ROOT")),
      m_hadRoot(qEnvironmentVariableIsSet("MARVEK_ROOT")) {
    m_machine.ensureLayout();
    qputenv("MARVEK_ROOT", m_dir.path().toLocal8Bit());
}

TempMachine::~TempMachine() {
    if (m_hadRoot)
        qputenv("MARVEK_ROOT", m_savedRoot);
    else
        qunsetenv("MARVEK_ROOT");
}

bool TempMachine::writeFile(const QString& windowsPath, const QByteArray& content) const {
    const QString path = host(windowsPath);
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray TempMachine::readFile(const QString& windowsPath) const {
    QFile file(host(windowsPath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TempMachine::addDrive(QChar letter) const {
    const QString folder = m_dir.path() + QStringLiteral("/media/") + letter.toLower();
    QDir().mkpath(folder);
    m_machine.mapDrive(letter, folder);
    return folder;
}

} // namespace marvek::testing
