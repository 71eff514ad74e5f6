#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace marvek::testing {

// Sets an environment variable for the life of the object (a null value unsets it) and restores the
// previous state afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name), m_old(qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()) {
        set(name, value);
    }
    ScopedEnvironment(const char* name, const QString& value)
        : ScopedEnvironment(name, value.toLocal8Bit()) {}
    ScopedEnvironment(const char* name, const char* value) : ScopedEnvironment(name, QByteArray(value)) {}
    ~ScopedEnvironment() { set(m_name, m_old); }
    Q_DISABLE_COPY(ScopedEnvironment)

private:
    static void set(const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    const char* m_name;
    QByteArray m_old; // null when the variable was not set
};

} // namespace marvek::testing
