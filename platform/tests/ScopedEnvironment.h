#pragma once

#include <QByteArray>
#include <QtGlobal>

// Sets an environment variable for the life of the object (a null value unsets it) and restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
        set(name, value);
    }
    ~ScopedEnvironment() { set(m_name, m_had ? m_old : QByteArray()); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    static void set(const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};
