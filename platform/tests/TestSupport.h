#pragma once

// Helpers shared by the platform tests: host files, scripts, waiting for a child's output, the environment,
// a machine in a temporary prefix.

#include "platform/testing/ScopedEnvironment.h"
#include "platform/testing/TempMachine.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <ostream>

using namespace marvek::platform;
using marvek::testing::ScopedEnvironment;
using marvek::testing::TempMachine;

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}

// Writes a host file (creating its folder), marked executable when asked; true on success.
inline bool writeHostFile(const QString& path, const QByteArray& bytes, bool executable = false) {
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
        !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    return !executable ||
           file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

inline QByteArray readHostFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The content of a file that a child process writes (under another name, then renamed), once it is there;
// empty when it does not appear in time.
inline QByteArray waitForFile(const QString& path) {
    const QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(path) && !deadline.hasExpired())
        QThread::msleep(5);
    return readHostFile(path);
}

// A script writing its arguments one per line into the file `output`, or when that is empty, into the file
// named by its first argument.
inline QByteArray argumentWriter(const QString& output = {}) {
    const QByteArray out =
        output.isEmpty() ? QByteArray("OUT=\"$1\"; shift\n") : "OUT='" + QFile::encodeName(output) + "'\n";
    return "#!/bin/sh\n" + out +
           "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$OUT.tmp\" && mv \"$OUT.tmp\" \"$OUT\"\n";
}
