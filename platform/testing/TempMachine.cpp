#include "platform/testing/TempMachine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace marvek::testing {

TempMachine::TempMachine() : m_machine(m_dir.path()) {
    m_machine.ensureLayout();
    QDir().mkpath(dataHome());
    QDir().mkpath(configHome());
    QFile dirs(configHome() + QStringLiteral("/user-dirs.dirs"));
    if (dirs.open(QIODevice::WriteOnly))
        dirs.write("XDG_DESKTOP_DIR=\"" + QFile::encodeName(desktopFolder()) + "\"\n");
    const std::pair<const char*, QString> variables[] = {
        {"MARVEK_ROOT", m_dir.path()}, {"XDG_DATA_HOME", dataHome()}, {"XDG_CONFIG_HOME", configHome()}};
    for (const auto& [name, value] : variables) {
        m_saved.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv(name, QFile::encodeName(value));
    }
}

TempMachine::~TempMachine() {
    for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved) {
        if (saved->wasSet)
            qputenv(saved->name, saved->value);
        else
            qunsetenv(saved->name);
    }
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
